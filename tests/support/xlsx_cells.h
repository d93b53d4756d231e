// The cells of every sheet of an .xlsx file as plain text, for comparing a
// written workbook with a committed copy (the file's bytes carry its save time).
#pragma once

#include <filesystem>
#include <string>

namespace sorvane::testing {

// One block per sheet in workbook order: "[name]" on its own line, then one line
// per row that holds text (blank cells, which keep only a format, left out), "<row>" and the row's
// cells separated by tabs (a tab, a line break and a backslash inside a cell written as \t, \n and
// \\). Throws std::runtime_error when a part cannot be read.
std::string XlsxCellsText(const std::filesystem::path& file);

// One part of the package as it is stored ("xl/styles.xml"); throws
// std::runtime_error when the file or the part cannot be read.
std::string XlsxPart(const std::filesystem::path& file, const std::string& part);

}  // namespace sorvane::testing
