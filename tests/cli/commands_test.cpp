// The smaller commands: init (also from the agency's reference file), status,
// read (stored values, displayed texts, passwords), copy, update-refs and refs,
// with their output and exit statuses.
#include "commands.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "acquire/acquire_fixture.h"
#include "cli_run.h"
#include "core/text.h"
#include "json_parse.h"
#include "shell/data_folder_lock.h"
#include "support/case_table.h"
#include "support/file_size_limit.h"
#include "support/work_db.h"
#include "support/xlsx_writer.h"
#include "workdb/connection.h"

// The spreadsheet library loses a few bytes for each drop-down list of the
// empty workbooks (a copy of the list's range that it never frees).
extern "C" const char* __lsan_default_suppressions() { return "leak:lxw_strdup\n"; }

namespace sorvane::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

// The value `sql` gives on the database file `db`.
Value ValueIn(const fs::path& db, const std::string& sql) {
  Connection c;
  c.Open(db);
  return c.QueryValue(sql);
}

TEST(Commands, AMistypedCommandIsNamedWithTheCommandsThereAre) {
  const char* kSaid =
      "reveiw is not a command; the commands are init, status, review, refs, checks, compare, "
      "read, copy, template, update-refs\nRun with --help for more information.\n";
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"reveiw", "1234567"},
        std::vector<std::string>{"--data-dir", "/tmp", "reveiw", "1234567"}}) {
    const CliRun r = RunCommand(args);
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, kSaid);
  }
  EXPECT_EQ(RunCommand({"--data-dir", "/tmp/nowhere", "status"}).code, 2);  // a command still runs
}

// The checks a review runs, listed without any data folder in the words the
// review's summary and the error workbook give a failed check, with its rule
// and the words it passes with.
TEST(ChecksCommand, ListsEveryCheckWithItsSeverityRuleAndPassingWords) {
  CliRun r = RunCommand({"checks", "5"});
  EXPECT_EQ(r.code, 0);
  EXPECT_TRUE(r.out.starts_with(
      "Checks of Table 5 - Analytical Data: 14\n"
      "  5.0 Unknown Laboratories.  (Possible Problem)\n"
      "      rule: Laboratories should be in EKRA's list.  If not, the lab can be added.\n"
      "      when it passes: No unknown Laboratories.\n  5.1 Missing Units."))
      << r.out;
  EXPECT_NE(r.out.find("\n  5.13 Problem with Duplicates (New Data Only).  (Must be Fixed)\n"),
            std::string::npos);
  EXPECT_EQ(r.out.find("Table 4"), std::string::npos);

  r = RunCommand({"checks", "--json"});
  EXPECT_EQ(r.code, 0);
  const Json tables = ParseJson(r.out);
  ASSERT_EQ(tables.array.size(), 5u);
  size_t count = 0;
  for (const Json& t : tables.array) count += t["checks"].array.size();
  EXPECT_EQ(count, 64u);
  EXPECT_EQ(tables[1]["title"].string, "Well Data");
  const Json& lab_q = tables[4]["checks"][6];
  EXPECT_EQ(lab_q["severity"].number, 1);
  EXPECT_EQ(lab_q["severity_text"].string, "Probably a Problem");
  EXPECT_EQ(lab_q["fail_text"].string, "Missing Lab Qualifiers.");
  EXPECT_EQ(lab_q["rule"].string, "All data should have a Lab Qualifier: U, D, J, B.");
  EXPECT_EQ(RunCommand({"checks", "6"}).code, 2);
}

// The sample's report edited by the engine's JSON functions (`?1` the report),
// as a review of mended workbooks would leave it.
std::string EditedReport(const std::string& edit) {
  Connection c;
  c.OpenInMemory();
  return c
      .QueryValue("SELECT " + edit,
                  {Value::Text(ReadFile(SourcePath("tests/data/sample/report.json")))})
      .ToDisplay();
}

