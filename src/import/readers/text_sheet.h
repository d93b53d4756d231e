// A table exported as text under a workbook's name, as laboratory systems write
// one "for Excel": values separated by tabs, commas or semicolons, one row a
// line, in UTF-16 with its byte-order mark, UTF-8, or Windows Western. It is
// read as the one sheet a spreadsheet program makes of it: fields in double
// quotes may hold the separator, line breaks and doubled quotes; a number
// written as a spreadsheet writes its general form is a number, anything else
// the text it is (dates and numbers written otherwise are the import's to
// convert, with findings where they do not).
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "import/readers/workbook_reader.h"

namespace sorvane::readers {

// `bytes`: the whole file, taken over; `sheet_name`: the file's name without its
// extension, as a spreadsheet program names the sheet. Fails with a
// ReadFailure: kNotSpreadsheet when the first lines separate no values,
// kTooLarge past the cell limit.
SheetShape ReadTextSheet(std::string bytes, const std::string& sheet_name,
                         const ShownRowCallback* on_row, const ReadLimits& limits,
                         const ShapeCallback& on_shape,
                         const std::function<bool()>& keep_going = {});

}  // namespace sorvane::readers
