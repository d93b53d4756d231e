// What the command line says when something is dropped, cut short or refused:
// every such case ends with its own exit status and a word, never quietly.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "cli_run.h"
#include "import/readers/workbook_reader.h"
#include "json_parse.h"
#include "support/file_size_limit.h"
#include "support/work_db.h"
#include "support/xlsx_writer.h"

namespace sorvane {
namespace {

namespace fs = std::filesystem;
using testing::CliRun;
using ::testing::HasSubstr;
using testing::Json;
using testing::ParseJson;
using testing::ReadFile;
using testing::RunCommand;
using testing::SourcePath;
using testing::TempDataDir;
using testing::WorkDataDir;
using testing::XlsxRows;

// The sample facility with Table 5 cut to its first nine results, the facility
// ID typed only in the first (and a control character in place of one).
fs::path FacilityWithBlankFirstCells(const TempDataDir& dir) {
  const fs::path set = dir.dir() / "set";
  testing::CopySample(set, {1, 2, 3, 4});
  XlsxRows rows;
  ReadFirstWorksheet(SourcePath("data/sample/1234567_5.xls"),
                     [&](int64_t row, const std::vector<std::string>& cells) {
                       rows.emplace_back(cells.begin(), cells.end());
                       if (row >= 3) rows.back()[0] = row == 6 ? "\x01" : "";
                       return row < 10;
                     });
  testing::WriteXlsx(set / "1234567_5.xlsx", rows);
  return set;
}

TEST(SaidOutLoud, RowsWithAnEmptyFirstCellAreNamedInTheLabelSummaryAndReport) {
  WorkDataDir dir;
  const fs::path set = FacilityWithBlankFirstCells(dir);
  const fs::path json = dir.dir() / "r.json";
  CliRun r = RunCommand({"review", "1234567", "--data-dir", dir.dir().string(), "--workbooks",
                         set.string(), "--json", json.string()});
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

// The built program with its standard output on a full device.
int RunToFullDevice(const std::string& args, std::string* err) {
  TempDataDir scratch;
  const fs::path err_file = scratch.dir() / "err.txt";
  const std::string command = "'" + std::string(SORVANE_CLI_PATH) + "' " + args +
                              " < /dev/null > /dev/full 2> '" + err_file.string() + "'";
  const int status = std::system(command.c_str());
  *err = ReadFile(err_file);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
  EXPECT_EQ(RunToFullDevice("review 1234567 --json -" + data + " --workbooks '" +
                                SourcePath("data/sample").string() + "'",
                            &err),
            2);
  EXPECT_THAT(err, HasSubstr(said));
}

TEST(SaidOutLoud, WorkbookCopyCutShortLeavesNoPartialWorkbook) {
  WorkDataDir dir;
  CliRun r;
  {
    testing::FileSizeLimit full_disk(64 * 1024);
    r = RunCommand({"review", "1234567", "--data-dir", dir.dir().string(), "--workbooks",
                    SourcePath("data/sample").string()});
  }
  EXPECT_EQ(r.code, 2);
  EXPECT_THAT(r.err, HasSubstr("--workbooks: "));
  for (const auto& entry : fs::directory_iterator(dir.paths().WorkbookDir())) {
    const fs::path name = entry.path().filename();
    EXPECT_EQ(fs::file_size(entry.path()), fs::file_size(SourcePath("data/sample") / name)) << name;
  }
}

TEST(SaidOutLoud, AnOptionTheCommandWouldIgnoreIsRefused) {
  CliRun read = RunCommand({"read", "--data-dir", "/tmp", "x.xls"});
  EXPECT_EQ(read.code, 2);
  EXPECT_EQ(read.out, "");
}

}  // namespace
}  // namespace sorvane
