// Excel binary workbooks (.xlsb) built record by record: every kind of cell
// reads as the same cell of an .xls or .xlsx workbook reads, and a sheet whose
// records straddle the chunks its part inflates in reads whole.
#include <gtest/gtest.h>

#include "import/readers/workbook_reader.h"
#include "sheet_rows.h"
#include "support/work_db.h"
#include "test_files.h"

namespace sorvane::testing {
namespace {

using Rows = std::vector<std::vector<std::string>>;

enum : uint32_t {
  kBlank = 1,
  kRk = 2,
  kError = 3,
  kBool = 4,
  kReal = 5,
  kSt = 6,
  kIsst = 7,
  kFmlaString = 8,
  kFmlaNum = 9,
  kFmlaBool = 10,
  kFmlaError = 11,
  kShortReal = 16,
  kShortIsst = 18,
  kRString = 62,
};

// What follows a formula's cached result: its flags and an empty formula.
const std::string kFormula = U16(0) + U32(0);

struct Shown {
  SheetShape shape;
  Rows rows;  // each cell as shown, then "|" and its kind when it is no text
};

Shown ReadShown(const std::string& bytes) {
  Shown out;
  out.shape = ReadWorkbookFromMemory(
      bytes, "t.xlsb", [&](int64_t, const std::vector<std::string>& cells, const RowFormats& f) {
        auto& row = out.rows.emplace_back();
        for (size_t c = 0; c < f.Filled(cells); ++c) {
          const auto kind = static_cast<int>(f.KindOf(c));
          row.push_back(f.Shown(c, cells[c]) + (kind != 0 ? "|" + std::to_string(kind) : ""));
        }
        while (!row.empty() && row.back().empty()) row.pop_back();
        return true;
      });
  return out;
}

TEST(XlsbReaderTest, EveryKindOfCellReadsAsTheOtherFormatsShowIt) {
  XlsbParts p;
  p.shared_strings = {u"SAM_ID", u"RESULT", u"\u00b5g/L \U0001F600"};
  p.formats = {{164, u"yyyy-mm-dd"}, {165, u"0.000"}};
  p.cell_styles = {0, 14, 164, 165};
  p.sheet_data = XlsbRow(0) + XlsbCell(kIsst, 0, 0, U32(0)) + XlsbCell(kShortIsst, 0, 0, U32(1)) +
                 XlsbCell(kShortIsst, 0, 0, U32(2)) +
                 // 42 as an integer, 1.23 as an integer of hundredths, 7.25 as a double.
                 XlsbRow(1) + XlsbCell(kRk, 0, 0, U32((42 << 2) | 2)) +
                 XlsbCell(kRk, 1, 0, U32((123 << 2) | 3)) + XlsbCell(kReal, 2, 3, F64(7.25)) +
                 // A date of a built-in format and a date and time of a custom one.
                 XlsbRow(2) + XlsbCell(kReal, 0, 1, F64(38063)) +
                 XlsbCell(kShortReal, 0, 2, F64(38063.5)) + XlsbRow(3) +
                 XlsbCell(kBool, 0, 0, U8(1)) + XlsbCell(kError, 1, 0, U8(0x2A)) +
                 XlsbCell(kSt, 2, 0, XlsbString(u"inline")) +
                 XlsbCell(kRString, 3, 0, U8(1) + XlsbString(u"rich") + U32(0)) +
                 // Row 5 holds nothing; row 6 the cached results of formulas, and a
                 // styled blank cell that widens the range.
                 XlsbRow(5) + XlsbCell(kFmlaNum, 0, 0, F64(0.5) + kFormula) +
                 XlsbCell(kFmlaString, 1, 0, XlsbString(u"calc") + kFormula) +
                 XlsbCell(kFmlaBool, 2, 0, U8(0) + kFormula) +
                 XlsbCell(kFmlaError, 3, 0, U8(0x07) + kFormula) + XlsbCell(kBlank, 5, 1, "");
  const Rows texts = {{"SAM_ID", "RESULT", "\u00b5g/L \U0001F600"},
                      {"42", "1.23", "7.25"},
                      {"3/17/2004", "3/17/2004 12:00:00"},
                      {"TRUE", "#N/A", "inline", "rich"},
                      {},
                      {"0.5", "calc", "FALSE", "#DIV/0!"}};
  EXPECT_EQ(Trimmed(ReadAllRowsFromMemory(p.Zip())), texts);
  const Shown shown = ReadShown(p.Zip());
  EXPECT_EQ(shown.shape.sheet_name, "Data");
  EXPECT_EQ(shown.shape.format, "xlsb");
  EXPECT_EQ(shown.shape.columns, 6);
  EXPECT_EQ(shown.rows, (Rows{{"SAM_ID", "RESULT", "\u00b5g/L \U0001F600"},
                              {"42|1", "1.23|1", "7.250|1"},
                              {"3/17/2004|2", "2004-03-17|2"},
                              {"TRUE|3", "#N/A|4", "inline", "rich"},
                              {},
                              {"0.5|1", "calc", "FALSE|3", "#DIV/0!|4"}}));
  // Dates counted from 1904 as that workbook says.
  p.date1904 = true;
  EXPECT_EQ(Trimmed(ReadAllRowsFromMemory(p.Zip()))[2],
            (std::vector<std::string>{"3/18/2008", "3/18/2008 12:00:00"}));
}

// A sheet of a few megabytes inflates in chunks, and records straddle them
// (long strings among short numbers); the rows arrive whole either way, and
// a part that ends inside a record is refused as cut short.
TEST(XlsbReaderTest, RecordsAcrossTheChunksOfAPartReadWhole) {
  XlsbParts p;
  const std::u16string long_text(300, u'x');
  for (uint32_t r = 0; r < 20000; ++r) {
    p.sheet_data += XlsbRow(r) + XlsbCell(kReal, 0, 0, F64(r)) +
                    XlsbCell(kSt, 1, 0, XlsbString(r % 7 == 1 ? long_text : u"short"));
  }
  const SheetRows got = ReadAllRowsFromMemory(p.Zip());
  ASSERT_EQ(got.rows.size(), 20000u);
  EXPECT_EQ(got.rows[19999], (std::vector<std::string>{"19999", "short"}));
  EXPECT_EQ(got.rows[7008][1], std::string(300, 'x'));
  int shapes = 0;
  EXPECT_EQ(ReadStartingOver(p.Zip(), "t.xlsb", shapes, true), got.rows);

  auto parts = p.Parts();
  for (auto& [name, content] : parts) {
    // The sheet part without its two ending records (three bytes each) and
    // the last three bytes of its last cell.
    if (name == "xl/worksheets/sheet1.bin") content.resize(content.size() - 9);
  }
  try {
    ReadAllRowsFromMemory(ZipFile(parts));
    ADD_FAILURE() << "read";
  } catch (const WorkbookError& e) {
    EXPECT_EQ(e.reason(), WorkbookError::Reason::kTruncated) << e.description();
    EXPECT_NE(e.description().find("ends inside a record"), std::string::npos) << e.description();
  }
}

// The sample's Table 5 saved with Excel's default password, as a workbook
// protected only against changes is (tests/data/xlsb/encrypt.py), opens
// without asking and reads as its plain copy; LibreOffice opens it alike.
TEST(XlsbReaderTest, AWorkbookProtectedAgainstChangesReadsAsItsPlainCopy) {
  const SheetRows plain = ReadAllRows(SourcePath("tests/data/xlsb/1234567_5.xlsb"));
  const SheetRows kept = ReadAllRows(SourcePath("tests/data/xlsb/1234567_5_protected.xlsb"));
  EXPECT_EQ(kept.rows, plain.rows);
  EXPECT_EQ(kept.rows.size(), 4123u);
  EXPECT_EQ(kept.shape.format, "xlsb");
}

}  // namespace
}  // namespace sorvane::testing
