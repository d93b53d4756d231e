// `sorvane review` as a person runs it: exact output, messages and exit status,
// the JSON report and the error workbook, over the sample facility that ships
// in data/sample.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli_app.h"
#include "cli_run.h"
#include "json_parse.h"
#include "support/work_db.h"
#include "support/xlsx_cells.h"
#include "support/xlsx_writer.h"
#include "workdb/connection.h"

namespace sorvane {
namespace {

namespace fs = std::filesystem;
using testing::Json;
using testing::ParseJson;
using testing::SourcePath;
using testing::TempDataDir;

using testing::CliRun;
using testing::RunCommand;

std::string ReadFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

const char kImported[] =
    "Table 1: 32 records of Table 1 transferred to temporary table in Access. \n"
    "Table 2: 21 records of Table 2 transferred to temporary table in Access. \n"
    "Table 3: 162 records of Table 3 transferred to temporary table in Access. \n"
    "Table 4: 210 records of Table 4 transferred to temporary table in Access. \n"
    "Table 5: 4122 records of Table 5 transferred to temporary table in Access. \n"
    "All Tables transferred to Temporary tables in Oracle.\n"
    "Select Data Checks.\n";

const char kTable3Verdicts[] =
    "Checks of Table 3 - Water Level: 6 of 7 failed\n"
    "  3.0 Missing Water Level Values.  (Must be Fixed) - 1 record\n"
    "  3.1 Problems with Water Level Dates.  (Must be Fixed) - 1 record\n"
    "  3.2 Problems with Water Level Range.  (Must be Fixed) - 1 record\n"
    "  3.3 Problem with Contract.  (Must be Fixed) - 1 record\n"
    "  3.4 Integrity Problems - PointIDs in table 3 are not in table 1.  (Must be Fixed) - 1 "
    "record\n"
    "  3.6 Problem with Duplicates.  (Must be Fixed) - 1 record\n";

// One review of the sample facility, shared by the tests that read its results.
class SampleReview : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDataDir;
    dir_->CreateWorkDb();
    run_ = new CliRun(RunCommand({"review", "1234567", "--data-dir", dir_->dir().string(),
                                  "--workbooks", SourcePath("data/sample").string(), "--json",
                                  (dir_->dir() / "report.json").string(), "--xlsx",
                                  (dir_->dir() / "errors.xlsx").string(), "--max-records", "20"}));
  }
  static void TearDownTestSuite() {
    delete run_;
    delete dir_;
  }
  static TempDataDir* dir_;
  static CliRun* run_;
};
TempDataDir* SampleReview::dir_ = nullptr;
CliRun* SampleReview::run_ = nullptr;

TEST_F(SampleReview, PrintsLabelsSummaryVerdictsAndWhereTheFilesAre) {
  EXPECT_EQ(run_->code, 1);
  EXPECT_EQ(run_->err, "");
  const std::string& out = run_->out;
  EXPECT_EQ(out.substr(0, sizeof kImported - 1), kImported);
  for (const char* heading :
       {"Checks of Table 1 - Sample Location: 8 of 10 failed\n",
        "Checks of Table 2 - Well Data: 9 of 17 failed\n",
        "Checks of Table 4 - Field Data: 9 of 16 failed\n",
        "Checks of Table 5 - Analytical Data: 14 of 14 failed\n",
        "  5.6 Missing Lab Qualifiers.  (Probably a Problem) - 120 records\n", kTable3Verdicts}) {
    EXPECT_NE(out.find(heading), std::string::npos) << heading;
  }
  const std::string tail = "Report: " + (dir_->dir() / "report.json").string() +
                           "\nError workbook: " + (dir_->dir() / "errors.xlsx").string() + "\n";
  ASSERT_GE(out.size(), tail.size());
  EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
}

