// The main window's bindings (state drawn on its widgets, typing and clicks
// handed to the shell), the grid model, the Qt port's dialogs, and the desktop
// program's options and first start.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QBrush>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include "acquire/acquire_fixture.h"
#include "command_line.h"
#include "core/convert.h"
#include "grid_panel.h"
#include "record_set_model.h"
#include "support/case_table.h"
#include "termination_watch.h"
#include "ui_test_support.h"

namespace sorvane::testing {
namespace {

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(program.load_result); }
  StartedProgram program;
  MainView& view() { return program.form->state().view; }
};

TEST_F(MainWindowTest, LabelsOptionsMenusProgressBarAndPointerDrawTheState) {
  QWidget* w = &program.window();
  auto* bar = program.Widget<QProgressBar>("ProgressBar");
  auto shows = [&] {
    ExpectShowsEach(w, "lblStatus", view().lblStatus);
    ExpectShowsEach(w, "Option1", view().Option1);
    ExpectShows(w, "lblStatusAll", view().lblStatusAll);
    ExpectShows(w, view().menus);
    EXPECT_EQ(bar->isVisible(), view().ProgressBar.visible);
  };
  program.form->state().SetTableLabel(2, "Table 2: Field names are wrong", true);
  program.form->state().SetStatusLine("Importing ...");
  view().ProgressBar = ProgressState{true, 1, 41, 11};
  view().mouse_pointer = kPointerHourglass;
  program.ui.Refresh();
  program.ui.Refresh();  // refreshing again does not stack pointers
  shows();
  EXPECT_EQ(program.Widget<QLabel>("lblStatus(1)")->palette().color(QPalette::Window),
            QApplication::palette().color(QPalette::Highlight));
  EXPECT_EQ(bar->minimum(), 1);
  EXPECT_EQ(bar->maximum(), 41);
  EXPECT_EQ(bar->value(), 11);
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);

  // A complaint too long for its place, even in smaller type, can still be
  // read whole: in the label or, where it is cut off, in its tool tip.
  const std::string every_field =
      "The FLUW_ID, INSTALL_DATE, STATUS, TOC, TOP_SCR, BOT_SCR, BOC, DIA, MATERIAL, AQUIFER, "
      "W_CONTRACT, W_COMMENTS, T, S, KX, B, NE, TEST_METHOD, FIELD_A, FIELD_B, FIELD_C field(s) "
      "of Table 2 is/are missing or misspelled.";
  program.form->state().SetTableLabel(2, every_field, true);
  program.ui.Refresh();
  auto* label = program.Widget<QLabel>("lblStatus(1)");
  EXPECT_EQ(label->text().toStdString(), every_field);
  EXPECT_TRUE(label->heightForWidth(label->width()) <= label->height() ||
              label->toolTip() == label->text());
  EXPECT_LT(label->geometry().bottom(), program.Widget<QLabel>("lblStatus(2)")->y());

  program.form->state().SetTableLabel(2, "Table 2: Transferred", false);
  view().mouse_pointer = kPointerDefault;
  view().ProgressBar.visible = false;
  program.form->UpdateMenus(false);
  program.ui.Refresh();
  shows();
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_FALSE(program.Widget<QTableView>("DataGrid1")->isVisible());
}

// The box and the option draw their state (above); leaving the box hands the
// date to the window's check, whose refusal brings the focus back.
TEST_F(MainWindowTest, LeavingTheDateBoxWithABadDateSaysSoAndReturnsThere) {
  QApplication::setActiveWindow(&program.window());
  QTest::mouseClick(program.Widget<QRadioButton>("Option1(1)"), Qt::LeftButton);
  auto* date = program.Widget<QLineEdit>("me_ReviewDate");
  auto* facility = program.Widget<QLineEdit>("txtFacilityID");
  EXPECT_TRUE(date->isEnabled());
  auto leave = [&](const char* typed) {
    date->setFocus(Qt::MouseFocusReason);
    date->selectAll();
    QTest::keyClicks(date, typed);
    facility->setFocus(Qt::TabFocusReason);
  };
  leave("13/45/2001");
  EXPECT_TRUE(date->hasFocus());
  leave("6x/30/2002");  // the box takes only digits and slashes
  EXPECT_EQ(program.ui.messages,
            std::vector<std::string>{"Please check the date.  There appears to be an error."});
  EXPECT_TRUE(facility->hasFocus());
  EXPECT_EQ(view().me_ReviewDate.text, "6/30/2002");
}

