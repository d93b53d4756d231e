// The fixture workbooks written by another program (xlwt, see
// tools/make_fixture_xls.py) and the same cells written here as .xlsx read as
// identical rows: a contractor's sheet gives the same import whichever format
// it was saved in.
#include <gtest/gtest.h>


#include "core/text.h"
#include "import/readers/workbook_reader.h"
#include "sheet_rows.h"
#include "support/case_table.h"
#include "support/work_db.h"
#include "test_files.h"

namespace sorvane {
namespace {

using testing::SheetRows;
using testing::XlsxParts;
using Rows = std::vector<std::vector<std::string>>;

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

const std::string kLongLatin = Repeat("Groundwater sample, duplicate of S-001; ", 150);
const std::string kLongGreek = Repeat("Ω≈µ", 1800);

// readers_facility.xls, cell for cell, as Excel would save it.
std::string FacilityXlsx() {
  XlsxParts x;
  x.cell_xfs.clear();
  for (const auto& c : testing::CaseTable("readers_facility_xlsx.txt")) {
    std::string& part = c[0] == "shared_strings" ? x.shared_strings
                        : c[0] == "num_fmts"     ? x.num_fmts
                        : c[0] == "cell_xfs"     ? x.cell_xfs
                                                 : x.sheet_data;
    part += ReplaceAll(ReplaceAll(c[1], "$LONG_LATIN", kLongLatin), "$LONG_GREEK", kLongGreek);
  }
  return x.Zip();
}

TEST(FixtureTest, XlsAndXlsxOfTheSameSheetReadAlike) {
  const SheetRows xls =
      testing::ReadAllRows(testing::SourcePath("tests/data/readers_facility.xls"));
  const SheetRows xlsx = testing::ReadAllRowsFromMemory(FacilityXlsx());
  EXPECT_EQ(xls.rows, xlsx.rows);
  EXPECT_EQ(xls.numbers, xlsx.numbers);
  EXPECT_EQ(xls.shape.columns, 13);
  EXPECT_EQ(xlsx.shape.columns, 13);

  // What both give, spelled out.
  ASSERT_EQ(xls.rows.size(), 7u);
  EXPECT_EQ(xls.rows[1],
            (std::vector<std::string>{"1234567", "MW-1", "S-001", "8260B", "71-43-2", "Benzene",
                                      "0.005", "mg/L", "", "0.001", "3/15/2021",
                                      "Müller: Probe trüb", "Ωmega Labs 日本"}));
  EXPECT_EQ(xls.rows[2], std::vector<std::string>(13));  // the empty row is delivered
  EXPECT_EQ(xls.rows[3][6], "1234.5");
  EXPECT_EQ(xls.rows[3][10], "3/15/2021 18:30:00");
  EXPECT_EQ(std::vector<std::string>(xls.rows[4].begin(), xls.rows[4].begin() + 9),
            (std::vector<std::string>{"1234567", "TRUE", "FALSE", "#N/A", "#DIV/0!", "", "-42",
                                      "1E-07", "1.23456789012346E+17"}));
  // Strings long enough to continue across records arrive whole.
  EXPECT_EQ(xls.rows[5][11], kLongLatin);
  EXPECT_EQ(xls.rows[5][12], kLongGreek);
  EXPECT_EQ(xls.rows[6][11], kLongLatin);
}

TEST(FixtureTest, Dates1904ReadAlikeInBothFormats) {
  const SheetRows xls =
      testing::ReadAllRows(testing::SourcePath("tests/data/readers_facility_1904.xls"));
  XlsxParts x;
  x.date1904 = true;
  x.cell_xfs = "<xf numFmtId=\"0\"/><xf numFmtId=\"14\"/>";
  x.sheet_data =
      "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>SAM_DATE</t></is></c></row>"
      "<row r=\"2\"><c r=\"A2\" s=\"1\"><v>42808</v></c></row>"
      "<row r=\"3\"><c r=\"A3\" s=\"1\"><v>0</v></c></row>";
  const SheetRows xlsx = testing::ReadAllRowsFromMemory(x.Zip());
  const Rows want = {{"SAM_DATE"}, {"3/15/2021"}, {"1/1/1904"}};
  EXPECT_EQ(xls.rows, want);
  EXPECT_EQ(xlsx.rows, want);
}

}  // namespace
}  // namespace sorvane
