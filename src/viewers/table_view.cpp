#include "viewers/table_view.h"

#include <string>

namespace sorvane {

void mnuTabView_Click(RunState& state, int i) {
  if (i < 0 || i > 5) return;
  GridState& grid = state.view.DataGrid1;
  grid.visible = true;
  grid.caption =
      "Table " + std::to_string(i) + " Data View - Edits must be made in Excel and Re-imported";
  if (i == 0) {
    grid.source.reset();
    grid.visible = false;
  } else if (state.Tables[i].TableStatus < stage::kDataTypes) {
    grid.source = state.SheetRecordset[i];
  } else {
    grid.source = state.TempRecordset[i];
  }
  state.Refresh();
}

}  // namespace sorvane
