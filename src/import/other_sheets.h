// Where a table's field names are when the import did not find them. The
// import takes the first row of a workbook's first worksheet as the field
// names; a laboratory's file may open with a title above them, or with a
// sheet of notes before the data. The row and sheet that do hold them are
// found, so the person is told what to move.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "state/sheet_places.h"

namespace sorvane {

struct FieldNamesPlace {
  int sheet = 0;  // 0: the worksheet imported; 1: the one after it, ...
  std::string sheet_name;
  int64_t row = 0;  // as the spreadsheet numbers rows
};

// The first row among the first rows of `origin`'s worksheets (below the
// header the import took, on the worksheet imported; of the first 32
// worksheets) that names every field of `missing` (upper-cased and mapped as
// the import maps a header); nothing when none does or the workbook cannot be
// read again. `keep_going` is asked now and then while a sheet is read for
// its shape (an .ods sheet, whole): false ends the search, with nothing found.
std::optional<FieldNamesPlace> FindFieldNames(const SheetOrigin& origin,
                                              const std::vector<std::string>& missing,
                                              const std::function<bool()>& keep_going = {});

}  // namespace sorvane
