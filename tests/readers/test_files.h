// Workbooks built byte by byte for the readers' tests, so each test can break
// exactly one thing: BIFF8 record streams wrapped in a compound file (written
// with libgsf), and .xlsx packages zipped with minizip.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "support/zip_file.h"

namespace sorvane::testing {

// Little-endian field encoders for record bodies.
std::string U8(uint8_t v);
std::string U16(uint16_t v);
std::string U32(uint32_t v);
std::string F64(double v);
// A BIFF8 string of 8-bit characters with a 2-byte length.
std::string BiffString(const std::string& text);
// A cell record's first six bytes.
std::string CellHead(uint16_t row, uint16_t col, uint16_t xf);

// One BIFF8 workbook with a single worksheet (optionally after a chart sheet);
// version 0x0500 writes its sheet list as Excel 5/95 does.
class XlsBuilder {
 public:
  uint16_t version = 0x0600;
  bool chart_first = false;   // a chart sheet before the worksheet
  bool no_worksheet = false;  // the chart sheet alone

  // Records of the workbook globals, written in order before the sheet list.
  XlsBuilder& Global(uint16_t id, std::string body);
  // Records of the worksheet, written in order between its BOF and EOF.
  XlsBuilder& Sheet(uint16_t id, std::string body);

  std::string Stream() const;
  // The stream in a compound file, under `stream_name`.
  std::string File(const std::string& stream_name = "Workbook") const;

 private:
  std::vector<std::pair<uint16_t, std::string>> globals_, sheet_;
};

// A compound file holding the given streams.
std::string OleFile(const std::vector<std::pair<std::string, std::string>>& streams);

// The parts of a plain .xlsx whose first sheet holds `sheet_data` (the inside
// of <sheetData>), with the given shared strings (<si> elements) and cell
// formats (<cellXfs> inside and <numFmts> inside).
struct XlsxParts {
  std::string sheet_data;
  std::string shared_strings;  // inside <sst>
  std::string num_fmts;        // inside <numFmts>
  std::string cell_xfs = "<xf numFmtId=\"0\"/>";
  bool date1904 = false;
  std::string dimension = "<dimension ref=\"A1\"/>";  // the range the sheet claims
  std::vector<std::pair<std::string, std::string>> Parts() const;
  std::string Zip() const { return ZipFile(Parts()); }
};

// An Excel binary workbook (.xlsb) whose sheet holds `sheet_data`, the
// records between the sheet data's begin and end (XlsbRecord, XlsbCell).
std::string XlsbRecord(uint32_t id, const std::string& body);
std::string XlsbString(const std::u16string& text);  // four bytes of count, then UTF-16
std::string XlsbRow(uint32_t row);                   // a row's header, row 0 the first
// A cell record of column `col` in cell style `style`, then its value; a
// short record (ids 12 to 18) leaves the column out.
std::string XlsbCell(uint32_t id, uint32_t col, uint32_t style, const std::string& value);
struct XlsbParts {
  std::string sheet_data;
  std::vector<std::u16string> shared_strings;
  std::vector<std::pair<uint16_t, std::u16string>> formats;  // custom number formats
  std::vector<uint16_t> cell_styles = {0};                   // each cell style's format id
  bool date1904 = false;
  std::string dimension;     // first row, last row, first and last column; none if empty
  bool chart_first = false;  // a chart sheet listed before the worksheet
  std::string second_sheet;  // the data of a second worksheet, "Second", if any
  std::vector<std::pair<std::string, std::string>> Parts() const;
  std::string Zip() const { return ZipFile(Parts()); }
};

}  // namespace sorvane::testing
