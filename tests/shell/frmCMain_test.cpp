// The main window's logic: start-up (without a usable work database only a
// missing file is offered anew; anything else is named and left as it was),
// menus by stage, the review-date option, reset, shutdown, one run per data
// folder, and what clicks during an import or a reference update may do.
#include "shell/frmCMain.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "acquire/drive_probe.h"
#include "checks/frmCCheckView.h"
#include "support/case_table.h"
#include "support/scripted_ui.h"
#include "support/work_db.h"
#include "support/xlsx_cells.h"
#include "support/xlsx_writer.h"
#include "workdb/work_database.h"

// The spreadsheet library loses a few bytes for each drop-down list of the
// empty workbooks (a copy of the list's range that it never frees).
extern "C" const char* __lsan_default_suppressions() { return "leak:lxw_strdup\n"; }

namespace sorvane::testing {
namespace {

namespace fs = std::filesystem;

bool Enabled(frmCMain& w, const std::string& menu) { return w.state().view.menus[menu].enabled; }

// A main window started on a data folder with its work database.
class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(w.Form_Load()); }
  WorkDataDir dir_;
  ScriptedUi ui_;
  frmCMain w{ui_, dir_.paths()};
};

// Start-up stops at the first error and shows its number and description (one
// without the structure table: the status command's test, which starts the same way).
TEST(MainWindowStartUp, AFileInPlaceOfTheWorkbookFolderIsNamed) {
  TempDataDir dir;
  std::ofstream(dir.paths().WorkbookDir()) << "x";
  ScriptedUi ui;
  frmCMain w(ui, dir.paths());
  EXPECT_TRUE(w.Form_Load());
  EXPECT_FALSE(w.loaded_ok());
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_TRUE(ui.messages[0].starts_with("75 Path/File access error (" +
                                         dir.paths().WorkbookDir().string()))
      << ui.messages[0];
  EXPECT_EQ(w.state().view.lblStatusAll.caption, "Connecting ...");
  EXPECT_EQ(w.state().view.mouse_pointer, kPointerHourglass);
}

TEST_F(MainWindowTest, StartUpLeavesOnlyTheAllTablesImportUsableAndMenusFollowTheStages) {
  EXPECT_TRUE(w.loaded_ok());
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_EQ(w.state().view.mouse_pointer, kPointerDefault);
  EXPECT_TRUE(w.state().view.Option1[0].selected);
  EXPECT_FALSE(w.state().view.me_ReviewDate.enabled);
  for (const auto& c : CaseTable("menus_by_stage.txt")) {
    std::istringstream codes(c[0]), menus(c[2]);
    if (c[0] != "start") {
      for (int n = 1; n <= 5; ++n) codes >> w.state().Tables[n].TableStatus;
      w.state().view.ProgressBar.visible = false;
      w.UpdateMenus(c[1] == "1");
    }
    for (std::string m; menus >> m;)
      EXPECT_EQ(Enabled(w, m.substr(0, m.size() - 2)), m.back() == '1') << c[0] << ": " << m;
  }
  EXPECT_TRUE(w.state().view.ProgressBar.visible);  // table 4 is being transferred
}

TEST_F(MainWindowTest, FlagOptionAndReviewDate) {
  MainView& v = w.state().view;
  w.Option1_Click(1);
  EXPECT_TRUE(v.me_ReviewDate.enabled);
  EXPECT_EQ(v.me_ReviewDate.text, Date::Today().ToShortDate());
  v.me_ReviewDate.text = "6/30/02";
  w.Option1_Click(0);
  w.Option1_Click(1);
  EXPECT_EQ(v.me_ReviewDate.text, "6/30/02");  // a typed date is kept
  EXPECT_TRUE(w.me_ReviewDate_Validate());
  EXPECT_TRUE(ui_.messages.empty());
  for (const char* bad : {"13/1/2002", "__/__/____", ""}) {
    v.me_ReviewDate.text = bad;
    EXPECT_FALSE(w.me_ReviewDate_Validate()) << bad;
  }
  ASSERT_EQ(ui_.messages.size(), 3u);
  EXPECT_EQ(ui_.messages[0], "Please check the date.  There appears to be an error.");
  EXPECT_EQ(ui_.focus.back(), "me_ReviewDate");
  w.Option1_Click(0);
  EXPECT_FALSE(v.me_ReviewDate.enabled);
  EXPECT_TRUE(v.Option1[0].selected);
}

