// Workbooks both readers refuse, each built to break one thing: the reason and
// the words of the message a user sees, naming the file, and no row handed on
// before the refusal of a sheet that is too large.
#include <gtest/gtest.h>

#include "import/readers/workbook_reader.h"
#include "sheet_rows.h"
#include "support/case_table.h"
#include "test_files.h"

namespace sorvane {
namespace {

using testing::BiffString;
using testing::CaseTable;
using testing::CellHead;
using testing::F64;
using testing::OleFile;
using testing::U16;
using testing::U32;
using testing::XlsBuilder;
using testing::XlsxParts;
using testing::ZipFile;
using Reason = WorkbookError::Reason;
using Parts = std::vector<std::pair<std::string, std::string>>;

struct RefusalCase {
  std::string name, bytes;
  Reason reason;
  std::string words;
  ReadLimits limits = {};
};

constexpr uint16_t kNumber = 0x0203, kLabelSst = 0x00FD, kLabel = 0x0204, kSst = 0x00FC,
                   kFilePass = 0x002F;

Parts WithPart(Parts parts, const std::string& name, const std::string& content) {
  for (auto& p : parts) {
    if (p.first == name) p.second = content;
  }
  return parts;
}

std::vector<RefusalCase> XlsCases() {
  XlsBuilder ok;
  ok.Sheet(kLabel, CellHead(0, 0, 0) + BiffString("x"));
  const std::string stream = ok.Stream();
  XlsBuilder encrypted = ok;  // RC4 whose verifier no password given matches
  encrypted.Global(kFilePass, U16(1) + U16(1) + U16(1) + std::string(48, '\0'));
  XlsBuilder xor_obfuscated = ok;
  xor_obfuscated.Global(kFilePass, U16(0) + U16(0x1234) + U16(0x5678));
  XlsBuilder biff5 = ok;
  biff5.Version(0x0500);
  XlsBuilder bad_index;
  bad_index.Global(kSst, U32(1) + U32(1) + BiffString("a"))
      .Sheet(kLabelSst, CellHead(0, 0, 0) + U32(1));
  XlsBuilder chart_only;
  chart_only.ChartSheetFirst().NoWorksheet();
  XlsBuilder short_cell, big;
  short_cell.Sheet(kNumber, U16(0) + U16(0));
  for (uint16_t r = 0; r < 20; ++r) big.Sheet(kNumber, CellHead(r, 0, 0) + F64(r));
  ReadLimits ten_cells;
  ten_cells.max_cells = 10;
  return {
      {"encrypted", encrypted.File(), Reason::kEncrypted, "opens only with its password"},
      {"xor_obfuscated", xor_obfuscated.File(), Reason::kUnsupportedFormat, "XOR obfuscation"},
      {"biff5", biff5.File("Book"), Reason::kUnsupportedFormat, "BIFF5 (Excel 5/95)"},
      {"bare_biff4", U16(0x0409) + U16(6) + U16(0) + U16(0x10) + U16(0), Reason::kUnsupportedFormat,
       "BIFF4"},
      {"text_file", "FACILITY,POINT_ID\r\n1234567,MW-1\r\n", Reason::kNotSpreadsheet,
       "not a spreadsheet"},
      {"empty_file", "", Reason::kNotSpreadsheet, "empty"},
      {"web_page_named_xls", "\xEF\xBB\xBF\r\n<html><table><tr><td>1</td></tr></table></html>",
       Reason::kNotSpreadsheet, "web page or XML file"},
      {"no_workbook_stream", OleFile({{"WordDocument", "hello"}}), Reason::kNotSpreadsheet,
       "not a spreadsheet"},
      {"encrypted_xlsx_package",
       OleFile(
           {{"EncryptionInfo", std::string(64, 'i')}, {"EncryptedPackage", std::string(64, 'p')}}),
       Reason::kUnsupportedFormat, "not supported"},
      {"cut_inside_a_record", OleFile({{"Workbook", stream.substr(0, stream.size() - 7)}}),
       Reason::kTruncated, "truncated"},
      {"cut_after_the_globals",
       OleFile({{"Workbook", stream.substr(0, stream.find("\x09\x08\x10\x00", 4))}}),
       Reason::kTruncated, "truncated"},
      {"string_index_past_the_table", bad_index.File(), Reason::kDamaged, "missing shared string"},
      {"cell_record_too_short", short_cell.File(), Reason::kDamaged, "damaged"},
      {"only_a_chart_sheet", chart_only.File(), Reason::kNoWorksheet, "no worksheet"},
      {"damaged_container",
       std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, 'x'), Reason::kDamaged,
       "compound-file container"},
      {"xls_over_the_cell_limit", big.File(), Reason::kTooLarge, "more than 10 cells", ten_cells},
  };
}

std::vector<RefusalCase> XlsxCases() {
  XlsxParts ok;
  ok.sheet_data = "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>";
  // 64 MB of blanks compress about a thousandfold.
  const std::string bomb = ZipFile(
      WithPart(ok.Parts(), "xl/worksheets/sheet1.xml",
               "<worksheet><sheetData>" + std::string(64 << 20, ' ') + "</sheetData></worksheet>"));
  ReadLimits small, few_cells, string_budget, total;
  small.max_part_bytes = 1 << 20;
  few_cells.max_cells = 3;
  string_budget.max_string_bytes = 2048;
  total.max_total_bytes = 1000000;
  XlsxParts many;
  for (int r = 1; r <= 5; ++r) many.sheet_data += "<row><c><v>1</v></c></row>";
  // Two million empty strings (10 MB) for a one-cell sheet: a few kB zipped.
  XlsxParts empty_strings = ok;
  empty_strings.shared_strings.reserve(10 << 20);
  for (int i = 0; i < 2'000'000; ++i) empty_strings.shared_strings += "<si/>";
  XlsxParts long_string = ok;
  long_string.shared_strings = "<si><t>" + std::string(3000, 'a') + "</t></si>";
  // Each part counts once towards the total, but a 600 kB sheet and 600 kB of
  // strings go past a million bytes (xlsx_reader_test reads the sheet alone).
  XlsxParts both = ok;
  both.sheet_data += std::string(600000, ' ');
  both.shared_strings = "<si><t>" + std::string(600000, 'a') + "</t></si>";

  std::vector<RefusalCase> cases;
  for (const auto& c : CaseTable("xlsx_refusals.txt")) {
    const Reason reason = c[3] == "unsafe"    ? Reason::kUnsafe
                          : c[3] == "damaged" ? Reason::kDamaged
                                              : Reason::kNoWorksheet;
    cases.push_back({c[0], ZipFile(WithPart(ok.Parts(), c[1], c[2])), reason, c[4]});
  }
  cases.insert(
      cases.end(),
      {
          {"zip_without_workbook",
           ZipFile({{"word/document.xml", "<document/>"}, {"readme.txt", "hello"}}),
           Reason::kNotSpreadsheet, "not a spreadsheet"},
          {"decompression_bomb", bomb, Reason::kTooLarge, "decompression bomb"},
          {"part_over_the_limit", bomb, Reason::kTooLarge, "inflates to more than 1048576", small},
          {"too_many_cells", many.Zip(), Reason::kTooLarge, "more than 3 cells", few_cells},
          {"strings_past_what_the_sheets_use", empty_strings.Zip(), Reason::kTooLarge,
           "more strings than its worksheets could use"},
          {"strings_over_their_memory", long_string.Zip(), Reason::kTooLarge,
           "shared strings need more than 2048 bytes of memory", string_budget},
          {"parts_over_the_total", both.Zip(), Reason::kTooLarge,
           "parts inflate to more than 1000000 bytes", total},
          {"truncated_zip", ok.Zip().substr(0, 200), Reason::kDamaged, "zip"},
      });
  return cases;
}

TEST(RefusalTest, UnreadableOrHostileWorkbooksAreRefusedWithTheReason) {
  std::vector<RefusalCase> cases = XlsCases();
  for (RefusalCase& c : XlsxCases()) cases.push_back(std::move(c));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    int rows = 0;
    try {
      ReadFirstWorksheetFromMemory(
          c.bytes, "test.bin", [&](int64_t, const std::vector<std::string>&) { return ++rows > 0; },
          c.limits);
      ADD_FAILURE() << "read";
    } catch (const WorkbookError& e) {
      EXPECT_EQ(e.reason(), c.reason) << e.description();
      EXPECT_NE(e.description().find(c.words), std::string::npos) << e.description();
      EXPECT_EQ(e.description().rfind("\"test.bin\" cannot be read: ", 0), 0u) << e.description();
      EXPECT_EQ(e.number(), kErrWorkbookUnreadable);
    }
    if (c.reason == Reason::kTooLarge) EXPECT_EQ(rows, 0);
  }
}

}  // namespace
}  // namespace sorvane