TEST_F(SampleReview, ReportHoldsEveryTableAndAFailureOfEachSeverity) {
  const Json report = ParseJson(ReadFile(dir_->dir() / "report.json"));
  EXPECT_EQ(report["facility_id"].string, "1234567");
  EXPECT_TRUE(report["review_date"].IsNull());
  EXPECT_EQ(report["summary"].string,
            "All Tables transferred to Temporary tables in Oracle.\nSelect Data Checks.");
  EXPECT_TRUE(report["messages"].array.empty());
  const Json& tables = report["tables"];
  ASSERT_EQ(tables.array.size(), 5u);
  const size_t check_counts[] = {10, 17, 7, 16, 14};
  for (size_t t = 0; t < 5; ++t) {
    const Json& table = tables[t];
    EXPECT_EQ(table["table"].number, static_cast<double>(t + 1));
    EXPECT_EQ(table["status"].number, 7);
    ASSERT_EQ(table["checks"].array.size(), check_counts[t]);
    // The sample is built so that every severity a table has fails at least once.
    bool has[3] = {}, fails[3] = {};
    for (const Json& check : table["checks"].array) {
      const int severity = static_cast<int>(check["severity"].number);
      has[severity] = true;
      if (!check["passed"].boolean) {
        fails[severity] = true;
        EXPECT_FALSE(check["rows"].array.empty());
        EXPECT_EQ(check["rows"][0].array.size(), check["columns"].array.size());
      } else {
        EXPECT_TRUE(check["rows"].array.empty());
      }
    }
    for (int s = 0; s < 3; ++s) EXPECT_EQ(has[s], fails[s]) << "table " << t + 1 << " sev " << s;
  }
  EXPECT_EQ(tables[0]["label"].string,
            "32 records of Table 1 transferred to temporary table in Access. ");

  // Values keep their kind: dates in ISO form, numbers as numbers, missing as null.
  const Json& dates = tables[2]["checks"][1];  // water levels before the well's installation
  EXPECT_EQ(dates["text"].string, "Problems with Water Level Dates.");
  EXPECT_EQ(dates["columns"][2].string, "INSTALL_DATE");
  EXPECT_EQ(dates["rows"][0][2].string.size(), 19u);
  EXPECT_EQ(dates["rows"][0][2].string[10], 'T');
  EXPECT_TRUE(dates["rows"][0][4].IsNull());
  const Json& qualifiers = tables[4]["checks"][6];
  EXPECT_EQ(qualifiers["rows"].array.size(), 120u);  // all records, whatever the workbook got
  EXPECT_EQ(qualifiers["rows"][0][5].type, Json::Type::kNumber);
}

TEST_F(SampleReview, ErrorWorkbookTookTheAnsweredNumberOfRecords) {
  const std::string strings = testing::XlsxCellsText(dir_->dir() / "errors.xlsx");
  EXPECT_NE(strings.find("Missing Lab Qualifiers.  (Probably a Problem) 20 of 120 output."),
            std::string::npos);
  EXPECT_NE(strings.find("Problems with Table 3"), std::string::npos);
}

TEST(Review, ReportOnStdoutKeepsTheTextOnStderrAndFlagsPriorData) {
  TempDataDir dir;
  dir.CreateWorkDb();
  CliRun r = RunCommand({"review", "1234567", "--data-dir", dir.dir().string(), "--workbooks",
                         SourcePath("data/sample").string(), "--json", "-", "--tables", "3",
                         "--review-date", "6/30/2004"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find(kImported), std::string::npos);
  EXPECT_NE(r.err.find(kTable3Verdicts), std::string::npos);
  EXPECT_EQ(r.err.find("Checks of Table 1"), std::string::npos);
  const Json report = ParseJson(r.out);
  EXPECT_EQ(report["review_date"].string, "6/30/2004");
  ASSERT_EQ(report["tables"].array.size(), 1u);
  const Json& table = report["tables"][0];
  EXPECT_EQ(table["table"].number, 3);
  // The measurement of 1997 lies before the review date.
  EXPECT_EQ(table["checks"][1]["rows"][0][0].string, "PRIOR");
  EXPECT_TRUE(fs::exists(dir.dir() / "Errors - 1234567.xlsx"));
}

TEST(Review, ErrorWorkbookThatCannotBeWrittenIsAFailure) {
  TempDataDir dir;
  dir.CreateWorkDb();
  const fs::path xlsx = dir.dir() / "no such folder" / "errors.xlsx";
  CliRun r =
      RunCommand({"review", "1234567", "--data-dir", dir.dir().string(), "--workbooks",
                  SourcePath("data/sample").string(), "--tables", "3", "--xlsx", xlsx.string()});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("The error workbook could not be written to " + xlsx.string()),
            std::string::npos);
  EXPECT_NE(r.out.find(kTable3Verdicts), std::string::npos);
  EXPECT_EQ(r.out.find("Error workbook:"), std::string::npos);
  EXPECT_FALSE(fs::exists(xlsx));
}