TEST_F(MainWindowTest, NewSiteResetEmptiesTablesAndKeepsTheReviewDate) {
  RunState& s = w.state();
  s.WorkConn.ExecuteNative(
      "INSERT INTO MT_TEMP1 (SITE, POINT_ID) VALUES ('1234567', 'MW-1');"
      "INSERT INTO MT_TEMP5 (SITE, POINT_ID) VALUES ('1234567', 'MW-1');"
      "INSERT INTO MT_TEMP4A (SITE, POINT_ID) VALUES ('1234567', 'MW-1');");
  s.view.txtFacilityID.text = "1234567";
  s.view.txtFacilityID.enabled = false;
  w.Option1_Click(1);
  s.view.me_ReviewDate.text = "6/30/02";
  for (int n = 1; n <= 5; ++n) {
    s.Tables[n].TableStatus = 6;
    s.SetTableLabel(n, "done", true);
  }
  s.view.DataGrid1.visible = true;
  w.UpdateMenus(false);

  w.mnuNewSite_Click();
  for (const char* t : kTempTables) {
    EXPECT_EQ(s.WorkConn.QueryValue(std::string("SELECT COUNT(*) FROM ") + t), Value::Integer(0))
        << t;
  }
  EXPECT_EQ(s.view.txtFacilityID.text, "");
  EXPECT_TRUE(s.view.txtFacilityID.enabled);
  for (const auto& l : s.view.lblStatus) EXPECT_EQ(l.caption, "");
  EXPECT_FALSE(s.view.DataGrid1.visible);
  EXPECT_EQ(s.view.me_ReviewDate.text, "6/30/02");
  EXPECT_TRUE(s.view.Option1[1].selected);
  EXPECT_FALSE(Enabled(w, "mnuCheckTablesHeader"));
  EXPECT_FALSE(Enabled(w, "mnuRunData(2)"));
  EXPECT_TRUE(Enabled(w, "mnuRunData(0)"));
  // A second reset changes nothing and says nothing.
  w.mnuNewSite_Click();
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(MainWindowTest, ShutdownEmptiesTablesAndRemovesOnlyTextFiles) {
  std::ofstream(dir_.paths().WorkbookDir() / "1234567_1.txt") << "x";
  std::ofstream(dir_.paths().WorkbookDir() / "1234567_1.xls") << "x";
  w.state().WorkConn.ExecuteNative("INSERT INTO MT_TEMP3 (SITE) VALUES ('1234567')");
  w.mnuExit_Click();
  EXPECT_TRUE(w.unloaded());
  EXPECT_FALSE(w.state().WorkConn.IsOpen());
  EXPECT_FALSE(fs::exists(dir_.paths().WorkbookDir() / "1234567_1.txt"));
  EXPECT_TRUE(fs::exists(dir_.paths().WorkbookDir() / "1234567_1.xls"));
  Connection c;
  c.Open(dir_.paths().WorkDb());
  EXPECT_EQ(c.QueryValue("SELECT COUNT(*) FROM MT_TEMP3"), Value::Integer(0));
  w.Form_Unload();  // a second unload does nothing
  EXPECT_EQ(ui_.windows_closed.size(), 1u);
}

// A work database an earlier version made with 4 KB pages takes the larger
// ones at the next start, its schema and rows as they were.
TEST(MainWindowStartUp, AWorkDatabaseOfSmallPagesIsRebuiltWithLargeOnesKeepingItsRows) {
  WorkDataDir dir;
  const std::string rows = "SELECT group_concat(CAS || ':' || ANALYTE, '|') FROM MT_ANALYTE";
  Value before;
  {
    Connection old;
    old.Open(dir.paths().WorkDb());
    old.ExecuteNative("PRAGMA page_size=4096; VACUUM");
    ASSERT_EQ(old.QueryValue("PRAGMA page_size"), Value::Integer(4096));
    before = old.QueryValue(rows);
  }
  ScriptedUi ui;
  frmCMain w(ui, dir.paths());
  ASSERT_TRUE(w.Form_Load());
  EXPECT_EQ(w.state().WorkConn.QueryValue("PRAGMA page_size"), Value::Integer(16384));
  EXPECT_EQ(w.state().WorkConn.QueryValue(rows), before);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(MainWindowTest, ASecondRunInTheSameDataFolderStopsAndLeavesTheFirstRunsTables) {
  frmCMain& first = w;
  first.state().WorkConn.ExecuteNative("INSERT INTO MT_TEMP5 (SITE) VALUES ('1234567')");

  std::ofstream(dir_.paths().WorkbookDir() / "1234567_1.xls") << "the first run's workbook";
  TempDataDir other;
  for (int n = 1; n <= 5; ++n) {
    std::ofstream(other.dir() / ("7654321_" + std::to_string(n) + ".xls")) << "x";
  }

  ScriptedUi ui;
  frmCMain second(ui, dir_.paths());
  second.SetLockWait(std::chrono::milliseconds(200));
  // The second run ends there: a window left open could still copy from media
  // into the workbook folder the first run is reading.
  EXPECT_FALSE(second.Form_Load());
  EXPECT_TRUE(second.unloaded());
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0], "3045 Could not use '" + dir_.dir().string() +
                                "'; another Sorvane run is working in this data folder.  Try "
                                "again when it has finished.");
  second.state().view.txtFacilityID.text = "7654321";
  second.SetDriveProbe(std::make_shared<FolderDriveProbe>(other.dir()));
  second.mnuDataLoadCD_Click();
  EXPECT_TRUE(fs::exists(dir_.paths().WorkbookDir() / "1234567_1.xls"));
  EXPECT_FALSE(fs::exists(dir_.paths().WorkbookDir() / "7654321_1.xls"));
  second.Form_Unload();
  EXPECT_EQ(first.state().WorkConn.QueryValue("SELECT COUNT(*) FROM MT_TEMP5"), Value::Integer(1));

  first.Form_Unload();
  frmCMain third(ui_, dir_.paths());
  ASSERT_TRUE(third.Form_Load());
  EXPECT_TRUE(third.loaded_ok());
}

