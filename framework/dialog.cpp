// dialog.cpp - modal dialogs from templates, their controls and the data exchange helpers.
#include "dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "app.h"
#include "resources_qt.h"
#include "services.h"

namespace {
std::function<void(CDialog&)>& ModalDriver() {
  static std::function<void(CDialog&)> driver;  // UI thread only
  return driver;
}

// The dialog widget: Escape and the close box cancel through the dialog's command route.
class DialogWidget : public BridgedWidget<QDialog> {
 public:
  using BridgedWidget<QDialog>::BridgedWidget;
  void reject() override {
    if (owner != nullptr) owner->SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  }
  void accept() override {
    if (owner != nullptr) owner->SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  }
};

// A label's text: '&' marks a mnemonic unless the control says SS_NOPREFIX; "&&" is one '&'.
QString LabelText(const std::string& text, DWORD style) {
  QString t = QString::fromStdString(text);
  if (style & SS_NOPREFIX) return t;
  QString out;
  for (int i = 0; i < t.size(); ++i) {
    if (t[i] == '&' && i + 1 < t.size()) {
      ++i;
      out += t[i];
    } else if (t[i] != '&') {
      out += t[i];
    }
  }
  return out;
}

std::string Replace(std::string text, const std::string& key, const std::string& value) {
  if (auto at = text.find(key); at != std::string::npos) text.replace(at, key.size(), value);
  return text;
}

void ValidationMessage(const std::string& text) {
  AfxMessageBox(text, MB_ICONEXCLAMATION);
}

// The arrow keys on a radio button: Up and Left ask for the previous button of its group, Down
// and Right for the next (with Shift too; with Ctrl, Alt or Meta they are someone else's).
class RadioArrows : public QObject {
 public:
  RadioArrows(QObject* parent, std::function<void(bool forward)> move)
      : QObject(parent), move_(std::move(move)) {}

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
    switch (key->key()) {
      case Qt::Key_Up:
      case Qt::Key_Left:
        move_(false);
        return true;
      case Qt::Key_Down:
      case Qt::Key_Right:
        move_(true);
        return true;
      default:
        return false;
    }
  }

 private:
  std::function<void(bool)> move_;
};

Qt::Alignment StaticAlignment(DWORD style) {
  Qt::Alignment horizontal = Qt::AlignLeft;
  if ((style & 0x3) == SS_CENTER) horizontal = Qt::AlignHCenter;
  if ((style & 0x3) == SS_RIGHT) horizontal = Qt::AlignRight;
  return horizontal | ((style & SS_CENTERIMAGE) ? Qt::AlignVCenter : Qt::AlignTop);
}

bool ParseLong(const std::string& text, long long* value) {
  const char* begin = text.c_str();
  while (*begin == ' ' || *begin == '\t') ++begin;
  if (*begin == '\0') return false;
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(begin, &end, 10);
  if (errno != 0) return false;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end != '\0') return false;
  *value = v;
  return true;
}
}  // namespace

// --- CComboBox --------------------------------------------------------------------------------

QComboBox* CComboBox::Combo() const {
  return qobject_cast<QComboBox*>(GetWidget());
}
int CComboBox::AddString(const std::string& text) {
  QComboBox* c = Combo();
  if (c == nullptr) return -1;
  c->addItem(QString::fromStdString(text));
  return c->count() - 1;
}
int CComboBox::GetCount() const {
  return Combo() != nullptr ? Combo()->count() : 0;
}
int CComboBox::GetCurSel() const {
  QComboBox* c = Combo();
  if (c == nullptr) return -1;
  // An edit field whose text matches no item has no selection.
  if (c->isEditable() && c->currentIndex() >= 0 &&
      c->itemText(c->currentIndex()) != c->currentText())
    return -1;
  return c->currentIndex();
}
int CComboBox::SetCurSel(int index) {
  QComboBox* c = Combo();
  if (c == nullptr || index >= c->count()) return -1;
  c->setCurrentIndex(index < 0 ? -1 : index);
  return index < 0 ? -1 : index;
}
void CComboBox::ResetContent() {
  if (QComboBox* c = Combo()) c->clear();
}
void CComboBox::GetLBText(int index, CString& text) const {
  QComboBox* c = Combo();
  text = (c != nullptr && index >= 0 && index < c->count()) ? c->itemText(index).toStdString()
                                                            : std::string();
}

