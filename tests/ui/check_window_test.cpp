// The check window and the reference lists as the main window opens them: the
// labels, buttons, grid and menus draw the check window's state, clicks reach
// it, and the windows close with the program.
#include "check_window.h"

#include <gmock/gmock.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFont>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include "checks/check_catalogue.h"
#include "checks/frmCCheckView.h"
#include "reference_list_window.h"
#include "support/xlsx_cells.h"
#include "ui_test_support.h"
#include "viewers/frmCMinorTableView.h"

namespace sorvane::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::MatchesRegex;

class CheckWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(program.load_result);
    RunState& s = program.form->state();
    s.FacilityID = "1234567";
    for (int n = 1; n <= 5; ++n) s.Tables[n].TableStatus = 6;
    program.form->UpdateMenus(false);
  }

  // Sample locations that fail several table 1 checks.
  void BreakSampleLocations() {
    program.form->state().WorkConn.ExecuteNative(
        ReadFile(SourcePath("tests/data/cases/check_window_broken_locations.sql")));
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

TEST_F(CheckWindowTest, ShowsTheChecksOfTheChosenTableAndClicksReachThem) {
  BreakSampleLocations();
  gui::CheckWindow* w = OpenChecks("mnuCheckTables(1)");
  ASSERT_NE(w, nullptr);
  auto* caption = In<QLabel>(w, "DataGrid1Caption");
  auto* grid = In<QTableView>(w, "DataGrid1");
  auto shows = [&](const std::string& moment) {
    SCOPED_TRACE(moment);
    const CheckViewState& v = core().view();
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->windowTitle().toStdString(), v.caption);
    ExpectShowsEach(w, "lblStatus", v.lblStatus);
    ExpectShowsEach(w, "optReview", v.optReview);
    ExpectShows(w, v.menus);
    EXPECT_EQ(grid->isVisible(), v.DataGrid1.visible);
    EXPECT_EQ(caption->text().toStdString(), v.DataGrid1.caption);
    if (v.DataGrid1.visible) {
      EXPECT_EQ(grid->model()->rowCount(), core().adoProblemRS->RecordCount());
    }
  };
  shows("opened on table 1");
  std::vector<int> failed;
  for (size_t i = 0; i < core().CheckList.size(); ++i)
    if (!core().CheckList[i].Status) failed.push_back(static_cast<int>(i));
  ASSERT_GE(failed.size(), 2u) << "the broken sample locations fail too few checks";
  // A click on another failed check's label, or on a button, opens that check.
  QTest::mouseClick(In<QLabel>(w, ControlName("lblStatus", failed[1])), Qt::LeftButton);
  EXPECT_EQ(caption->text().toStdString(), "Table 1: " + core().CheckList[failed[1]].FailString);
  shows("a label clicked");
  QTest::mouseClick(In<QRadioButton>(w, ControlName("optReview", failed[0])), Qt::LeftButton);
  EXPECT_EQ(caption->text().toStdString(), "Table 1: " + core().CheckList[failed[0]].FailString);
  shows("a button clicked");
  // Table 3 has fewer checks, and passes.
  ActionIn(w, "mnuRunChecks(3)")->trigger();
  EXPECT_EQ(w->windowTitle(), "Table 3 - Water Level Table");
  shows("table 3");
  // Imported again, it has not passed its checks yet: its mark goes.
  program.form->state().view.txtFacilityID = TextBoxState{"1234567", false};
  program.Action("mnuRunData(3)")->trigger();
  EXPECT_FALSE(ActionIn(w, "mnuRunChecks(3)")->isChecked());
  shows("table 3 imported again");
}

TEST_F(CheckWindowTest, ClosingTheCheckWindowUnloadsItAndTheProgramsExitClosesEveryWindow) {
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
  EXPECT_TRUE(program.window().isVisible());
  EXPECT_TRUE(program.ui.documents.empty());

  OpenChecks("mnuCheckTables(2)");
  program.Action("mnuViewRef(1)")->trigger();
  program.Action("mnuExit")->trigger();
  EXPECT_TRUE(program.form->unloaded());
  EXPECT_FALSE(w->isVisible());
  EXPECT_FALSE(program.ui.reference_window()->isVisible());
  EXPECT_FALSE(program.window().isVisible());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  // Clicks that arrive after the shutdown reach nothing.
  program.Action("mnuNewSite")->trigger();
  EXPECT_TRUE(program.ui.messages.empty());
}