// A folder to copy from is asked for only once a Facility ID is typed; one
// that cannot be listed (a share without the right to, one gone since) is
// named with the reason. Nothing is emptied.
TEST_F(MainWindowTest, AFolderIsAskedForAfterTheFacilityIdAndOneThatCannotBeReadIsNamed) {
  CopySample(dir_.paths().WorkbookDir(), {1});
  const fs::path gone = dir_.dir() / "gone";
  ui_.folder_answers = {gone.string()};
  EXPECT_EQ(w.mnuDataLoadFolder_Click(), CopyOutcome::kStopped);
  EXPECT_TRUE(ui_.input_titles.empty());
  EXPECT_EQ(ui_.messages, std::vector<std::string>{"Please Enter a Facility ID"});

  ui_.messages.clear();
  w.state().view.txtFacilityID.text = "1234567";
  EXPECT_EQ(w.mnuDataLoadFolder_Click(), CopyOutcome::kStopped);
  EXPECT_EQ(ui_.input_titles, std::vector<std::string>{"Copy the facility's workbooks from"});
  EXPECT_EQ(ui_.messages, std::vector<std::string>{"76  Path not found (" + gone.string() +
                                                   ": No such file or directory)"});
  EXPECT_TRUE(fs::exists(dir_.paths().WorkbookDir() / "1234567_1.xls"));
}

// An import yields to the window while it transfers; what the person clicks
// then must not pull the tables or record sets away from under it.
TEST_F(MainWindowTest, WhileImportingResetIsRefusedAndClosingWaitsForTheImportToStop) {
  CopySample(dir_.paths().WorkbookDir());
  w.state().view.txtFacilityID.text = "1234567";
  bool clicked = false;
  ui_.on_yield = [&] {
    if (!w.busy() || clicked) return;
    clicked = true;
    EXPECT_FALSE(w.state().view.menus["mnuNewSite"].enabled);
    w.mnuNewSite_Click();  // refused: the Facility ID stays fixed
    EXPECT_EQ(w.state().view.txtFacilityID.text, "1234567");
    w.mnuExit_Click();  // the window closes once the import has stopped
    EXPECT_FALSE(w.unloaded());
  };
  w.mnuRunData_Click(0);
  EXPECT_TRUE(clicked);
  EXPECT_FALSE(w.busy());
  EXPECT_TRUE(w.unloaded());
  EXPECT_FALSE(w.state().WorkConn.IsOpen());
}

