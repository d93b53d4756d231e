// The fixture workbooks written by another program (xlwt, see
// tools/make_fixture_xls.py) and the same cells written here as .xlsx read as
// identical rows: a contractor's sheet gives the same import whichever format
// it was saved in.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "import/readers/workbook_reader.h"
#include "sheet_rows.h"
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

std::string Shared(const std::string& ref, int index) {
  return "<c r=\"" + ref + "\" t=\"s\"><v>" + std::to_string(index) + "</v></c>";
}
std::string Inline(const std::string& ref, const std::string& text) {
  return "<c r=\"" + ref + "\" t=\"inlineStr\"><is><t>" + text + "</t></is></c>";
}
std::string Num(const std::string& ref, const std::string& v, int style = 0) {
  return "<c r=\"" + ref + "\" s=\"" + std::to_string(style) + "\"><v>" + v + "</v></c>";
}
std::string Typed(const std::string& ref, const std::string& t, const std::string& inner) {
  return "<c r=\"" + ref + "\" t=\"" + t + "\">" + inner + "</c>";
}

// readers_facility.xls, cell for cell, as Excel would save it.
std::string FacilityXlsx() {
  const std::vector<std::string> headers = {
      "FAC_ID", "POINT_ID", "SAM_ID", "METHOD",   "CAS_NUMBER", "CONT_NAME",   "CONC",
      "UNITS",  "LAB_Q",    "MDL",    "SAM_DATE", "a_COMMENTS", "A_LABORATORY"};
  std::vector<std::string> strings = headers;
  for (const char* s :
       {"1234567", "MW-1", "S-001", "8260B", "71-43-2", "Benzene", "mg/L", "Ωmega Labs 日本"}) {
    strings.push_back(s);
  }
  strings.push_back(kLongLatin);
  strings.push_back(kLongGreek);
  auto index = [&](const std::string& s) {
    return static_cast<int>(std::find(strings.begin(), strings.end(), s) - strings.begin());
  };
  XlsxParts x;
  for (const auto& s : strings) x.shared_strings += "<si><t>" + s + "</t></si>";
  x.num_fmts =
      "<numFmt numFmtId=\"164\" formatCode=\"0.00\"/>"
      "<numFmt numFmtId=\"165\" formatCode=\"yyyy\\-mm\\-dd\\ hh:mm\"/>";
  x.cell_xfs =
      "<xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"164\"/><xf numFmtId=\"165\"/>";
  std::string row1 = "<row r=\"1\">";
  const char* cols = "ABCDEFGHIJKLM";
  for (size_t c = 0; c < headers.size(); ++c) {
    row1 += Shared(std::string(1, cols[c]) + "1", index(headers[c]));
  }
  row1 += "</row>";
  x.sheet_data =
      row1 + "<row r=\"2\">" + Shared("A2", index("1234567")) + Shared("B2", index("MW-1")) +
      Shared("C2", index("S-001")) + Shared("D2", index("8260B")) + Shared("E2", index("71-43-2")) +
      Shared("F2", index("Benzene")) + Num("G2", "0.005") + Shared("H2", index("mg/L")) +
      Num("J2", "1E-3") + Num("K2", "44270", 1) + Inline("L2", "Müller: Probe trüb") +
      Shared("M2", index("Ωmega Labs 日本")) + "</row>" + "<row r=\"4\">" +
      Inline("A4", "1234567") + Num("G4", "1234.5", 2) + Num("K4", "44270.770833333336", 3) +
      "</row>" + "<row r=\"5\">" + Shared("A5", index("1234567")) + Typed("B5", "b", "<v>1</v>") +
      Typed("C5", "b", "<v>0</v>") + Typed("D5", "e", "<v>#N/A</v>") +
      Typed("E5", "e", "<v>#DIV/0!</v>") + Typed("F5", "str", "<f>G2*1000</f><v></v>") +
      Num("G5", "-42") + Num("H5", "9.9999999999999995E-8") + Num("I5", "1.2345678901234568E+17") +
      "</row>" + "<row r=\"6\">" + Shared("L6", index(kLongLatin)) +
      Shared("M6", index(kLongGreek)) + "</row>" + "<row r=\"7\">" +
      Shared("L7", index(kLongLatin)) + "</row>";
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

TEST(FixtureTest, FormatIsChosenByContentNotByExtension) {
  const std::string xlsx = FacilityXlsx();
  const auto path = std::filesystem::temp_directory_path() / "sorvane_T5_named.xls";
  {
    std::ofstream out(path, std::ios::binary);
    out.write(xlsx.data(), static_cast<std::streamsize>(xlsx.size()));
  }
  const SheetRows got = testing::ReadAllRows(path);
  std::filesystem::remove(path);
  EXPECT_EQ(got.shape.format, "xlsx");
  EXPECT_EQ(got.rows.size(), 7u);
}

}  // namespace
}  // namespace sorvane
