#include "state/menu_names.h"

#include "state/view_state.h"

namespace sorvane::menu {

std::string RunData(int index) { return ControlName("mnuRunData", index); }
std::string CheckTables(int index) { return ControlName("mnuCheckTables", index); }
std::string TabView(int index) { return ControlName("mnuTabView", index); }
std::string ViewRef(int index) { return ControlName("mnuViewRef", index); }

}  // namespace sorvane::menu
