// `sorvane review` as a person runs it: output, messages, exit statuses, the
// JSON report and the error workbook of the sample facility against committed
// copies (SORVANE_UPDATE_EXPECTED=1 writes new ones when a change is meant), and
// what it says when something is dropped, cut short or refused.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli_app.h"
#include "cli_run.h"
#include "commands.h"
#include "core/text.h"
#include "import/readers/workbook_reader.h"
#include "json_parse.h"
#include "support/case_table.h"
#include "support/file_size_limit.h"
#include "support/no_threads.h"
#include "support/work_db.h"
#include "support/xlsx_cells.h"
#include "support/xlsx_writer.h"
#include "workdb/connection.h"

namespace sorvane::testing {
namespace {

namespace fs = std::filesystem;

using ::testing::HasSubstr;
using ::testing::Not;

// What the committed review of the sample prints: its import, and Table 3's verdicts.
std::string SampleReview(const std::string& from, const std::string& to) {
  const std::string all = ReadFile(SourcePath("tests/data/sample/review.txt"));
  const size_t at = all.find(from);
  return all.substr(at, all.find(to) - at);
}
std::string Imported() { return SampleReview("Table 1: ", "Checks of Table 1"); }
std::string Table3Verdicts() { return SampleReview("Checks of Table 3", "Checks of Table 4"); }

// `sorvane review 1234567` on the data folder of `dir` and the workbooks of
// `workbooks` (none: those already in the workbook folder), with `more` options.
CliRun Review(const TempDataDir& dir, const fs::path& workbooks,
              std::vector<std::string> more = {}) {
  std::vector<std::string> args = {"review", "1234567", "--data-dir", dir.dir().string()};
  if (!workbooks.empty()) args.insert(args.end(), {"--workbooks", workbooks.string()});
  args.insert(args.end(), more.begin(), more.end());
  return RunCommand(args);
}
fs::path Sample() { return SourcePath("data/sample"); }

TEST(Review, ReportOnStdoutTextOnStderrPriorDataAndTheAnsweredNumberOfRecords) {
  WorkDataDir dir;
  CliRun r = Review(
      dir, Sample(),
      {"--json", "-", "--tables", "3,5", "--review-date", "6/30/2004", "--max-records", "20"});
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.err, ::testing::StartsWith(Imported()));
  EXPECT_THAT(r.err, HasSubstr(Table3Verdicts()));
  EXPECT_THAT(r.err, Not(HasSubstr("Checks of Table 1")));
  const Json report = ParseJson(r.out);
  EXPECT_EQ(report["review_date"].string, "6/30/2004");
  ASSERT_EQ(report["tables"].array.size(), 2u);
  const Json& table = report["tables"][0];
  EXPECT_EQ(table["table"].number, 3);
  // The measurement of 1997 lies before the review date.
  EXPECT_EQ(table["checks"][1]["rows"][0][0].string, "PRIOR");
  // The report holds every record, the error workbook the number answered.
  EXPECT_EQ(report["tables"][1]["checks"][6]["rows"].array.size(), 120u);
  EXPECT_THAT(XlsxCellsText(dir.dir() / "Errors - 1234567.xlsx"),
              HasSubstr("Missing Lab Qualifiers.  (Probably a Problem) 20 of 120 output."));
}

// Where no second thread can be had (a process at its limit of tasks), the
// review runs on one and says the same.
TEST(Review, WithoutASecondThreadTheReviewIsTheSame) {
  WorkDataDir dir;
  const fs::path json = dir.dir() / "r.json";
  CliRun r;
  int refused = 0;
  {
    NoNewThreads none;
    r = Review(dir, Sample(), {"--json", json.string(), "--xlsx", (dir.dir() / "e.xlsx").string()});
    refused = none.refused();
  }
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_GT(refused, 0);
  EXPECT_EQ(ReadFile(json), ReadFile(SourcePath("tests/data/sample/report.json")));
  EXPECT_THAT(r.out, HasSubstr("Error workbook: " + (dir.dir() / "e.xlsx").string()));
}

// Each is refused before anything runs.
TEST(Review, UsageErrorsAndRefusedInputEndWithStatus2AndTheReason) {
  WorkDataDir dir;
  const std::string data = dir.dir().string();
  for (const auto& c : CaseTable("refused_reviews.txt")) {
    CliRun r = RunWords({"review", "--data-dir", data}, ReplaceAll(c[0], "$DATA", data));
    EXPECT_EQ(r.code, 2) << c[0];
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, ReplaceAll(c[1], "$DATA", data));
  }
}

