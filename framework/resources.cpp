// resources.cpp - the process-wide resource set and the conversion of menu and accelerator
// tables into Qt menus and key sequences.
#include "resources.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <utility>

#include "resources_qt.h"

namespace {
std::shared_ptr<const ResourceSet>& CurrentResources() {
  static std::shared_ptr<const ResourceSet> resources = std::make_shared<const ResourceSet>();
  return resources;
}

void AddItems(QMenu* menu, const std::vector<MenuItem>& items,
              const std::function<void(UINT)>& dispatch) {
  for (const MenuItem& item : items) {
    if (item.separator) {
      menu->addSeparator();
    } else if (item.isPopup || !item.items.empty()) {
      QMenu* sub = menu->addMenu(QString::fromStdString(item.text));
      AddItems(sub, item.items, dispatch);
    } else {
      // The text after '\t' is shown as the shortcut column; the key itself is an accelerator.
      QAction* action = menu->addAction(QString::fromStdString(item.text));
      action->setData(item.id);
      const UINT id = item.id;
      QObject::connect(action, &QAction::triggered, menu, [dispatch, id] { dispatch(id); });
    }
  }
}

void RefreshMenu(QMenu* menu, const std::function<CommandState(UINT)>& query) {
  for (QAction* action : menu->actions()) {
    if (action->isSeparator() || action->menu() != nullptr || !action->data().isValid()) continue;
    const CommandState state = query(action->data().toUInt());
    action->setEnabled(state.enabled);
    // A rule that says nothing about the mark leaves it as the menu shows it.
    if (state.checkSet || !state.hasRule) {
      action->setCheckable(state.check != 0 || action->isChecked());
      action->setChecked(state.check != 0);
    }
    if (!state.text.empty()) action->setText(QString::fromStdString(state.text));
  }
}

QAction* FindIn(const QList<QAction*>& actions, UINT id) {
  for (QAction* action : actions) {
    if (action->menu() != nullptr) {
      if (QAction* found = FindIn(action->menu()->actions(), id)) return found;
    } else if (!action->isSeparator() && action->data().isValid() &&
               action->data().toUInt() == id) {
      return action;
    }
  }
  return nullptr;
}
}  // namespace

void AfxSetResources(std::shared_ptr<const ResourceSet> resources) {
  CurrentResources() = resources ? std::move(resources) : std::make_shared<const ResourceSet>();
}

const ResourceSet& AfxGetResources() {
  return *CurrentResources();
}

std::string AfxLoadString(UINT id) {
  const auto& strings = AfxGetResources().strings;
  auto it = strings.find(id);
  return it == strings.end() ? std::string() : it->second;
}

std::string AfxExtractSubString(const std::string& full, int index) {
  size_t start = 0;
  for (int i = 0; i < index; ++i) {
    size_t nl = full.find('\n', start);
    if (nl == std::string::npos) return {};
    start = nl + 1;
  }
  size_t end = full.find('\n', start);
  return full.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

QKeySequence AccelKeySequence(const AccelEntry& entry) {
  int key = 0;
  const UINT vk = entry.key;
  if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) {
    key = static_cast<int>(vk);  // Qt::Key_0.. and Qt::Key_A.. are the ASCII codes
  } else if (vk >= VK_F1 && vk < VK_F1 + 24) {
    key = Qt::Key_F1 + static_cast<int>(vk - VK_F1);
  } else {
    switch (vk) {
      case VK_BACK:
        key = Qt::Key_Backspace;
        break;
      case VK_TAB:
        key = Qt::Key_Tab;
        break;
      case VK_RETURN:
        key = Qt::Key_Return;
        break;
      case VK_ESCAPE:
        key = Qt::Key_Escape;
        break;
      case VK_INSERT:
        key = Qt::Key_Insert;
        break;
      case VK_DELETE:
        key = Qt::Key_Delete;
        break;
      default:
        return {};
    }
  }
  Qt::KeyboardModifiers mods;
  if (entry.modifiers & FCONTROL) mods |= Qt::ControlModifier;
  if (entry.modifiers & FSHIFT) mods |= Qt::ShiftModifier;
  if (entry.modifiers & FALT) mods |= Qt::AltModifier;
  return QKeySequence(QKeyCombination(mods, static_cast<Qt::Key>(key)));
}

void BuildMenuBar(QMenuBar* bar, const MenuTemplate& menu, std::function<void(UINT)> dispatch,
                  std::function<CommandState(UINT)> query) {
  bar->clear();
  for (const MenuItem& top : menu) {
    if (top.separator) continue;
    if (top.isPopup || !top.items.empty()) {
      QMenu* popup = bar->addMenu(QString::fromStdString(top.text));
      AddItems(popup, top.items, dispatch);
      // The rules are asked every time a popup (or one of its submenus) opens.
      std::function<void(QMenu*)> hook = [&hook, query](QMenu* m) {
        QObject::connect(m, &QMenu::aboutToShow, m, [m, query] { RefreshMenu(m, query); });
        for (QAction* a : m->actions())
          if (a->menu() != nullptr) hook(a->menu());
      };
      hook(popup);
    } else {
      QAction* action = bar->addAction(QString::fromStdString(top.text));
      action->setData(top.id);
      const UINT id = top.id;
      QObject::connect(action, &QAction::triggered, bar, [dispatch, id] { dispatch(id); });
    }
  }
}

QAction* FindMenuAction(QMenuBar* bar, UINT id) {
  return FindIn(bar->actions(), id);
}

QIcon ResourceIcon(UINT id) {
  QIcon icon;
  const auto& icons = AfxGetResources().icons;
  auto it = icons.find(id);
  if (it == icons.end()) return icon;
  for (const QString& file : QString::fromStdString(it->second).split(';', Qt::SkipEmptyParts))
    icon.addFile(file);
  // A file that cannot be read adds no size, yet leaves the icon non-null.
  return icon.availableSizes().isEmpty() ? QIcon() : icon;
}