// The error workbook is written beside the window, which keeps painting (a
// million problem rows take seconds), and opened once whole.
TEST_F(CheckWindowTest, TheErrorWorkbookIsWrittenBesideTheWindowAndOpened) {
  BreakSampleLocations();
  OpenChecks("mnuCheckTables(1)");
  program.ui.keep_alives = 0;
  ActionIn(program.ui.check_window(), "mnuExcelChecks(1)")->trigger();
  ASSERT_EQ(program.ui.documents.size(), 1u) << ::testing::PrintToString(program.ui.messages);
  EXPECT_EQ(program.ui.documents[0], (program.data.dir() / "Errors - 1234567.xlsx").string());
  EXPECT_GE(program.ui.keep_alives, 1);
  EXPECT_NE(XlsxCellsText(program.ui.documents[0]).find("Problems with Table 1"),
            std::string::npos);
}

// An import yields while it empties and fills the tables; the open check window
// may be closed meanwhile but not run its checks or write the error workbook.
TEST_F(CheckWindowTest, WhileAnImportRunsTheCheckWindowRunsNothing) {
  gui::CheckWindow* w = OpenChecks("mnuCheckTables(2)");
  ASSERT_NE(w, nullptr);
  program.Widget<QLineEdit>("txtFacilityID")->setText("1234567");
  program.form->state().view.txtFacilityID = TextBoxState{"1234567", true};
  bool during = false;
  QTimer::singleShot(0, w, [&] {
    during = program.form->busy();
    ExpectShows(w, core().view().menus);
    EXPECT_FALSE(ActionIn(w, "mnuRunChecks(1)")->isEnabled());
    EXPECT_FALSE(ActionIn(w, "mnuExcelChecks(7)")->isEnabled());
    EXPECT_TRUE(ActionIn(w, "mnuRunChecks(9)")->isEnabled());  // leaving stays possible
  });
  program.Action("mnuRunData(0)")->trigger();
  ASSERT_TRUE(during);
  EXPECT_TRUE(program.ui.documents.empty());  // no error workbook written
  EXPECT_EQ(w->windowTitle().toStdString(), "Table 2 - Well Data Table");
  ExpectShows(w, core().view().menus);
}

// Every text a check's label can show is shown whole in its place: none is cut
// off, and none runs under a neighbouring button or label.
TEST_F(CheckWindowTest, EveryChecksTextIsShownWholeBesideItsButton) {
  gui::CheckWindow* w = OpenChecks("mnuCheckTables(1)");
  ASSERT_NE(w, nullptr);
  for (int table = 1; table <= 5; ++table) {
    const auto checks = CatalogueTexts(table);
    for (const char* CheckText::*text : {&CheckText::pending, &CheckText::pass, &CheckText::fail}) {
      for (size_t i = 0; i < kCheckControls; ++i) {
        LabelState& label = core().view().lblStatus[i];
        label.visible = i < checks.size();
        core().view().optReview[i].visible = label.visible;
        if (!label.visible) continue;
        label.caption = checks[i].*text;
        label.bold = checks[i].required == 2;
        label.underline = checks[i].required >= 1;
      }
      w->Render();
      std::vector<QWidget*> shown;
      for (int i = 0; i < kCheckControls; ++i) {
        for (QWidget* c : {static_cast<QWidget*>(In<QRadioButton>(w, ControlName("optReview", i))),
                           static_cast<QWidget*>(In<QLabel>(w, ControlName("lblStatus", i)))})
          if (c->isVisibleTo(w)) shown.push_back(c);
      }
      for (QWidget* c : shown) {
        auto* label = qobject_cast<QLabel*>(c);
        if (label == nullptr) continue;
        SCOPED_TRACE(label->text().toStdString());
        EXPECT_LE(label->heightForWidth(label->width()), label->height()) << "cut off";
        for (QWidget* other : shown) {
          if (other == c) continue;
          EXPECT_FALSE(c->geometry().intersects(other->geometry()))
              << "runs under " << other->objectName().toStdString();
        }
      }
    }
  }
}

