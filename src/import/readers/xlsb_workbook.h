// What an Excel binary workbook (.xlsb) says outside its worksheets, read from
// its record parts: the worksheets its workbook part lists and its date system,
// the number formats of its cell styles, and its shared strings. The package
// around them (relationships, which part is which) is the one of .xlsx.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "import/readers/string_table.h"
#include "import/readers/zip_package.h"

namespace sorvane::readers {

// A sheet as a workbook part lists it: its name and the relationship that
// leads to its part (which says whether it is a worksheet or a chart).
struct ListedSheet {
  std::string name, rel_id;
};

struct BookListing {
  bool date1904 = false;
  std::vector<ListedSheet> sheets;
};

BookListing ReadXlsbBook(ZipPackage& zip, std::string_view part);

// The custom number format codes by id, and each cell style's format id in
// the order the cells refer to them.
struct CellStyleFormats {
  std::unordered_map<int, std::string> custom;
  std::vector<int> style_format;
};

CellStyleFormats ReadXlsbStyles(ZipPackage& zip, std::string_view part);

// Appends the shared strings, in their order, to `out` (whose limits hold).
void ReadXlsbStrings(ZipPackage& zip, std::string_view part, StringTable& out);

}  // namespace sorvane::readers