// Without an ID, the one facility whose five workbooks are in the folder is
// reviewed; where there are two, neither is.
TEST(Review, WithoutAFacilityIdTheOneFacilityOfTheFolderIsReviewed) {
  WorkDataDir dir;
  const fs::path set = dir.dir() / "set";
  CopySample(set);
  for (const char* n : {"1", "2", "3", "4"})
    fs::copy_file(set / (std::string("1234567_") + n + ".xls"),
                  set / ("7654321_" + std::string(n) + ".xls"));
  const std::vector<std::string> args = {
      "review", "--data-dir", dir.dir().string(), "--workbooks", set.string(), "--tables", "3"};
  CliRun r = RunCommand(args);
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "Facility ID 1234567: the one facility whose five workbooks are in " +
                       set.string() + "\n");
  EXPECT_THAT(r.out, HasSubstr(Table3Verdicts()));
  fs::copy_file(set / "1234567_5.xls", set / "7654321_5.xls");
  r = RunCommand(args);
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "review: no Facility ID was given, and " + set.string() +
                       " holds the workbooks of 1234567 and 7654321: name the one to review\n");
}

// The data of a workbook stand below a title, or on its second worksheet after
// a sheet of notes: the import says where the field names are, before the
// fields it misses. Written a column in, every row is skipped, and that says why.
TEST(Review, ATableWrittenOutOfPlaceIsToldWhereItStands) {
  WorkDataDir dir;
  const fs::path set = dir.dir() / "set";
  CopySample(set, {2, 3, 4, 5});
  XlsxRows rows;
  ReadFirstWorksheet(Sample() / "1234567_1.xls",
                     [&](int64_t, const std::vector<std::string>& cells) {
                       rows.emplace_back(cells.begin(), cells.end());
                       return true;
                     });
  XlsxRows titled = {{"Sample locations, March 2004"}, {}};
  titled.insert(titled.end(), rows.begin(), rows.end());
  WriteXlsxSheets(set / "1234567_1.xlsx", {{"Locations", titled}});
  CliRun r = Review(dir, set, {"--tables", "1"});
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.out, HasSubstr("\n  Table 1's field names are in row 3 of 1234567_1.xlsx, but the "
                               "import takes the first row of the worksheet for them: delete the "
                               "rows above row 3, save the workbook and import Table 1 again.\n  "
                               "The FAC_ID field of Table 1 is missing or misspelled.\n"));
  WriteXlsxSheets(set / "1234567_1.xlsx",
                  {{"Notes", {{"Sampled in March 2004"}}}, {"Locations", rows}});
  r = Review(dir, set, {"--tables", "1"});
  EXPECT_THAT(r.out, HasSubstr("\n  Table 1's field names are on the worksheet \"Locations\" of "
                               "1234567_1.xlsx, but only its first worksheet, \"Notes\", is "
                               "imported: move \"Locations\" to the front, save the workbook and "
                               "import Table 1 again.\n"));
  for (auto& row : rows) row.insert(row.begin(), "");
  WriteXlsxSheets(set / "1234567_1.xlsx", {{"Locations", rows}});
  r = Review(dir, set, {"--tables", "1"});
  EXPECT_THAT(r.out, HasSubstr("32 rows skipped, first cell empty: rows 2, 3, 4, 5, 6 and 27 more. "
                               "The table starts in column B: delete the columns before it, save "
                               "the workbook and import the table again.\n"));
  // A table exported as text is no workbook to save.
  fs::remove(set / "1234567_1.xlsx");
  for (const std::string title : {"Sample locations, March 2004\n\n", ""}) {
    std::ofstream text(set / "1234567_1.xls", std::ios::binary);
    text << title;
    for (const auto& row : rows) {
      for (const XlsxCell& cell : row)
        text << std::get<std::string>(cell.value) << (&cell == &row.back() ? "\n" : "\t");
    }
    text.close();
    r = Review(dir, set, {"--tables", "1"});
    EXPECT_THAT(r.out, HasSubstr(title.empty() ? "delete the columns before it, save the file and"
                                               : "delete the rows above row 3, save the file and"));
  }
}

