// Display texts of stored values: which number formats are dates, the general
// number form, dates of both date systems (with the 1900 system's phantom
// February 29), and OOXML character escapes (the cases are tables under
// tests/data/cases/); and a table of number formats x values whose texts were
// saved "as shown" by another spreadsheet program (tests/data/shown/make-golden,
// and make-fraction-golden for fractions), read back from the same workbooks.
#include "import/readers/cell_text.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iostream>

#include "core/value.h"
#include "import/readers/utf8.h"
#include "import/readers/workbook_reader.h"
#include "support/case_table.h"
#include "support/comma_decimal_locale.h"
#include "support/work_db.h"

namespace sorvane::readers {
namespace {

using testing::CaseTable;

TEST(CellTextTest, DateFormatsAndTheirDates) {
  for (const auto& c : CaseTable("date_format_codes.txt"))
    EXPECT_EQ(IsDateFormatCode(c[0]), c[1] == "1") << c[0];
  std::vector<int> dates;
  for (int id = 0; id < 200; ++id) {
    if (IsBuiltInDateFormat(id)) dates.push_back(id);
  }
  EXPECT_EQ(dates, (std::vector<int>{14, 15, 16, 17, 18, 19, 20, 21, 22, 27, 28, 29, 30, 31, 32, 33,
                                     34, 35, 36, 45, 46, 47, 50, 51, 52, 53, 54, 55, 56, 57, 58}));
  for (const auto& c : CaseTable("number_texts.txt")) {
    std::string out = "previous ";
    AppendNumberText(std::stod(c[0]), c[1] == "1", c[2] == "1", out);
    EXPECT_EQ(out.substr(9), c[3]) << c[0];
  }
}

TEST(CellTextTest, GeneralFormEscapesAndErrorCodes) {
  for (const auto& c : CaseTable("general_form.txt")) {
    EXPECT_EQ(IsGeneralForm(c[0]), c[1] == "1") << c[0];
    // Whenever the shortcut applies it must agree with the conversion.
    if (c[1] == "1") {
      EXPECT_EQ(FormatGeneral(std::stod(c[0])), c[0]);
    }
  }
  for (const auto& c : CaseTable("ooxml_escapes.txt")) {
    std::string s = c[0];
    DecodeOoxmlEscapes(s);
    EXPECT_EQ(s, c[1]) << c[0];
  }
  for (const auto& c : CaseTable("cell_error_codes.txt"))
    EXPECT_EQ(ErrorCodeText(std::stoi(c[0], nullptr, 16)), c[1]) << c[0];
}

// Also where the desktop writes numbers with a decimal comma: the texts are
// the spreadsheet's, not the system's.
TEST(ShownTextTest, NumberFormatsShowWhatTheSpreadsheetShows) {
  testing::CommaDecimalLocale comma;
  if (!comma.active()) std::cerr << "(no decimal-comma locale could be made)\n";
  const auto dir = testing::SourcePath("tests/data/shown");
  // The .ods holds its formats as LibreOffice saved them, and LibreOffice's
  // texts of it are its own golden file. Fractions ("# ?/?", "?/16") have a
  // table of their own (make-fraction-golden).
  for (const auto& [file, texts] : {std::pair{"formats.xlsx", "formats.txt"},
                                    {"formats.xls", "formats.txt"},
                                    {"formats.ods", "formats_ods.txt"},
                                    {"fractions.xlsx", "fractions.txt"},
                                    {"fractions.xls", "fractions.txt"},
                                    {"fractions.ods", "fractions_ods.txt"}}) {
    SCOPED_TRACE(file);
    std::vector<std::vector<std::string>> golden;
    std::ifstream in(dir / texts);
    for (std::string line; std::getline(in, line);) golden.push_back(testing::SplitCaseLine(line));
    ASSERT_GE(golden.size(), 17u);
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
}  // namespace sorvane::readers
