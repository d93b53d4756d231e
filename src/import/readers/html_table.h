// A web page under a workbook's name, as reporting tools and laboratory
// portals export a table "for Excel": the rows of its tables, one after
// another, read as the sheet a spreadsheet program makes of the page. Cells
// spanning columns or rows take their places; a cell's text is what a browser
// shows of it (blanks run together, a line break where the page breaks the
// line); a number written in its general form is a number, anything else the
// text it is. The page is parsed by libxml2's forgiving HTML parser as a
// stream of elements, never built into a tree; it fetches nothing.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "import/readers/workbook_reader.h"

namespace sorvane::readers {

// True when `text` (a whole file of markup) holds an HTML table.
bool HasHtmlTable(std::string_view text);

// `sheet_name`: the file's name without its extension. Fails with a
// ReadFailure (kNotSpreadsheet when the page holds no table row, kTooLarge
// past the cell limit, kDamaged past the grid).
SheetShape ReadHtmlTables(std::string_view html, const std::string& sheet_name,
                          const ShownRowCallback* on_row, const ReadLimits& limits,
                          const ShapeCallback& on_shape,
                          const std::function<bool()>& keep_going = {});

}  // namespace sorvane::readers
