// OpenDocument spreadsheets as LibreOffice writes them: runs of repeated rows
// and cells, blanks written as elements, comments inside cells, a sheet's
// worth of empty rows after the data; and the ones that must be refused.
// (Their number formats are compared with LibreOffice's own texts in
// cell_text_test.cpp, and a facility's workbook saved as .ods is reviewed in
// annotate_test.cpp.)
#include <gtest/gtest.h>

#include "import/readers/workbook_reader.h"
#include "sheet_rows.h"
#include "test_files.h"

namespace sorvane::testing {
namespace {

using Rows = std::vector<std::vector<std::string>>;

std::string Ods(const std::string& tables, const std::string& settings = "") {
  const std::string content =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
      "<office:document-content "
      "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
      "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
      "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
      "xmlns:calcext=\"urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0\">"
      "<office:body><office:spreadsheet>" +
      settings + tables + "</office:spreadsheet></office:body></office:document-content>";
  return ZipFile(
      {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"}, {"content.xml", content}});
}

std::string Text(const std::string& p) {
  return "<table:table-cell office:value-type=\"string\"><text:p>" + p +
         "</text:p></table:table-cell>";
}
std::string Value(const std::string& type, const std::string& attrs) {
  return "<table:table-cell office:value-type=\"" + type + "\" " + attrs + "/>";
}
std::string Row(const std::string& cells, const std::string& attrs = "") {
  return "<table:table-row " + attrs + ">" + cells + "</table:table-row>";
}
// Blank rows and cells to the end of the grid, as LibreOffice ends a sheet.
const std::string kToTheEnd = Row("<table:table-cell table:number-columns-repeated=\"16384\"/>",
                                  "table:number-rows-repeated=\"1048000\"");

std::string Sheet(const std::string& rows, const std::string& name = "Data") {
  return "<table:table table:name=\"" + name + "\">" + rows + "</table:table>";
}

TEST(OdsReaderTest, CellsReadAsTheSpreadsheetShowsThem) {
  const std::string texts = Row(
      // A comment's paragraphs are no part of the cell's text.
      "<table:table-cell office:value-type=\"string\"><office:annotation><text:p>a note"
      "</text:p></office:annotation><text:p><text:s/>a</text:p></table:table-cell>" +
      Text("a <text:s text:c=\"2\"/>b") +
      "<table:table-cell office:value-type=\"string\"><text:p>x</text:p><text:p>y</text:p>"
      "</table:table-cell>" +
      Text("t<text:tab/>z<text:line-break/><text:span>bold</text:span>") +
      Text("\n   spread \n  over lines") +
      "<table:table-cell office:value-type=\"string\" office:string-value=\"own\">"
      "<text:p>shown</text:p></table:table-cell>");
  const std::string values = Row(
      Value("float", "office:value=\"1.5\"") + Value("date", "office:date-value=\"2005-06-13\"") +
      Value("date", "office:date-value=\"2005-06-13T10:30:00\"") +
      Value("boolean", "office:boolean-value=\"true\"") +
      // A formula's truth value, as LibreOffice stores it.
      "<table:table-cell table:formula=\"of:=[.A1]&lt;3\" office:value-type=\"float\" "
      "office:value=\"0\"><text:p>FALSE</text:p></table:table-cell>" +
      "<table:table-cell office:value-type=\"float\" office:value=\"0\" "
      "calcext:value-type=\"error\"><text:p>#DIV/0!</text:p></table:table-cell>" +
      Value("percentage", "office:value=\"0.125\"") +
      // An error as LibreOffice now writes it: a string, empty but for its paragraph.
      "<table:table-cell office:value-type=\"string\" office:string-value=\"\" "
      "calcext:value-type=\"error\"><text:p>#NAME?</text:p></table:table-cell>");
  // Equal rows and cells written once with their count; a merged cell's
  // covered neighbours keep their columns.
  const std::string repeated =
      Row(Text("dup") +
              "<table:table-cell table:number-columns-repeated=\"2\" "
              "office:value-type=\"float\" office:value=\"7\"/>",
          "table:number-rows-repeated=\"3\"") +
      Row("<table:table-cell table:number-columns-repeated=\"10\"/>",
          "table:number-rows-repeated=\"2\"") +
      Row(Text("merged") + "<table:covered-table-cell table:number-columns-repeated=\"2\"/>" +
          Text("after"));
  const std::string ods =
      Ods(Sheet(texts + values + repeated + kToTheEnd) + Sheet(Row(Text("second")), "Other"));
  const SheetRows read = ReadAllRowsFromMemory(ods);
  // A sheet too large to keep from the read for its shape is read again: the same rows.
  ReadLimits read_twice;
  read_twice.held_sheet_bytes = 0;
  EXPECT_EQ(Trimmed(ReadAllRowsFromMemory(ods, read_twice)), Trimmed(read));
  EXPECT_EQ(read.shape.sheet_name, "Data");
  EXPECT_EQ(read.shape.format, "ods");
  // The blanks to the end of the grid widen nothing.
  EXPECT_EQ(read.shape.last_row, 8);
  EXPECT_EQ(read.shape.columns, 8);
  EXPECT_EQ(Trimmed(read), (Rows{{" a", "a   b", "x\ny", "t\tz\nbold", "spread over lines", "own"},
                                 {"1.5", "6/13/2005", "6/13/2005 10:30:00", "TRUE", "FALSE",
                                  "#DIV/0!", "0.125", "#NAME?"},
                                 {"dup", "7", "7"},
                                 {"dup", "7", "7"},
                                 {"dup", "7", "7"},
                                 {},
                                 {},
                                 {"merged", "", "", "after"}}));

  // A later sheet when asked.
  ReadOptions second;
  second.sheet = 1;
  std::vector<std::string> first_row;
  const SheetShape other = ReadWorkbookFromMemory(
      ods, "t.ods",
      [&](int64_t, const std::vector<std::string>& cells, const RowFormats&) {
        first_row = cells;
        return true;
      },
      second);
  EXPECT_EQ(other.sheet_name, "Other");
  EXPECT_EQ(first_row, std::vector<std::string>{"second"});

  // Dates of a document counting from 1904 are the same dates.
  const SheetRows from1904 = ReadAllRowsFromMemory(
      Ods(Sheet(Row(Value("date", "office:date-value=\"1904-01-02\""))),
          "<table:calculation-settings><table:null-date table:date-value=\"1904-01-01\"/>"
          "</table:calculation-settings>"));
  EXPECT_EQ(Trimmed(from1904), (Rows{{"1/2/1904"}}));
}

TEST(OdsReaderTest, WhatAFewBytesCouldMakeHugeIsRefused) {
  std::string blanks, row;
  for (int i = 0; i < 300; ++i) blanks += "<text:s text:c=\"65536\"/>";
  // Cells within their bound, a row past its own.
  for (int cell = 0; cell < 5; ++cell) row += Text(blanks.substr(0, 220 * 24));
  const struct {
    const char* name;
    std::string ods;
    WorkbookError::Reason reason;
    const char* words;
    ReadLimits limits;
  } cases[] = {
      {"blanks_past_16_mb",
       Ods(Sheet(Row(Text(blanks)))),
       WorkbookError::Reason::kTooLarge,
       "more than 16 MB of text",
       {}},
      {"row_past_64_mb",
       Ods(Sheet(Row(row))),
       WorkbookError::Reason::kTooLarge,
       "a row holds more than 64 MB of text",
       {}},
      {"repeated_cells_over_the_limit",
       Ods(Sheet(Row("<table:table-cell table:number-columns-repeated=\"100\" "
                     "office:value-type=\"float\" office:value=\"1\"/>",
                     "table:number-rows-repeated=\"100\""))),
       WorkbookError::Reason::kTooLarge, "more than 5000 cells", ReadLimits{.max_cells = 5000}},
      // Four times the bound of an .xlsx part, for a format four times as wordy.
      {"content_past_its_bound", Ods(Sheet(Row(Text(std::string(20000, 'x'))))),
       WorkbookError::Reason::kTooLarge, "inflates to more than 16384 bytes",
       ReadLimits{.max_part_bytes = 4096}},
      {"a_row_past_the_grid",
       Ods(Sheet(Row(Text("x"), "table:number-rows-repeated=\"1048576\"") + Row(Text("y")))),
       WorkbookError::Reason::kDamaged,
       "beyond the last row",
       {}},
  };
  EXPECT_EQ(Trimmed(ReadAllRowsFromMemory(Ods(Sheet(Row(Text(std::string(10000, 'x'))))),
                                          ReadLimits{.max_part_bytes = 4096})),
            (Rows{{std::string(10000, 'x')}}));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      ReadAllRowsFromMemory(c.ods, c.limits);
      ADD_FAILURE() << "read";
    } catch (const WorkbookError& e) {
      EXPECT_EQ(e.reason(), c.reason) << e.description();
      EXPECT_NE(e.description().find(c.words), std::string::npos) << e.description();
    }
  }
}

}  // namespace
}  // namespace sorvane::testing
