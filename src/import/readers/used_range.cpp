#include "import/readers/used_range.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <numeric>

#include "import/readers/number_format.h"
#include "import/readers/read_failure.h"

namespace sorvane::readers {

void ShapeScanner::Add(int64_t row, int32_t col) {
  if (++cells_ > max_cells_) {
    Fail(WorkbookError::Reason::kTooLarge,
         "the worksheet holds more than " + std::to_string(max_cells_) + " cells");
  }
  if (cells_ == 1) {
    first_row_ = last_row_ = row;
  } else {
    first_row_ = std::min(first_row_, row);
    last_row_ = std::max(last_row_, row);
    if (row < previous_row_) ordered_ = false;
  }
  if (keep_going_ != nullptr) [[unlikely]] {
    if (row != previous_row_ && ++rows_seen_ % 256 == 0 && !(*keep_going_)()) throw ScanGivenUp{};
  }
  previous_row_ = row;
  columns_ = std::max(columns_, col + 1);
}

void ShapeScanner::FillShape(SheetShape& shape) const {
  shape.cells = cells_;
  if (cells_ == 0) {
    shape.first_row = 1;
    shape.last_row = 0;
    shape.columns = 0;
    return;
  }
  shape.first_row = first_row_;
  shape.last_row = last_row_;
  shape.columns = columns_;
}

bool ReadOnDeclaredShape(std::optional<SheetShape> claim, SheetShape& shape,
                         const ShownRowCallback& on_row, const StyleFormats* styles,
                         const ReadLimits& limits, const ShapeCallback& on_shape,
                         const std::function<bool(ShapeScanner&, RowEmitter&)>& walk) {
  if (!claim) return false;
  SheetShape& declared = *claim;
  declared.format = shape.format;
  declared.sheet_name = shape.sheet_name;
  if (on_shape) on_shape(declared);
  ShapeScanner scanner(limits.max_cells);
  RowEmitter emitter(declared, true, on_row, styles, true);
  try {
    if (!walk(scanner, emitter)) return false;
  } catch (const ShapeNotKept&) {
    return false;
  }
  SheetShape found = declared;
  scanner.FillShape(found);
  if (!emitter.stopped() &&
      (!scanner.ordered() || found.first_row != declared.first_row ||
       found.last_row != declared.last_row || found.columns != declared.columns)) {
    return false;
  }
  declared.cells = found.cells;
  emitter.Finish();
  shape = declared;
  return true;
}

SheetShape ReadInTwoPasses(SheetShape& shape, const ShownRowCallback* on_row,
                           const StyleFormats* styles, const ReadLimits& limits,
                           const ShapeCallback& on_shape, const std::function<bool()>& keep_going,
                           const std::function<void(ShapeScanner*, RowEmitter*)>& walk) {
  ShapeScanner scanner(limits.max_cells);
  if (keep_going) scanner.AskEvery256Rows(&keep_going);
  try {
    walk(&scanner, nullptr);
  } catch (const ScanGivenUp&) {
    return shape;
  }
  scanner.FillShape(shape);
  if (on_shape) on_shape(shape);
  if (on_row == nullptr) return shape;
  RowEmitter emitter(shape, scanner.ordered(), *on_row, styles);
  walk(nullptr, &emitter);
  emitter.Finish();
  return shape;
}

RowEmitter::RowEmitter(const SheetShape& shape, bool ordered, const ShownRowCallback& on_row,
                       const StyleFormats* styles, bool declared)
    : shape_(shape),
      on_row_(on_row),
      ordered_(ordered),
      declared_(declared),
      current_(shape.first_row) {
  // Cells out of row order are held until the end; only hand-edited sheets
  // come that way, and they are small.
  constexpr uint64_t kMaxUnorderedCells = 5'000'000;
  if (!ordered && shape.cells > kMaxUnorderedCells) {
    Fail(WorkbookError::Reason::kTooLarge, "its rows are out of order in a sheet of more than " +
                                               std::to_string(kMaxUnorderedCells) + " cells");
  }
  row_.resize(static_cast<size_t>(shape.columns));
  is_dirty_.resize(static_cast<size_t>(shape.columns));
  formats_.styles_ = styles;
  formats_.values_.resize(static_cast<size_t>(shape.columns));
  formats_.style_.assign(static_cast<size_t>(shape.columns), RowFormats::kNone);
  formats_.kinds_.assign(static_cast<size_t>(shape.columns), RowFormats::Kind::kText);
}

void RowEmitter::Deliver() {
  if (stopped_) return;
  size_t filled = 0;
  for (int32_t c : dirty_) filled = std::max(filled, static_cast<size_t>(c) + 1);
  formats_.filled_ = filled;
  if (!on_row_(current_, row_, formats_)) stopped_ = true;
  for (int32_t c : dirty_) {
    row_[static_cast<size_t>(c)].clear();
    is_dirty_[static_cast<size_t>(c)] = false;
    formats_.style_[static_cast<size_t>(c)] = RowFormats::kNone;
    formats_.kinds_[static_cast<size_t>(c)] = RowFormats::Kind::kText;
  }
  dirty_.clear();
}

void RowEmitter::MoveTo(int64_t row) {
  while (current_ < row && !stopped_) {
    Deliver();
    ++current_;
  }
}

std::string& RowEmitter::Cell(int64_t row, int32_t col) {
  if (declared_ && stopped_) {
    // The caller has what it wanted; what follows need not keep to anything.
    scratch_.clear();
    return scratch_;
  }
  if (row < shape_.first_row || row > shape_.last_row || col < 0 || col >= shape_.columns) {
    if (declared_) throw ShapeNotKept{};
    Damaged("a cell lies outside the sheet's used range");
  }
  last_col_ = -1;
  if (stopped_) {
    scratch_.clear();
    return scratch_;
  }
  if (!ordered_) {
    pending_.push_back(Pending{row, col, {}});
    return pending_.back().text;
  }
  if (row < current_) {
    if (declared_) throw ShapeNotKept{};
    Damaged("the sheet's rows are out of order");
  }
  MoveTo(row);
  if (stopped_) {
    scratch_.clear();
    return scratch_;
  }
  const auto c = static_cast<size_t>(col);
  if (!is_dirty_[c]) {
    is_dirty_[c] = true;
    dirty_.push_back(col);
  }
  row_[c].clear();
  formats_.style_[c] = RowFormats::kNone;
  formats_.kinds_[c] = RowFormats::Kind::kText;
  last_col_ = col;
  return row_[c];
}

void RowEmitter::MarkNumber(double value, uint64_t style, bool is_date) {
  // An infinity or NaN, which some programs write into a number cell, is no
  // number a spreadsheet holds: it shows, and is copied, as the error "#NUM!".
  if (!std::isfinite(value)) {
    MarkKind(RowFormats::Kind::kError);
    return;
  }
  const bool general = formats_.styles_ == nullptr || formats_.styles_->IsGeneral(style);
  Store(value, general ? RowFormats::kNone : style,
        is_date ? RowFormats::Kind::kDate : RowFormats::Kind::kNumber);
}

void RowEmitter::MarkKind(RowFormats::Kind kind) {
  Store(std::numeric_limits<double>::quiet_NaN(), RowFormats::kNone, kind);
}

void RowEmitter::Store(double value, uint64_t style, RowFormats::Kind kind) {
  if (!ordered_) {
    if (!pending_.empty() && !stopped_) {
      pending_.back().value = value;
      pending_.back().style = style;
      pending_.back().kind = kind;
    }
    return;
  }
  if (last_col_ < 0) return;
  const auto c = static_cast<size_t>(last_col_);
  formats_.values_[c] = value;
  formats_.style_[c] = style;
  formats_.kinds_[c] = kind;
}

void RowEmitter::Finish() {
  if (shape_.rows() == 0) return;
  if (!ordered_) {
    std::vector<size_t> order(pending_.size());
    std::iota(order.begin(), order.end(), size_t{0});
    // Stable, so of two cells at one place the later one wins below.
    std::stable_sort(order.begin(), order.end(),
                     [this](size_t a, size_t b) { return pending_[a].row < pending_[b].row; });
    ordered_ = true;
    for (size_t i : order) {
      if (stopped_) break;
      Pending& p = pending_[i];
      Cell(p.row, p.col).swap(p.text);
      if (p.kind != RowFormats::Kind::kText) Store(p.value, p.style, p.kind);
    }
    pending_.clear();
  }
  MoveTo(shape_.last_row);
  if (!stopped_) Deliver();
  current_ = shape_.last_row + 1;
}

}  // namespace sorvane::readers

