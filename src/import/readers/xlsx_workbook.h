// What the first worksheet of an .xlsx package needs from the rest of it: where
// that sheet's part is (through the package and workbook relationships), the
// date system, which cell styles show dates, and the shared strings. An Excel
// binary workbook (.xlsb) is the same package with record parts in place of
// XML ones, and answers the same.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "import/readers/number_format.h"
#include "import/readers/string_table.h"
#include "import/readers/zip_package.h"

namespace sorvane::readers {

// Shared strings in one buffer (a string table can hold millions of strings).
using SharedStrings = StringTable;

struct XlsxWorkbook {
  std::string sheet_name;
  std::string sheet_part;  // normalised part name
  bool date1904 = false;
  std::vector<bool> style_is_date;  // by cellXfs index
  StyleFormats styles;              // by cellXfs index
  SharedStrings strings;
  bool binary = false;  // the parts are records (.xlsb), not XML
  bool IsDate(uint64_t style) const { return style < style_is_date.size() && style_is_date[style]; }
};

// Resolves a relationship target against the part that holds the relationship
// ("xl/workbook.xml" + "worksheets/sheet1.xml" -> "xl/worksheets/sheet1.xml";
// absolute targets start at the package root).
std::string ResolveTarget(std::string_view source_part, std::string_view target);

// Finds the first worksheet (the one after `sheet` others); with `values`,
// also reads styles and shared strings. Fails with kNotSpreadsheet when the
// package holds no workbook and kNoWorksheet when the workbook lists no
// (further) worksheet.
XlsxWorkbook OpenXlsxWorkbook(ZipPackage& zip, bool values, int sheet = 0);

}  // namespace sorvane::readers