// A laboratory system's export "for Excel": Table 3 as a web page, Table 4
// as values separated by commas (quoted where a value holds one), Table 5 by
// tabs, each under its workbook's name; and Table 1 as Excel 2.1 saved it. The
// review says what it says of the workbooks, but for the sheets' names, which
// none has.
TEST(Review, TablesExportedAsTextOrPagesOrFromExcel2ReviewAsTheWorkbooks) {
  WorkDataDir dir;
  const fs::path set = dir.dir() / "set";
  CopySample(set, {2});
  fs::copy_file(SourcePath("tests/data/biff2/1234567_1.xls"), set / "1234567_1.xls");
  std::string report = ReplaceAll(ReadFile(SourcePath("tests/data/sample/report.json")),
                                  "\"sheet\": \"Sample Location\"", "\"sheet\": \"1234567_1\"");
  for (const char separator : {'<', ',', '\t'}) {
    const std::string name = separator == '<'   ? "1234567_3"
                             : separator == ',' ? "1234567_4"
                                                : "1234567_5";
    std::string text = separator == '<' ? "<html><body><table>\n" : "";
    const SheetShape shape = ReadFirstWorksheet(
        Sample() / (name + ".xls"), [&](int64_t, const std::vector<std::string>& cells) {
          text += separator == '<' ? "<tr>" : "";
          for (size_t c = 0; c < cells.size(); ++c) {
            const bool quote = cells[c].find(separator) != std::string::npos;
            if (separator == '<') {
              text +=
                  "<td>" + ReplaceAll(ReplaceAll(cells[c], "&", "&amp;"), "<", "&lt;") + "</td>";
            } else {
              text += (c > 0 ? std::string(1, separator) : "") +
                      (quote ? "\"" + ReplaceAll(cells[c], "\"", "\"\"") + "\"" : cells[c]);
            }
          }
          text += separator == '<' ? "</tr>\n" : "\r\n";
          return true;
        });
    std::ofstream(set / (name + ".xls"), std::ios::binary) << text;
    report = ReplaceAll(report, "\"sheet\": \"" + shape.sheet_name + "\"",
                        "\"sheet\": \"" + name + "\"");
  }
  const fs::path json = dir.dir() / "r.json";
  const CliRun r = Review(dir, set, {"--json", json.string()});
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_TRUE(ReadFile(json) == report);
}

// The temporary tables are emptied as the review ends; where that fails (a
// full disk; here a trigger that refuses once Table 1's rows are gone), the
// review says so and keeps its verdict.
TEST(Review, TemporaryTablesLeftFullAtTheEndAreSaid) {
  WorkDataDir dir;
  ExecuteIn(dir.paths().WorkDb(),
            "CREATE TRIGGER kept BEFORE DELETE ON MT_TEMP5 WHEN NOT EXISTS (SELECT 1 FROM "
            "MT_TEMP1) BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END;");
  const CliRun r = Review(dir, Sample());
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.err, HasSubstr("review: the work database's temporary tables could not be emptied "
                               "(database or disk is full); the next review empties them\n"));
  Connection db;
  db.Open(dir.paths().WorkDb());
  EXPECT_EQ(db.QueryValue("SELECT COUNT(*) FROM MT_TEMP5"), Value::Integer(4122));
}

// A work database whose temporary table another program dropped is refused
// before the import, not found out at the transfer; `status` says the same.
TEST(Review, AWorkDatabaseLackingATemporaryTableIsRefusedBeforeTheImport) {
  WorkDataDir dir;
  ExecuteIn(dir.paths().WorkDb(), "DROP TABLE MT_TEMP4A");
  const std::string said = "the work database " + dir.paths().WorkDb().string() +
                           " lacks the table MT_TEMP4A, which a review fills; `sorvane init "
                           "--force --data-dir " +
                           dir.dir().string() + "` replaces it with a new work database.\n";
  CliRun r = Review(dir, Sample());
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "review: " + said + "review: nothing was reviewed\n");
  r = RunCommand({"status", "--data-dir", dir.dir().string()});
  EXPECT_EQ(r.code, 2);
  EXPECT_THAT(r.out, HasSubstr("MT_WELL: 27 rows\n"));
  EXPECT_EQ(r.err, "status: " + said);
}

