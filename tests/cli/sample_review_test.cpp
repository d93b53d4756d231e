// The review of the sample facility in data/sample against the committed copies
// of what it writes: what it prints (its data folder written $DATA), the JSON
// report byte for byte and the error workbook cell by cell. A difference means a report changed;
// when that is meant, run the test with SORVANE_UPDATE_EXPECTED=1 to write the new copies and
// commit them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "cli_run.h"
#include "core/text.h"
#include "support/work_db.h"
#include "support/xlsx_cells.h"

namespace sorvane {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;

void ExpectAsCommitted(const std::string& actual, const std::string& expected_file) {
  const fs::path expected = testing::SourcePath("tests/data/sample/" + expected_file);
  if (std::getenv("SORVANE_UPDATE_EXPECTED")) std::ofstream(expected, std::ios::binary) << actual;
  EXPECT_TRUE(actual == ReadFile(expected)) << expected << " differs; the new text:\n" << actual;
}

TEST(SampleFacility, ReviewWritesTheCommittedReportAndErrorWorkbook) {
  testing::TempDataDir dir;
  dir.CreateWorkDb();
  const fs::path json = dir.dir() / "report.json", xlsx = dir.dir() / "errors.xlsx";
  const testing::CliRun r =
      testing::RunCommand({"review", "1234567", "--data-dir", dir.dir().string(), "--workbooks",
                           testing::SourcePath("data/sample").string(), "--json", json.string(),
                           "--xlsx", xlsx.string()});
  ASSERT_EQ(r.code, 1) << r.err;
  EXPECT_EQ(r.err, "");
  ExpectAsCommitted(ReplaceAll(r.out, dir.dir().string(), "$DATA"), "review.txt");
  ExpectAsCommitted(ReadFile(json), "report.json");
  ExpectAsCommitted(testing::XlsxCellsText(xlsx), "errors.txt");
}

}  // namespace
}  // namespace sorvane