std::shared_ptr<RecordSet> Wells() {
  auto rs = std::make_shared<RecordSet>();
  rs->AppendField("POINT_ID", kTypeVarChar, 20);
  rs->AppendField("TOC", kTypeSingle, 0);
  rs->AppendField("INSTALL_DATE", kTypeDate, 0);
  rs->Open();
  const struct {
    const char* id;
    std::optional<double> toc;
    std::optional<Date> installed;
  } rows[] = {{"MW-2", 712.5, Date::FromParts(2001, 5, 14)},
              {"MW-1", std::nullopt, Date::FromParts(1999, 12, 1, 8, 30)},
              {"mw-3", 0.25, std::nullopt}};
  for (const auto& r : rows) {
    rs->AddNew();
    rs->SetValue(0, Value::Text(r.id));
    if (r.toc) rs->SetValue(1, Value::Real(*r.toc));
    if (r.installed) rs->SetValue(2, Value::FromDate(*r.installed));
  }
  return rs;
}

TEST_F(MainWindowTest, GridShowsItsRecordSetAndSortsOnAHeadingClick) {
  view().DataGrid1.source = Wells();
  view().DataGrid1.visible = true;
  program.ui.Refresh();
  auto* table = program.Widget<QTableView>("DataGrid1");
  ASSERT_TRUE(table->isVisible());
  QAbstractItemModel* model = table->model();
  ASSERT_EQ(model->rowCount(), 3);
  EXPECT_EQ(model->index(0, 0).data().toString(), "MW-2");

  QHeaderView* header = table->horizontalHeader();
  const QPoint first(header->sectionViewportPosition(0) + 5, header->height() / 2);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, first);
  EXPECT_EQ(model->index(0, 0).data().toString(), "MW-1");
  EXPECT_EQ(model->index(2, 0).data().toString(), "mw-3");
  // The same heading again keeps the ascending order.
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, first);
  EXPECT_EQ(model->index(0, 0).data().toString(), "MW-1");
}

// The rows of the analytical table as the transfer left them, in one order.
std::vector<std::string> AnalyticalRows(StartedProgram& program) {
  auto rows = QueryLines(program.form->state().WorkConn, "SELECT * FROM MT_TEMP5");
  std::sort(rows.begin(), rows.end());
  return rows;
}

// The transfer reads the table's typed rows one by one and yields now and then;
// a heading click in the table view meanwhile sorted those very rows under it,
// so some records went in twice and others not at all. A table put on view as
// it is read is on view from its typed rows once they are made, not blank.
TEST_F(MainWindowTest, WhileImportingSortingTheTableViewLeavesTheTransferredRowsWhole) {
  CopySample(program.data.paths().WorkbookDir());
  view().txtFacilityID.text = "1234567";
  program.Action("mnuRunData(0)")->trigger();
  ASSERT_EQ(program.form->state().Tables[5].TableStatus, 6);
  const std::vector<std::string> clean = AnalyticalRows(program);
  ASSERT_GT(clean.size(), 1000u);
  program.ui.on_yield = [&] {
    if (program.form->state().Tables[5].TableStatus == 0)
      program.Action("mnuTabView(5)")->trigger();
  };
  program.Action("mnuRunData(5)")->trigger();
  const QAbstractItemModel* shown = program.Widget<QTableView>("DataGrid1")->model();
  EXPECT_EQ(shown->data(shown->index(0, 1)).toString().toStdString(), "MW-1");

  const ProgressState& progress = view().ProgressBar;
  bool sorted = false;
  program.ui.on_yield = [&] {
    // Slow enough that the transfer yields every few hundred records.
    QThread::msleep(25);
    const int64_t records = static_cast<int64_t>(clean.size());
    if (sorted || progress.max != records + 1 || progress.value < 2 || progress.value > records)
      return;
    sorted = true;
    program.Action("mnuTabView(5)")->trigger();
    QHeaderView* header = program.Widget<QTableView>("DataGrid1")->horizontalHeader();
    emit header->sectionClicked(3);
  };
  program.Action("mnuRunData(5)")->trigger();
  program.ui.on_yield = nullptr;
  ASSERT_TRUE(sorted) << "the transfer of table 5 never yielded";
  EXPECT_EQ(program.form->state().Tables[5].TableStatus, 6);
  EXPECT_TRUE(AnalyticalRows(program) == clean);
}