namespace sorvane {

std::string RowFormats::Shown(size_t col, const std::string& text) const {
  if (copied_) return Formatted(col) ? shown_[col] : text;
  if (styles_ == nullptr || col >= style_.size() || style_[col] == kNone) return text;
  return styles_->Render(style_[col], values_[col]);
}

double RowFormats::Number(size_t col, const std::string& text) const {
  if (col < values_.size() && !std::isnan(values_[col])) return values_[col];
  double d = 0;
  std::from_chars(text.data(), text.data() + text.size(), d);
  return d;
}

std::string RowFormats::FormatCode(size_t col) const {
  if (copied_) return Formatted(col) ? codes_[col] : "";
  if (styles_ == nullptr || col >= style_.size() || style_[col] == kNone) return "";
  return styles_->Code(style_[col]);
}

bool RowFormats::Date1904() const {
  return copied_ ? date1904_ : styles_ != nullptr && styles_->date1904;
}

void RowFormats::CopyFor(const std::vector<std::string>& cells, RowFormats& out) const {
  // The cells that may hold a text only: past them the copy answers as for an empty cell.
  const size_t n = std::min(filled_, style_.size());
  out.styles_ = nullptr;
  out.values_.assign(values_.begin(), values_.begin() + std::min(n, values_.size()));
  out.style_.assign(style_.begin(), style_.begin() + n);
  out.kinds_.assign(kinds_.begin(), kinds_.begin() + std::min(n, kinds_.size()));
  out.filled_ = filled_;
  out.copied_ = true;
  out.date1904_ = Date1904();
  out.shown_.resize(n);
  out.codes_.resize(n);
  for (size_t col = 0; col < n; ++col) {
    if (!Formatted(col)) continue;
    out.shown_[col] = Shown(col, col < cells.size() ? cells[col] : std::string());
    out.codes_[col] = FormatCode(col);
  }
}

}  // namespace sorvane