// --- data exchange ----------------------------------------------------------------------------

void CDataExchange::Fail() {
  failed_ = true;
  if (m_pDlgWnd != nullptr && lastControl_ != 0)
    m_pDlgWnd->GotoDlgCtrl(m_pDlgWnd->GetDlgItem(lastControl_));
}

void DDX_Text(CDataExchange* dx, UINT id, int& value) {
  if (dx->failed()) return;
  dx->PrepareCtrl(id);
  if (!dx->m_bSaveAndValidate) {
    dx->m_pDlgWnd->SetDlgItemText(id, std::to_string(value));
    return;
  }
  long long v = 0;
  if (!ParseLong(dx->m_pDlgWnd->GetDlgItemText(id), &v) || v < INT32_MIN || v > INT32_MAX) {
    ValidationMessage(kParseIntText);
    dx->Fail();
    return;
  }
  value = static_cast<int>(v);
}

void DDX_Text(CDataExchange* dx, UINT id, unsigned& value) {
  if (dx->failed()) return;
  dx->PrepareCtrl(id);
  if (!dx->m_bSaveAndValidate) {
    dx->m_pDlgWnd->SetDlgItemText(id, std::to_string(value));
    return;
  }
  long long v = 0;
  if (!ParseLong(dx->m_pDlgWnd->GetDlgItemText(id), &v) || v < 0 || v > UINT32_MAX) {
    ValidationMessage(kParseUIntText);
    dx->Fail();
    return;
  }
  value = static_cast<unsigned>(v);
}

void DDX_Text(CDataExchange* dx, UINT id, CString& value) {
  if (dx->failed()) return;
  dx->PrepareCtrl(id);
  if (dx->m_bSaveAndValidate)
    value = dx->m_pDlgWnd->GetDlgItemText(id);
  else
    dx->m_pDlgWnd->SetDlgItemText(id, value);
}

void DDX_Check(CDataExchange* dx, UINT id, int& value) {
  if (dx->failed()) return;
  dx->PrepareCtrl(id);
  if (dx->m_bSaveAndValidate)
    value = static_cast<int>(dx->m_pDlgWnd->IsDlgButtonChecked(id));
  else
    dx->m_pDlgWnd->CheckDlgButton(id, static_cast<UINT>(value));
}

void DDX_Radio(CDataExchange* dx, UINT firstId, int& value) {
  if (dx->failed()) return;
  dx->PrepareCtrl(firstId);
  const std::vector<UINT> group = dx->m_pDlgWnd->RadioGroup(firstId);
  if (dx->m_bSaveAndValidate) {
    value = -1;
    for (size_t i = 0; i < group.size(); ++i)
      if (dx->m_pDlgWnd->IsDlgButtonChecked(group[i])) value = static_cast<int>(i);
  } else {
    for (size_t i = 0; i < group.size(); ++i)
      dx->m_pDlgWnd->CheckDlgButton(group[i], static_cast<int>(i) == value ? 1 : 0);
  }
}

void DDX_CBIndex(CDataExchange* dx, UINT id, int& index) {
  if (dx->failed()) return;
  dx->PrepareCtrl(id);
  CComboBox* combo = dx->m_pDlgWnd->GetComboBox(id);
  if (combo == nullptr) return;
  if (dx->m_bSaveAndValidate)
    index = combo->GetCurSel();
  else
    combo->SetCurSel(index);
}

void DDX_Control(CDataExchange* dx, UINT id, CWnd& control) {
  if (dx->failed()) return;
  dx->PrepareCtrl(id);
  auto it = dx->m_pDlgWnd->rawControls_.find(id);
  if (it == dx->m_pDlgWnd->rawControls_.end() || control.GetWidget() == it->second) return;
  control.AttachControl(it->second, dx->m_pDlgWnd, id);
}

