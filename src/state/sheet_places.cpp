#include "state/sheet_places.h"

#include <algorithm>

#include "core/text.h"

namespace sorvane {

std::string ColumnLetters(int64_t column) {
  std::string letters;
  for (int64_t n = column + 1; n > 0; n = (n - 1) / 26) {
    letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
  }
  return letters;
}

const std::string& PlaceName::str() const {
  static const std::string none;
  return name_ ? *name_ : none;
}

std::span<const SheetPlace> PlaceLists::operator[](size_t row) const {
  const size_t begin = row == 0 ? 0 : ends_[row - 1];
  return std::span<const SheetPlace>(places_.data() + begin, ends_[row] - begin);
}

const std::vector<std::string>& CellColumns::list() const {
  static const std::vector<std::string> none;
  return letters_ ? *letters_ : none;
}

CellColumns CellColumns::Of(std::vector<int32_t> columns) {
  std::sort(columns.begin(), columns.end());
  columns.erase(std::unique(columns.begin(), columns.end()), columns.end());
  std::vector<std::string> letters;
  for (int32_t c : columns) letters.push_back(ColumnLetters(c));
  return CellColumns(std::move(letters));
}

SheetPlace SheetOrigin::PlaceOf(const PlaceName& workbook, const PlaceName& sheet, int64_t record,
                                CellColumns cells) const {
  SheetPlace place{workbook, sheet, 0, std::move(cells)};
  if (record >= 0 && static_cast<size_t>(record) < record_rows.size()) {
    place.row = record_rows[static_cast<size_t>(record)];
  }
  return place;
}

SheetPlace SheetOrigin::PlaceOf(const PlaceName& workbook, const PlaceName& sheet, int64_t record,
                                const std::vector<int32_t>& field_indexes) const {
  return PlaceOf(workbook, sheet, record, CellColumns::Of(field_indexes));
}

std::string DescribePlace(const SheetPlace& place) {
  std::string text =
      place.workbook.str() + ", " + place.sheet.str() + ", row " + std::to_string(place.row);
  std::string cells;
  for (const std::string& c : place.cells) cells += (cells.empty() ? "" : ", ") + c;
  if (!cells.empty()) text += (place.cells.size() == 1 ? ", cell " : ", cells ") + cells;
  return text;
}

int SheetOrigin::FieldIndex(std::string_view name) const {
  for (size_t i = 0; i < fields.size(); ++i) {
    if (EqualsNoCase(fields[i], name)) return static_cast<int>(i);
  }
  return -1;
}

std::optional<int32_t> TempRowSources::RecordOf(int64_t rowid) const {
  const int64_t at = rowid - first_rowid;
  if (at < 0 || at >= rows) return std::nullopt;
  if (!companion) return static_cast<int32_t>(at);
  if (static_cast<size_t>(at) >= records.size()) return std::nullopt;
  return records[static_cast<size_t>(at)];
}

std::string TempRowSources::FieldOf(std::string_view column, int64_t rowid) const {
  if (companion && EqualsNoCase(column, "VALUE")) {
    const int64_t at = rowid - first_rowid;
    if (at < 0 || static_cast<size_t>(at) >= parameters.size()) return "";
    const size_t p = parameters[static_cast<size_t>(at)];
    return p < parameter_fields.size() ? parameter_fields[p] : "";
  }
  for (const auto& [name, field] : column_fields) {
    if (EqualsNoCase(name, column)) return field;
  }
  return "";
}

}  // namespace sorvane