// Hovering a row of the table view (its number, or a cell) names its workbook
// row (and the cell), also once the rows are sorted.
TEST_F(MainWindowTest, TheTableViewsRowsNameTheirWorkbookRowsAlsoOnceSorted) {
  CopySample(program.data.paths().WorkbookDir());
  view().txtFacilityID.text = "1234567";
  program.Action("mnuRunData(0)")->trigger();
  program.Action("mnuTabView(5)")->trigger();
  auto* grid = program.Widget<QTableView>("DataGrid1");
  const QAbstractItemModel* rows = grid->model();
  auto tip = [&](int row) {
    return rows->headerData(row, Qt::Vertical, Qt::ToolTipRole).toString().toStdString();
  };
  const std::string place = "1234567_5.xls, Analytical Data, row ";
  EXPECT_EQ(tip(0), place + "2");
  EXPECT_EQ(rows->index(0, 1).data(Qt::ToolTipRole).toString().toStdString(),
            "MW-1\n\n" + place + "2, cell B");
  emit grid->horizontalHeader()->sectionClicked(5);  // CONT_NAME
  int benzine = 0;
  while (benzine < rows->rowCount() && rows->index(benzine, 5).data().toString() != "Benzine")
    ++benzine;
  EXPECT_GT(benzine, 0);
  EXPECT_EQ(tip(benzine), place + "102");
  // Ctrl+F finds a cell as it is typed; a text found nowhere is said.
  QApplication::setActiveWindow(program.ui.main_window());
  grid->setFocus();
  QTest::keySequence(grid, QKeySequence::Find);
  auto* find = program.Widget<QLineEdit>("DataGrid1Find");
  ASSERT_TRUE(find->isVisible());
  QTest::keyClicks(find, "benzi");
  EXPECT_EQ(grid->currentIndex(), rows->index(benzine, 5));
  QTest::keyClicks(find, "x");
  EXPECT_EQ(program.Widget<QLabel>("DataGrid1FindStatus")->text(), "Not found");
  QTest::keyClick(find, Qt::Key_Escape);
  EXPECT_FALSE(find->isVisible());
  program.Action("mnuTabView(0)")->trigger();
  EXPECT_EQ(tip(0), "");
}

TEST(CommandLine, TakesTheDataFolderHelpAndVersionAndRefusesTheRest) {
  for (const auto& c : CaseTable("gui_command_lines.txt")) {
    const QStringList args = QString::fromStdString(c[0]).split('|', Qt::SkipEmptyParts);
    const gui::CommandLine r = gui::ParseCommandLine(QStringList{"sorvane-gui"} + args);
    EXPECT_EQ(r.run ? -1 : r.exit_code, std::stoi(c[1])) << c[0];
    EXPECT_TRUE((r.exit_code == 2 ? r.err : r.out).starts_with(c[2])) << r.out << r.err;
    EXPECT_EQ(r.data_dir, c[3]);
  }
}