TEST(CompareCommand, NamesTheProblemRowsFixedAndNewAndRefusesReportsItCannotPair) {
  TempDataDir dir;
  auto file = [&](const char* name, const std::string& text) {
    const std::string path = (dir.dir() / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  };
  const std::string before = file("before.json", EditedReport("?1"));
  CliRun r = RunCommand({"compare", before, before});
  EXPECT_EQ(r.code, 0);
  EXPECT_THAT(r.out, EndsWith("\nProblem rows: 0 fixed, 0 new, 177 as before.\n"));

  // A lat/long row and a lab qualifier mended, a result without units added,
  // and the checks of Table 3 not run.
  const std::string after = file(
      "after.json", EditedReport(R"(json_insert(json_remove(?1, '$.tables[0].checks[0].rows[0]',
          '$.tables[0].checks[0].sources[0]', '$.tables[4].checks[6].rows[0]',
          '$.tables[4].checks[6].sources[0]', '$.tables[2].checks'),
        '$.tables[4].checks[1].rows[#]', json('["NEW","MW-99","S-1","Benzene",0.5,null,"x"]'),
        '$.tables[4].checks[1].sources[#]',
        json('[{"workbook":"1234567_5.xls","sheet":"Analytical Data","row":4200}]')))"));
  r = RunCommand({"compare", before, after});
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.out, StartsWith("Facility 1234567: " + before + " against " + after +
                                "\nTable 1 - Sample Location\n  1.0 MAY be a problem with "
                                "Lat/Long Values as compared with Site information.  (Possible "
                                "Problem): 1 before, 0 now (1 fixed, 0 new)\n"));
  EXPECT_THAT(r.out, HasSubstr("\n  5.1 Missing Units.  (Probably a Problem): 3 before, 4 now (0 "
                               "fixed, 1 new)\n      new: NEW, MW-99, S-1, Benzene, 0.5, , x "
                               "(1234567_5.xls, row 4200)\n  5.2 Missing MDLs.  (Probably a "
                               "Problem): 2 before, 2 now\n"));
  EXPECT_THAT(r.out, EndsWith("\nTable 3 - Water Level: not compared, its checks did not run in " +
                              after + "\nProblem rows: 2 fixed, 1 new, 169 as before.\n"));
  const Json json = ParseJson(RunCommand({"compare", before, after, "--json"}).out);
  EXPECT_EQ(json["new"].number, 1);
  EXPECT_EQ(json["not_compared"][0].number, 3);
  EXPECT_EQ(json["checks"][0]["fixed_rows"][0]["row"][1].string, "SB-7");
  EXPECT_EQ(json["checks"][0]["fixed_rows"][0]["place"]["row"].number, 28);

  // Of two equal rows, one left is one fixed.
  const char* twice = R"(json_insert(?1, '$.tables[4].checks[2].rows[#]', json('["NEW","MW-5"]'),
                                      '$.tables[4].checks[2].rows[#]', json('["NEW","MW-5"]')))";
  const char* once = R"(json_insert(?1, '$.tables[4].checks[2].rows[#]', json('["NEW","MW-5"]')))";
  r = RunCommand(
      {"compare", file("twice.json", EditedReport(twice)), file("once.json", EditedReport(once))});
  EXPECT_EQ(r.code, 0);
  EXPECT_THAT(r.out, HasSubstr("\n  5.2 Missing MDLs.  (Probably a Problem): 4 before, 3 now (1 "
                               "fixed, 0 new)\n"));

  // An import problem said with more by a later version (what to do) is the
  // same problem, whichever report is the later.
  const char* said = R"(json_insert(?1, '$.tables[4].import_problems[#]', json_object('kind',
      'data_type', 'text', 'Row 12, CONC: "<0.5" is not a number. A result below its detection ' ||
      'limit is written as the limit: 0.5 in CONC and MDL, U in LAB_Q.')))";
  const char* bare = R"(json_insert(?1, '$.tables[4].import_problems[#]', json_object('kind',
      'data_type', 'text', 'Row 12, CONC: "<0.5" is not a number.'), '$.tables[4].import_problems[#]',
      json_object('kind', 'data_type', 'text', 'Row 12, CONC: "<0.5" is not a number. Or so.')))";
  r = RunCommand(
      {"compare", file("bare.json", EditedReport(bare)), file("said.json", EditedReport(said))});
  EXPECT_EQ(r.code, 0);
  EXPECT_THAT(r.out, HasSubstr("\nTable 5 - Analytical Data\n  Import problems: 2 before, 1 now (1 "
                               "fixed, 0 new)\n"));
  r = RunCommand(
      {"compare", file("said.json", EditedReport(said)), file("bare.json", EditedReport(bare))});
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.out, HasSubstr("  Import problems: 1 before, 2 now (0 fixed, 1 new)\n      new: "
                               "data_type, Row 12, CONC: \"<0.5\" is not a number. Or so.\n"));

  const std::string other = file("other.json", EditedReport("json_set(?1, '$.facility_id', 'x')"));
  const std::string cut = file("cut.json", "{\"tables\": [");
  const std::string none = file("none.json", "{\"tables\": {\"1\": {\"checks\": []}}}");
  r = RunCommand({"compare", before, other});
  EXPECT_EQ(r.err, "compare: the reports are of different facilities: 1234567 and x\n");
  EXPECT_THAT(RunCommand({"compare", cut, before}).err,
              StartsWith("compare: " + cut + " is not JSON: parse error at line 1, column 13"));
  EXPECT_EQ(RunCommand({"compare", before, none}).err,
            "compare: " + none + " is not a review report: it lists no tables\n");
  EXPECT_EQ(RunCommand({"compare", dir.dir().string(), before}).err,
            "compare: " + dir.dir().string() + " is a folder, not a review report\n");
  r = RunCommand({"compare", before, before + ".gone"});
  EXPECT_EQ(r.err, "compare: " + before + ".gone cannot be read: No such file or directory\n");
  EXPECT_EQ(r.code, 2);
}