TEST_F(MainWindowTest, WhileUpdatingTheReferenceTablesAnImportCannotStart) {
  ExecuteIn(dir_.paths().UpdateDb(), "CREATE TABLE UPDATE_LIST (TABLE_NAME TEXT);");
  int tried = 0;
  ui_.on_yield = [&] {
    if (!w.busy()) return;
    ++tried;
    EXPECT_FALSE(w.state().view.menus["mnuRunAllChecks"].enabled);
    w.mnuRunData_Click(0);  // refused: with an empty ID it would say "Please Enter a Facility ID"
  };
  w.mnuViewRef_Click(5);
  EXPECT_GT(tried, 0);
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_TRUE(w.state().view.menus["mnuRunAllChecks"].enabled);
  EXPECT_TRUE(w.state().view.menus["mnuRunData(0)"].enabled);
  EXPECT_FALSE(w.state().view.menus["mnuRunData(1)"].enabled);
  EXPECT_FALSE(w.busy());

  // A listed table kept as it was is said, with the file read.
  ExecuteIn(dir_.paths().UpdateDb(), "INSERT INTO UPDATE_LIST VALUES ('NO_SUCH_TABLE');");
  w.mnuViewRef_Click(5);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_THAT(ui_.messages[0], ::testing::HasSubstr(dir_.paths().UpdateDb().string()));
  EXPECT_THAT(ui_.messages[0],
              ::testing::EndsWith("NO_SUCH_TABLE: not a reference table of the work database"));
}

// A workbook fixed after the checks is imported again on its own, as often as
// need be: the checks' scratch tables do not stand in the way of its index builds.
TEST_F(MainWindowTest, ATableImportedAgainAfterTheChecksIsTransferredAndCheckedAgain) {
  CopySample(dir_.paths().WorkbookDir());
  w.state().view.txtFacilityID.text = "1234567";
  w.mnuRunData_Click(0);
  w.mnuCheckTables_Click(5);  // opens the check window, which runs Table 5's checks
  ASSERT_NE(w.check_view(), nullptr);
  for (int round = 0; round < 2; ++round) {
    w.mnuRunData_Click(5);
    EXPECT_EQ(w.state().StatusLabel(5).caption,
              "4122 records of Table 5 transferred to temporary table in Access. ");
    EXPECT_EQ(w.state().Tables[5].TableStatus, 6);
    w.check_view()->mnuRunChecksAll_Click();
    EXPECT_EQ(w.state().Tables[5].TableStatus, 7);  // checked, problems found
  }
  EXPECT_THAT(ui_.messages, ::testing::IsEmpty());
}

// A workbook saved since the import is said before the checks the menu starts,
// and the person chooses whether to import again; one table's import takes in
// only its own workbook.
TEST_F(MainWindowTest, WorkbooksSavedSinceTheImportAreSaidBeforeTheChecks) {
  const fs::path gis = dir_.paths().WorkbookDir();
  CopySample(gis);
  w.state().view.txtFacilityID.text = "1234567";
  w.mnuRunData_Click(0);
  EXPECT_EQ(w.WorkbooksChangedSinceImport(), "");
  const auto save = [&](const char* name) {
    fs::last_write_time(gis / name, fs::last_write_time(gis / name) + std::chrono::seconds(5));
  };
  save("1234567_3.xls");
  save("1234567_5.xls");
  EXPECT_EQ(w.WorkbooksChangedSinceImport(), "1234567_3.xls and 1234567_5.xls changed");
  w.mnuRunData_Click(3);
  EXPECT_EQ(w.WorkbooksChangedSinceImport(), "1234567_5.xls changed");

  // No: the checks of the rows imported.
  w.mnuCheckTables_ClickAskingFirst(5);
  ASSERT_EQ(ui_.questions.size(), 1u);
  EXPECT_THAT(ui_.questions[0],
              ::testing::MatchesRegex("1234567_5\\.xls changed since the tables were imported at "
                                      "[0-9][0-9]:[0-9][0-9]:[0-9][0-9]\\.  Import them again "
                                      "before the checks\\?"));
  ASSERT_NE(w.check_view(), nullptr);
  EXPECT_EQ(w.state().Tables[5].TableStatus, 7);

  // Yes: all five imported again, then checked; nothing is asked after that.
  save("1234567_5.xls");
  ui_.yes_no_answers = {true};
  w.mnuCheckTables_ClickAskingFirst(0);
  EXPECT_EQ(ui_.questions.size(), 2u);
  EXPECT_EQ(w.WorkbooksChangedSinceImport(), "");
  EXPECT_EQ(w.state().StatusLabel(5).caption,
            "4122 records of Table 5 transferred to temporary table in Access. ");
  EXPECT_EQ(w.state().Tables[1].TableStatus, 7);  // the window built afresh checked them
  w.mnuCheckTables_ClickAskingFirst(0);
  EXPECT_EQ(ui_.questions.size(), 2u);
}