void DDX_Control(CDataExchange* dx, UINT id, CScrollBar& control) {
  if (dx->failed()) return;
  dx->PrepareCtrl(id);
  CDialog* dialog = dx->m_pDlgWnd;
  auto it = dialog->rawControls_.find(id);
  auto* bar = it != dialog->rawControls_.end() ? qobject_cast<QScrollBar*>(it->second) : nullptr;
  if (bar == nullptr || control.bar() == bar) return;
  dialog->scrollBars_.erase(id);  // the member takes over the bar's notifications
  dialog->boundBars_[id] = &control;
  const bool vertical = bar->orientation() == Qt::Vertical;
  control.Attach(
      bar,
      [dialog, vertical](UINT code, UINT pos, CScrollBar* b) {
        if (vertical)
          dialog->OnVScroll(code, pos, b);
        else
          dialog->OnHScroll(code, pos, b);
      },
      id);
}

void DDV_MinMaxUInt(CDataExchange* dx, unsigned value, unsigned minValue, unsigned maxValue) {
  if (dx->failed() || !dx->m_bSaveAndValidate) return;
  if (value < minValue || value > maxValue) {
    ValidationMessage(Replace(Replace(kRangeIntText, "%1", std::to_string(minValue)), "%2",
                              std::to_string(maxValue)));
    dx->Fail();
  }
}

void DDV_MinMaxInt(CDataExchange* dx, int value, int minValue, int maxValue) {
  if (dx->failed() || !dx->m_bSaveAndValidate) return;
  if (value < minValue || value > maxValue) {
    ValidationMessage(Replace(Replace(kRangeIntText, "%1", std::to_string(minValue)), "%2",
                              std::to_string(maxValue)));
    dx->Fail();
  }
}

void DDV_MaxChars(CDataExchange* dx, const CString& value, int count) {
  if (dx->failed()) return;
  if (!dx->m_bSaveAndValidate) return;
  if (static_cast<int>(QString::fromStdString(value).size()) > count) {
    ValidationMessage(Replace(kMaxCharsText, "%1", std::to_string(count)));
    dx->Fail();
  }
}

// --- CDialog ----------------------------------------------------------------------------------

void CDialog::SetModalDriver(std::function<void(CDialog&)> driver) {
  ModalDriver() = std::move(driver);
}

CDialog::CDialog(UINT templateId, CWnd* parent) : templateId_(templateId), parentWnd_(parent) {}

CDialog::~CDialog() {
  scrollBars_.clear();
  controls_.clear();
  ReleaseWidget();
}

QRect CDialog::DialogUnitsToPixels(int x, int y, int cx, int cy) const {
  return QRect(x * charWidth_ / 4, y * charHeight_ / 8, cx * charWidth_ / 4, cy * charHeight_ / 8);
}

