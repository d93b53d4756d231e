#include "import/other_sheets.h"

#include <algorithm>
#include <exception>
#include <set>

#include "import/import_workbook.h"
#include "import/readers/workbook_reader.h"

namespace sorvane {

std::optional<FieldNamesPlace> FindFieldNames(const SheetOrigin& origin,
                                              const std::vector<std::string>& missing,
                                              const std::function<bool()>& keep_going) {
  constexpr int kSheetsLooked = 32;
  constexpr int kRowsLooked = 20;  // a title and a few lines of notes
  if (missing.empty() || origin.path.empty()) return std::nullopt;
  const auto names_all = [&](const std::vector<std::string>& cells) {
    std::set<std::string> names;
    for (std::string cell : cells) {
      std::string name = MapFieldName(cell);
      if (!name.empty()) names.insert(std::move(name));
    }
    return std::all_of(missing.begin(), missing.end(),
                       [&](const std::string& field) { return names.count(field) > 0; });
  };
  for (int k = 0; k <= kSheetsLooked; ++k) {
    ReadOptions options;
    options.sheet = k;
    options.password = origin.password.value_or("");
    // A sheet that declares its range is read no further than the rows looked at.
    options.may_start_over = true;
    bool stopped = false;
    options.keep_going = [&] {
      stopped = keep_going && !keep_going();
      return !stopped;
    };
    FieldNamesPlace found;
    int rows = 0;
    try {
      ReadWorkbook(
          origin.path,
          [&](int64_t row, const std::vector<std::string>& cells, const RowFormats&) {
            if (k == 0 && row <= origin.header_row) return true;
            if (names_all(cells)) {
              found.row = row;
              return false;
            }
            return ++rows < kRowsLooked;
          },
          options,
          [&](const SheetShape& shape) {
            found = {k, shape.sheet_name, 0};  // told again: the rows start over
            rows = 0;
          });
    } catch (const std::exception&) {
      return std::nullopt;  // no further worksheet, or none that can be read
    }
    if (stopped) return std::nullopt;
    if (found.row > 0) return found;
  }
  return std::nullopt;
}

}  // namespace sorvane