// The facility's empty workbooks: headed as the import expects them (a review
// of them imports every table), their columns checked as typed into, and never
// written over a file already there.
TEST_F(MainWindowTest, EmptyWorkbooksAreHeadedAsTheImportExpectsAndReplaceNothing) {
  const fs::path to = dir_.paths().WorkbookDir();
  ui_.folder_answers = {to.string(), to.string()};
  w.state().view.txtFacilityID.text = "1234567";
  ASSERT_EQ(w.mnuDataTemplates_Click(), to);
  EXPECT_EQ(ui_.messages.back(), "The five empty workbooks of 1234567 are in " + to.string() + ".");
  const std::string cells = XlsxCellsText(to / "1234567_5.xlsx");
  EXPECT_THAT(cells, ::testing::StartsWith(
                         "[Analytical Data]\n1\tFAC_ID\tPOINT_ID\tSAM_ID\tMETHOD\tCAS_NUMBER\t"
                         "CONT_NAME\tCONC\tUNITS\tLAB_Q\tMDL\tA_COMMENTS\tA_LABORATORY\n[Fields]\n"
                         "1\tField\tTakes\tChoices\n2\tFAC_ID\tText of up to 7 characters\t"
                         "Facility ID\n"));
  EXPECT_THAT(cells, ::testing::HasSubstr("\n8\tCONC\tA number\n"));
  EXPECT_THAT(cells, ::testing::HasSubstr("[Lists]\n1\tFacility ID\tSample sources\tContracts\t"
                                          "Laboratories\tContaminants\n2\t1234567\t"));
  // The contaminant's column offers the agency's names and warns of others.
  const std::string sheet = XlsxPart(to / "1234567_5.xlsx", "xl/worksheets/sheet1.xml");
  const auto checks = Elements(sheet, "<dataValidation ", "</dataValidation>");
  ASSERT_EQ(checks.size(), 12u);
  EXPECT_EQ(Attribute(checks[5], "sqref"), "F2:F1048576");
  EXPECT_EQ(Attribute(checks[5], "errorStyle"), "warning");
  EXPECT_THAT(std::string(checks[5]), ::testing::HasSubstr("<formula1>Lists!$E$2:$E$"));

  w.mnuRunData_Click(0);
  for (int n = 1; n <= 5; ++n)
    EXPECT_EQ(w.state().StatusLabel(n).caption, "0 records of Table " + std::to_string(n) +
                                                    " transferred to temporary table in Access. ");

  // Again: refused, the workbooks as they were.
  const std::string first = ReadFile(to / "1234567_1.xlsx");
  EXPECT_EQ(w.mnuDataTemplates_Click(), std::nullopt);
  EXPECT_EQ(ui_.messages.back(),
            "58  File already exists (" + (to / "1234567_1.xlsx").string() + ")");
  EXPECT_EQ(ReadFile(to / "1234567_1.xlsx"), first);
}