// The empty workbooks (their shape: the main window's test), and never twice.
TEST(TemplateCommand, WritesTheFiveEmptyWorkbooksOnceAndRefusesAShortId) {
  WorkDataDir dir;
  const std::string to = (dir.dir() / "new").string();
  // As "$(cat id.txt)" gives it from a file saved with Windows line ends.
  const std::vector<std::string> args = {"template", "1234567\r",  "--to",
                                         to,         "--data-dir", dir.dir().string()};
  CliRun r = RunCommand(args);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_THAT(r.out, StartsWith("Template: " + to + "/1234567_1.xlsx\n"));
  EXPECT_THAT(r.out, EndsWith("Template: " + to + "/1234567_5.xlsx\n"));
  r = RunCommand(args);
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "template: 58 File already exists (" + to + "/1234567_1.xlsx)\n");
  r = RunCommand({"template", "123456", "--to", to, "--data-dir", dir.dir().string()});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "Facility ID must be 7 digits.\n");
  r = RunCommand({"template", "../4567", "--to", to, "--data-dir", dir.dir().string()});
  EXPECT_EQ(r.err, "template: 52 Bad file name or number (../4567)\n");
}

TEST(InitCommand, CreatesTheDataFolderRefusesToOverwriteAndSurvivesAFullDisk) {
  TempDataDir dir;
  const std::string d = (dir.dir() / "x").string();
  CliRun first = RunCommand({"init", "--data-dir", d});
  EXPECT_EQ(first.code, 0) << first.err;
  EXPECT_EQ(first.out, "Work database: " + d + "/GIS_WORK.db\nUpdate database: " + d +
                           "/GIS_UPDATE.db\nWorkbook folder: " + d + "/GISFile\n");
  EXPECT_TRUE(fs::is_directory(fs::path(d) / "GISFile"));
  ExecuteIn(fs::path(d) / "GIS_WORK.db", "INSERT INTO MT_TEMP1 (SITE) VALUES ('kept')");
  CliRun second = RunCommand({"init", "--data-dir", d});
  EXPECT_EQ(second.code, 0);
  EXPECT_EQ(second.err, "The work database " + d +
                            "/GIS_WORK.db already exists; it was left as it is (use --force to "
                            "replace it).\n");
  const fs::path db = fs::path(d) / "GIS_WORK.db";
  EXPECT_EQ(ValueIn(db, "SELECT COUNT(*) FROM MT_TEMP1"), Value::Integer(1));
  EXPECT_EQ(RunCommand({"init", "--force", "--data-dir", d}).code, 0);
  EXPECT_EQ(ValueIn(db, "SELECT COUNT(*) FROM MT_TEMP1"), Value::Integer(0));

  // A disk that fills: the file is named and the database there was is kept.
  const auto size = fs::file_size(fs::path(d) / "GIS_WORK.db");
  CliRun full;
  {
    FileSizeLimit full_disk(32 * 1024);
    full = RunCommand({"init", "--force", "--data-dir", d});
  }
  EXPECT_EQ(full.code, 2);
  EXPECT_THAT(full.err, ::testing::HasSubstr("(" + d + "/GIS_WORK.db)"));
  EXPECT_FALSE(fs::exists(fs::path(d) / "GIS_WORK.db.partial"));
  EXPECT_EQ(fs::file_size(fs::path(d) / "GIS_WORK.db"), size);
}

