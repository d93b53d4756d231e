#include "import/other_sheets.h"

#include <algorithm>
#include <exception>
#include <set>

#include "import/import_workbook.h"
#include "import/readers/workbook_reader.h"

namespace sorvane {

std::string SheetNamingFields(const SheetOrigin& origin, const std::vector<std::string>& missing) {
  constexpr int kSheetsLooked = 32;
  if (missing.empty() || origin.path.empty()) return {};
  for (int k = 1; k <= kSheetsLooked; ++k) {
    ReadOptions options;
    options.sheet = k;
    options.password = origin.password.value_or("");
    // A sheet that declares its range is read no further than its first row.
    options.may_start_over = true;
    std::string sheet;
    std::set<std::string> names;
    try {
      ReadWorkbook(
          origin.path,
          [&](int64_t, const std::vector<std::string>& cells, const RowFormats&) {
            names.clear();
            for (std::string cell : cells) {
              std::string name = MapFieldName(cell);
              if (!name.empty()) names.insert(std::move(name));
            }
            return false;  // the first row is the header
          },
          options, [&](const SheetShape& shape) { sheet = shape.sheet_name; });
    } catch (const std::exception&) {
      return {};  // no further worksheet, or none that can be read
    }
    if (std::all_of(missing.begin(), missing.end(),
                    [&](const std::string& field) { return names.count(field) > 0; }))
      return sheet;
  }
  return {};
}

}  // namespace sorvane
