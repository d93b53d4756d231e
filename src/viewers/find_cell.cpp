#include "viewers/find_cell.h"

#include <string>

#include "core/text.h"

namespace sorvane {
namespace {}  // namespace

std::optional<CellAt> FindCell(const RecordSet& rows, std::string_view text, CellAt from,
                               bool backward, bool from_too) {
  const int64_t row_count = rows.RecordCount();
  const auto columns = static_cast<int64_t>(rows.FieldCount());
  const int64_t cells = row_count * columns;
  if (text.empty() || cells == 0) return std::nullopt;
  const std::string folded = UpperCase(text);

  const bool inside = from.row >= 0 && from.row < row_count && from.column < rows.FieldCount();
  // Cells are numbered in reading order; a start outside stands just before
  // the first cell (just after the last, backward).
  const int64_t start =
      inside ? from.row * columns + static_cast<int64_t>(from.column) : (backward ? cells : -1);
  const int64_t step = backward ? -1 : 1;
  std::string shown;  // reused: no string made per cell
  for (int64_t k = (from_too && inside) ? 0 : 1; k <= cells; ++k) {
    const int64_t at = ((start + step * k) % cells + cells) % cells;
    const CellAt cell{at / columns, static_cast<size_t>(at % columns)};
    const std::string_view cell_text = rows.TextAt(cell.row, cell.column);
    if (!cell_text.empty()) {
      shown.assign(cell_text);
    } else {  // a number, a date, or nothing: as shown
      const Value v = rows.At(cell.row, cell.column);
      if (v.IsMissing() || v.kind() == Value::Kind::kText) continue;
      shown = v.ToDisplay();
    }
    UpperCaseInPlace(shown);
    if (shown.find(folded) != std::string::npos) return cell;
  }
  return std::nullopt;
}

}  // namespace sorvane
