// Displayed texts: a table of number formats x values whose texts were saved
// "as shown" by another spreadsheet program (tests/data/shown/make-golden),
// read back from the same workbook in both formats.
#include <gtest/gtest.h>

#include <fstream>

#include "import/readers/workbook_reader.h"
#include "support/work_db.h"

namespace sorvane {
namespace {

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> out;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    out.push_back(line.substr(start, tab - start));
    if (tab == std::string::npos) return out;
    start = tab + 1;
  }
}

TEST(ShownTextTest, NumberFormatsShowWhatTheSpreadsheetShows) {
  const auto dir = testing::SourcePath("tests/data/shown");
  std::vector<std::vector<std::string>> golden;
  std::ifstream in(dir / "formats.txt");
  for (std::string line; std::getline(in, line);) golden.push_back(SplitTabs(line));
  ASSERT_GE(golden.size(), 41u);
  for (const char* file : {"formats.xlsx", "formats.xls"}) {
    SCOPED_TRACE(file);
    size_t row = 0, compared = 0;
    ReadWorkbook(dir / file,
                 [&](int64_t, const std::vector<std::string>& cells, const RowFormats& formats) {
                   if (row > 0 && row < golden.size()) {
                     for (size_t col = 1; col < cells.size() && col < golden[row].size(); ++col) {
                       EXPECT_EQ(formats.Shown(col, cells[col]), golden[row][col])
                           << "format " << cells[0] << ", value " << cells[col];
                       ++compared;
                     }
                   }
                   ++row;
                   return true;
                 });
    EXPECT_EQ(row, golden.size());
    EXPECT_GE(compared, 40u * 6);
  }
}

}  // namespace
}  // namespace sorvane
