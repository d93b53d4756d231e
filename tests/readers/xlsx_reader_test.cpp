// The .xlsx reader on packages built part by part: cell types, styles, shared
// strings and package quirks of other producers (the defences against hostile
// packages are refusal_test's).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "import/readers/workbook_reader.h"
#include "sheet_rows.h"
#include "support/case_table.h"
#include "test_files.h"

namespace sorvane {
namespace {

using testing::ReadAllRowsFromMemory;
using testing::XlsxParts;
using testing::ZipFile;
using Rows = std::vector<std::vector<std::string>>;
using Reason = WorkbookError::Reason;
using Parts = std::vector<std::pair<std::string, std::string>>;

Rows Read(const std::string& zip, const ReadLimits& limits = {}) {
  return testing::Trimmed(ReadAllRowsFromMemory(zip, limits));
}

void Replace(Parts& parts, const std::string& name, const std::string& content) {
  for (auto& p : parts) {
    if (p.first == name) p.second = content;
  }
}

TEST(XlsxReaderTest, CellTypesAndStylesShowTheirText) {
  struct Sheet {
    std::string name;
    XlsxParts x;
    Rows rows;
  };
  std::vector<Sheet> sheets;
  for (const auto& c : testing::CaseTable("xlsx_sheets.txt")) {
    if (sheets.empty() || sheets.back().name != c[0]) sheets.push_back({c[0], {}, {}});
    XlsxParts& x = sheets.back().x;
    if (c[1] == "row") {
      sheets.back().rows.emplace_back(c.begin() + 2, c.end());
    } else if (c[1] == "date1904") {
      x.date1904 = true;
    } else if (c[1] == "cell_xfs") {
      x.cell_xfs = c[2];
    } else {
      (c[1] == "shared_strings" ? x.shared_strings
       : c[1] == "num_fmts"     ? x.num_fmts
                                : x.sheet_data) += c[2];
    }
  }
  for (const Sheet& s : sheets) {
    SCOPED_TRACE(s.name);
    EXPECT_EQ(Read(s.x.Zip()), s.rows);
  }
}

TEST(XlsxReaderTest, RepeatedNumbersShowByTheirOwnStyleEachTime) {
  XlsxParts x;
  x.cell_xfs = "<xf numFmtId=\"0\"/><xf numFmtId=\"14\"/>";
  std::string row;
  for (int i = 0; i < 3; ++i) {
    row += "<c s=\"1\"><v>44270</v></c><c><v>44270</v></c><c><v>1E-3</v></c><c><v>x1</v></c>";
  }
  x.sheet_data = "<row>" + row + "</row><row>" + row + "</row>";
  const std::vector<std::string> once = {"3/15/2021", "44270", "0.001", "x1"};
  std::vector<std::string> expected;
  for (int i = 0; i < 3; ++i) expected.insert(expected.end(), once.begin(), once.end());
  EXPECT_EQ(Read(x.Zip()), (Rows{expected, expected}));
  x.date1904 = true;  // a second workbook: nothing remembered from the first
  EXPECT_EQ(Read(x.Zip())[1][0], "3/16/2025");
}

// A sheet in another encoding is read by expat, which converts it.
TEST(XlsxReaderTest, SheetInAnotherEncodingReadsAsWritten) {
  XlsxParts x;
  Parts parts = x.Parts();
  Replace(parts, "xl/worksheets/sheet1.xml",
          "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><worksheet><sheetData><row r=\"1\">"
          "<c r=\"A1\" t=\"inlineStr\"><is><t>Gr\xFC\xDF"
          "e</t></is></c></row></sheetData></worksheet>");
  EXPECT_EQ(Read(ZipFile(parts)), (Rows{{"Gr\xC3\xBC\xC3\x9F"
                                         "e"}}));
}

TEST(XlsxReaderTest, CellsAndRowsTakeTheirPlaceWithOrWithoutReferences) {
  XlsxParts x;
  x.sheet_data =
      "<row><c><v>1</v></c><c><v>2</v></c></row>"
      "<row r=\"4\"><c r=\"C4\"><v>3</v></c><c><v>4</v></c></row>"
      "<row><c t=\"inlineStr\"><is><t>x</t></is></c></row>";
  const auto got = ReadAllRowsFromMemory(x.Zip());
  EXPECT_EQ(got.numbers, (std::vector<int64_t>{1, 2, 3, 4, 5}));
  EXPECT_EQ(testing::Trimmed(got), (Rows{{"1", "2"}, {}, {}, {"", "", "3", "4"}, {"x"}}));
  EXPECT_EQ(got.shape.columns, 4);
  for (const auto& row : got.rows) EXPECT_EQ(row.size(), 4u);
  // Rows out of order are delivered in order.
  x.sheet_data =
      "<row r=\"3\"><c r=\"A3\"><v>3</v></c></row><row r=\"1\"><c r=\"B1\"><v>1</v></c></row>";
  EXPECT_EQ(Read(x.Zip()), (Rows{{"", "1"}, {}, {"3"}}));
}

TEST(XlsxReaderTest, PackagesOfOtherProducersAreFound) {
  XlsxParts x;
  x.sheet_data = "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>";
  x.shared_strings = "<si><t>found</t></si>";
  std::map<std::string, Parts> variants;
  for (const auto& c : testing::CaseTable("xlsx_packages.txt")) {
    if (!variants.contains(c[0])) variants[c[0]] = x.Parts();
    Replace(variants[c[0]], c[1], c[2]);
  }
  Parts& backslashes = variants["backslashes and case"];
  for (auto [name, content] : x.Parts()) {
    for (auto& ch : name) ch = ch == '/' ? '\\' : ch;
    if (name == "xl\\sharedStrings.xml") name = "xl\\SHAREDSTRINGS.xml";
    backslashes.emplace_back(name, content);
  }
  for (const auto& [name, parts] : variants) {
    SCOPED_TRACE(name);
    testing::SheetRows got;
    ASSERT_NO_THROW(got = ReadAllRowsFromMemory(ZipFile(parts)));
    EXPECT_EQ(testing::Trimmed(got), (Rows{{"found"}}));
    EXPECT_EQ(got.shape.sheet_name, "Data");
  }
}

TEST(XlsxReaderTest, TotalLimitCountsEachPartOnce) {
  // A 600 kB sheet is read twice (range, then rows) but inflates only once.
  XlsxParts x;
  x.sheet_data = "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>" + std::string(600000, ' ');
  ReadLimits limits;
  limits.max_total_bytes = 1000000;
  EXPECT_EQ(Read(x.Zip(), limits), (Rows{{"1"}}));
}

}  // namespace
}  // namespace sorvane