void CDialog::CreateControls(QDialog* dialog) {
  QFont font(QString::fromStdString(template_.fontName), template_.fontPointSize);
  dialog->setFont(font);
  const QFontMetrics metrics(font);
  // The average character width of the font as the framework measures it (the alphabet).
  const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  charWidth_ = std::max(1, (metrics.horizontalAdvance(alphabet) / 26 + 1) / 2);
  charHeight_ = std::max(1, metrics.height());
  dialog->setWindowTitle(QString::fromStdString(template_.caption));
  dialog->setFixedSize(DialogUnitsToPixels(0, 0, template_.cx, template_.cy).size());

  std::vector<UINT>* radioGroup = nullptr;
  for (const DialogControl& c : template_.controls) {
    const QRect r = DialogUnitsToPixels(c.x, c.y, c.cx, c.cy);
    QWidget* w = nullptr;
    const UINT id = c.id;
    // A group runs from a control marked WS_GROUP to the next one; its radio buttons are the
    // radio group, whatever other controls stand between them.
    if (c.style & WS_GROUP) radioGroup = nullptr;
    switch (c.cls) {
      case ControlClass::Static: {
        auto* label = new QLabel(LabelText(c.text, c.style), dialog);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(StaticAlignment(c.style));
        if (c.style & SS_SUNKEN) label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        w = label;
        break;
      }
      case ControlClass::Icon: {
        auto* label = new QLabel(dialog);
        QIcon icon = ResourceIcon(static_cast<UINT>(std::atoi(c.text.c_str())));
        if (icon.isNull()) icon = QApplication::style()->standardIcon(QStyle::SP_ComputerIcon);
        label->setPixmap(icon.pixmap(32, 32));
        w = label;
        break;
      }
      case ControlClass::Button: {
        auto* button = new QPushButton(QString::fromStdString(c.text), dialog);
        button->setDefault((c.style & BS_DEFPUSHBUTTON) != 0);
        button->setAutoDefault(false);
        QObject::connect(button, &QPushButton::clicked, dialog, [this, id] {
          SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<int>(id), BN_CLICKED), 0);
        });
        w = button;
        break;
      }
      case ControlClass::CheckBox: {
        auto* box = new QCheckBox(QString::fromStdString(c.text), dialog);
        QObject::connect(box, &QCheckBox::clicked, dialog, [this, id] {
          SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<int>(id), BN_CLICKED), 0);
        });
        w = box;
        break;
      }
      case ControlClass::RadioButton: {
        auto* radio = new QRadioButton(QString::fromStdString(c.text), dialog);
        radio->setAutoExclusive(false);  // groups follow the template's WS_GROUP marks
        // The group is one tab stop (UpdateRadioTabStop); a click still gives the focus.
        radio->setFocusPolicy(Qt::ClickFocus);
        if (radioGroup == nullptr) {
          radioGroups_.emplace_back();
          radioGroup = &radioGroups_.back();
        }
        radioGroup->push_back(id);
        const size_t groupIndex = radioGroups_.size() - 1;
        QObject::connect(radio, &QRadioButton::clicked, dialog,
                         [this, id, groupIndex] { ClickRadio(groupIndex, id); });
        QObject::connect(radio, &QRadioButton::toggled, dialog,
                         [this, groupIndex] { UpdateRadioTabStop(groupIndex); });
        radio->installEventFilter(new RadioArrows(radio, [this, id, groupIndex](bool forward) {
          MoveInRadioGroup(groupIndex, id, forward);
        }));
        w = radio;
        break;
      }
      case ControlClass::Edit: {
        auto* edit = new QLineEdit(dialog);
        edit->setText(QString::fromStdString(c.text));
        edit->setReadOnly((c.style & ES_READONLY) != 0);
        QObject::connect(edit, &QLineEdit::textEdited, dialog, [this, id] {
          SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<int>(id), EN_CHANGE), 0);
        });
        w = edit;
        break;
      }
      case ControlClass::GroupBox: {
        auto* group = new QGroupBox(LabelText(c.text, c.style), dialog);
        w = group;
        break;
      }
      case ControlClass::ComboBox: {
        auto* combo = new QComboBox(dialog);
        if ((c.style & 0x3) == CBS_DROPDOWN) {
          // The edit field keeps what the user typed: Return adds no item and nothing completes
          // the text, so a text that matches no item reads as no selection.
          combo->setEditable(true);
          combo->setInsertPolicy(QComboBox::NoInsert);
          combo->setCompleter(nullptr);
        }
        QObject::connect(combo, &QComboBox::activated, dialog, [this, id] {
          SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<int>(id), CBN_SELCHANGE), 0);
        });
        w = combo;
        break;
      }
      case ControlClass::ScrollBar: {
        auto* bar = new QScrollBar((c.style & SBS_VERT) ? Qt::Vertical : Qt::Horizontal, dialog);
        const bool vertical = (c.style & SBS_VERT) != 0;
        // A tab stop takes the focus from Tab and from a click, and then answers the keys.
        if (c.style & WS_TABSTOP) bar->setFocusPolicy(Qt::StrongFocus);
        auto adapter = std::make_unique<CScrollBar>();
        adapter->Attach(
            bar,
            [this, vertical](UINT code, UINT pos, CScrollBar* b) {
              if (vertical)
                OnVScroll(code, pos, b);
              else
                OnHScroll(code, pos, b);
            },
            id);
        if (id != IDC_STATIC) scrollBars_[id] = std::move(adapter);
        w = bar;
        break;
      }
    }
    QRect geometry = r;
    // A combo box's template height is its dropped-down height; closed it is one line.
    if (c.cls == ControlClass::ComboBox) geometry.setHeight(w->sizeHint().height());
    w->setGeometry(geometry);
    if (c.style & WS_DISABLED) w->setEnabled(false);
    if (c.cls == ControlClass::GroupBox) w->lower();
    if (id == IDC_STATIC) continue;
    rawControls_[id] = w;
    std::unique_ptr<CWnd> wrapper =
        c.cls == ControlClass::ComboBox ? std::make_unique<CComboBox>() : std::make_unique<CWnd>();
    wrapper->AttachControl(w, this, id);
    controls_[id] = std::move(wrapper);
  }
  // Tab reaches a group where its first button stands in the template, whatever other controls
  // stand between its buttons.
  for (size_t group = 0; group < radioGroups_.size(); ++group) {
    QWidget* previous = nullptr;
    for (UINT id : radioGroups_[group]) {
      QWidget* button = RadioWidget(id);
      if (button == nullptr) continue;
      if (previous != nullptr) QWidget::setTabOrder(previous, button);
      previous = button;
    }
    UpdateRadioTabStop(group);
  }
}