// What a run killed in a transaction leaves: the work database with part of
// the transaction written, and the journal holding those pages as they were.
// Played back into a new database, the old pages leave its tables and
// indexes at odds ("row 1 missing from index IX_MT_TEMP1_POINT").
TEST(InitCommand, ANewDatabaseDoesNotTakeTheJournalOfTheOneItReplaces) {
  TempDataDir dir;
  const fs::path old_dir = dir.dir() / "old", killed = dir.dir() / "killed";
  ASSERT_EQ(RunCommand({"init", "--data-dir", old_dir.string()}).code, 0);
  const fs::path old_db = old_dir / "GIS_WORK.db";
  for (const char* table : {"MT_TEMP1", "MT_TEMP3"}) {
    ExecuteIn(old_db, std::string("INSERT INTO ") + table +
                          " (SITE, POINT_ID, COMMENTS) WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
                          "SELECT i + 1 FROM n WHERE i < 3000) SELECT '1234567', 'P' || i, "
                          "printf('%.200c', 'x') FROM n");
  }
  {
    Connection writer;
    writer.Open(old_db);
    writer.ExecuteNative("PRAGMA cache_size = 2; BEGIN; DELETE FROM MT_TEMP1");
    fs::create_directories(killed);
    fs::copy_file(old_db, killed / "GIS_WORK.db");
    fs::copy_file(old_dir / "GIS_WORK.db-journal", killed / "GIS_WORK.db-journal");
    writer.ExecuteNative("ROLLBACK");
  }
  // The journal is one the engine plays back (its header is written).
  ASSERT_EQ(ReadFile(killed / "GIS_WORK.db-journal").substr(0, 8),
            std::string("\xd9\xd5\x05\xf9\x20\xa1\x63\xd7", 8));

  const CliRun init = RunCommand({"init", "--force", "--data-dir", killed.string()});
  ASSERT_EQ(init.code, 0) << init.err;
  EXPECT_FALSE(fs::exists(killed / "GIS_WORK.db-journal"));
  EXPECT_EQ(ValueIn(killed / "GIS_WORK.db", "PRAGMA integrity_check"), Value::Text("ok"));
  EXPECT_EQ(ValueIn(killed / "GIS_WORK.db", "SELECT COUNT(*) FROM MT_TEMP1"), Value::Integer(0));
}

TEST(InitCommand, ForceWaitsForARunInTheFolderAndThenLeavesItsDatabase) {
  WorkDataDir dir;
  const auto size = fs::file_size(dir.paths().WorkDb());
  DataFolderLock running_review;
  running_review.Acquire(dir.dir(), std::chrono::seconds(0));
  std::ostringstream out, err;
  EXPECT_EQ(cli::RunInit(dir.paths(), true, {out, err}, std::chrono::milliseconds(200)), 2);
  // The wait is said at once, naming the run that holds the folder.
  EXPECT_THAT(err.str(), StartsWith("Waiting for the data folder " + dir.dir().string() +
                                    ": another run (test_cli, process " + std::to_string(getpid()) +
                                    ", since "));
  EXPECT_THAT(err.str(), EndsWith("is working in it; waiting up to 0.2 seconds ...\n3045 Could "
                                  "not use '" +
                                  dir.dir().string() +
                                  "'; another Sorvane run is working in this data folder.  Try "
                                  "again when it has finished.\n"));
  EXPECT_EQ(fs::file_size(dir.paths().WorkDb()), size);
}

