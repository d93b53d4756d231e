// The check window over the clean facility: verdicts on the labels, the table
// status and its check mark, the grid of the first failed check, re-runs,
// sorting, the error-workbook hook, rejected queries and closing.
#include <gtest/gtest.h>

#include <stdexcept>

#include "checks/frmCCheckView.h"
#include "facility_fixture.h"
#include "viewers/frmCMinorTableView.h"

namespace sorvane::testing {
namespace {

class CheckViewTest : public FacilityTest {
 protected:
  void SetUp() override {
    FacilityTest::SetUp();
    state.FacilityID = facility;
    for (int t = 1; t <= 5; ++t) state.Tables[t].TableStatus = 6;
  }
  // Opens the window on `table` (0: all tables), as the main menu does.
  void Open(int table) {
    state.SelectedTable = table;
    view.Form_Load();
  }
  const LabelState& Label(int i) { return view.view().lblStatus[static_cast<size_t>(i)]; }
  const OptionState& Button(int i) { return view.view().optReview[static_cast<size_t>(i)]; }
  bool Checked(int table) {
    return view.view().menus.at(ControlName("mnuRunChecks", table)).checked;
  }
  // Check 1.2 (NAVD far above the wells) and 1.5 (a point without seconds) fail.
  void BreakChecks1_2And1_5() {
    Update("MT_TEMP1", "NAVD = 110", "POINT_ID = 'MW-1'");
    Update("MT_TEMP1", "LAT_SS = NULL", "POINT_ID = 'MW-2'");
  }

  frmCCheckView view{state};
};

TEST_F(CheckViewTest, ATableWhoseChecksAllPass) {
  Open(3);
  EXPECT_TRUE(view.loaded());
  EXPECT_EQ(view.view().caption, "Table 3 - Water Level Table");
  ASSERT_EQ(view.CheckList.size(), 7u);
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(Label(i).caption, view.CheckList[i].PassString);
    EXPECT_FALSE(Label(i).highlighted);
    EXPECT_TRUE(Label(i).bold && Label(i).underline) << "severity 2 label " << i;
    EXPECT_EQ(Label(i).tooltip, view.CheckList[i].ToolTip);
    EXPECT_TRUE(Label(i).visible && Button(i).visible);
    EXPECT_FALSE(Button(i).enabled);
    EXPECT_TRUE(view.CheckList[i].Status);
  }
  EXPECT_EQ(Label(1).caption, "No Problems with Water Level Dates.");
  EXPECT_FALSE(view.view().DataGrid1.visible);
  EXPECT_EQ(state.Tables[3].TableStatus, 8);
  EXPECT_TRUE(Checked(3));
  // Opening the window puts every other table that has not passed at 7, unchecked.
  for (int t : {1, 2, 4, 5}) {
    EXPECT_EQ(state.Tables[t].TableStatus, 7) << t;
    EXPECT_FALSE(Checked(t)) << t;
  }
  EXPECT_EQ(view.view().mouse_pointer, kPointerDefault);
  EXPECT_EQ(ui.windows_shown, std::vector<std::string>{"frmCCheckView"});
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(CheckViewTest, FailuresAtChecks2And5OpenCheck2Only) {
  BreakChecks1_2And1_5();
  Open(1);
  EXPECT_EQ(Label(2).caption, "MAY be a problem with incorrect NAVD Values.");
  EXPECT_EQ(Label(5).caption, "Problem with missing Lat/Long Values.");
  for (int i = 0; i < 10; ++i) {
    const bool failed = i == 2 || i == 5;
    EXPECT_EQ(Label(i).highlighted, failed) << i;
    EXPECT_EQ(Button(i).enabled, failed) << i;
    EXPECT_EQ(view.CheckList[i].Status, !failed) << i;
    // Severity: 0-2 plain, 3-5 underlined, 6-9 bold and underlined.
    EXPECT_EQ(Label(i).underline, i >= 3) << i;
    EXPECT_EQ(Label(i).bold, i >= 6) << i;
  }
  EXPECT_TRUE(Button(2).selected);
  EXPECT_FALSE(Button(5).selected);
  const GridState& grid = view.view().DataGrid1;
  EXPECT_TRUE(grid.visible);
  EXPECT_EQ(grid.caption, "Table 1: MAY be a problem with incorrect NAVD Values.");
  ASSERT_EQ(grid.source, view.adoProblemRS);
  EXPECT_EQ(Rows(*grid.source), (std::vector<std::vector<std::string>>{{"NEW", "MW-1", "110"}}));
  EXPECT_EQ(state.Tables[1].TableStatus, 7);
  EXPECT_FALSE(Checked(1));
}

TEST_F(CheckViewTest, ExcelOutputHandsEveryFailedCheckToTheWorkbook) {
  BreakChecks1_2And1_5();
  Open(1);
  struct Call {
    int table, index;
    std::string fail;
    int64_t rows;
    std::string caption;
  };
  std::vector<Call> calls;
  view.WriteCheckErrors = [&](int table, int index) {
    calls.push_back({table, index, view.CheckList[index].FailString,
                     view.adoProblemRS->RecordCount(), view.view().DataGrid1.caption});
  };
  EXPECT_FALSE(view.RunAllChecks(1, true));
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].index, 2);
  EXPECT_EQ(calls[0].rows, 1);
  EXPECT_EQ(calls[0].caption, "Table 1: MAY be a problem with incorrect NAVD Values.");
  EXPECT_EQ(calls[1].table, 1);
  EXPECT_EQ(calls[1].index, 5);
  EXPECT_EQ(calls[1].fail, "Problem with missing Lat/Long Values.");
  EXPECT_EQ(calls[1].rows, 1);
  EXPECT_TRUE(Button(5).selected);
  EXPECT_FALSE(Button(2).selected);
}