// A field name from a workbook reaches the labels and messages the review
// prints: an escape sequence in it is shown, never sent to the terminal.
TEST(Review, EscapeSequenceFromAWorkbookIsShownNotSentToTheTerminal) {
  WorkDataDir dir;
  const fs::path set = dir.dir() / "set";
  CopySample(set, {2, 3, 4, 5});
  XlsxRows table1 = {{}, {}};
  for (const char* name :
       {"FAC_ID", "POINT_ID", "LAT_DD", "LAT_MM", "LAT_SS", "LONG_DD", "LONG_MM", "LONG_SS", "NAVD",
        "SL_METHOD", "SL_COL_DATE", "SL_CONTRACT", "SL_COMMENTS", "X\x1B]0;title\x07"}) {
    table1[0].push_back(name);
    table1[1].push_back("1234567");
  }
  WriteXlsx(set / "1234567_1.xls", table1);
  CliRun r = Review(dir, set);
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out.find('\x1B'), std::string::npos);
  EXPECT_THAT(r.out, HasSubstr("X\\x1B]0;TITLE\\x07"));
  EXPECT_THAT(r.out, HasSubstr("Table 1 was not transferred, so no check ran and no error "
                               "workbook was written.\n"));
}

// The folder is a memory stick as a Mac writes it, with a hidden "._"
// companion beside each workbook and a spreadsheet program's lock file: none
// of them is copied into the workbook folder.
TEST(Review, FolderWithFourWorkbooksIsReportedAndNothingImported) {
  WorkDataDir dir;
  const fs::path four = dir.dir() / "four";
  CopySample(four, {1, 2, 3, 4});
  for (const char* n : {"1", "2", "3", "4", "5"})
    std::ofstream(four / (std::string("._1234567_") + n + ".xls")) << std::string(4096, '\0');
  std::ofstream(four / ".~lock.1234567_5.xls#") << ",someone,host,08.12.2026 09:00,;";
  // A pipe in the fifth one's place is said, and never opened.
  ASSERT_EQ(::mkfifo((four / "1234567_5.xls").c_str(), 0600), 0);
  // Whatever the workbook folder held before is replaced.
  fs::create_directories(dir.paths().WorkbookDir());
  std::ofstream(dir.paths().WorkbookDir() / "1234567_5.xls") << "old";
  CliRun r = Review(dir, four, {"--json", (dir.dir() / "r.json").string()});
  const std::string gis = dir.paths().WorkbookDir().string();
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "--workbooks: " + (four / "1234567_5.xls").string() +
                       " is not a plain file (a pipe, a device or a link that leads nowhere); it"
                       " was not copied\nFive files for 1234567 were not found in " +
                       gis + ".  Please check CD (or floppy) and " + gis + ".\n");
  EXPECT_EQ(r.out, "Fix table 5 and reimport.\nReport: " + (dir.dir() / "r.json").string() + "\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(gis), fs::directory_iterator()),
            4);  // no hidden one
  const Json report = ParseJson(ReadFile(dir.dir() / "r.json"));
  EXPECT_EQ(report["messages"].array.size(), 1u);
  ASSERT_EQ(report["tables"].array.size(), 5u);
  EXPECT_EQ(report["tables"][4]["status"].number, 0);
  EXPECT_TRUE(report["tables"][4]["checks"].array.empty());
  EXPECT_EQ(report["tables"][4]["label"].string, "");
}

// The workbooks are taken from the workbook folder itself (they must not be
// deleted as an earlier facility's), and the error workbook cannot be written.
TEST(Review, WorkbookFolderItselfIsReviewedAndAnUnwritableErrorWorkbookIsAFailure) {
  WorkDataDir dir;
  const fs::path gis = dir.paths().WorkbookDir();
  CopySample(gis);
  // Sorted after the five, so never read: said.
  std::ofstream(gis / "1234567_5.xlsx") << "saved beside it";
  // Its folder is there, but its name is one byte too long for the file system.
  const fs::path xlsx = dir.dir() / (std::string(256 - std::string(".xlsx").size(), 'e') + ".xlsx");
  CliRun r = Review(dir, gis / ".." / gis.filename(), {"--tables", "3", "--xlsx", xlsx.string()});
  EXPECT_EQ(r.code, 2);
  std::string imported = Imported();
  imported.insert(imported.find('\n', imported.find("Table 5: ")) + 1,
                  "  1234567_5.xlsx was not read: Table 5 was read from 1234567_5.xls.\n");
  EXPECT_THAT(r.out, ::testing::StartsWith(imported));
  EXPECT_TRUE(fs::exists(gis / "1234567_5.xls"));
  EXPECT_THAT(r.err, HasSubstr("The error workbook could not be written to " + xlsx.string()));
  EXPECT_THAT(r.out, HasSubstr(Table3Verdicts()));
  EXPECT_THAT(r.out, Not(HasSubstr("Error workbook:")));
  for (const auto& entry : fs::directory_iterator(dir.dir()))  // nor a part of it left
    EXPECT_FALSE(entry.path().filename().string().starts_with("eee")) << entry.path();
}