// A report path that is a link (to a shared folder, say) is written where it
// points; the link stays.
TEST(Review, ReportThroughALinkReachesTheLinkedFile) {
  TempDataDir dir;
  dir.CreateWorkDb();
  const fs::path real = dir.dir() / "shared" / "report.json";
  fs::create_directories(real.parent_path());
  std::ofstream(real) << "{\"previous\": true}";
  const fs::path link = dir.dir() / "report.json";
  fs::create_symlink(real, link);
  CliRun r =
      RunCommand({"review", "1234567", "--data-dir", dir.dir().string(), "--workbooks",
                  SourcePath("data/sample").string(), "--tables", "3", "--json", link.string()});
  EXPECT_NE(r.code, 2) << r.err;
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ParseJson(ReadFile(real))["facility_id"].string, "1234567");
}

TEST(Review, ReportThatCannotBeWrittenSaysWhyAndKeepsThePreviousOne) {
  TempDataDir dir;
  dir.CreateWorkDb();
  const fs::path json = dir.dir() / "report.json";
  std::ofstream(json) << "{\"previous\": true}";
  // Stands in for a disk that fills while the new report is written.
  fs::create_directories(dir.dir() / "report.json.partial" / "x");
  CliRun r =
      RunCommand({"review", "1234567", "--data-dir", dir.dir().string(), "--workbooks",
                  SourcePath("data/sample").string(), "--tables", "3", "--json", json.string()});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(ReadFile(json), "{\"previous\": true}");
  EXPECT_NE(r.err.find("--json: the report could not be written to " + json.string() + ": "),
            std::string::npos)
      << r.err;

  CliRun full = RunCommand({"review", "1234567", "--data-dir", dir.dir().string(), "--tables", "3",
                            "--json", "/dev/full"});
  EXPECT_EQ(full.code, 2);
  EXPECT_NE(full.err.find("--json: the report could not be written to /dev/full: No space left "
                          "on device\n"),
            std::string::npos)
      << full.err;
}

TEST(Review, ReportPathOverAWorkbookOrTheWorkDatabaseIsRefusedAndKept) {
  TempDataDir dir;
  dir.CreateWorkDb();
  const fs::path workbook = dir.dir() / "1234567_1.xls";
  fs::copy_file(SourcePath("data/sample/1234567_1.xls"), workbook);
  for (const fs::path& target : {dir.paths().WorkDb(), workbook}) {
    const std::string before = ReadFile(target);
    CliRun r = RunCommand({"review", "1234567", "--data-dir", dir.dir().string(), "--workbooks",
                           SourcePath("data/sample").string(), "--xlsx", target.string()});
    EXPECT_EQ(r.code, 2) << target;
    EXPECT_EQ(r.out, "") << target;
    EXPECT_EQ(r.err, "--xlsx: " + target.string() +
                         " exists and is not an error workbook; it was left as it is\n");
    EXPECT_EQ(ReadFile(target), before) << target;
  }
  const std::string work_db = ReadFile(dir.paths().WorkDb());
  CliRun json = RunCommand({"review", "1234567", "--data-dir", dir.dir().string(), "--json",
                            dir.paths().WorkDb().string()});
  EXPECT_EQ(json.code, 2);
  EXPECT_EQ(json.err, "--json: " + dir.paths().WorkDb().string() +
                          " holds a workbook or a database; it was left as it is\n");
  EXPECT_EQ(ReadFile(dir.paths().WorkDb()), work_db);
}