// The imported workbooks mended into a folder the person chooses: what was
// mended and where is said, and a folder holding them already is refused.
TEST_F(MainWindowTest, MendedWorkbooksAreWrittenWhereChosenAndSaidSo) {
  w.state().view.txtFacilityID.text = "1234567";
  EXPECT_EQ(w.mnuDataMended_Click(), std::nullopt);
  EXPECT_EQ(ui_.messages.back(),
            "No workbook has been imported yet: import the facility's tables first.");
  const fs::path in = dir_.paths().WorkbookDir(), out = dir_.dir() / "mended";
  ui_.folder_answers = {in.string(), out.string(), out.string()};
  ASSERT_TRUE(w.mnuDataTemplates_Click());
  WriteXlsx(in / "1234567_5.xlsx",
            {{"FAC_ID", "POINT_ID", "SAM_ID", "METHOD", "CAS_NUMBER", "CONT_NAME", "CONC", "UNITS",
              "LAB_Q", "MDL", "A_COMMENTS", "A_LABORATORY"},
             {"1234567", "MW-1", "S-1", "8260B", "71-43-2", "Benzene", "<0.5", "ug/l"}});
  w.mnuRunData_Click(0);
  EXPECT_EQ(w.state().StatusLabel(5).tooltip,
            "Row 2, CONC: \"<0.5\" is not a number. A result below its detection limit is written "
            "as the limit: 0.5 in CONC and MDL, U in LAB_Q.\nData Copy > Mended Workbooks... mends "
            "some of these without a doubt.");
  const std::optional<MendedCopiesResult> r = w.mnuDataMended_Click();
  ASSERT_TRUE(r);
  EXPECT_EQ(ui_.messages.back(), "The workbooks were written to " + out.string() +
                                     ".\n3 cells were mended in 1234567_5.xlsx (the sheet Mends "
                                     "of each lists them).\nCopied as they are: 1234567_1.xlsx, "
                                     "1234567_2.xlsx, 1234567_3.xlsx, 1234567_4.xlsx.");
  EXPECT_THAT(XlsxCellsText(out / "1234567_5.xlsx"),
              ::testing::HasSubstr("\n2\t1234567\tMW-1\tS-1\t8260B\t71-43-2\tBenzene\t0.5\t"
                                   "ug/l\tU\t0.5\n"));
  EXPECT_EQ(w.mnuDataMended_Click(), std::nullopt);
  EXPECT_THAT(ui_.messages.back(), ::testing::StartsWith(out.string() + " holds 1234567_1.xlsx"));
}

// A refresh that brings new expected fields makes the next import check them,
// without a restart.
TEST_F(MainWindowTest, ARefreshedStructureTableIsTheOneTheNextImportChecks) {
  ExecuteIn(dir_.paths().UpdateDb(),
            "ATTACH '" + dir_.paths().WorkDb().string() +
                "' AS work; CREATE TABLE MT_VBSTRUCTURE AS SELECT * FROM work.MT_VBSTRUCTURE; "
                "INSERT INTO MT_VBSTRUCTURE VALUES ('TEMP_1', 'SL_DEPTH', 6, 8, 99); "
                "CREATE TABLE UPDATE_LIST (TABLE_NAME TEXT); "
                "INSERT INTO UPDATE_LIST VALUES ('MT_VBSTRUCTURE');");
  CopySample(dir_.paths().WorkbookDir());
  w.mnuViewRef_Click(5);
  EXPECT_TRUE(ui_.messages.empty());
  w.state().view.txtFacilityID.text = "1234567";
  w.mnuRunData_Click(0);
  EXPECT_THAT(w.state().StatusLabel(1).caption, ::testing::HasSubstr("SL_DEPTH"));
  EXPECT_EQ(w.state().Tables[1].TableStatus, 1);
  EXPECT_EQ(w.state().Tables[2].TableStatus, 6);
}

using Texts = std::vector<std::string>;

// Makes `file` unchangeable even for root (ext4's immutable flag), or lets it
// be changed again; false where the file system or the user may not.
bool SetImmutable(const fs::path& file, bool on) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  int flags = 0;
  bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (ok) {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ::close(fd);
  return ok;
}