void ExpectAsCommitted(const std::string& actual, const std::string& expected_file) {
  const fs::path expected = SourcePath("tests/data/sample/" + expected_file);
  if (std::getenv("SORVANE_UPDATE_EXPECTED")) std::ofstream(expected, std::ios::binary) << actual;
  EXPECT_TRUE(actual == ReadFile(expected)) << expected << " differs; the new text:\n" << actual;
}

TEST(SampleFacility, ReviewWritesTheCommittedReportAndErrorWorkbook) {
  WorkDataDir dir;
  const fs::path json = dir.dir() / "report.json", xlsx = dir.dir() / "errors.xlsx";
  const CliRun r = Review(dir, Sample(), {"--json", json.string(), "--xlsx", xlsx.string()});
  ASSERT_EQ(r.code, 1) << r.err;
  EXPECT_EQ(r.err, "");
  ExpectAsCommitted(ReplaceAll(r.out, dir.dir().string(), "$DATA"), "review.txt");
  ExpectAsCommitted(ReadFile(json), "report.json");
  ExpectAsCommitted(XlsxCellsText(xlsx), "errors.txt");
}

// The sample facility with Table 5 cut to its first nine results, the facility
// ID typed only in the first (and a control character in place of one).
fs::path FacilityWithBlankFirstCells(const TempDataDir& dir) {
  const fs::path set = dir.dir() / "set";
  CopySample(set, {1, 2, 3, 4});
  XlsxRows rows;
  ReadFirstWorksheet(SourcePath("data/sample/1234567_5.xls"),
                     [&](int64_t row, const std::vector<std::string>& cells) {
                       rows.emplace_back(cells.begin(), cells.end());
                       if (row >= 3) rows.back()[0] = row == 6 ? "\x01" : "";
                       return row < 10;
                     });
  WriteXlsx(set / "1234567_5.xlsx", rows);
  return set;
}

TEST(SaidOutLoud, RowsWithAnEmptyFirstCellAreNamedInTheLabelSummaryAndReport) {
  WorkDataDir dir;
  const fs::path set = FacilityWithBlankFirstCells(dir);
  const fs::path json = dir.dir() / "r.json";
  CliRun r = Review(dir, set, {"--json", json.string()});
  EXPECT_EQ(r.code, 1);  // a problem of the table, even where every check passed
  const std::string skipped = "8 rows skipped, first cell empty: rows 3, 4, 5, 6, 7 and 3 more.";
  EXPECT_THAT(r.out, HasSubstr("Table 5: 1 records of Table 5 transferred to temporary table in "
                               "Access. " +
                               skipped + "\n"));
  EXPECT_THAT(r.out, HasSubstr("Select Data Checks.\nTable 5: " + skipped + "\n"));

  const Json report = ParseJson(ReadFile(json));
  const Json& problems = report["tables"][4]["import_problems"];
  ASSERT_EQ(problems.array.size(), 8u);
  for (size_t i = 0; i < 8; ++i) {
    const Json& place = problems[i]["places"][0];
    EXPECT_EQ(problems[i]["kind"].string, "skipped_row");
    EXPECT_EQ(place["workbook"].string, "1234567_5.xlsx");
    EXPECT_EQ(place["sheet"].string, "Sheet1");
    EXPECT_EQ(place["row"].number, 3 + static_cast<double>(i));
    EXPECT_EQ(place["cells"][0].string, "A");
  }
  EXPECT_EQ(problems[0]["text"].string, "Row 3 skipped: its first cell is empty.");
  EXPECT_TRUE(report["tables"][0]["import_problems"].array.empty());
}