// The built program started where it can open no display (a remote shell).
TEST(FirstStart, WithoutADisplayTheProgramSaysSoAndEndsWithStatus2) {
  TempDataDir data;
  const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb '" +
                              std::string(SORVANE_GUI_PATH) + "' --data-dir '" +
                              data.dir().string() + "' 2>&1";
  FILE* out = popen(command.c_str(), "r");
  ASSERT_NE(out, nullptr);
  std::string text;
  for (char buf[512]; size_t n = fread(buf, 1, sizeof buf, out);) text.append(buf, n);
  const int status = pclose(out);
  ASSERT_TRUE(WIFEXITED(status)) << text;  // not killed by abort()
  EXPECT_EQ(WEXITSTATUS(status), 2);
  EXPECT_NE(text.find("sorvane-gui: the window cannot be shown: no display could be opened "
                      "(DISPLAY is not set). Start it on a desktop, or use the command line "
                      "program sorvane.\n"),
            std::string::npos)
      << text;
  EXPECT_FALSE(std::filesystem::exists(data.paths().WorkDb()));
}

// Runs `answer` on the modal dialog as soon as it is up.
void WhenDialogShows(std::function<void(QWidget*)> answer) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, answer] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      timer->stop();
      timer->deleteLater();
      answer(modal);
    }
  });
  timer->start();
}

class QtUiDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { EnsureQtApp(); }
  gui::QtUi ui;
};

TEST_F(QtUiDialogTest, MessagesAndQuestionsHaveTheProgramsTitleNoIconAndTheirButtons) {
  using Box = QMessageBox;
  const struct {
    std::function<bool()> show;
    Box::StandardButtons buttons;
    Box::StandardButton click;
    bool answer;
  } cases[] = {
      {[&] { return ui.MessageBox("Insert the disk."), true; }, Box::Ok, Box::Ok, true},
      {[&] { return ui.AskOkCancel("Insert the disk."); }, Box::Ok | Box::Cancel, Box::Ok, true},
      {[&] { return ui.AskOkCancel("Insert the disk."); }, Box::Ok | Box::Cancel, Box::Cancel,
       false},
      {[&] { return ui.AskYesNo("Insert the disk."); }, Box::Yes | Box::No, Box::Yes, true},
      {[&] { return ui.AskYesNo("Insert the disk."); }, Box::Yes | Box::No, Box::No, false},
  };
  for (const auto& c : cases) {
    QString title, text;
    Box::Icon icon = Box::Warning;
    Box::StandardButtons buttons;
    WhenDialogShows([&](QWidget* w) {
      auto* box = qobject_cast<Box*>(w);
      ASSERT_NE(box, nullptr);
      title = box->windowTitle();
      text = box->text();
      icon = box->icon();
      buttons = box->standardButtons();
      box->button(c.click)->click();
    });
    EXPECT_EQ(c.show(), c.answer);
    EXPECT_EQ(title, "Sorvane");
    EXPECT_EQ(text, "Insert the disk.");
    EXPECT_EQ(icon, Box::NoIcon);
    EXPECT_EQ(buttons, c.buttons);
  }
}

