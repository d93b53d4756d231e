#include "menu_builder.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace sorvane::gui {

QAction* MenuBuilder::Register(QAction* action, const std::string& name) {
  if (!name.empty()) {
    action->setObjectName(QString::fromStdString(name));
    actions_[name] = action;
  }
  return action;
}

QMenu* MenuBuilder::Menu(const std::string& name, const QString& caption) {
  QMenu* menu = bar_->addMenu(caption);
  menu->setObjectName(QString::fromStdString(name));
  Register(menu->menuAction(), name);
  return menu;
}

QAction* MenuBuilder::Item(QMenu* menu, const std::string& name, const QString& caption,
                           std::function<void()> on_click) {
  QAction* action = menu->addAction(caption);
  QObject::connect(action, &QAction::triggered, action, [f = std::move(on_click)] { f(); });
  return Register(action, name);
}

QAction* MenuBuilder::Separator(QMenu* menu, const std::string& name) {
  return Register(menu->addSeparator(), name);
}

QAction* MenuBuilder::BarItem(const std::string& name, const QString& caption,
                              std::function<void()> on_click) {
  QAction* action = bar_->addAction(caption);
  if (on_click) {
    QObject::connect(action, &QAction::triggered, action, [f = std::move(on_click)] { f(); });
  }
  return Register(action, name);
}

}  // namespace sorvane::gui
