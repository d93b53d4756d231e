// Where a table's field names are when the worksheet imported lacks them. The
// import reads a workbook's first worksheet; a laboratory's file may open
// with a sheet of notes, and its data then stands on a later one. That sheet
// is named so the person can move it to the front.
#pragma once

#include <string>
#include <vector>

#include "state/sheet_places.h"

namespace sorvane {

// The name of the first later worksheet (of the first 32) of `origin`'s
// workbook whose first row names every field of `missing` (upper-cased and
// mapped as the import maps a header), or "" when none does or the workbook
// cannot be read again.
std::string SheetNamingFields(const SheetOrigin& origin, const std::vector<std::string>& missing);

}  // namespace sorvane
