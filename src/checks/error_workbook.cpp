#include "checks/error_workbook.h"

#include <algorithm>

#include "core/errors.h"
#include "core/text.h"

namespace sorvane {
namespace {

constexpr double kDefaultFontSize = 11;

const std::string& EmptyText() {
  static const std::string empty;
  return empty;
}

[[noreturn]] void Refuse(const std::string& what) { throw Error(kErrSpreadsheet, what); }

}  // namespace

double FittedWidth(const std::string& text, const CellFont& font) {
  const double size = font.size > 0 ? font.size : kDefaultFontSize;
  double width = static_cast<double>(Utf8Length(text)) * size / kDefaultFontSize;
  if (font.bold) width *= 1.1;
  return std::min(kMaxColumnWidth, width + 1);
}

void ErrorSheet::CheckCell(int row, int column) {
  if (row < 1 || row > kSheetRows || column < 1 || column > kSheetColumns) {
    Refuse("Application-defined or object-defined error (cell " + std::to_string(row) + ", " +
           std::to_string(column) + " is outside the sheet)");
  }
}

const std::string& ErrorSheet::Text(int row, int column) const {
  auto it = cells_.find({row, column});
  return it == cells_.end() ? EmptyText() : it->second.text;
}

void ErrorSheet::SetText(int row, int column, std::string text) {
  CheckCell(row, column);
  auto it = cells_.find({row, column});
  if (it == cells_.end()) {
    if (text.empty()) return;
    cells_[{row, column}] = Cell{std::move(text), CellFont{}};
  } else {
    it->second.text = std::move(text);
  }
}

void ErrorSheet::SetFont(int row, int column, const CellFont& font) {
  CheckCell(row, column);
  cells_[{row, column}].font = font;
}

void ErrorSheet::ClearContents() {
  for (auto it = cells_.begin(); it != cells_.end();) {
    if (it->second.font == CellFont{}) {
      it = cells_.erase(it);
    } else {
      it->second.text.clear();
      ++it;
    }
  }
}

bool ErrorSheet::RegionAroundA1HasMoreCells() const {
  return !IsEmpty(2, 1) || !IsEmpty(1, 2) || !IsEmpty(2, 2);
}

int ErrorSheet::EndDown(int row, int column) const {
  if (row < kSheetRows && !IsEmpty(row + 1, column)) {
    while (row < kSheetRows && !IsEmpty(row + 1, column)) ++row;
    return row;
  }
  // Jump over the gap to the next filled cell of the column, if any.
  int next = kSheetRows;
  for (const auto& [key, cell] : cells_) {
    if (key.second == column && key.first > row && !cell.text.empty()) {
      next = std::min(next, key.first);
    }
  }
  return next;
}

void ErrorSheet::AutoFit(int first, int last) {
  std::map<int, double> fitted;
  for (const auto& [key, cell] : cells_) {
    const int column = key.second;
    if (column < first || column > last || cell.text.empty()) continue;
    double& w = fitted[column];
    w = std::max(w, FittedWidth(cell.text, cell.font));
  }
  for (int column = first; column <= last; ++column) {
    auto it = fitted.find(column);
    if (it == fitted.end()) {
      widths_.erase(column);
    } else {
      widths_[column] = it->second;
    }
  }
}

double ErrorSheet::ColumnWidth(int column) const {
  auto it = widths_.find(column);
  return it == widths_.end() ? kDefaultColumnWidth : it->second;
}

void ErrorSheet::SetColumnWidth(int column, double width) {
  CheckCell(1, column);
  if (width < 0 || width > kMaxColumnWidth) Refuse("Unable to set the ColumnWidth property");
  widths_[column] = width;
}

ErrorSheet& ErrorWorkbook::Sheet(int index) {
  if (index < 1 || index > SheetCount()) throw Error(9, "Subscript out of range");
  return sheets_[static_cast<size_t>(index - 1)];
}

const ErrorSheet& ErrorWorkbook::Sheet(int index) const {
  if (index < 1 || index > SheetCount()) throw Error(9, "Subscript out of range");
  return sheets_[static_cast<size_t>(index - 1)];
}

int ErrorWorkbook::AddSheet(const std::string& name) {
  sheets_.emplace_back(name);
  return SheetCount();
}

void ErrorWorkbook::Activate(int index) {
  Sheet(index);
  active_ = index;
}

}  // namespace sorvane