QAbstractButton* CDialog::RadioWidget(UINT id) const {
  auto it = rawControls_.find(id);
  return it == rawControls_.end() ? nullptr : qobject_cast<QRadioButton*>(it->second);
}

void CDialog::ClickRadio(size_t group, UINT id) {
  if (group >= radioGroups_.size()) return;
  for (UINT other : radioGroups_[group]) CheckDlgButton(other, other == id ? 1 : 0);
  SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<int>(id), BN_CLICKED), 0);
}

void CDialog::UpdateRadioTabStop(size_t group) {
  if (group >= radioGroups_.size() || radioGroups_[group].empty()) return;
  const std::vector<UINT>& ids = radioGroups_[group];
  UINT stop = ids.front();
  for (UINT id : ids)
    if (IsDlgButtonChecked(id)) {
      stop = id;
      break;
    }
  for (UINT id : ids)
    if (QAbstractButton* button = RadioWidget(id))
      button->setFocusPolicy(id == stop ? Qt::StrongFocus : Qt::ClickFocus);
}

void CDialog::MoveInRadioGroup(size_t group, UINT from, bool forward) {
  if (group >= radioGroups_.size()) return;
  const std::vector<UINT>& ids = radioGroups_[group];
  const auto at = std::find(ids.begin(), ids.end(), from);
  if (at == ids.end()) return;
  const size_t n = ids.size();
  const size_t start = static_cast<size_t>(at - ids.begin());
  // The next button that can take the focus, wrapping round the group; disabled and hidden
  // buttons are passed over.
  for (size_t step = 1; step < n; ++step) {
    const UINT id = ids[(start + (forward ? step : n - step)) % n];
    QAbstractButton* button = RadioWidget(id);
    if (button == nullptr || !button->isEnabled() || button->isHidden()) continue;
    button->setFocus(Qt::OtherFocusReason);
    // A button the keyboard reaches unchecked is chosen, as if clicked.
    if (!button->isChecked()) ClickRadio(group, id);
    return;
  }
}

intptr_t CDialog::DoModal() {
  const auto& dialogs = AfxGetResources().dialogs;
  auto it = dialogs.find(templateId_);
  if (it == dialogs.end()) return -1;
  template_ = it->second;
  QWidget* parent = parentWnd_ != nullptr
                        ? parentWnd_->GetWidget()
                        : (AfxGetMainWnd() != nullptr ? AfxGetMainWnd()->GetWidget() : nullptr);
  auto* dialog = new DialogWidget(parent);
  dialog->setModal(true);
  AttachWidget(dialog, parentWnd_);
  CreateControls(dialog);
  ended_ = false;
  result_ = IDCANCEL;
  OnInitDialog();
  if (!ended_) {
    if (ModalDriver()) {
      auto driver = ModalDriver();
      driver(*this);
      if (!ended_) EndDialog(IDCANCEL);
    } else {
      inModal_ = true;
      dialog->exec();
      inModal_ = false;
    }
  }
  scrollBars_.clear();
  boundBars_.clear();
  controls_.clear();
  rawControls_.clear();
  radioGroups_.clear();
  notifications_.clear();
  ReleaseWidget();
  return result_;
}

BOOL CDialog::OnInitDialog() {
  UpdateData(0);
  return 1;
}

void CDialog::OnOK() {
  if (!UpdateData(1)) return;  // validation failed: the dialog stays open
  EndDialog(IDOK);
}

void CDialog::OnCancel() {
  EndDialog(IDCANCEL);
}
void CDialog::DoDataExchange(CDataExchange*) {}