TEST(StatusCommand, ListsTheStructuresOrEndsWithTheMissingOrDamagedDatabaseMessageAndInit) {
  TempDataDir dir;
  setenv("XDG_DATA_HOME", (dir.dir() / "share").c_str(), 1);
  CliRun missing = RunCommand({"status", "--data-dir", dir.dir().string()});
  EXPECT_EQ(missing.code, 2);
  EXPECT_EQ(missing.out, "");
  EXPECT_EQ(missing.err, "The Access database is missing.  Copy it from " +
                             (dir.dir() / "share" / "sorvane" / "GIS_WORK.db").string() + " to " +
                             dir.paths().WorkDb().string() + "\n`sorvane init --data-dir " +
                             dir.dir().string() + "` creates a new work database there.\n");
  unsetenv("XDG_DATA_HOME");

  std::ofstream(dir.paths().WorkDb()) << std::string(4096, 'x');
  CliRun damaged = RunCommand({"status", "--data-dir", dir.dir().string()});
  EXPECT_EQ(damaged.code, 2);
  EXPECT_EQ(damaged.err, "The work database " + dir.paths().WorkDb().string() +
                             " cannot be used: file is not a database.\n`sorvane init --force "
                             "--data-dir " +
                             dir.dir().string() + "` replaces it with a new work database.\n");
  EXPECT_EQ(fs::file_size(dir.paths().WorkDb()), 4096u);

  fs::remove(dir.paths().WorkDb());
  dir.CreateWorkDb();
  ExecuteIn(dir.paths().WorkDb(), "ALTER TABLE MT_VBSTRUCTURE RENAME TO KEPT");
  CliRun incomplete = RunCommand({"status", "--data-dir", dir.dir().string()});
  EXPECT_EQ(incomplete.code, 2);
  EXPECT_EQ(incomplete.err, "1 no such table: MT_VBSTRUCTURE\nThe work database " +
                                dir.paths().WorkDb().string() +
                                " lacks what the program reads at start-up; `sorvane init --force "
                                "--data-dir " +
                                dir.dir().string() + "` replaces it with a new work database.\n");
  ExecuteIn(dir.paths().WorkDb(), "ALTER TABLE KEPT RENAME TO MT_VBSTRUCTURE");
  CliRun ok = RunCommand({"status", "--data-dir", dir.dir().string()});
  EXPECT_EQ(ok.code, 0) << ok.err;
  EXPECT_NE(ok.out.find("Table 3 (Water Level): FAC_ID, POINT_ID, WL_DATE, WL, WL_CONTRACT, "
                        "WL_COMMENTS\n"),
            std::string::npos)
      << ok.out;
  EXPECT_NE(ok.out.find("MT_CONTRACTOR: 10 rows\n"), std::string::npos) << ok.out;
}

TEST(ReadCommand, PrintsTheFirstSheetAsStoredOrShownOrTheReadersReason) {
  const std::string levels = SourcePath("data/sample/1234567_3.xls").string();
  CliRun good = RunCommand({"read", levels});
  EXPECT_EQ(good.code, 0) << good.err;
  EXPECT_EQ(good.out.substr(0, good.out.find('\n')),
            "FAC_ID\tPOINT_ID\tWL_DATE\tWL\tWL_CONTRACT\tWL_COMMENTS");
  // A data folder, which it would ignore, is refused.
  EXPECT_EQ(RunCommand({"read", "--data-dir", "/tmp", levels}).code, 2);
  TempDataDir dir;
  const fs::path junk = dir.dir() / "junk.xls";
  std::ofstream(junk) << "not a workbook at all";
  CliRun bad = RunCommand({"read", junk.string()});
  EXPECT_EQ(bad.code, 2);
  EXPECT_EQ(bad.out, "");
  EXPECT_THAT(bad.err, ::testing::HasSubstr("not a spreadsheet"));

  // Control characters of a cell are shown, not sent to the terminal.
  const fs::path control = dir.dir() / "control.xlsx";
  WriteXlsx(control, {{"A", "B", "C"},
                      {"x\x1B]0;title\x07y", "tab\there",
                       "caf\xC3\xA9 \xC2\x9B"
                       "31mred"}});
  CliRun r = RunCommand({"read", control.string()});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "A\tB\tC\nx\\x1B]0;title\\x07y\ttab\\there\tcaf\xC3\xA9 \\xC2\\x9B31mred\n");

  // --as-shown applies the number formats.
  const fs::path ids = dir.dir() / "ids.xlsx";
  WriteXlsx(ids, {{"FAC_ID", "AMOUNT", "DAY"},
                  {XlsxCell(123456.0, "0000000"), XlsxCell(1234.5, "#,##0.00"),
                   XlsxCell(38063.0, "d-mmm-yy")}});
  EXPECT_EQ(RunCommand({"read", ids.string()}).out,
            "FAC_ID\tAMOUNT\tDAY\n123456\t1234.5\t3/17/2004\n");
  EXPECT_EQ(RunCommand({"read", "--as-shown", ids.string()}).out,
            "FAC_ID\tAMOUNT\tDAY\n0123456\t1,234.50\t17-Mar-04\n");

  // --sheet shows a later worksheet, and says how far the workbook goes.
  const fs::path two = dir.dir() / "two.xlsx";
  WriteXlsxSheets(two, {{"Notes", {{"see Data"}}}, {"Data", {{"FAC_ID"}, {"1234567"}}}});
  EXPECT_EQ(RunCommand({"read", "--sheet", "2", two.string()}).out, "FAC_ID\n1234567\n");
  const CliRun past = RunCommand({"read", "--sheet", "3", two.string()});
  EXPECT_EQ(past.code, 2);
  EXPECT_EQ(past.err,
            "\"" + two.string() + "\" has no worksheet 3 (chart sheets are not counted).\n");
}