TEST_F(QtUiDialogTest, InputBoxGivesTheTypedTextOrNothingOnCancel) {
  QString shown_default, title;
  WhenDialogShows([&](QWidget* w) {
    auto* dialog = qobject_cast<QInputDialog*>(w);
    ASSERT_NE(dialog, nullptr);
    shown_default = dialog->textValue();
    title = dialog->windowTitle();
    dialog->setTextValue("250");
    QMetaObject::invokeMethod(dialog, "accept");  // as the Choose button does
  });
  EXPECT_EQ(ui.InputBox("How many records?", "Records", "100"), "250");
  EXPECT_EQ(shown_default, "100");
  EXPECT_EQ(title, "Records");

  WhenDialogShows([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
  EXPECT_EQ(ui.InputBox("How many records?", "", "100"), std::nullopt);
}

// The system asks the program to end while a question is up: the question is
// taken as answered No, and nothing further is asked or shown.
TEST_F(QtUiDialogTest, ARequestToEndAnswersTheQuestionUpAsNoAndAsksNothingMore) {
  // Heard whatever the test was started with (a signal ignored stays so).
  struct sigaction plain {
  }, before{};
  plain.sa_handler = SIG_DFL;
  sigaction(SIGTERM, &plain, &before);
  std::optional<gui::TerminationWatch> watch;
  watch.emplace([this] { ui.EndOnRequest(); });
  WhenDialogShows([](QWidget*) { raise(SIGTERM); });
  EXPECT_FALSE(ui.AskYesNo("Create a new work database in /home/pat/Sorvane now?"));
  EXPECT_TRUE(ui.ending());
  bool shown = false;
  WhenDialogShows([&](QWidget* w) {
    shown = true;
    qobject_cast<QDialog*>(w)->reject();
  });
  EXPECT_FALSE(ui.AskOkCancel("Re-Install media & Press OK (or Cancel to Quit)"));
  EXPECT_EQ(ui.PasswordBox("Enter its password:", "Password for 1234567_5.xlsx"), std::nullopt);
  QTest::qWait(50);
  EXPECT_FALSE(shown);
  watch.reset();
  sigaction(SIGTERM, &before, nullptr);
}

// Asked by the system to end during an import, the window cancels the
// transfer at once and unloads as soon as the import has stopped.
TEST_F(MainWindowTest, ARequestToEndDuringAnImportCancelsItAndUnloadsOnceItStops) {
  CopySample(program.data.paths().WorkbookDir());
  view().txtFacilityID.text = "1234567";
  program.ui.on_yield = [&] {
    if (program.form->state().Tables[3].TableStatus == 6) program.ui.EndOnRequest();
  };
  program.Action("mnuRunData(0)")->trigger();
  program.ui.on_yield = nullptr;
  EXPECT_TRUE(program.form->unloaded());
  EXPECT_NE(program.form->state().Tables[5].TableStatus, 6);
  Connection work;
  work.Open(program.data.paths().WorkDb());
  EXPECT_EQ(QueryLines(work,
                       "SELECT (SELECT COUNT(*) FROM MT_TEMP1) + (SELECT COUNT(*) FROM MT_TEMP3) + "
                       "(SELECT COUNT(*) FROM MT_TEMP4) + (SELECT COUNT(*) FROM MT_TEMP5)"),
            std::vector<std::string>{"0"});
}

// The built program, asked by the system to end (a logout, `kill`, the
// terminal it was started from closing), ends as its Exit does: the
// facility's rows leave the temporary tables and the folder is let go. Its
// status says it did not end of itself.
TEST(Termination, ARequestToEndTheWindowRunsItsExitAndEndsWithStatus2) {
  for (int signal : {SIGTERM, SIGHUP}) {
    WorkDataDir data;
    ExecuteIn(data.paths().WorkDb(), "INSERT INTO MT_TEMP5 (SITE) VALUES ('1234567');");
    setenv("QT_QPA_PLATFORM", "offscreen", 1);  // as every window of these tests
    std::string program = SORVANE_GUI_PATH, option = "--data-dir", dir = data.dir().string();
    char* argv[] = {program.data(), option.data(), dir.data(), nullptr};
    // The signals heard as by a program started from a desktop, whatever the
    // test was started with (under nohup SIGHUP is ignored, and stays so).
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t heard;
    sigemptyset(&heard);
    sigaddset(&heard, SIGTERM);
    sigaddset(&heard, SIGHUP);
    posix_spawnattr_setsigdefault(&attributes, &heard);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, SORVANE_GUI_PATH, nullptr, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    ASSERT_EQ(spawned, 0);
    // Running once it holds the data folder, as its note there says.
    const std::filesystem::path note = data.dir() / ".sorvane-run";
    for (int i = 0; i < 6000 && !std::filesystem::exists(note); ++i) usleep(10'000);
    ASSERT_TRUE(std::filesystem::exists(note));
    kill(pid, signal);
    int status = 0;
    for (int i = 0; i < 6000 && waitpid(pid, &status, WNOHANG) == 0; ++i) usleep(10'000);
    if (kill(pid, 0) == 0 && waitpid(pid, &status, WNOHANG) == 0) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      FAIL() << "the window did not end";
    }
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 2);
    Connection work;
    work.Open(data.paths().WorkDb());
    EXPECT_EQ(QueryLines(work, "SELECT COUNT(*) FROM MT_TEMP5"), std::vector<std::string>{"0"});
    EXPECT_FALSE(std::filesystem::exists(note));
  }
}

TEST_F(MainWindowTest, EnterInTheFacilityIdBoxRunsTheImportOfAllTablesAndOtherKeysOnlyType) {
  auto* box = program.Widget<QLineEdit>("txtFacilityID");
  QTest::keyClicks(box, "12345\t");
  EXPECT_TRUE(program.ui.messages.empty());
  box->clear();
  QTest::keyClicks(box, "1234567");
  QTest::keyClick(box, Qt::Key_Return);
  // With no workbooks in the folder the import ends with its complaint.
  ASSERT_EQ(program.ui.messages.size(), 1u);
  EXPECT_TRUE(program.ui.messages[0].starts_with("Five files for 1234567 were not found"));
}

// Workbooks that came by mail or sit on a share are copied from the folder the
// person chooses, searched as a CD is; choosing none changes nothing.
TEST_F(MainWindowTest, DataCopyFolderCopiesTheFacilitysWorkbooksFromTheChosenFolder) {
  const std::filesystem::path download = program.data.dir() / "Downloads";
  CopySample(download / "1234567");
  std::ofstream(download / "minutes.xls") << "not the facility's";
  QTest::keyClicks(program.Widget<QLineEdit>("txtFacilityID"), "1234567");
  auto workbooks = [&] { return FileNames(program.data.paths().WorkbookDir()); };

  QString title;
  WhenDialogShows([&](QWidget* w) {
    auto* dialog = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(dialog, nullptr);
    title = dialog->windowTitle();
    dialog->setDirectory(QString::fromStdString(download.string()));
    dialog->selectFile(QString::fromStdString(download.string()));
    QMetaObject::invokeMethod(dialog, "accept");  // as the Choose button does
  });
  program.Action("mnuDataLoadFolder")->trigger();
  EXPECT_EQ(title, "Copy the facility's workbooks from");
  EXPECT_TRUE(program.ui.messages.empty()) << program.ui.messages[0];
  EXPECT_EQ(view().lblStatusAll.caption, "Files Copied.");
  const std::vector<std::string> copied = {"1234567_1.xls", "1234567_2.xls", "1234567_3.xls",
                                           "1234567_4.xls", "1234567_5.xls"};
  EXPECT_EQ(workbooks(), copied);
  EXPECT_TRUE(program.Action("mnuRunData(0)")->isEnabled());

  // The next choice starts where the last one ended; a cancel copies nothing
  // (a copy would now find four workbooks).
  std::filesystem::remove(download / "1234567" / "1234567_5.xls");
  QString started_in;
  WhenDialogShows([&](QWidget* w) {
    started_in = qobject_cast<QFileDialog*>(w)->directory().absolutePath();
    qobject_cast<QDialog*>(w)->reject();
  });
  program.Action("mnuDataLoadFolder")->trigger();
  EXPECT_EQ(started_in.toStdString(), download.string());
  EXPECT_EQ(workbooks(), copied);
  EXPECT_TRUE(program.ui.messages.empty());
}

// Workbooks dropped on the window from a file manager or a mail are copied
// as from the folder they lie in; things from two folders are refused.
TEST_F(MainWindowTest, WorkbooksDroppedOnTheWindowAreCopiedFromTheirFolder) {
  const std::filesystem::path download = program.data.dir() / "Downloads";
  CopySample(download);
  std::filesystem::create_directories(download / "old");
  QTest::keyClicks(program.Widget<QLineEdit>("txtFacilityID"), "1234567");
  auto drop = [&](std::initializer_list<std::filesystem::path> files) {
    QMimeData data;
    QList<QUrl> urls;
    for (const auto& f : files) urls << QUrl::fromLocalFile(QString::fromStdString(f.string()));
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(20, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(program.ui.main_window(), &enter);
    QDropEvent event(QPointF(20, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(program.ui.main_window(), &event);
    QCoreApplication::processEvents();
  };
  drop({download / "1234567_1.xls", download / "old" / "1234567_1.xls"});
  EXPECT_EQ(program.ui.messages,
            std::vector<std::string>{"The workbooks are copied from one folder: "
                                     "drop that folder, or workbooks of one folder."});
  EXPECT_TRUE(FileNames(program.data.paths().WorkbookDir()).empty());
  drop({download / "1234567_2.xls", download / "1234567_5.xls"});
  EXPECT_EQ(view().lblStatusAll.caption, "Files Copied.");
  EXPECT_EQ(FileNames(program.data.paths().WorkbookDir()).size(), 5u);
}

class RecordSetModelTest : public ::testing::Test {
 protected:
  void SetUp() override { EnsureQtApp(); }
  QString Cell(int row, int column) { return model.data(model.index(row, column)).toString(); }
  gui::RecordSetModel model;
};

TEST_F(RecordSetModelTest, ShowsValuesAsAPersonSeesThemAndFollowsSortsAndReopenings) {
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  auto rs = Wells();
  model.SetSource(rs);
  ASSERT_EQ(model.rowCount(), 3);
  ASSERT_EQ(model.columnCount(), 3);
  EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), "INSTALL_DATE");
  const QStringList shown = {Cell(0, 1), Cell(0, 2), Cell(1, 1), Cell(1, 2), Cell(2, 1)};
  EXPECT_EQ(shown, QStringList({"712.5", "5/14/2001", "", "12/1/1999 8:30:00", "0.25"}));
  // A value the data types refused stands out in colour; the others do not.
  rs->MoveFirst();
  rs->SetValue(1, Value::Text("**abc**"));
  EXPECT_TRUE(model.data(model.index(0, 1), Qt::BackgroundRole).canConvert<QBrush>());
  EXPECT_FALSE(model.data(model.index(0, 0), Qt::BackgroundRole).isValid());
  EXPECT_FALSE(model.data(model.index(1, 1), Qt::BackgroundRole).isValid());
  QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
  rs->Sort("POINT_ID");
  model.Sync();
  EXPECT_EQ(resets.count(), 1);
  EXPECT_EQ(Cell(0, 0), "MW-1");
  // Nothing changed since: no reset, so a grid keeps its scroll position.
  model.Sync();
  EXPECT_EQ(resets.count(), 1);
  // A check window runs every query on one record set: two checks may well
  // return the same number of rows and columns.
  RecordSet other = *Wells();
  other.MoveFirst();
  other.SetValue(0, Value::Text("MW-7"));
  *rs = other;
  model.SetSource(rs);
  EXPECT_EQ(Cell(0, 0), "MW-7");
}

TEST_F(RecordSetModelTest, NeverReadsPastRowsThatWentAwayBeforeTheNextSync) {
  auto rs = Wells();
  model.SetSource(rs);
  rs->Clear();
  EXPECT_EQ(model.rowCount(), 3);  // as last synced
  EXPECT_FALSE(model.data(model.index(2, 2)).isValid());
  rs->Reset();
  EXPECT_FALSE(model.data(model.index(0, 0)).isValid());
  EXPECT_FALSE(model.headerData(1, Qt::Horizontal).isValid());
  model.Sync();
  EXPECT_EQ(model.rowCount(), 0);
  EXPECT_EQ(model.columnCount(), 0);
}

}  // namespace
}  // namespace sorvane::testing