TEST(WorkDbStart, AMissingOrDamagedDatabaseIsOfferedAnewAnythingElseIsNamedAndKept) {
  TempDataDir share, dir;
  setenv("XDG_DATA_HOME", share.dir().c_str(), 1);
  const fs::path db = dir.paths().WorkDb();
  Connection holder;
  bool immutable = false;
  auto damage_pages = [&] {  // a table's pages, not the schema
    dir.CreateWorkDb();
    std::fstream f(db, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>(fs::file_size(db) / 2));
    f << std::string(20000, 'x');
  };
  const std::string kOffer =
      "Keep the damaged file as GIS_WORK (damaged).db and create a new work "
      "database in " +
      dir.dir().string() +
      " now?  The new one holds the reference lists the program came "
      "with until they are refreshed.";
  const std::pair<std::string, std::function<void()>> cases[] = {
      {"the file is empty (0 bytes)", [&] { std::ofstream{db}; }},
      {"file is not a database", [&] { std::ofstream(db) << std::string(4096, 'x'); }},
      {"database disk image is malformed", [&] { dir.CreateWorkDb(), fs::resize_file(db, 8192); }},
      {"database disk image is malformed", damage_pages},
      {"database is locked",
       [&] { dir.CreateWorkDb(), holder.Open(db), holder.ExecuteNative("BEGIN EXCLUSIVE"); }},
      {"it is a folder, not a file", [&] { fs::create_directories(db); }},
      {"Permission denied", [&] { dir.CreateWorkDb(), fs::permissions(db, fs::perms::none); }},
      // Root may write a file of any mode, not an immutable one.
      {"it is read-only (the program may not write to the file; a copy from a CD keeps the "
       "disc's read-only mode)",
       [&] {
         dir.CreateWorkDb(), fs::permissions(db, fs::perms::owner_read);
         if (geteuid() == 0) immutable = SetImmutable(db, true);
       }},
  };
  for (const auto& [reason, make] : cases) {
    make();
    if (geteuid() == 0 &&
        (reason == "Permission denied" || (reason.starts_with("it is read") && !immutable))) {
      fs::remove_all(db);
      continue;  // root reads and writes every file
    }
    const auto stamp = fs::last_write_time(db);
    ScriptedUi ui;
    const bool damaged = reason.starts_with("the file is") || reason.ends_with("database") ||
                         reason.ends_with("malformed");
    ui.yes_no_answers = {!damaged};  // only No leaves a damaged file alone
    frmCMain w(ui, dir.paths());
    w.SetLockWait(std::chrono::milliseconds(100));
    EXPECT_FALSE(w.Form_Load());
    EXPECT_EQ(ui.messages,
              Texts{"The work database " + db.string() + " cannot be used: " + reason + "."});
    EXPECT_EQ(ui.questions, damaged ? Texts{kOffer} : Texts{}) << reason;
    EXPECT_EQ(w.work_db_damaged(), damaged);
    EXPECT_EQ(fs::last_write_time(db), stamp);
    holder.Close();
    if (immutable) immutable = !SetImmutable(db, false);
    fs::remove_all(db);
  }
  // Yes keeps a damaged file under another name, with the journal the engine
  // left beside it (an emptied file's is not played back), and goes on.
  damage_pages();
  std::string bytes = ReadFile(db);
  for (const std::string kept : {"GIS_WORK (damaged).db", "GIS_WORK (damaged 2).db"}) {
    ScriptedUi ui;
    ui.yes_no_answers = {true};
    frmCMain w(ui, dir.paths());
    EXPECT_TRUE(w.Form_Load() && w.loaded_ok());
    EXPECT_EQ(ui.questions.size(), 1u);
    EXPECT_THAT(ui.questions.at(0),
                ::testing::HasSubstr("Keep the damaged file as " + kept + " and"));
    EXPECT_EQ(ReadFile(dir.dir() / kept), bytes);
    EXPECT_EQ(w.state().WorkConn.QueryValue("PRAGMA integrity_check"), Value::Text("ok"));
    w.Form_Unload();
    std::ofstream{db};
    std::ofstream(db.string() + "-journal") << "its journal";
    bytes.clear();
  }
  EXPECT_EQ(ReadFile(dir.dir() / "GIS_WORK (damaged 2).db-journal"), "its journal");
  fs::remove(db.string() + "-journal");
  fs::remove_all(db);
  // A data folder not there yet: its folders are made without a word; Yes builds
  // the database as `sorvane init` does and goes on.
  const Paths fresh{dir.dir() / "new", {}};
  for (const bool yes : {false, true}) {
    ScriptedUi ui;
    ui.yes_no_answers = {yes};
    frmCMain w(ui, fresh);
    EXPECT_EQ(w.Form_Load() && w.loaded_ok(), yes);
    EXPECT_TRUE(fs::is_directory(fresh.WorkbookDir()));
    EXPECT_EQ(ui.messages, Texts{"The Access database is missing.  Copy it from " +
                                 (share.dir() / "sorvane/GIS_WORK.db").string() + " to " +
                                 fresh.WorkDb().string()});
    EXPECT_EQ(ui.questions,
              Texts{"Create a new work database in " + fresh.data_dir.string() + " now?"});
    EXPECT_EQ(fs::exists(fresh.WorkDb()) && fs::exists(fresh.UpdateDb()), yes);
    EXPECT_EQ(w.unloaded(), !yes);
    EXPECT_TRUE(fs::is_regular_file(share.dir() / "sorvane/GIS_WORK.db"));  // the copy it names
  }
  unsetenv("XDG_DATA_HOME");
}

}  // namespace
}  // namespace sorvane::testing