// The built program with its standard output on a full device, or (`pipe`)
// into a reader that is gone before anything comes; its status (128 + the
// signal's number when one ended it).
int RunToFullDevice(const std::string& args, std::string* err, bool pipe = false) {
  TempDataDir scratch;
  const fs::path err_file = scratch.dir() / "err.txt", status_file = scratch.dir() / "status";
  const std::string command = "{ '" + std::string(SORVANE_CLI_PATH) + "' " + args +
                              " < /dev/null 2> '" + err_file.string() + "'; echo $? > '" +
                              status_file.string() + "'; } " +
                              (pipe ? "| exec true" : "> /dev/full");
  std::system(command.c_str());
  *err = ReadFile(err_file);
  return std::stoi(ReadFile(status_file));
}

TEST(SaidOutLoud, OutputThatCannotBeWrittenEndsWithStatus2) {
  WorkDataDir dir;
  const std::string data = " --data-dir '" + dir.dir().string() + "'";
  const std::string said = "sorvane: the output could not be written in full\n";
  std::string err;
  EXPECT_EQ(
      RunToFullDevice("read '" + SourcePath("data/sample/1234567_1.xls").string() + "'", &err), 2);
  EXPECT_EQ(err, said);
  EXPECT_EQ(RunToFullDevice("refs labs --json" + data, &err), 2);
  EXPECT_EQ(err, said);
  const std::string review =
      "review 1234567 --json -" + data + " --workbooks '" + Sample().string() + "'";
  EXPECT_EQ(RunToFullDevice(review, &err), 2);
  EXPECT_THAT(err, HasSubstr(said));
  // Nor is a reader gone early an end without a word: the work database is
  // emptied as after any review.
  EXPECT_EQ(RunToFullDevice(review, &err, true), 2);
  EXPECT_THAT(err, HasSubstr(said));
  Connection work;
  work.Open(dir.paths().WorkDb());
  EXPECT_EQ(QueryLines(work, "SELECT COUNT(*) FROM MT_TEMP5"), std::vector<std::string>{"0"});
}

// Ctrl-C pressed once, as the first statement holding `ctrl_c_at` starts (a
// second would end the program): every connection the program opens while the
// hook is set traces its statements, the checks' own on their threads. Check
// 1.0, the last the checks start, is noted when it starts after the Ctrl-C on
// the thread that got it. The other thread may have begun it at that very
// moment, its look for a stop just passed: that query is cut short, not kept.
std::atomic<const char*> ctrl_c_at = nullptr;
std::atomic<int> signal_sent = SIGINT;
std::atomic<bool> pressed = false, last_check_after = false;
std::atomic<std::thread::id> pressed_on;
int CtrlCAtStatement(sqlite3* db, const char**, const void*) {
  sqlite3_trace_v2(
      db, SQLITE_TRACE_STMT,
      [](unsigned, void*, void*, void* sql) {
        const char* text = static_cast<const char*>(sql);
        if (pressed && pressed_on.load() == std::this_thread::get_id() &&
            std::strstr(text, "LATDD AS SITE_LATDD") != nullptr)
          last_check_after = true;
        const char* at = ctrl_c_at.load();
        if (at && std::strstr(text, at) != nullptr &&
            ctrl_c_at.compare_exchange_strong(at, nullptr)) {
          pressed_on = std::this_thread::get_id();
          pressed = true;
          std::raise(signal_sent);
        }
        return 0;
      },
      nullptr);
  return SQLITE_OK;
}

// A review of the sample whose program gets `signal` as the first statement
// holding `at` starts. It starts with the signal taken as `start` says (a
// terminal's foreground job has it by default, whatever the tests were started
// with: a script's background job has Ctrl-C ignored); `*left` is how the
// review leaves it.
CliRun ReviewSignalledAt(const TempDataDir& dir, const char* at, int signal,
                         std::vector<std::string> more = {}, sighandler_t start = SIG_DFL,
                         sighandler_t* left = nullptr) {
  ctrl_c_at = at;
  signal_sent = signal;
  pressed = last_check_after = false;
  struct sigaction given {
  }, before{}, after{};
  given.sa_handler = start;
  sigaction(signal, &given, &before);
  auto hook = reinterpret_cast<void (*)()>(&CtrlCAtStatement);
  sqlite3_auto_extension(hook);
  CliRun r = Review(dir, Sample(), std::move(more));
  sqlite3_cancel_auto_extension(hook);
  sigaction(signal, &before, &after);
  if (left) *left = after.sa_handler;
  return r;
}