TEST(CopyCommand, CopiesTheFacilityWorkbooksFromAFolder) {
  WorkDataDir dir;
  CliRun r = RunCommand({"copy", "1234567", "--from", SourcePath("data/sample").string(),
                         "--data-dir", dir.dir().string()});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "Files Copied.\nWorkbook folder: " + dir.paths().WorkbookDir().string() + "\n");
  for (int n = 1; n <= 5; ++n) {
    EXPECT_TRUE(fs::exists(dir.paths().WorkbookDir() / ("1234567_" + std::to_string(n) + ".xls")));
  }
  // A copy that fails says why, and nothing of a copy going on.
  const fs::path piped = dir.dir() / "piped";
  fs::create_directories(piped);
  for (const char* n : {"1", "2", "4", "5"})
    fs::copy_file(SourcePath("data/sample") / ("1234567_" + std::string(n) + ".xls"),
                  piped / ("1234567_" + std::string(n) + ".xls"));
  ASSERT_EQ(::mkfifo((piped / "1234567_3.xls").c_str(), 0600), 0);
  r = RunCommand({"copy", "1234567", "--from", piped.string(), "--data-dir", dir.dir().string()});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "75  Path/File access error (" + (piped / "1234567_3.xls").string() +
                       ": not a plain file (a pipe, a device or a folder))\n");

  const std::string data = dir.dir().string(), sample = SourcePath("data/sample").string();
  const auto in_place = [&](const std::string& s) {
    return ReplaceAll(ReplaceAll(s, "$DATA", data), "$SAMPLE", sample);
  };
  for (const auto& c : CaseTable("refused_copies.txt")) {
    CliRun r = RunWords({"copy", "--data-dir", data}, in_place(c[0]));
    EXPECT_EQ(r.code, std::stoi(c[1])) << c[0];
    EXPECT_EQ(r.err, in_place(c[2]));
  }
}

TEST(CopyCommand, EmptyDriveIsGivenUpAfterTheOneWait) {
  WorkDataDir dir;
  auto tray = std::make_shared<FakeDriveProbe>();  // a CD drive without a disc
  tray->drives = {Drive{kDriveCdRom, "/dev/sr0", "/dev/sr0"}};
  tray->answers["/dev/sr0"] = {NotReady()};
  std::ostringstream out, err;
  EXPECT_EQ(cli::RunCopy(dir.paths(), "1234567", "cd", "", {out, err}, tray,
                         std::chrono::milliseconds(50)),
            1);
  EXPECT_EQ(err.str(), "Re-Install media & Press OK (or Cancel to Quit) [Cancel]\n");
  EXPECT_EQ(tray->queried.size(), 2u);
}

