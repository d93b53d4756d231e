// The check window and the reference lists as the main window opens them:
// what the labels, buttons, grid and menus show after a run, and that clicks
// reach the checks.
#include "check_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include "checks/frmCCheckView.h"
#include "grid_panel.h"
#include "reference_list_window.h"
#include "ui_test_support.h"
#include "viewers/frmCMinorTableView.h"

namespace sorvane::testing {
namespace {

class CheckWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(program.load_result);
    RunState& s = program.form->state();
    s.FacilityID = "1234567";
    for (int n = 1; n <= 5; ++n) s.Tables[n].TableStatus = 6;
    program.form->UpdateMenus(false);
  }

  // Sample locations with a duplicated point, an out-of-range minute, a missing
  // elevation and an unknown contract: several table 1 checks fail.
  void BreakSampleLocations() {
    program.form->state().WorkConn.ExecuteNative(
        "INSERT INTO MT_TEMP1 (SITE, POINT_ID, LAT_DD, LAT_MM, LAT_SS, LONG_DD, LONG_MM,"
        " LONG_SS, NAVD, COL_METHOD, COL_DATE, CONTRACT, COMMENTS, REVIEWED) VALUES"
        " ('1234567', 'MW-2', 27, 50, 31.5, 82, 30, 11.0, NULL, 'GPS',"
        "  '2001-05-14 00:00:00', 'C1234', '', 'NEW'),"
        " ('1234567', 'MW-2', 27, 72, 31.5, 82, 30, 11.0, 713.0, 'XX',"
        "  '2001-05-14 00:00:00', 'C9999', '', 'NEW')");
  }

