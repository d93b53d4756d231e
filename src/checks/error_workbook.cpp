#include "checks/error_workbook.h"

#include <algorithm>

#include "core/errors.h"
#include "core/text.h"

namespace sorvane {
namespace {

constexpr double kDefaultFontSize = 11;
constexpr int kFittedLast = 26;  // columns 2..26 are fitted to their texts

// The text a record's value shows in the sheet.
std::string CellText(const RecordSet& records, int64_t row, size_t field) {
  return records.At(row, field).ToDisplay() + " ";
}

}  // namespace

double FittedWidth(std::string_view text, const CellFont& font) {
  const double size = font.size > 0 ? font.size : kDefaultFontSize;
  double width = static_cast<double>(Utf8Length(text)) * size / kDefaultFontSize;
  if (font.bold) width *= 1.1;
  return std::min(kMaxColumnWidth, width + 1);
}

void ErrorSheet::ClearContents() {
  parts_.clear();
  rows_ = 0;
}

ErrorSheet::Part* ErrorSheet::PartAt(int64_t row) {
  int64_t first = 1;
  for (Part& p : parts_) {
    if (row < first + p.Rows()) return row == first && !p.records ? &p : nullptr;
    first += p.Rows();
  }
  return nullptr;
}

void ErrorSheet::SetText(int64_t row, std::string text) {
  if (Part* p = PartAt(row)) {
    p->text = std::move(text);
    return;
  }
  if (row != rows_ + 1) throw Error(1004, "Application-defined or object-defined error");
  parts_.push_back(Part{std::move(text), nullptr, 0, 0, {}});
  ++rows_;
}

void ErrorSheet::Append(int64_t row, const std::string& more) {
  Part* p = PartAt(row);
  if (p == nullptr) throw Error(1004, "Application-defined or object-defined error");
  p->text += more;
}

void ErrorSheet::SetFont(int64_t row, const CellFont& font) { fonts_[row] = font; }

void ErrorSheet::AddRecords(std::shared_ptr<const RecordSet> records, int64_t first,
                            int64_t count) {
  Part part{"", std::move(records), first, count, std::vector<double>(kFittedLast + 1, 0)};
  // Blocks only ever grow a sheet, so each one's widths are worked out once.
  const RecordSet& rs = *part.records;
  const size_t fields = std::min<size_t>(rs.FieldCount(), kFittedLast);
  for (size_t j = 1; j < fields; ++j) {
    double& w = part.fitted[j + 1];
    w = FittedWidth(rs.GetField(j).name, CellFont{});
    for (int64_t r = first; r < first + count; ++r) {
      w = std::max(w, FittedWidth(CellText(rs, r, j), CellFont{}));
    }
  }
  rows_ += count + 1;
  parts_.push_back(std::move(part));
}

void ErrorSheet::FitColumns() {
  for (int column = 2; column <= kFittedLast; ++column) {
    double w = 0;
    for (const Part& p : parts_) {
      if (p.records) w = std::max(w, p.fitted[static_cast<size_t>(column)]);
    }
    if (w == 0) {
      widths_.erase(column);
    } else {
      widths_[column] = w;
    }
  }
  widths_[1] = std::min(kMaxColumnWidth, 2 * ColumnWidth(2));
}

double ErrorSheet::ColumnWidth(int column) const {
  auto it = widths_.find(column);
  return it == widths_.end() ? kDefaultColumnWidth : it->second;
}

void ErrorSheet::ForEachRow(const RowVisitor& visit) const {
  static const CellFont kPlain;
  auto font = [&](int64_t row) -> const CellFont& {
    auto it = fonts_.find(row);
    return it == fonts_.end() ? kPlain : it->second;
  };
  std::vector<std::string> texts;
  std::vector<std::string_view> cells;
  int64_t row = 1;
  for (const Part& p : parts_) {
    if (!p.records) {
      cells.assign(1, p.text);
      visit(row, cells, font(row));
      ++row;
      continue;
    }
    const RecordSet& rs = *p.records;
    const size_t fields = rs.FieldCount();
    cells.clear();
    for (size_t j = 0; j < fields; ++j) cells.push_back(rs.GetField(j).name);
    visit(row, cells, font(row));
    ++row;
    texts.resize(fields);
    for (int64_t r = p.first; r < p.first + p.count; ++r, ++row) {
      for (size_t j = 0; j < fields; ++j) texts[j] = CellText(rs, r, j);
      cells.assign(texts.begin(), texts.end());
      visit(row, cells, font(row));
    }
  }
}

ErrorSheet& ErrorWorkbook::Sheet(int index) {
  if (index < 1 || index > SheetCount()) throw Error(9, "Subscript out of range");
  return *sheets_[static_cast<size_t>(index - 1)];
}

const ErrorSheet& ErrorWorkbook::Sheet(int index) const {
  if (index < 1 || index > SheetCount()) throw Error(9, "Subscript out of range");
  return *sheets_[static_cast<size_t>(index - 1)];
}

int ErrorWorkbook::FindSheet(const std::string& name) const {
  for (int i = 0; i < SheetCount(); ++i) {
    if (sheets_[static_cast<size_t>(i)]->name() == name) return i + 1;
  }
  return 0;
}

int ErrorWorkbook::AddSheet(const std::string& name, int at) {
  if (at < 1 || at > SheetCount()) at = SheetCount() + 1;
  sheets_.insert(sheets_.begin() + (at - 1), std::make_unique<ErrorSheet>(name));
  if (at <= active_ && SheetCount() > 1) ++active_;
  return at;
}

void ErrorWorkbook::DeleteSheet(int index) {
  Sheet(index);
  sheets_.erase(sheets_.begin() + (index - 1));
  if (active_ > index || active_ > SheetCount()) --active_;
  if (active_ < 1) active_ = 1;
}

void ErrorWorkbook::Activate(int index) {
  Sheet(index);
  active_ = index;
}

}  // namespace sorvane