// The main window's and the check window's menus show their lists in one
// window. The rows a person selects in its grid are copied with their headings,
// in the order shown, to paste into a spreadsheet or a mail to the laboratory.
// Hovering a problem row (its number or a cell) says where it stands in its
// workbook; the places follow the rows when they are sorted.
TEST_F(CheckWindowTest, AProblemRowsTipNamesItsWorkbookRowsAlsoOnceSorted) {
  CopySample(program.data.paths().WorkbookDir());
  program.form->state().view.txtFacilityID = TextBoxState{"1234567", false};
  program.Action("mnuRunData(0)")->trigger();
  gui::CheckWindow* w = OpenChecks("mnuCheckTables(5)");
  ASSERT_NE(w, nullptr);
  auto* grid = In<QTableView>(w, "DataGrid1");
  auto tip = [&](int row) {
    return grid->model()->headerData(row, Qt::Vertical, Qt::ToolTipRole).toString().toStdString();
  };
  // One unknown laboratory, named on twenty results.
  std::string twenty;
  for (int row = 3806; row <= 3815; ++row)
    twenty += "1234567_5.xls, Analytical Data, row " + std::to_string(row) + ", cell L\n";
  EXPECT_EQ(tip(0), twenty + "and 10 more rows");

  QTest::mouseClick(In<QLabel>(w, ControlName("lblStatus", 1)), Qt::LeftButton);
  emit grid->horizontalHeader()->sectionClicked(3);  // CONT_NAME
  const std::string place = "1234567_5.xls, Analytical Data, row ";
  const std::string cells = ", cells B, C, F, H, J, K";
  EXPECT_EQ(tip(0), place + "102" + cells);  // Benzine
  EXPECT_EQ(tip(1), place + "104" + cells);  // Ethylbenzene
  EXPECT_EQ(tip(2), place + "103" + cells);  // Toluene
  EXPECT_EQ(grid->model()->index(1, 3).data(Qt::ToolTipRole).toString().toStdString(),
            "Ethylbenzene\n\n" + place + "104" + cells);
  // An unknown contaminant's tip first says what the agency's list calls its CAS number.
  QTest::mouseClick(In<QLabel>(w, ControlName("lblStatus", 4)), Qt::LeftButton);
  EXPECT_EQ(tip(0), "The agency's list names CAS 71-43-2 \"Benzene\".\n" + place +
                        "102, cells E, F, K, L\n" + place + "122, cells E, F, K, L");
  // Rows typed into the work database were never in a workbook.
  BreakSampleLocations();
  ActionIn(w, "mnuRunChecks(1)")->trigger();
  EXPECT_EQ(tip(0), "");
}

// Checks run again over mended workbooks say on each check's label what
// changed since the checks of the workbooks before, and the grid shows the
// new problem rows in bold.
TEST_F(CheckWindowTest, ChecksOverOtherWorkbooksSayWhatWasFixedAndShowTheNewRows) {
  RunState& s = program.form->state();
  s.KeepsCheckHistory = true;
  const auto dir = program.data.paths().WorkbookDir();
  CopySample(dir);
  s.view.txtFacilityID = TextBoxState{"1234567", false};
  program.Action("mnuRunData(0)")->trigger();
  gui::CheckWindow* w = OpenChecks("mnuCheckTables(5)");
  ASSERT_NE(w, nullptr);
  auto* units = In<QLabel>(w, ControlName("lblStatus", 1));
  auto* changes = In<QLabel>(w, "lblChanges");
  const std::string rule = units->toolTip().toStdString();
  EXPECT_FALSE(changes->isVisible());  // nothing to compare with yet

  // The results' workbook saved again, with one missing unit filled in and
  // one left out.
  std::filesystem::last_write_time(dir / "1234567_5.xls",
                                   std::filesystem::file_time_type::clock::now());
  program.Action("mnuRunData(0)")->trigger();
  s.WorkConn.ExecuteNative(
      "UPDATE MT_TEMP5 SET UNITS = 'ug/l' WHERE CONT_NAME = 'Toluene' AND UNITS IS NULL;"
      "UPDATE MT_TEMP5 SET UNITS = NULL WHERE rowid = 7");
  ActionIn(w, "mnuRunChecks(5)")->trigger();
  auto* grid = In<QTableView>(w, "DataGrid1");
  // The same check's rows come anew: their columns fit them again.
  EXPECT_GT(grid->columnWidth(1), grid->fontMetrics().horizontalAdvance("Quick Turn Labs LLC"));
  EXPECT_THAT(changes->text().toStdString(),
              MatchesRegex("Since the checks of [-0-9]+ [:0-9]+: 1 problem row fixed, 1 new "
                           "\\(in bold\\)\\."));
  const std::string tip = units->toolTip().toStdString();
  EXPECT_EQ(tip.substr(0, rule.size() + 2), rule + "\n\n");
  EXPECT_THAT(tip.substr(rule.size() + 2),
              MatchesRegex("Since the checks of [-0-9]+ [:0-9]+: 3 problem rows then, 3 "
                           "now \\(1 fixed, 1 new\\)\\.\n"
                           "Fixed: NEW, MW-1, MW-1-050613, Toluene, 1.693, , "));
  QTest::mouseClick(units, Qt::LeftButton);
  std::vector<std::string> bold;  // each new row's tip
  for (int row = 0; row < grid->model()->rowCount(); ++row) {
    if (grid->model()->index(row, 3).data(Qt::FontRole).value<QFont>().bold()) {
      bold.push_back(
          grid->model()->headerData(row, Qt::Vertical, Qt::ToolTipRole).toString().toStdString());
    }
  }
  EXPECT_THAT(bold, ElementsAre(MatchesRegex("New since the checks of [-0-9]+ [:0-9]+\\.\n"
                                             "1234567_5.xls, Analytical Data, row 8, cells .*")));
}