TEST(Review, TransferTheDatabaseRefusesMeansTheReviewCouldNotRun) {
  TempDataDir dir;
  dir.CreateWorkDb();
  {
    Connection c;
    c.Open(dir.paths().WorkDb());
    c.ExecuteNative("DROP TABLE MT_TEMP4A");  // a damaged work database
  }
  CliRun r = RunCommand({"review", "1234567", "--workbooks", SourcePath("data/sample").string(),
                         "--data-dir", dir.dir().string()});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.out.find("Table 4: Transfer to Access for Table 4 failed. \n"), std::string::npos)
      << r.out;
  EXPECT_NE(r.err.find("no such table: MT_TEMP4A"), std::string::npos) << r.err;
}

TEST(Review, SixDigitFacilityIdIsRefused) {
  TempDataDir dir;
  dir.CreateWorkDb();
  CliRun r = RunCommand({"review", "123456", "--data-dir", dir.dir().string()});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Facility ID must be 7 digits.\n");
}

TEST(Review, FolderWithFourWorkbooksIsReportedAndNothingImported) {
  TempDataDir dir;
  dir.CreateWorkDb();
  const fs::path four = dir.dir() / "four";
  fs::create_directories(four);
  for (int n = 1; n <= 4; ++n) {
    const std::string name = "1234567_" + std::to_string(n) + ".xls";
    fs::copy_file(SourcePath("data/sample/" + name), four / name);
  }
  // Whatever the workbook folder held before is replaced.
  fs::create_directories(dir.paths().WorkbookDir());
  std::ofstream(dir.paths().WorkbookDir() / "1234567_5.xls") << "old";
  CliRun r = RunCommand({"review", "1234567", "--data-dir", dir.dir().string(), "--workbooks",
                         four.string(), "--json", (dir.dir() / "r.json").string()});
  const std::string gis = dir.paths().WorkbookDir().string();
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "Five files for 1234567 were not found in " + gis +
                       ".  Please check CD (or floppy) and " + gis + ".\n");
  EXPECT_EQ(r.out, "Fix table 5 and reimport.\nReport: " + (dir.dir() / "r.json").string() + "\n");
  const Json report = ParseJson(ReadFile(dir.dir() / "r.json"));
  EXPECT_EQ(report["messages"].array.size(), 1u);
  ASSERT_EQ(report["tables"].array.size(), 5u);
  EXPECT_EQ(report["tables"][4]["status"].number, 0);
  EXPECT_TRUE(report["tables"][4]["checks"].array.empty());
  EXPECT_EQ(report["tables"][4]["label"].string, "");
}