  gui::CheckWindow* OpenChecks(const char* item) {
    program.Action(item)->trigger();
    return program.ui.check_window();
  }
  frmCCheckView& core() { return *program.form->check_view(); }
  template <typename T>
  T* In(QWidget* window, const std::string& name) {
    T* w = window->findChild<T*>(QString::fromStdString(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QAction* ActionIn(QWidget* window, const std::string& name) { return In<QAction>(window, name); }

  StartedProgram program;
};

TEST_F(CheckWindowTest, OpensFromDataChecksWithTheLabelsOfTheChosenTable) {
  BreakSampleLocations();
  EXPECT_TRUE(program.Action("mnuCheckTablesHeader")->isEnabled());
  gui::CheckWindow* w = OpenChecks("mnuCheckTables(1)");
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->windowTitle(), "Table 1 - Sample Location Table");

  const std::vector<clsReviewObject>& checks = core().CheckList;
  ASSERT_EQ(checks.size(), 10u);
  std::vector<int> failed;
  for (int i = 0; i < kCheckControls; ++i) {
    auto* label = In<QLabel>(w, ControlName("lblStatus", i));
    auto* button = In<QRadioButton>(w, ControlName("optReview", i));
    if (i >= static_cast<int>(checks.size())) {
      EXPECT_TRUE(label->isHidden()) << i;
      EXPECT_TRUE(button->isHidden()) << i;
      continue;
    }
    const clsReviewObject& c = checks[i];
    EXPECT_TRUE(label->isVisible()) << i;
    EXPECT_EQ(label->toolTip().toStdString(), c.ToolTip) << i;
    EXPECT_EQ(label->font().bold(), c.Required == 2) << i;
    EXPECT_EQ(label->font().underline(), c.Required >= 1) << i;
    EXPECT_EQ(label->text().toStdString(), c.Status ? c.PassString : c.FailString) << i;
    EXPECT_EQ(label->autoFillBackground(), !c.Status) << i;  // failures are highlighted
    EXPECT_EQ(button->isEnabled(), !c.Status) << i;
    if (!c.Status) failed.push_back(i);
  }
  ASSERT_GE(failed.size(), 2u) << "the broken sample locations fail too few checks";
  const int first_failed = failed[0];

  // The first failed check is open: its button selected, its records in the grid.
  EXPECT_TRUE(In<QRadioButton>(w, ControlName("optReview", first_failed))->isChecked());
  auto* grid = In<QTableView>(w, "DataGrid1");
  EXPECT_TRUE(grid->isVisible());
  EXPECT_EQ(In<QLabel>(w, "DataGrid1Caption")->text().toStdString(),
            "Table 1: " + checks[first_failed].FailString);
  EXPECT_EQ(grid->model()->rowCount(), core().adoProblemRS->RecordCount());
  EXPECT_GT(grid->model()->rowCount(), 0);

  // A click on another failed check's label, or on a button, opens that check.
  auto* caption = In<QLabel>(w, "DataGrid1Caption");
  QTest::mouseClick(In<QLabel>(w, ControlName("lblStatus", failed[1])), Qt::LeftButton);
  EXPECT_EQ(caption->text().toStdString(), "Table 1: " + checks[failed[1]].FailString);
  QTest::mouseClick(In<QRadioButton>(w, ControlName("optReview", first_failed)), Qt::LeftButton);
  EXPECT_EQ(caption->text().toStdString(), "Table 1: " + checks[first_failed].FailString);
  EXPECT_FALSE(In<QRadioButton>(w, ControlName("optReview", failed[1]))->isChecked());

  // The table failed: its "Run Checks" item carries no mark.
  EXPECT_FALSE(ActionIn(w, "mnuRunChecks(1)")->isChecked());

  // Table 3 has fewer checks: the spare labels go; a passed table is marked.
  ActionIn(w, "mnuRunChecks(3)")->trigger();
  const int table3_checks = static_cast<int>(core().CheckList.size());
  EXPECT_EQ(w->windowTitle(), "Table 3 - Water Level Table");
  for (int i = 0; i < kCheckControls; ++i) {
    EXPECT_EQ(In<QLabel>(w, ControlName("lblStatus", i))->isVisible(), i < table3_checks) << i;
    EXPECT_EQ(In<QRadioButton>(w, ControlName("optReview", i))->isVisible(), i < table3_checks)
        << i;
  }
  ASSERT_EQ(program.form->state().Tables[3].TableStatus, 8);
  EXPECT_TRUE(ActionIn(w, "mnuRunChecks(3)")->isChecked());
  EXPECT_FALSE(In<QTableView>(w, "DataGrid1")->isVisible());
}

TEST_F(CheckWindowTest, ClosingTheCheckWindowUnloadsItAndAReopeningRunsAgain) {
  BreakSampleLocations();
  gui::CheckWindow* w = OpenChecks("mnuCheckTables(1)");
  ASSERT_NE(w, nullptr);
  program.Action("mnuViewRef(0)")->trigger();
  ASSERT_NE(program.ui.reference_window(), nullptr);
  EXPECT_TRUE(program.ui.reference_window()->isVisible());

  w->close();
  EXPECT_FALSE(w->isVisible());
  EXPECT_FALSE(program.form->check_view()->loaded());
  EXPECT_FALSE(program.ui.reference_window()->isVisible());  // it goes with the check window
  EXPECT_TRUE(program.window().isVisible());

  gui::CheckWindow* again = OpenChecks("mnuCheckTables(4)");
  EXPECT_EQ(again, w);  // the Qt window is reused for the new run
  EXPECT_TRUE(again->isVisible());
  EXPECT_EQ(again->windowTitle(), "Table 4 - Field Data Table");
  ActionIn(w, "mnuRunChecks(9)")->trigger();  // its Exit item
  EXPECT_FALSE(w->isVisible());
  EXPECT_FALSE(program.form->check_view()->loaded());

  // The verdicts on screen belong to the facility that was reset: left open, the
  // window would pass every table of the emptied database and export "no problems"
  // under the old Facility ID.
  OpenChecks("mnuCheckTables(1)");
  program.Action("mnuNewSite")->trigger();
  EXPECT_FALSE(w->isVisible());
  EXPECT_FALSE(core().loaded());
  for (int n = 1; n <= 5; ++n) EXPECT_EQ(program.form->state().Tables[n].TableStatus, 0) << n;
  EXPECT_TRUE(program.window().isVisible());
  EXPECT_TRUE(program.ui.documents.empty());
}

TEST_F(CheckWindowTest, ExitOfTheProgramClosesTheOtherWindows) {
  gui::CheckWindow* w = OpenChecks("mnuCheckTables(2)");
  ASSERT_NE(w, nullptr);
  program.Action("mnuViewRef(1)")->trigger();
  ASSERT_NE(program.ui.reference_window(), nullptr);
  program.Action("mnuExit")->trigger();
  EXPECT_TRUE(program.form->unloaded());
  EXPECT_FALSE(program.form->state().WorkConn.IsOpen());
  EXPECT_FALSE(w->isVisible());
  EXPECT_FALSE(program.ui.reference_window()->isVisible());
  EXPECT_FALSE(program.window().isVisible());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  // Clicks that arrive after the shutdown reach nothing.
  program.Action("mnuNewSite")->trigger();
  EXPECT_TRUE(program.ui.messages.empty());
}

// An import yields while it empties and fills the tables; the open check window
// may be closed meanwhile but not run its checks or write the error workbook.
TEST_F(CheckWindowTest, WhileAnImportRunsTheCheckWindowRunsNothing) {
  gui::CheckWindow* w = OpenChecks("mnuCheckTables(2)");
  ASSERT_NE(w, nullptr);
  const std::vector<std::string> items = {"mnuRunChecks(1)",   "mnuRunChecks(3)",
                                          "mnuRunChecks(7)",   "mnuExcelChecks(2)",
                                          "mnuExcelChecks(5)", "mnuExcelChecks(7)"};
  program.Widget<QLineEdit>("txtFacilityID")->setText("1234567");
  program.form->state().view.txtFacilityID = TextBoxState{"1234567", true};
  bool during = false;
  QTimer::singleShot(0, w, [&] {
    during = program.form->busy();
    for (const std::string& item : items) {
      EXPECT_FALSE(ActionIn(w, item)->isEnabled()) << item;
      ActionIn(w, item)->trigger();
    }
    EXPECT_TRUE(ActionIn(w, "mnuRunChecks(9)")->isEnabled());  // leaving stays possible
  });
  program.Action("mnuRunData(0)")->trigger();
  ASSERT_TRUE(during);
  EXPECT_TRUE(program.ui.documents.empty());  // no error workbook written
  EXPECT_EQ(w->windowTitle().toStdString(), "Table 2 - Well Data Table");
  for (const std::string& item : items) EXPECT_TRUE(ActionIn(w, item)->isEnabled()) << item;
}

// A table imported again has not passed its checks yet, whatever the open check
// window said before.
TEST_F(CheckWindowTest, ReimportingAPassedTableRemovesItsMark) {
  gui::CheckWindow* w = OpenChecks("mnuCheckTables(3)");
  ASSERT_NE(w, nullptr);
  ASSERT_EQ(program.form->state().Tables[3].TableStatus, 8);
  ASSERT_TRUE(ActionIn(w, "mnuRunChecks(3)")->isChecked());
  program.form->state().view.txtFacilityID = TextBoxState{"1234567", false};
  program.Action("mnuRunData(3)")->trigger();
  EXPECT_LT(program.form->state().Tables[3].TableStatus, 7);
  EXPECT_FALSE(ActionIn(w, "mnuRunChecks(3)")->isChecked());
}

class ReferenceListTest : public CheckWindowTest {
 protected:
  int64_t Rows(const char* sql) {
    return program.form->state().WorkConn.QueryValue(sql).AsInteger();
  }
};

TEST_F(ReferenceListTest, ListsShowTheirCaptionAndRowsInOneWindow) {
  program.Action("mnuViewRef(2)")->trigger();
  gui::ReferenceListWindow* w = program.ui.reference_window();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->windowTitle(), "LABORATORY LIST");
  auto* grid = In<QTableView>(w, "DataGrid1");
  EXPECT_EQ(grid->model()->rowCount(), Rows("SELECT COUNT(*) FROM MT_LAB"));
  EXPECT_EQ(grid->model()->headerData(2, Qt::Horizontal).toString(), "LABORATORY");

  // The check window's menu shows its lists in the same window.
  gui::CheckWindow* checks = OpenChecks("mnuCheckTables(3)");
  ASSERT_NE(checks, nullptr);
  ActionIn(checks, "mnuRef(1)")->trigger();
  EXPECT_EQ(program.ui.reference_window(), w);
  EXPECT_EQ(w->windowTitle(), "CAS/ANALYTE LIST");
  EXPECT_EQ(grid->model()->rowCount(), Rows("SELECT COUNT(*) FROM MT_ANALYTE"));
}

}  // namespace
}  // namespace sorvane::testing
