// qt_services.h - the pieces of the Qt service implementations that can be checked without
// showing anything: the file-dialog filter conversion, the message-box style mapping, and the
// hook that finds the Qt widget of a framework window (set by the windowing half).
#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>
#include <string>

class CWnd;
class QWidget;

// Converts the framework's filter ("Bitmaps (*.bmp)|*.bmp|All Files (*.*)|*.*||") into Qt's
// ("Bitmaps (*.bmp);;All Files (*)"). Descriptions keep their text and get the patterns in
// parentheses (replacing a trailing group they already carry); ';' separated patterns become
// space separated and "*.*" becomes "*" (a name needs no dot here). Empty: "All Files (*)".
QString QtFileFilter(const std::string& filter);

// The message box's icon, buttons and the result a pressed button gives.
QMessageBox::Icon MessageBoxIcon(unsigned style);
QMessageBox::StandardButtons MessageBoxButtons(unsigned style);
int MessageBoxResult(QMessageBox::StandardButton button);

// The widget that owns a box or dialog shown for `owner`; without a resolver (or for a null
// owner) boxes have no owner window.
void SetOwnerWidgetResolver(std::function<QWidget*(CWnd*)> resolver);
QWidget* OwnerWidget(CWnd* owner);