TEST(UpdateRefsCommand, ReplacesTheListedTablesOrSaysWhyNot) {
  WorkDataDir dir;
  ExecuteIn(dir.paths().WorkDb(), "DELETE FROM MT_CONTRACTOR");
  CliRun missing = RunCommand({"update-refs", "--data-dir", dir.dir().string()});
  EXPECT_EQ(missing.code, 2);
  EXPECT_EQ(missing.err, "The Access Update database (GIS_UPDATE.mdb) is missing.  Copy it to " +
                             (dir.dir() / "GIS_UPDATE.mdb").string() + "\n");

  const fs::path update = dir.dir() / "fresh.db";
  ExecuteIn(update,
            "CREATE TABLE UPDATE_LIST (TABLE_NAME TEXT);"
            "INSERT INTO UPDATE_LIST VALUES ('MT_CONTRACTOR');"
            "CREATE TABLE MT_CONTRACTOR (CONTRACT TEXT COLLATE NOCASE, CONTRACTOR TEXT COLLATE "
            "NOCASE);"
            "INSERT INTO MT_CONTRACTOR VALUES ('C-99', 'New Contractor');");
  CliRun ok =
      RunCommand({"update-refs", "--from", update.string(), "--data-dir", dir.dir().string()});
  EXPECT_EQ(ok.code, 0) << ok.err;
  EXPECT_EQ(ok.out, "Update database: " + update.string() + "\nReplaced MT_CONTRACTOR\n");
  EXPECT_EQ(ValueIn(dir.paths().WorkDb(), "SELECT CONTRACTOR FROM MT_CONTRACTOR"),
            Value::Text("New Contractor"));

  // An update database whose list is empty, one without a list, and one whose list cannot be read.
  const fs::path empty = dir.dir() / "empty.db", nolist = dir.dir() / "nolist.db",
                 damaged = dir.dir() / "damaged.db";
  ExecuteIn(empty, "CREATE TABLE UPDATE_LIST (TABLE_NAME TEXT);");
  CliRun r =
      RunCommand({"update-refs", "--from", empty.string(), "--data-dir", dir.dir().string()});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "Update database: " + empty.string() +
                       "\nNo table to replace: " + empty.string() + " lists none in UPDATE_LIST\n");
  ExecuteIn(nolist, "CREATE TABLE MT_LAB (LAB_ID INTEGER);");
  ExecuteIn(damaged,
            "CREATE TABLE UPDATE_LIST (TABLE_NAME TEXT);"
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 500) "
            "INSERT INTO UPDATE_LIST SELECT 'MT_' || printf('%0100d', i) FROM n;");
  r = RunCommand({"update-refs", "--from", nolist.string(), "--data-dir", dir.dir().string()});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "The update database " + nolist.string() +
                       " could not be read: it has no table UPDATE_LIST naming the tables to "
                       "replace. Nothing was changed.\n");

  // The schema page stays whole, the last page of the list is overwritten.
  const auto size = fs::file_size(damaged);
  {
    std::fstream f(damaged, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>(size - 4096));
    f << std::string(4096, '\xFF');
  }
  r = RunCommand({"update-refs", "--from", damaged.string(), "--data-dir", dir.dir().string()});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err, "");
}

TEST(ReadShownCommand, PasswordComesFromTheOptionOrTheEnvironment) {
  const fs::path book = fs::path(SORVANE_CORPUS_DIR) / "xls/poi_35897-type4.xls";
  if (!fs::exists(book)) GTEST_SKIP() << "the shared corpus is absent";
  EXPECT_EQ(RunCommand({"read", book.string()}).code, 2);
  EXPECT_EQ(RunCommand({"read", "--password", "guess", book.string()}).code, 2);
  EXPECT_EQ(RunCommand({"read", "--password", "freedom", book.string()}).out, "hello there!\n");
  setenv("SORVANE_WORKBOOK_PASSWORD", "freedom", 1);
  CliRun from_env = RunCommand({"read", book.string()});
  unsetenv("SORVANE_WORKBOOK_PASSWORD");
  EXPECT_EQ(from_env.out, "hello there!\n");
}

using ::testing::HasSubstr;

TEST(InitReference, AgencyWorkDatabaseGivesItsLaboratoriesAndTheSameReview) {
  const fs::path agency = fs::path(SORVANE_CORPUS_DIR) / "access" / "agency" / "GIS_WORK.mdb";
  if (!fs::exists(agency)) GTEST_SKIP() << "no corpus beside the repository";
  TempDataDir from_agency;
  CliRun init = RunCommand(
      {"init", "--data-dir", from_agency.dir().string(), "--reference", agency.string()});
  EXPECT_EQ(init.code, 0) << init.err;
  EXPECT_THAT(init.out, HasSubstr("Reference table MT_LAB: 19 rows from " + agency.string()));
  EXPECT_THAT(init.out, HasSubstr("Update database: none built"));
  EXPECT_FALSE(fs::exists(from_agency.dir() / "GIS_UPDATE.db"));
  EXPECT_THAT(RunCommand({"refs", "labs", "--data-dir", from_agency.dir().string()}).out,
              HasSubstr("99\tGCA\tGulf Coast Analytical Services"));
  // The agency's lists differ from the shipped ones by a laboratory the sample
  // facility does not name: the review is the committed one.
  const fs::path json = from_agency.dir() / "r.json";
  EXPECT_EQ(RunCommand({"review", "1234567", "--data-dir", from_agency.dir().string(),
                        "--workbooks", SourcePath("data/sample").string(), "--json", json.string(),
                        "--xlsx", (from_agency.dir() / "e.xlsx").string()})
                .code,
            1);
  EXPECT_EQ(ReadFile(json), ReadFile(SourcePath("tests/data/sample/report.json")));
}

