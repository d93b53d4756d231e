// The visible state of the check window, free of any toolkit: window caption,
// the 18 option buttons and status labels (one per check index), the problem
// grid, the menus and the mouse pointer. A front-end draws this and forwards
// clicks to frmCCheckView; tests assert on it.
#pragma once

#include <array>
#include <span>
#include <string>

#include "checks/ModChecks.h"
#include "state/view_state.h"

namespace sorvane {

struct CheckViewState {
  std::string caption;
  bool visible = false;
  // Index i belongs to check i. A label's `highlighted` marks a failed check;
  // bold and underline show the check's severity.
  std::array<LabelState, kCheckControls> lblStatus;
  std::array<OptionState, kCheckControls> optReview;
  GridState DataGrid1{false, "", nullptr, 3015, 9495};
  // Below the grid: what changed since the table's checks ran over other
  // workbooks (shown only when that is known).
  LabelState lblChanges{"", false, false, false, false, ""};
  // "mnuRunChecks(1)".."(9)", "mnuExcelChecks(1)".."(8)", "mnuMarkedCopies",
  // "mnuRef(0)".."(3)",
  // the headers "mnuRunChecksHeader", "mnuExcelHeader", "SPACE1", "mnuRefTitle".
  MenuMap menus;
  int mouse_pointer = kPointerDefault;
  int width = 10005;  // twips
  int height = 8340;
};

// A menu of the check window: control name and caption ("-" for a separator).
struct CheckViewMenu {
  const char* name;
  const char* caption;
  const char* parent;  // "" for a menu header
};
// Every menu header and item, in the order they appear.
std::span<const CheckViewMenu> CheckViewMenus();
// The items "Data Checks" (1..5 one table, 7 all) and "Output to Excel" (1..5, 7).
std::string RunChecksItem(int table);
std::string ExcelChecksItem(int table);

// Where button i and label i stand, in twips from the window's top-left corner:
// three columns of six (indices 0-5, 6-11, 12-17), each label right of its
// button; the grid lies below them.
struct CheckControlPlace {
  int button_left, button_top, label_left, label_top;
};
inline constexpr int kCheckButtonWidth = 255;
inline constexpr int kCheckButtonHeight = 375;
inline constexpr int kCheckLabelHeight = 195;
CheckControlPlace CheckControlPosition(int index);

}  // namespace sorvane
