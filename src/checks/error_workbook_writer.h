// Saves the error workbook as an .xlsx file: every sheet in order with its
// name, every cell as text (a value that begins with "=" stays a text, never a
// formula), the fonts (bold, size, colour) and the column widths; the window
// caption becomes the document's title. The file is built beside its final
// name and moved into place, so a failed save leaves an earlier file intact.
// Each saved file carries its save time (workbook_stamp.h).
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "checks/error_workbook.h"

namespace sorvane {

// Throws FileError (75, with the path and the writer's reason) when the file
// cannot be written. `stop`, when given, is asked row by row: once it says
// yes, nothing is written and false comes back.
bool SaveErrorWorkbook(const ErrorWorkbook& book, const std::string& title,
                       const std::filesystem::path& file,
                       const std::function<bool()>& stop = nullptr);

}  // namespace sorvane
