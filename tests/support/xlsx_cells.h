// The cells of every sheet of an .xlsx file as plain text, for comparing a
// written workbook with a committed copy (the file's bytes carry its save time).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace sorvane::testing {

// One block per sheet in workbook order: "[name]" on its own line, then one line
// per row that holds text (blank cells, which keep only a format, left out), "<row>" and the row's
// cells separated by tabs (a tab, a line break and a backslash inside a cell written as \t, \n and
// \\). Throws std::runtime_error when a part cannot be read.
std::string XlsxCellsText(const std::filesystem::path& file);

// One part of the package as it is stored ("xl/styles.xml"); throws
// std::runtime_error when the file or the part cannot be read.
std::string XlsxPart(const std::filesystem::path& file, const std::string& part);

// Every element of `xml` that starts with `open_prefix` ("<c "), up to `close`
// ("</c>"), or its whole tag when it is empty ("<c r=\"A1\"/>").
std::vector<std::string_view> Elements(std::string_view xml, std::string_view open_prefix,
                                       std::string_view close);
// An attribute of an element's tag, and the text after its tag, entities decoded.
std::string Attribute(std::string_view element, std::string_view name);
std::string Content(std::string_view element);

}  // namespace sorvane::testing
