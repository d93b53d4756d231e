// The check window over the clean facility: verdicts on the labels, the table
// status and its check mark, the grid of the first failed check, re-runs,
// sorting, the error-workbook hook and rejected queries.
#include <gtest/gtest.h>

#include <stdexcept>

#include "checks/frmCCheckView.h"
#include "facility_fixture.h"

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
    Exec("UPDATE MT_TEMP1 SET NAVD = 110 WHERE POINT_ID = 'MW-1'");
    Exec("UPDATE MT_TEMP1 SET LAT_SS = NULL WHERE POINT_ID = 'MW-2'");
  }

  frmCCheckView view{state};
};

TEST_F(CheckViewTest, VerdictsOnTheLabelsAndTheFirstFailedCheckInTheGrid) {
  Open(3);
  EXPECT_EQ(view.view().caption, "Table 3 - Water Level Table");
  EXPECT_EQ(Label(1).caption, "No Problems with Water Level Dates.");
  EXPECT_FALSE(view.view().DataGrid1.visible);
  EXPECT_EQ(state.Tables[3].TableStatus, 8);
  EXPECT_TRUE(Checked(3));
  // Opening the window puts every other table that has not passed at 7, unchecked.
  EXPECT_EQ(state.Tables[1].TableStatus, 7);
  EXPECT_FALSE(Checked(1));

  BreakChecks1_2And1_5();
  view.mnuRunChecks_Click(1);
  for (int i = 0; i < 18; ++i) EXPECT_EQ(Label(i).visible, i < 10) << i;
  EXPECT_EQ(Label(2).caption, "MAY be a problem with incorrect NAVD Values.");
  EXPECT_EQ(Label(5).caption, "Problem with missing Lat/Long Values.");
  for (int i = 0; i < 10; ++i) {
    const bool failed = i == 2 || i == 5;
    EXPECT_EQ(Label(i).highlighted, failed) << i;
    EXPECT_EQ(Button(i).enabled, failed) << i;
    // Severity: 0-2 plain, 3-5 underlined, 6-9 bold and underlined.
    EXPECT_EQ(Label(i).underline, i >= 3) << i;
    EXPECT_EQ(Label(i).bold, i >= 6) << i;
  }
  EXPECT_TRUE(Button(2).selected);
  const GridState& grid = view.view().DataGrid1;
  EXPECT_TRUE(grid.visible);
  EXPECT_EQ(grid.caption, "Table 1: MAY be a problem with incorrect NAVD Values.");
  EXPECT_EQ(Rows(*grid.source), (std::vector<std::vector<std::string>>{{"NEW", "MW-1", "110"}}));
  EXPECT_EQ(state.Tables[1].TableStatus, 7);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(CheckViewTest, AFixedCheckPassesWhenSelectedButTheTableStays7) {
  BreakChecks1_2And1_5();
  Open(1);
  Exec("UPDATE MT_TEMP1 SET NAVD = 100 WHERE POINT_ID = 'MW-1'");
  view.optReview_Click(2);
  EXPECT_EQ(Label(2).caption, "No incorrect NAVD Values.");
  EXPECT_FALSE(Label(2).highlighted);
  EXPECT_FALSE(view.view().DataGrid1.visible);
  EXPECT_EQ(state.Tables[1].TableStatus, 7);
  // Clicking the label of a still failing check opens it.
  view.lblStatus_Click(5);
  EXPECT_EQ(view.view().DataGrid1.caption, "Table 1: Problem with missing Lat/Long Values.");
  EXPECT_EQ(view.adoProblemRS->RecordCount(), 1);
}

TEST_F(CheckViewTest, ExcelOutputHandsEveryFailedCheckToTheWorkbookAndGoesOnAfterAFailure) {
  BreakChecks1_2And1_5();
  Open(1);
  std::vector<std::pair<int, int64_t>> calls;  // check, its rows
  view.WriteCheckErrors = [&](int, int index) {
    calls.push_back({index, view.adoProblemRS->RecordCount()});
    throw std::runtime_error("workbook closed");
  };
  view.ExportStopped = false;
  EXPECT_FALSE(view.RunAllChecks(1, true));
  EXPECT_EQ(calls, (std::vector<std::pair<int, int64_t>>{{2, 1}, {5, 1}}));
  EXPECT_TRUE(view.ExportStopped);
  EXPECT_TRUE(Button(5).selected);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(CheckViewTest, ARunAfterSortingStartsFromAFreshRecordSet) {
  Exec("UPDATE MT_TEMP1 SET NAVD = 110");  // check 1.2 lists all three points
  Open(1);
  auto shown = view.adoProblemRS;
  view.DataGrid1_HeadClick(2);  // NAVD
  // The grid shows a sorted copy; rows handed on before keep their order.
  EXPECT_EQ(view.adoProblemRS->SortField(), "NAVD");
  EXPECT_EQ(view.view().DataGrid1.source, view.adoProblemRS);
  EXPECT_EQ(shown->SortField(), "");
  view.mnuRunChecks_Click(1);
  EXPECT_EQ(view.adoProblemRS->SortField(), "");
  EXPECT_EQ(view.view().DataGrid1.source, view.adoProblemRS);
  EXPECT_EQ(view.adoProblemRS->RecordCount(), 3);
}

TEST_F(CheckViewTest, AllTablesEndOnTable5WithEveryVerdict) {
  Exec("UPDATE MT_TEMP3 SET WL = NULL");  // table 3 fails its first check
  Open(0);
  EXPECT_EQ(view.view().caption, "Table 5 - Analytical Data Table");
  for (int t = 1; t <= 5; ++t) {
    EXPECT_EQ(state.Tables[t].TableStatus, t == 3 ? 7 : 8) << t;
    EXPECT_EQ(Checked(t), t != 3) << t;
  }
  // Opening the open window again runs nothing.
  Exec("UPDATE MT_TEMP5 SET UNITS = NULL");
  Open(5);
  EXPECT_EQ(state.Tables[5].TableStatus, 8);
}

// The window's verdict of every check agrees with its full query, on a
// facility where some checks of each table fail and others pass.
TEST_F(CheckViewTest, VerdictsAgreeWithTheFullQueries) {
  for (const char* table :
       {"MT_TEMP1", "MT_TEMP2", "MT_TEMP2A", "MT_TEMP3", "MT_TEMP4", "MT_TEMP4A", "MT_TEMP5"})
    Exec(std::string("INSERT INTO ") + table +
         " (SITE, POINT_ID, REVIEWED) VALUES ('$SITE', 'MW-1', 'NEW')");
  Exec("UPDATE MT_TEMP5 SET UNITS = 'ug/kg', LAB = 0 WHERE rowid = 1");
  Exec("UPDATE MT_TEMP4 SET SAM_DATE = '1990-01-01 00:00:00' WHERE SAM_ID = 'S-1'");
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
}

// A missing saved query: the check fails, the message names the database's
// error once, and the window goes on with the other checks.
TEST_F(CheckViewTest, AQueryTheDatabaseRejectsShowsAsFailed) {
  Exec("DROP VIEW qry_5_4");
  Open(5);
  EXPECT_EQ(Label(4).caption, "Unknown Contaminants.");
  EXPECT_TRUE(Label(4).highlighted);
  EXPECT_EQ(Label(5).caption, "No Incorrect CAS Numbers.");
  EXPECT_EQ(ui.messages, std::vector<std::string>{"1 no such table: qry_5_4"});
  EXPECT_EQ(view.view().DataGrid1.caption, "Table 5: Unknown Contaminants.");
  EXPECT_EQ(view.adoProblemRS->RecordCount(), 0);
  EXPECT_EQ(state.Tables[5].TableStatus, 7);
  view.SelectCheck(4);  // selecting it again tells the user again
  EXPECT_EQ(ui.messages.size(), 2u);
}

}  // namespace
}  // namespace sorvane::testing
