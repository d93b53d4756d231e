// Small .xlsx workbooks for tests, written by libxlsxwriter (a real spreadsheet
// writer, so the readers see what a contractor's file holds). Each row is a list
// of cells; a text cell that is empty is left blank, a number cell is stored as a
// number. The first sheet is the one written.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace sorvane::testing {

struct XlsxCell {
  XlsxCell(const char* t) : value(std::string(t)) {}  // NOLINT: implicit on purpose
  XlsxCell(std::string t) : value(std::move(t)) {}    // NOLINT
  XlsxCell(double d) : value(d) {}                    // NOLINT
  XlsxCell(int i) : value(static_cast<double>(i)) {}  // NOLINT
  // A number shown through the number format `format` ("0000000").
  XlsxCell(double d, std::string format) : value(d), number_format(std::move(format)) {}
  std::variant<std::string, double> value;
  std::string number_format;
};

using XlsxRows = std::vector<std::vector<XlsxCell>>;

// Writes `rows` into the first worksheet of a new workbook at `file` (replacing
// it), named `sheets[0]` when given; further names add empty worksheets after
// it. Throws std::runtime_error on failure.
void WriteXlsx(const std::filesystem::path& file, const XlsxRows& rows,
               const std::vector<std::string>& sheets = {});
// The same with rows on every sheet: name and rows, in order.
void WriteXlsxSheets(const std::filesystem::path& file,
                     const std::vector<std::pair<std::string, XlsxRows>>& sheets);

}  // namespace sorvane::testing