TEST_F(CheckViewTest, AWorkbookFailureStopsTheExportButNotTheRun) {
  BreakChecks1_2And1_5();
  Open(1);
  int calls = 0;
  view.WriteCheckErrors = [&](int, int) {
    ++calls;
    throw std::runtime_error("workbook closed");
  };
  view.ExportStopped = false;
  EXPECT_FALSE(view.RunAllChecks(1, true));
  EXPECT_EQ(calls, 2);
  EXPECT_TRUE(view.ExportStopped);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(CheckViewTest, Table3AfterTable2ShowsOnlyItsSevenChecks) {
  Open(2);
  for (int i = 0; i < 18; ++i) EXPECT_EQ(Label(i).visible, i < 17) << i;
  view.mnuRunChecks_Click(3);
  for (int i = 0; i < 18; ++i) {
    EXPECT_EQ(Label(i).visible, i < 7) << i;
    EXPECT_EQ(Button(i).visible, i < 7) << i;
  }
  EXPECT_EQ(view.LastCheck(), 6);
  EXPECT_EQ(view.CurrentTable(), 3);
  EXPECT_EQ(state.SelectedTable, 3);
}

TEST_F(CheckViewTest, AFixedCheckPassesWhenSelectedButTheTableStays7) {
  BreakChecks1_2And1_5();
  Open(1);
  Update("MT_TEMP1", "NAVD = 100", "POINT_ID = 'MW-1'");
  view.optReview_Click(2);
  EXPECT_EQ(Label(2).caption, "No incorrect NAVD Values.");
  EXPECT_FALSE(Label(2).highlighted);
  EXPECT_FALSE(view.view().DataGrid1.visible);
  EXPECT_FALSE(Button(2).enabled);
  EXPECT_FALSE(view.CheckList[2].Status);  // the selection leaves the verdict alone
  EXPECT_EQ(state.Tables[1].TableStatus, 7);
  // Clicking the label of a still failing check opens it.
  view.lblStatus_Click(5);
  EXPECT_TRUE(view.view().DataGrid1.visible);
  EXPECT_EQ(view.view().DataGrid1.caption, "Table 1: Problem with missing Lat/Long Values.");
  EXPECT_EQ(view.adoProblemRS->RecordCount(), 1);
}

TEST_F(CheckViewTest, ARunAfterSortingStartsFromAFreshRecordSet) {
  Update("MT_TEMP1", "NAVD = 110");  // check 1.2 lists all three points
  Open(1);
  auto sorted = view.adoProblemRS;
  view.DataGrid1_HeadClick(2);  // NAVD
  EXPECT_TRUE(view.GridSorted());
  EXPECT_EQ(sorted->SortField(), "NAVD");
  view.DataGrid1_HeadClick(99);  // no such column: ignored
  EXPECT_EQ(sorted->SortField(), "NAVD");
  view.mnuRunChecks_Click(1);
  EXPECT_FALSE(view.GridSorted());
  EXPECT_NE(view.adoProblemRS, sorted);
  EXPECT_EQ(view.adoProblemRS->SortField(), "");
  EXPECT_EQ(view.view().DataGrid1.source, view.adoProblemRS);
  EXPECT_EQ(view.adoProblemRS->RecordCount(), 3);
}

TEST_F(CheckViewTest, AllTablesEndOnTable5WithEveryVerdict) {
  Update("MT_TEMP3", "WL = NULL");  // table 3 fails its first check
  Open(0);
  EXPECT_EQ(view.CurrentTable(), 5);
  EXPECT_EQ(view.view().caption, "Table 5 - Analytical Data Table");
  for (int t = 1; t <= 5; ++t) {
    EXPECT_EQ(state.Tables[t].TableStatus, t == 3 ? 7 : 8) << t;
    EXPECT_EQ(Checked(t), t != 3) << t;
  }
  EXPECT_FALSE(view.view().DataGrid1.visible);
  EXPECT_TRUE(ui.messages.empty());
}

// The window's verdict of every check agrees with its full query, on a
// facility where some checks of each table fail and others pass.
TEST_F(CheckViewTest, VerdictsAgreeWithTheFullQueries) {
  for (const char* table :
       {"MT_TEMP1", "MT_TEMP2", "MT_TEMP2A", "MT_TEMP3", "MT_TEMP4", "MT_TEMP4A", "MT_TEMP5"})
    Add(table, {{"POINT_ID", T("MW-1")}, {"REVIEWED", T("NEW")}});
  Update("MT_TEMP5", "UNITS = 'ug/kg', LAB = 0", "rowid = 1");
  Update("MT_TEMP4", "SAM_DATE = '1990-01-01 00:00:00'", "SAM_ID = 'S-1'");
  Open(1);
  int failed = 0, passed = 0;
  for (int t = 1; t <= 5; ++t) {
    view.RunAllChecks(t, false);
    for (size_t i = 0; i < view.CheckList.size(); ++i) {
      const bool rows = conn.Query(view.CheckList[i].qryProblems).RecordCount() > 0;
      EXPECT_EQ(view.CheckList[i].Status, !rows) << "check " << t << "." << i;
      (rows ? failed : passed)++;
    }
  }
  EXPECT_GT(failed, 20);
  EXPECT_GT(passed, 10);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(CheckViewTest, OpeningAnOpenWindowRunsNothing) {
  Open(3);
  Update("MT_TEMP3", "WL = NULL");
  Open(3);
  EXPECT_EQ(state.Tables[3].TableStatus, 8);
  EXPECT_EQ(Label(0).caption, "No missing Water Level Values.");
  EXPECT_EQ(ui.windows_shown.size(), 2u);
}

// A missing saved query: the check fails, the message names the database's
// error once, and the window goes on with the other checks.
TEST_F(CheckViewTest, AQueryTheDatabaseRejectsShowsAsFailed) {
  Exec("DROP VIEW qry_5_4");
  Open(5);
  EXPECT_EQ(Label(4).caption, "Unknown Contaminants.");
  EXPECT_TRUE(Label(4).highlighted);
  EXPECT_EQ(Label(5).caption, "No Incorrect CAS Numbers.");
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0], "1 no such table: qry_5_4");
  EXPECT_TRUE(view.view().DataGrid1.visible);
  EXPECT_EQ(view.view().DataGrid1.caption, "Table 5: Unknown Contaminants.");
  EXPECT_EQ(view.adoProblemRS->RecordCount(), 0);
  EXPECT_EQ(state.Tables[5].TableStatus, 7);
  // Selecting it again tells the user again.
  view.SelectCheck(4);
  EXPECT_EQ(ui.messages.size(), 2u);
}

