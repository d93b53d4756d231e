#include "sheet_rows.h"

#include <gtest/gtest.h>

#include "import/readers/read_ahead.h"

namespace sorvane::testing {
namespace {

RowCallback Collect(SheetRows& out) {
  return [&out](int64_t number, const std::vector<std::string>& cells) {
    out.numbers.push_back(number);
    out.rows.push_back(cells);
    return true;
  };
}

}  // namespace

SheetRows ReadAllRows(const std::filesystem::path& file, const ReadLimits& limits) {
  SheetRows out;
  out.shape = ReadFirstWorksheet(file, Collect(out), limits);
  return out;
}

SheetRows ReadAllRowsFromMemory(const std::string& bytes, const ReadLimits& limits) {
  SheetRows out;
  out.shape = ReadFirstWorksheetFromMemory(bytes, "test.bin", Collect(out), limits);
  return out;
}

std::vector<std::vector<std::string>> ReadStartingOver(const std::string& bytes,
                                                       const std::string& name, int& shapes,
                                                       bool ahead) {
  std::vector<std::vector<std::string>> rows;
  ReadOptions options;
  options.may_start_over = true;
  const SheetRead read = [&](const ShownRowCallback& on_row, const ShapeCallback& on_shape) {
    return ReadWorkbookFromMemory(bytes, name, on_row, options, on_shape);
  };
  const ShownRowCallback on_row = [&](int64_t, const std::vector<std::string>& cells,
                                      const RowFormats&) {
    rows.push_back(cells);
    return true;
  };
  const ShapeCallback on_shape = [&](const SheetShape&) {
    ++shapes;
    rows.clear();
  };
  ahead ? ReadAhead(read, on_row, on_shape) : read(on_row, on_shape);
  return rows;
}

std::vector<std::vector<std::string>> Trimmed(const SheetRows& rows) {
  std::vector<std::vector<std::string>> out = rows.rows;
  for (auto& r : out) {
    while (!r.empty() && r.back().empty()) r.pop_back();
  }
  return out;
}

}  // namespace sorvane::testing
