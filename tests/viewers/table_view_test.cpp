// The table view: which record set the main grid shows for each table and stage.
#include "viewers/table_view.h"

#include <gtest/gtest.h>

#include "state/run_state.h"
#include "support/scripted_ui.h"

namespace sorvane::testing {
namespace {

TEST(TableViewTest, WorkbookRowsBelowStageFourTypedRowsFromItAndNoneHidesTheGrid) {
  ScriptedUi ui;
  RunState state(ui, Paths{});
  const GridState& grid = state.view.DataGrid1;
  for (int status = 0; status <= 8; ++status) {
    state.Tables[3].TableStatus = status;
    mnuTabView_Click(state, 3);
    EXPECT_TRUE(grid.visible) << status;
    EXPECT_EQ(grid.source, status < 4 ? state.SheetRecordset[3] : state.TempRecordset[3]) << status;
    EXPECT_EQ(grid.caption, "Table 3 Data View - Edits must be made in Excel and Re-imported");
  }
  mnuTabView_Click(state, 6);  // outside the menu: nothing changes
  mnuTabView_Click(state, -1);
  EXPECT_EQ(grid.source, state.TempRecordset[3]);
  mnuTabView_Click(state, 0);
  EXPECT_FALSE(grid.visible);
  EXPECT_EQ(grid.source, nullptr);
  EXPECT_EQ(grid.caption, "Table 0 Data View - Edits must be made in Excel and Re-imported");
  mnuTabView_Click(state, 5);  // never imported: its empty workbook rows
  EXPECT_EQ(grid.source, state.SheetRecordset[5]);
  EXPECT_EQ(grid.source->RecordCount(), 0);
}

}  // namespace
}  // namespace sorvane::testing