TEST_F(CheckViewTest, ExitClosesTheReferenceListAndTheWindow) {
  Open(1);
  view.mnuRef_Click(3);
  ASSERT_EQ(ui.windows_shown.back(), "frmCMinorTableView");
  view.mnuRunChecks_Click(9);
  EXPECT_FALSE(view.loaded());
  EXPECT_EQ(ui.windows_closed, (std::vector<std::string>{"frmCMinorTableView", "frmCCheckView"}));
  EXPECT_EQ(ui.windows_shown.back(), "frmCMain");
  EXPECT_EQ(state.view.mouse_pointer, kPointerDefault);
}

TEST_F(CheckViewTest, ReferenceListsGoToTheProgramsOneWindow) {
  frmCMinorTableView shared(state);
  view.ReferenceWindow = [&]() -> frmCMinorTableView& { return shared; };
  Open(1);
  view.mnuRef_Click(2);
  EXPECT_TRUE(shared.loaded());
  EXPECT_EQ(shared.view().caption, "LABORATORY LIST");
  view.Form_Unload();
  EXPECT_FALSE(shared.loaded());
}

TEST_F(CheckViewTest, TheGridFollowsTheWindowSize) {
  Open(1);
  view.Form_Resize(11005, 8840);
  EXPECT_EQ(view.view().DataGrid1.height, 3515);
  EXPECT_EQ(view.view().DataGrid1.width, 10495);
  view.Form_Resize(600, 5400);  // too small: the grid keeps its size
  EXPECT_EQ(view.view().DataGrid1.height, 3515);
  EXPECT_EQ(view.view().DataGrid1.width, 10495);
}

TEST(CheckViewMenus, CarryTheirCaptions) {
  int items = 0;
  for (const CheckViewMenu& m : CheckViewMenus()) {
    if (std::string(m.parent) == "mnuRunChecksHeader") ++items;
  }
  EXPECT_EQ(items, 9);
  EXPECT_STREQ(CheckViewMenus()[7].caption, "All Tables");
  EXPECT_EQ(CheckControlPosition(6).button_left, 3600);
  EXPECT_EQ(CheckControlPosition(17).label_left, 8880);
}

}  // namespace
}  // namespace sorvane::testing