// As Table 5's second index starts to build, the window's next turn sees the
// cancel; as its last one does, none comes before the import ends; during the
// checks, no further check starts. Every way the table is left whole,
// no verdict is given and nothing is exported after the person asked to stop,
// and the work database is emptied as after any review. A termination request
// (`timeout`, `kill`) or the terminal closing during the checks is taken the
// same way.
TEST(SaidOutLoud, CtrlCWhileTheLastTableFinishesEndsTheReviewBeforeTheChecks) {
  for (const auto& [at, signal] :
       {std::pair{"CREATE INDEX IX_MT_TEMP5_SAM_ID", SIGINT},
        std::pair{"CREATE INDEX IX_MT_TEMP5_CONT_NAME", SIGINT},
        std::pair{"CAS AS SHOULDBE", SIGINT}, std::pair{"CAS AS SHOULDBE", SIGTERM},
        std::pair{"CAS AS SHOULDBE", SIGHUP}}) {
    WorkDataDir dir;
    const fs::path json = dir.dir() / "report.json";
    CliRun r = ReviewSignalledAt(dir, at, signal, {"--json", json.string()});
    EXPECT_EQ(r.code, 2) << at;
    EXPECT_THAT(r.err, HasSubstr("review: cancelled; the review did not run to its end\n"));
    // A check query cut short by the stop is no fault to tell.
    EXPECT_THAT(r.err, Not(HasSubstr("interrupt"))) << at;
    EXPECT_THAT(r.out, HasSubstr("Table 5: 4122 records of Table 5 transferred"));
    EXPECT_THAT(r.out + r.err, Not(HasSubstr("Checks of Table"))) << at;
    EXPECT_FALSE(fs::exists(dir.dir() / "Errors - 1234567.xlsx")) << at;
    EXPECT_TRUE(pressed) << at;
    EXPECT_FALSE(last_check_after) << at;
    const Json report = ParseJson(ReadFile(json));
    for (const Json& table : report["tables"].array) {
      EXPECT_TRUE(table["checks"].array.empty()) << at;
      EXPECT_EQ(table["status"].number, 6) << at;
    }
    Connection work;
    work.Open(dir.paths().WorkDb());
    EXPECT_EQ(QueryLines(work, "SELECT COUNT(*) FROM MT_TEMP5"), std::vector<std::string>{"0"});
  }
}

// Started with Ctrl-C ignored (in the background of a script), a review leaves
// it ignored: a Ctrl-C meant for what runs in the foreground does not stop it.
TEST(SaidOutLoud, AReviewStartedWithCtrlCIgnoredIsNotStoppedByOne) {
  WorkDataDir dir;
  sighandler_t left = SIG_DFL;
  CliRun r = ReviewSignalledAt(dir, "CAS AS SHOULDBE", SIGINT, {}, SIG_IGN, &left);
  EXPECT_TRUE(pressed);
  EXPECT_EQ(left, SIG_IGN);  // as it was given
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.out, HasSubstr("Checks of Table 5 - Analytical Data: "));
  EXPECT_THAT(r.err, Not(HasSubstr("cancelled")));
}

// A copy into the workbook folder cut short by a full disk is a review that
// could not run; one killed by the system as Table 5's workbook passes 200 KB
// (as a run killed while it copies, or the power going, leave it) ends the
// program. Either way no workbook stands there cut short, and what the copy
// left behind is cleared by the next import of the folder. A copy that failed
// leaves the folder's own files as they were.
TEST(SaidOutLoud, WorkbookCopyCutShortOrKilledLeavesNoPartialWorkbook) {
  WorkDataDir dir;
  const fs::path sample = Sample(), folder = dir.paths().WorkbookDir();
  const auto every_workbook_whole = [&] {
    for (const auto& entry : fs::directory_iterator(folder)) {
      const fs::path name = entry.path().filename();
      if (name.extension() == ".xls") {
        EXPECT_EQ(fs::file_size(entry.path()), fs::file_size(sample / name)) << name;
      }
    }
  };
  fs::create_directories(folder);
  std::ofstream(folder / "1234567_5.xlsx") << "mended by hand";
  CliRun r;
  {
    FileSizeLimit full_disk(64 * 1024);
    r = Review(dir, sample);
  }
  EXPECT_EQ(r.code, 2);
  EXPECT_THAT(r.err, HasSubstr("--workbooks: " + (sample / "1234567_5.xls").string() +
                               " could not be copied into " + folder.string() +
                               ": File too large; the workbook folder keeps the files it held\n"));
  every_workbook_whole();
  EXPECT_EQ(ReadFile(folder / "1234567_5.xlsx"), "mended by hand");
  fs::remove(folder / "1234567_5.xlsx");

  const std::string command = "ulimit -c 0; ulimit -f 400; exec '" + std::string(SORVANE_CLI_PATH) +
                              "' review 1234567 --data-dir '" + dir.dir().string() +
                              "' --workbooks '" + sample.string() + "' > /dev/null 2>&1";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
  every_workbook_whole();
  for (const char* n : {"1", "2", "3", "4", "5"}) {
    const std::string name = std::string("1234567_") + n + ".xls";
    fs::copy_file(sample / name, folder / name, fs::copy_options::overwrite_existing);
  }
  r = Review(dir, {});
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.out, HasSubstr("Table 5: 4122 records of Table 5 transferred"));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 5);
}

