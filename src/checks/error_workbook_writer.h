// Saves the error workbook as an .xlsx file: every sheet in order with its
// name, every cell as text (a value that begins with "=" stays a text, never a
// formula), the fonts (bold, size, colour) and the column widths; the window
// caption becomes the document's title. The file is built beside its final
// name and moved into place, so a failed save leaves an earlier file intact.
#pragma once

#include <filesystem>
#include <string>

#include "checks/error_workbook.h"

namespace sorvane {

// Throws FileError (75, with the path and the writer's reason) when the file
// cannot be written.
void SaveErrorWorkbook(const ErrorWorkbook& book, const std::string& title,
                       const std::filesystem::path& file);

}  // namespace sorvane
