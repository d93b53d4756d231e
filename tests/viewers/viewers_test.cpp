// The reference-list window (the four lists with their captions and rows, one
// window reused for every list, snapshots, heading sort and exit) and the table
// view (which record set the main grid shows for each table and stage).
#include <gtest/gtest.h>

#include "core/text.h"
#include "state/run_state.h"
#include "support/case_table.h"
#include "support/scripted_ui.h"
#include "support/work_db.h"
#include "viewers/find_cell.h"
#include "viewers/frmCMinorTableView.h"
#include "viewers/table_view.h"

namespace sorvane::testing {
namespace {

class ReferenceListTest : public ::testing::Test {
 protected:
  void SetUp() override { OpenTestWorkDb(state.WorkConn); }
  int64_t Count(const std::string& table) {
    return state.WorkConn.QueryValue("SELECT count(*) FROM " + table).AsInteger();
  }
  // The columns shown, "|" between them.
  std::string Fields() {
    std::string out;
    for (const Field& f : window.view().DataGrid1.source->fields())
      out += (out.empty() ? "" : "|") + f.name;
    return out;
  }
  std::string Cell(int64_t row, const std::string& field) {
    const RecordSet& rs = *window.view().DataGrid1.source;
    return rs.At(row, static_cast<size_t>(rs.FieldIndex(field))).ToDisplay();
  }

  ScriptedUi ui;
  RunState state{ui, Paths{}};
  frmCMinorTableView window{state};
};

TEST_F(ReferenceListTest, ShowsEachListWithItsCaptionAndRows) {
  for (const auto& c : CaseTable("reference_lists.txt")) {
    ASSERT_TRUE(window.ShowReferenceList(std::stoi(c[0]))) << c[1];
    EXPECT_EQ(window.view().caption, c[1]);
    EXPECT_TRUE(window.view().visible);
    EXPECT_TRUE(window.view().DataGrid1.visible);
    EXPECT_FALSE(window.view().grid_allow_update);
    EXPECT_EQ(Fields(), c[2]) << c[1];
    EXPECT_GT(Count(c[3]), 0) << c[3];
    EXPECT_EQ(window.view().DataGrid1.source->RecordCount(), Count(c[3])) << c[1];
  }
  EXPECT_EQ(ui.windows_shown, std::vector<std::string>(4, "frmCMinorTableView"));
  EXPECT_TRUE(ui.windows_closed.empty());
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ReferenceListTest, LaboratoriesComeByNameAndAHeadingClickSortsOnThatColumn) {
  window.ShowReferenceList(2);
  for (int64_t r = 1; r < window.view().DataGrid1.source->RecordCount(); ++r)
    EXPECT_LE(UpperCase(Cell(r - 1, "LABORATORY")), UpperCase(Cell(r, "LABORATORY")));
  window.ShowReferenceList(3);
  window.DataGrid1_HeadClick(1);  // CONTRACTOR
  const RecordSet& shown = *window.view().DataGrid1.source;
  EXPECT_EQ(shown.SortField(), "CONTRACTOR");
  for (int64_t r = 1; r < shown.RecordCount(); ++r)
    EXPECT_LE(UpperCase(Cell(r - 1, "CONTRACTOR")), UpperCase(Cell(r, "CONTRACTOR")));
  window.DataGrid1_HeadClick(7);  // no such column: nothing happens
  EXPECT_EQ(shown.SortField(), "CONTRACTOR");
}

TEST_F(ReferenceListTest, AnOpenListIsASnapshotAMissingTableIsReportedAndExitUnloads) {
  window.ShowReferenceList(3);
  auto shown = window.view().DataGrid1.source;
  const int64_t before = shown->RecordCount();
  state.WorkConn.ExecuteNative(
      "INSERT INTO MT_CONTRACTOR (CONTRACT, CONTRACTOR) VALUES ('C-99', 'Late Arrival Ltd')");
  EXPECT_EQ(window.view().DataGrid1.source->RecordCount(), before);
  window.ShowReferenceList(3);
  EXPECT_EQ(window.view().DataGrid1.source->RecordCount(), before + 1);
  EXPECT_EQ(shown->RecordCount(), before);  // the old snapshot is untouched

  // A missing reference table is reported, not fatal; an unknown list is ignored.
  state.WorkConn.ExecuteNative("DROP TABLE MT_LAB");
  EXPECT_FALSE(window.ShowReferenceList(2));
  EXPECT_EQ(ui.messages, std::vector<std::string>{"1 no such table: MT_LAB"});
  EXPECT_EQ(window.view().caption, "CONTRACT LIST");  // still showing what it showed
  EXPECT_FALSE(window.ShowReferenceList(4));
  EXPECT_EQ(ui.messages.size(), 1u);

  window.mnuFileExit_Click();
  EXPECT_FALSE(window.loaded());
  EXPECT_FALSE(window.view().visible);
  EXPECT_EQ(window.view().DataGrid1.source, nullptr);
  EXPECT_EQ(ui.windows_closed, std::vector<std::string>{"frmCMinorTableView"});
  ASSERT_TRUE(window.ShowReferenceList(1));
  EXPECT_TRUE(window.loaded());
  EXPECT_EQ(window.view().caption, "CAS/ANALYTE LIST");
}

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

namespace sorvane::testing {
namespace {

// Cells are searched row by row from the current one, around the end, by the
// text they show, letters of either case alike.
TEST(FindCellTest, FindsTheNextCellShowingTheTextAroundTheEndAndBackward) {
  RecordSet rows;
  rows.AppendField("POINT_ID", 200, 20);
  rows.AppendField("CONC", 4, 0);
  for (const auto& [point, conc] : {std::pair{"MW-1", 0.25}, {"mw-10", 12.0}, {"MW-2", 2.5}}) {
    rows.AddNew();
    rows.SetValue(0, Value::Text(point));
    rows.SetValue(1, Value::Real(conc));
  }
  rows.AddNew();  // missing values match nothing
  auto at = [](std::optional<CellAt> c) {
    return c ? std::to_string(c->row) + ":" + std::to_string(c->column) : std::string("none");
  };
  EXPECT_EQ(at(FindCell(rows, "mw-1", {-1, 0})), "0:0");
  EXPECT_EQ(at(FindCell(rows, "mw-1", {0, 0})), "1:0");
  EXPECT_EQ(at(FindCell(rows, "mw-1", {1, 0})), "0:0");  // around the end
  EXPECT_EQ(at(FindCell(rows, "mw-1", {1, 0}, false, true)), "1:0");
  EXPECT_EQ(at(FindCell(rows, "mw-1", {0, 0}, true)), "1:0");  // backward, around the start
  EXPECT_EQ(at(FindCell(rows, "2.5", {-1, 0})), "2:1");        // numbers as shown
  EXPECT_EQ(at(FindCell(rows, "MW-3", {0, 0})), "none");
  rows.SetValue(0, Value::Text("ÉTHER"));  // accented capitals too
  EXPECT_EQ(at(FindCell(rows, "éther", {0, 0})), "3:0");
  EXPECT_EQ(at(FindCell(rows, "", {0, 0})), "none");
}

}  // namespace
}  // namespace sorvane::testing