TEST(Review, WorkbooksFromTheWorkbookFolderItselfAreReviewedNotDeleted) {
  TempDataDir dir;
  dir.CreateWorkDb();
  const fs::path gis = dir.paths().WorkbookDir();
  fs::create_directories(gis);
  for (int n = 1; n <= 5; ++n) {
    const std::string name = "1234567_" + std::to_string(n) + ".xls";
    fs::copy_file(SourcePath("data/sample/" + name), gis / name);
  }
  CliRun r = RunCommand({"review", "1234567", "--data-dir", dir.dir().string(), "--workbooks",
                         (gis / ".." / gis.filename()).string(), "--tables", "3"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out.substr(0, sizeof kImported - 1), kImported);
  EXPECT_TRUE(fs::exists(gis / "1234567_5.xls"));
}

TEST(Review, EscapeSequenceFromAWorkbookIsShownNotSentToTheTerminal) {
  TempDataDir dir;
  dir.CreateWorkDb();
  const fs::path set = dir.dir() / "set";
  fs::create_directories(set);
  for (int n = 2; n <= 5; ++n) {
    const std::string name = "1234567_" + std::to_string(n) + ".xls";
    fs::copy_file(SourcePath("data/sample/" + name), set / name);
  }
  testing::XlsxRows table1 = {{}, {}};
  for (const char* name :
       {"FAC_ID", "POINT_ID", "LAT_DD", "LAT_MM", "LAT_SS", "LONG_DD", "LONG_MM", "LONG_SS", "NAVD",
        "SL_METHOD", "SL_COL_DATE", "SL_CONTRACT", "SL_COMMENTS", "X\x1B]0;title\x07"}) {
    table1[0].push_back(name);
    table1[1].push_back("1234567");
  }
  testing::WriteXlsx(set / "1234567_1.xls", table1);
  CliRun r = RunCommand(
      {"review", "1234567", "--data-dir", dir.dir().string(), "--workbooks", set.string()});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out.find('\x1B'), std::string::npos);
  EXPECT_NE(r.out.find("X\\x1B]0;TITLE\\x07"), std::string::npos) << r.out;
}

TEST(Review, WorkbookFolderThatCannotBeReadStopsBeforeAnything) {
  TempDataDir dir;
  dir.CreateWorkDb();
  const fs::path missing = dir.dir() / "nowhere";
  CliRun r = RunCommand(
      {"review", "1234567", "--data-dir", dir.dir().string(), "--workbooks", missing.string()});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "--workbooks: " + missing.string() + " is not a folder that can be read\n");
}

TEST(Review, InvalidReviewDateIsRefusedByTheImport) {
  TempDataDir dir;
  dir.CreateWorkDb();
  CliRun r = RunCommand(
      {"review", "1234567", "--data-dir", dir.dir().string(), "--review-date", "13/45/2004"});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Please check the date.  There appears to be an error.\n");
}

TEST(Review, BadTablesOptionIsAUsageError) {
  CliRun r = RunCommand({"review", "1234567", "--tables", "2,9"});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "--tables: 9 is not a table number from 1 to 5\n");
  // A number followed by anything else names no table either.
  TempDataDir dir;
  for (const char* item : {"1.5", "3x", "1;2", "2e1"}) {
    CliRun partial =
        RunCommand({"review", "1234567", "--data-dir", dir.dir().string(), "--tables", item});
    EXPECT_EQ(partial.code, 2) << item;
    EXPECT_EQ(partial.err,
              std::string("--tables: ") + item + " is not a table number from 1 to 5\n");
  }
}

TEST(Review, NegativeRecordCountOtherThanAllIsAUsageError) {
  TempDataDir dir;
  CliRun r =
      RunCommand({"review", "1234567", "--data-dir", dir.dir().string(), "--max-records", "-5"});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("--max-records"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("Access database"), std::string::npos) << r.err;
}

// The built program, end to end, once.
TEST(Review, BuiltProgramReviewsTheSample) {
  TempDataDir dir;
  const std::string bin = SORVANE_CLI_PATH;
  const std::string data = dir.dir().string();
  const std::string out = (dir.dir() / "out.txt").string();
  const std::string err = (dir.dir() / "err.txt").string();
  const std::string init = "'" + bin + "' init --data-dir '" + data + "' > /dev/null";
  ASSERT_EQ(std::system(init.c_str()), 0);
  const std::string review = "'" + bin + "' review 1234567 --data-dir '" + data +
                             "' --workbooks '" + SourcePath("data/sample").string() +
                             "' < /dev/null > '" + out + "' 2> '" + err + "'";
  const int status = std::system(review.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  const std::string text = ReadFile(out);
  EXPECT_EQ(text.substr(0, sizeof kImported - 1), kImported);
  EXPECT_NE(text.find("Error workbook: " + (dir.dir() / "Errors - 1234567.xlsx").string()),
            std::string::npos);
  EXPECT_EQ(ReadFile(err), "");
}

}  // namespace
}  // namespace sorvane