void CDialog::EndDialog(intptr_t result) {
  result_ = result;
  ended_ = true;
  if (inModal_) {
    if (auto* dialog = qobject_cast<QDialog*>(GetWidget()))
      dialog->QDialog::done(static_cast<int>(result));
  }
}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
  CDataExchange dx(this, saveAndValidate != 0);
  DoDataExchange(&dx);
  return dx.failed() ? 0 : 1;
}

CDialog& CDialog::OnNotify(UINT id, UINT code, std::function<void()> handler) {
  notifications_[{id, code}] = std::move(handler);
  return *this;
}

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM) {
  const UINT id = LOWORD(wParam);
  const UINT code = HIWORD(wParam);
  if (code != BN_CLICKED) {
    if (auto it = notifications_.find({id, code}); it != notifications_.end()) {
      auto handler = it->second;
      handler();
      return 1;
    }
    return 0;
  }
  if (HasHandler(id)) return CommandRoute({this}).Dispatch(id) ? 1 : 0;
  if (auto it = notifications_.find({id, code}); it != notifications_.end()) {
    auto handler = it->second;
    handler();
    return 1;
  }
  if (id == static_cast<UINT>(IDOK)) {
    OnOK();
    return 1;
  }
  if (id == static_cast<UINT>(IDCANCEL)) {
    OnCancel();
    return 1;
  }
  return 0;
}

bool CDialog::BeforeQtEvent(QEvent*) {
  return false;
}

CWnd* CDialog::GetDlgItem(UINT id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second.get();
}

CScrollBar* CDialog::GetScrollBarCtrl(UINT id) const {
  if (auto it = boundBars_.find(id); it != boundBars_.end()) return it->second;
  auto it = scrollBars_.find(id);
  return it == scrollBars_.end() ? nullptr : it->second.get();
}

CComboBox* CDialog::GetComboBox(UINT id) const {
  return dynamic_cast<CComboBox*>(GetDlgItem(id));
}

void CDialog::SetDlgItemText(UINT id, const std::string& text) {
  if (CWnd* w = GetDlgItem(id)) w->SetWindowText(text);
}

UINT CDialog::GetDlgItemText(UINT id, CString& text) const {
  text = GetDlgItemText(id);
  return static_cast<UINT>(text.size());
}

std::string CDialog::GetDlgItemText(UINT id) const {
  CWnd* w = GetDlgItem(id);
  return w != nullptr ? w->GetWindowText() : std::string();
}

void CDialog::SetDlgItemInt(UINT id, UINT value, BOOL isSigned) {
  SetDlgItemText(id, isSigned ? std::to_string(static_cast<int>(value)) : std::to_string(value));
}

void CDialog::CheckDlgButton(UINT id, UINT check) {
  auto it = rawControls_.find(id);
  if (it == rawControls_.end()) return;
  if (auto* button = qobject_cast<QAbstractButton*>(it->second)) {
    button->setCheckable(true);
    button->setChecked(check != 0);
  }
}

UINT CDialog::IsDlgButtonChecked(UINT id) const {
  auto it = rawControls_.find(id);
  if (it == rawControls_.end()) return 0;
  auto* button = qobject_cast<QAbstractButton*>(it->second);
  return button != nullptr && button->isChecked() ? 1 : 0;
}

void CDialog::CheckRadioButton(UINT firstId, UINT lastId, UINT checkId) {
  for (const DialogControl& c : template_.controls)
    if (c.id >= firstId && c.id <= lastId && c.cls == ControlClass::RadioButton)
      CheckDlgButton(c.id, c.id == checkId ? 1 : 0);
}

UINT CDialog::GetCheckedRadioButton(UINT firstId, UINT lastId) const {
  for (const DialogControl& c : template_.controls)
    if (c.id >= firstId && c.id <= lastId && IsDlgButtonChecked(c.id)) return c.id;
  return 0;
}

std::vector<UINT> CDialog::RadioGroup(UINT firstId) const {
  for (const auto& group : radioGroups_)
    if (!group.empty() && group.front() == firstId) return group;
  return {};
}

void CDialog::GotoDlgCtrl(CWnd* control) {
  if (control == nullptr || control->GetWidget() == nullptr) return;
  control->GetWidget()->setFocus(Qt::OtherFocusReason);
  if (auto* edit = qobject_cast<QLineEdit*>(control->GetWidget())) edit->selectAll();
}
