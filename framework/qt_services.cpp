// qt_services.cpp - the platform services on Qt and Linux: message boxes, file dialogs, the
// desktop's URL handler, the restart through logind over D-Bus, and the monotonic clock.
#include "qt_services.h"

#include <time.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileDialog>
#include <QLoggingCategory>
#include <QStringList>
#include <QUrl>
#include <chrono>
#include <memory>
#include <thread>
#include <utility>

#include "services.h"

namespace {

// Every message box the program shows, as one line on standard error when the category is on
// (QT_LOGGING_RULES="quarn.messagebox.info=true"): the whole-program checks read the boxes' texts,
// which the screen does not give them.
Q_LOGGING_CATEGORY(lcMessageBox, "quarn.messagebox", QtWarningMsg)

// Set once by the windowing half at start-up, before any box is shown.
std::function<QWidget*(CWnd*)>& OwnerResolver() {
  static std::function<QWidget*(CWnd*)> resolver;
  return resolver;
}

// "Bitmaps (*.bmp)" -> "Bitmaps": the trailing pattern group, which is rebuilt from the patterns.
QString DescriptionWithoutPatterns(QString description) {
  description = description.trimmed();
  if (description.endsWith(QLatin1Char(')'))) {
    const qsizetype open = description.lastIndexOf(QLatin1Char('('));
    if (open > 0) description = description.left(open).trimmed();
  }
  return description;
}

QString QtPatterns(const QString& patterns) {
  QStringList out;
  for (const QString& part : patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
    const QString pattern = part.trimmed();
    if (pattern.isEmpty()) continue;
    out << (pattern == QLatin1String("*.*") ? QStringLiteral("*") : pattern);
  }
  return out.join(QLatin1Char(' '));
}

class QtMessageBoxService : public MessageBoxService {
 public:
  int Show(CWnd* owner, const std::string& text, const std::string& caption,
           unsigned style) override {
    // One line per box: a line break in the text is written as a backslash and an n.
    qCInfo(lcMessageBox).noquote()
        << QString::fromStdString(caption) + QStringLiteral(": ") +
               QString::fromStdString(text).replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    QMessageBox box(MessageBoxIcon(style), QString::fromStdString(caption),
                    QString::fromStdString(text), MessageBoxButtons(style), OwnerWidget(owner));
    return MessageBoxResult(static_cast<QMessageBox::StandardButton>(box.exec()));
  }
};

class QtFileDialogService : public FileDialogService {
 public:
  bool Open(CWnd* owner, const std::string& filter, const std::string& defaultExt,
            std::string* path) override {
    return Run(owner, filter, defaultExt, std::string(), /*save=*/false, path);
  }
  bool Save(CWnd* owner, const std::string& filter, const std::string& defaultExt,
            const std::string& initialName, std::string* path) override {
    return Run(owner, filter, defaultExt, initialName, /*save=*/true, path);
  }

 private:
  static bool Run(CWnd* owner, const std::string& filter, const std::string& defaultExt,
                  const std::string& initialName, bool save, std::string* path) {
    QFileDialog dialog(OwnerWidget(owner), QString(), QString(), QtFileFilter(filter));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // "bmp", ".bmp" and "*.bmp" all name the extension "bmp".
    QString suffix = QString::fromStdString(defaultExt);
    while (suffix.startsWith(QLatin1Char('*')) || suffix.startsWith(QLatin1Char('.'))) {
      suffix.remove(0, 1);
    }
    // A typed name without an extension gets the default one, as the framework's dialog does.
    if (!suffix.isEmpty()) dialog.setDefaultSuffix(suffix);
    if (!initialName.empty()) dialog.selectFile(QString::fromStdString(initialName));
    if (dialog.exec() != QDialog::Accepted) return false;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return false;
    if (path != nullptr) *path = chosen.first().toStdString();
    return true;
  }
};

class QtShellService : public ShellService {
 public:
  intptr_t Open(const std::string& address) override {
    const QUrl url(QString::fromStdString(address));
    // Above 32 is success, 32 or less failure, as the platform's shell reports.
    return url.isValid() && QDesktopServices::openUrl(url) ? 33 : 2;
  }
};

// Restart through logind: the user may restart when the manager answers "yes" to CanReboot
// (no interactive authentication), and Reboot(false) asks it to restart without asking.
class LogindRestartService : public RestartService {
 public:
  bool CanRestart() override {
    const QDBusMessage reply = QDBusConnection::systemBus().call(Call("CanReboot"));
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().first().toString() == QLatin1String("yes");
  }
  bool Restart() override {
    QDBusMessage call = Call("Reboot");
    call << false;
    return QDBusConnection::systemBus().call(call).type() == QDBusMessage::ReplyMessage;
  }

 private:
  static QDBusMessage Call(const char* method) {
    return QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QString::fromLatin1(method));
  }
};

class SystemClockService : public ClockService {
 public:
  uint32_t GetTickCount() override {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t ms =
        static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);  // wraps at 2^32 like the platform's tick count
  }
  void Sleep(uint32_t milliseconds) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
};

}  // namespace

QString QtFileFilter(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
  QStringList entries;
  // Pairs of description and patterns; the closing "||" leaves empty parts that end the list.
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].isEmpty() && parts[i + 1].isEmpty()) break;
    const QString patterns = QtPatterns(parts[i + 1]);
    if (patterns.isEmpty()) continue;
    QString description = DescriptionWithoutPatterns(parts[i]);
    if (description.isEmpty()) description = patterns;
    entries << QStringLiteral("%1 (%2)").arg(description, patterns);
  }
  if (entries.isEmpty()) return QStringLiteral("All Files (*)");
  return entries.join(QStringLiteral(";;"));
}

QMessageBox::Icon MessageBoxIcon(unsigned style) {
  switch (style & 0xF0u) {
    case MB_ICONERROR:
      return QMessageBox::Critical;
    case MB_ICONQUESTION:
      return QMessageBox::Question;
    case MB_ICONWARNING:
      return QMessageBox::Warning;
    case MB_ICONINFORMATION:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

QMessageBox::StandardButtons MessageBoxButtons(unsigned style) {
  switch (style & 0x0Fu) {
    case MB_OKCANCEL:
      return QMessageBox::Ok | QMessageBox::Cancel;
    case MB_YESNOCANCEL:
      return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MB_YESNO:
      return QMessageBox::Yes | QMessageBox::No;
    default:
      return QMessageBox::Ok;
  }
}

int MessageBoxResult(QMessageBox::StandardButton button) {
  switch (button) {
    case QMessageBox::Yes:
      return IDYES;
    case QMessageBox::No:
      return IDNO;
    case QMessageBox::Cancel:
      return IDCANCEL;
    default:
      return IDOK;
  }
}

void SetOwnerWidgetResolver(std::function<QWidget*(CWnd*)> resolver) {
  OwnerResolver() = std::move(resolver);
}

QWidget* OwnerWidget(CWnd* owner) {
  if (owner == nullptr || !OwnerResolver()) return nullptr;
  return OwnerResolver()(owner);
}

void InstallQtServices() {
  ServiceSet& services = Services();
  services.messageBox = std::make_shared<QtMessageBoxService>();
  services.fileDialog = std::make_shared<QtFileDialogService>();
  services.shell = std::make_shared<QtShellService>();
  services.restart = std::make_shared<LogindRestartService>();
  services.clock = std::make_shared<SystemClockService>();
}
