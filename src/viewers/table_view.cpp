#include "viewers/table_view.h"

#include <string>
#include <vector>

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

TableViewRow TableViewRowAt(const RunState& state, int64_t row, int column) {
  const std::shared_ptr<RecordSet>& shown = state.view.DataGrid1.source;
  if (!shown || row < 0 || row >= shown->RecordCount()) return {};
  for (int i = 1; i <= 5; ++i) {
    // Both hold a row per sheet record, in the order read.
    if (shown != state.SheetRecordset[i] && shown != state.TempRecordset[i]) continue;
    const int field =
        column >= 0 && static_cast<size_t>(column) < shown->FieldCount()
            ? state.Tables[i].Origin.FieldIndex(shown->GetField(static_cast<size_t>(column)).name)
            : -1;
    return {i, shown->AddedAt(row), field};
  }
  return {};
}

std::string TableViewPlace(const RunState& state, const TableViewRow& at) {
  if (at.table == 0) return "";
  const TableInfo& t = state.Tables[at.table];
  if (t.WorkbookName.empty() || static_cast<size_t>(at.record) >= t.Origin.record_rows.size())
    return "";
  const std::vector<int32_t> fields =
      at.field >= 0 ? std::vector<int32_t>{at.field} : std::vector<int32_t>{};
  return DescribePlace(t.Origin.PlaceOf(t.WorkbookName, t.SheetName, at.record, fields));
}

}  // namespace sorvane