TEST(InitReference, TablesTheFileLacksOrThatAreRefusedKeepTheShippedOnes) {
  TempDataDir dir;
  const fs::path file = dir.dir() / "partial.db";
  ExecuteIn(file,
            "CREATE TABLE MT_CONTRACTOR (CONTRACT TEXT, CONTRACTOR TEXT);"
            "INSERT INTO MT_CONTRACTOR VALUES ('C-77', 'Seventy-Seven');"
            "CREATE TABLE MT_LAB (LAB INTEGER, NAME TEXT);");
  const fs::path d = dir.dir() / "data";
  CliRun r = RunCommand({"init", "--data-dir", d.string(), "--reference", file.string()});
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.out, HasSubstr("Reference table MT_CONTRACTOR: 1 row from " + file.string()));
  EXPECT_THAT(r.err, HasSubstr("Reference table MT_LAB: the shipped one was kept (it lacks the "
                               "column ALIAS)\n"));
  EXPECT_THAT(r.err, HasSubstr("Reference table T_SITE: the shipped one was kept (not in " +
                               file.string() + ")\n"));
  const std::string contracts = "SELECT group_concat(CONTRACT) FROM MT_CONTRACTOR";
  EXPECT_EQ(ValueIn(d / "GIS_WORK.db", contracts).ToDisplay(), "C-77");
  EXPECT_GT(ValueIn(d / "GIS_WORK.db", "SELECT count(*) FROM MT_LAB").AsInteger(), 10);

  std::ofstream(file, std::ios::trunc) << "not a database at all";
  r = RunCommand({"init", "--force", "--data-dir", d.string(), "--reference", file.string()});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "The reference file " + file.string() +
                       " could not be read: it is neither a SQLite nor an Access database. No "
                       "work database was built.\n");
  EXPECT_EQ(ValueIn(d / "GIS_WORK.db", contracts).ToDisplay(), "C-77");
}

// `sorvane refs`: the four reference lists as the reference-list window shows them.
// The other names reach their lists (captions and columns are the viewer's).
TEST(Refs, ListsShowCaptionColumnsAndRowsWithControlCharactersShownAndJsonKinds) {
  WorkDataDir dir;
  ExecuteIn(dir.paths().WorkDb(),
            "UPDATE MT_CONTRACTOR SET CONTRACTOR = 'Bad' || char(27) || '[2J\tLab' "
            "WHERE CONTRACT = 'C-01'");
  const std::string data = dir.dir().string();
  CliRun r = RunCommand({"refs", "contracts", "--data-dir", data});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(r.out.starts_with("CONTRACT LIST\nCONTRACT\tCONTRACTOR\nC-01\tBad\\x1B[2J Lab\n"))
      << r.out;
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 12);
  for (const char* list : {"sources", "cas", "labs"})
    EXPECT_EQ(RunCommand({"refs", list, "--data-dir", data}).code, 0) << list;

  r = RunCommand({"refs", "labs", "--json", "--data-dir", data});
  EXPECT_EQ(r.code, 0);
  const Json list = ParseJson(r.out);
  ASSERT_EQ(list.type, Json::Type::kArray);
  ASSERT_FALSE(list.array.empty());
  EXPECT_EQ(list[0]["LABORATORY"].string, "Acme Laboratories, Inc.");
  EXPECT_EQ(list[0]["LAB_ID"].type, Json::Type::kNumber);
  EXPECT_EQ(list[0]["LAB_ID"].number, 1);

  r = RunCommand({"refs", "wells", "--data-dir", data});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("wells"), std::string::npos);
}

}  // namespace
}  // namespace sorvane::testing