TEST_F(CheckWindowTest, ReferenceListsOfBothWindowsShowInOneWindowWhoseSelectedRowsAreCopied) {
  program.form->state().WorkConn.ExecuteNative(
      "INSERT INTO MT_LAB (LAB, ALIAS, NAME, NOFORMAT) VALUES"
      " (9998, 'QT', 'A \"quoted\"' || char(9) || 'lab', 'AQUOTEDLAB')");
  program.Action("mnuViewRef(2)")->trigger();
  gui::ReferenceListWindow* w = program.ui.reference_window();
  ASSERT_NE(w, nullptr);
  auto* grid = In<QTableView>(w, "DataGrid1");
  auto shows = [&](const char* caption) {
    const ReferenceViewState& v = program.form->reference_view()->view();
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->windowTitle().toStdString(), v.caption);
    EXPECT_EQ(v.caption, caption);
    EXPECT_EQ(grid->model()->rowCount(), v.DataGrid1.source->RecordCount());
    EXPECT_EQ(grid->model()->headerData(0, Qt::Horizontal).toString().toStdString(),
              v.DataGrid1.source->fields()[0].name);
  };
  shows("LABORATORY LIST");

  QApplication::setActiveWindow(w);
  grid->setFocus();
  auto copied = [&] {
    QGuiApplication::clipboard()->clear();
    QTest::keySequence(grid, QKeySequence::Copy);
    return QGuiApplication::clipboard()->text().toStdString();
  };
  grid->selectRow(1);
  grid->selectionModel()->select(grid->model()->index(0, 0),
                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
  // A cell holding a tab or a quote is quoted, as a spreadsheet reads it back.
  EXPECT_EQ(copied(),
            "LAB_ID\tABBREVIATION\tLABORATORY\n"
            "9998\tQT\t\"A \"\"quoted\"\"\tlab\"\n"
            "1\tACME\tAcme Laboratories, Inc.\n");
  // A mail keeps them as a table.
  EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->html().toStdString(),
            "<table>\n<tr><th>LAB_ID</th><th>ABBREVIATION</th><th>LABORATORY</th></tr>\n"
            "<tr><td>9998</td><td>QT</td><td>A &quot;quoted&quot;\tlab</td></tr>\n"
            "<tr><td>1</td><td>ACME</td><td>Acme Laboratories, Inc.</td></tr>\n</table>\n");
  // The context menu offers the same, and the whole list.
  QStringList offered;
  for (QAction* a : grid->actions()) offered << a->text();
  EXPECT_EQ(offered, QStringList({"&Copy", "Select &All", "&Find..."}));
  EXPECT_EQ(grid->contextMenuPolicy(), Qt::ActionsContextMenu);
  QTest::keySequence(grid, QKeySequence::SelectAll);
  const std::string all = copied();
  EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), grid->model()->rowCount() + 1)
      << "the headings and every row";

  ActionIn(OpenChecks("mnuCheckTables(3)"), "mnuRef(1)")->trigger();
  EXPECT_EQ(program.ui.reference_window(), w);
  shows("CAS/ANALYTE LIST");
}

}  // namespace
}  // namespace sorvane::testing
