// The table view: which record set the main grid shows for each table and stage.
#include "viewers/table_view.h"

#include <gtest/gtest.h>

#include "state/run_state.h"
#include "support/scripted_ui.h"

namespace sorvane::testing {
namespace {

class TableViewTest : public ::testing::Test {
 protected:
  TableViewTest() : state(ui, Paths{}) {}
  const GridState& grid() const { return state.view.DataGrid1; }

  ScriptedUi ui;
  RunState state;
};

TEST_F(TableViewTest, NoneHidesTheGridEvenWhenItWasHidden) {
  for (bool was_visible : {true, false}) {
    state.view.DataGrid1.visible = was_visible;
    state.view.DataGrid1.source = state.SheetRecordset[2];
    mnuTabView_Click(state, 0);
    EXPECT_FALSE(grid().visible);
    EXPECT_EQ(grid().source, nullptr);
    EXPECT_EQ(grid().caption, "Table 0 Data View - Edits must be made in Excel and Re-imported");
  }
}

TEST_F(TableViewTest, TablesBelowStageFourShowTheWorkbookRows) {
  for (int status : {0, 1, 2, 3}) {
    state.Tables[3].TableStatus = status;
    mnuTabView_Click(state, 3);
    EXPECT_TRUE(grid().visible) << status;
    EXPECT_EQ(grid().source, state.SheetRecordset[3]) << status;
    EXPECT_EQ(grid().caption, "Table 3 Data View - Edits must be made in Excel and Re-imported");
  }
}

TEST_F(TableViewTest, TablesFromStageFourShowTheTypedRows) {
  for (int status : {4, 5, 6, 7, 8}) {
    state.Tables[3].TableStatus = status;
    mnuTabView_Click(state, 3);
    EXPECT_TRUE(grid().visible) << status;
    EXPECT_EQ(grid().source, state.TempRecordset[3]) << status;
  }
}

TEST_F(TableViewTest, NeverImportedTableShowsItsEmptyWorkbookRows) {
  mnuTabView_Click(state, 5);
  ASSERT_NE(grid().source, nullptr);
  EXPECT_EQ(grid().source, state.SheetRecordset[5]);
  EXPECT_EQ(grid().source->RecordCount(), 0);
  EXPECT_GT(ui.refreshes, 0);
}

TEST_F(TableViewTest, IndexOutsideTheMenuChangesNothing) {
  mnuTabView_Click(state, 2);
  const GridState before = grid();
  mnuTabView_Click(state, 6);
  mnuTabView_Click(state, -1);
  EXPECT_EQ(grid().source, before.source);
  EXPECT_EQ(grid().caption, before.caption);
  EXPECT_TRUE(grid().visible);
}

}  // namespace
}  // namespace sorvane::testing
