// Builds a window's menu bar from control names and captions. Every menu,
// item and named separator is a QAction whose object name is the control's
// name ("mnuRunData(0)", "mnuCheckTablesHeader"), registered in a map so the
// window can draw the menu states of the core without searching its children.
#pragma once

#include <QString>
#include <functional>
#include <map>
#include <string>

class QAction;
class QMenu;
class QMenuBar;

namespace sorvane::gui {

using ActionMap = std::map<std::string, QAction*>;

class MenuBuilder {
 public:
  MenuBuilder(QMenuBar* bar, ActionMap& actions) : bar_(bar), actions_(actions) {}

  // A menu of the bar; its title action carries `name`.
  QMenu* Menu(const std::string& name, const QString& caption);
  // An item of `menu` that runs `on_click` when chosen.
  QAction* Item(QMenu* menu, const std::string& name, const QString& caption,
                std::function<void()> on_click);
  // A separator; registered when it has a name (a separator of a control array).
  QAction* Separator(QMenu* menu, const std::string& name = "");
  // An entry of the bar itself without items (it runs `on_click`, if any).
  QAction* BarItem(const std::string& name, const QString& caption,
                   std::function<void()> on_click = {});

 private:
  QAction* Register(QAction* action, const std::string& name);

  QMenuBar* bar_;
  ActionMap& actions_;
};

}  // namespace sorvane::gui