// A watched review: a workbook saved in the folder is reviewed again and what
// changed since is said; Ctrl-C ends the watch with the last review's status.
// The program itself runs, so that the Ctrl-C is a real one.
TEST(SaidOutLoud, WatchedReviewRunsAgainWhenAWorkbookIsSavedAndSaysWhatChanged) {
  WorkDataDir dir;
  const fs::path set = dir.dir() / "set", out = dir.dir() / "out.txt";
  CopySample(set);
  const std::vector<std::string> args = {SORVANE_CLI_PATH, "review",      "1234567", "--data-dir",
                                         dir.dir(),        "--workbooks", set,       "--watch"};
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&files, 1, 2);
  // Ctrl-C taken as a terminal's foreground job has it, whatever the tests were
  // started with (a script's background job has it ignored, and so would the watch).
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t interrupt;
  sigemptyset(&interrupt);
  sigaddset(&interrupt, SIGINT);
  posix_spawnattr_setsigdefault(&attributes, &interrupt);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, argv[0], &files, &attributes, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&files);
  posix_spawnattr_destroy(&attributes);
  // Whether the watch has said `n` times that it waits.
  const auto waiting = [&](size_t n) {
    for (int tries = 0; tries < 1200; ++tries) {
      const std::string text = ReadFile(out);
      size_t seen = 0;
      for (size_t at = text.find("\nWatching "); at != std::string::npos;
           at = text.find("\nWatching ", at + 1))
        ++seen;
      if (seen >= n) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  };
  const bool watched = waiting(1);
  if (watched) {
    // Table 3 saved again with its missing water level filled in.
    XlsxRows rows;
    ReadFirstWorksheet(Sample() / "1234567_3.xls",
                       [&](int64_t, const std::vector<std::string>& cells) {
                         rows.emplace_back(cells.begin(), cells.end());
                         if (cells.size() > 3 && cells[1] == "MW-5" && cells[3].empty())
                           rows.back()[3] = 18.5;
                         return true;
                       });
    WriteXlsx(set / "1234567_3.xls", rows);
  }
  const bool reviewed_again = watched && waiting(2);
  kill(pid, SIGINT);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(reviewed_again) << ReadFile(out);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
  const std::string text = ReadFile(out);
  EXPECT_THAT(text, HasSubstr("Watching " + set.string() +
                              ": the review runs again when a "
                              "workbook of 1234567 is saved there (Ctrl-C ends).\n"));
  EXPECT_THAT(text, HasSubstr(": 1234567_3.xls changed; reviewing again.\n"));
  EXPECT_THAT(text, HasSubstr("\nTable 3 - Water Level\n  3.0 Missing Water Level Values.  "
                              "(Must be Fixed): 1 before, 0 now (1 fixed, 0 new)\nProblem "
                              "rows: 1 fixed, 0 new, 176 as before.\n"));
  // The watch's own reports are gone with it.
  EXPECT_FALSE(fs::exists(dir.dir() / ".watch report.json"));

  // Nobody reading its output ends a watch at once.
  std::ostream closed(nullptr);  // every write fails
  std::ostringstream err;
  cli::ReviewOptions options;
  options.facility_id = "1234567";
  options.workbooks_dir = set.string();
  EXPECT_EQ(cli::WatchReview(dir.paths(), options, {closed, err}), 2);
  EXPECT_THAT(err.str(), HasSubstr("review: the standard output is closed; the watch ends\n"));
}

}  // namespace
}  // namespace sorvane::testing
