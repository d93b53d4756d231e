// The used range of a sheet, in two steps shared by both readers: a first pass
// over the cell positions finds the range (and whether the cells come in row
// order), then the second pass hands each cell's text to a RowEmitter, which
// delivers complete, equally wide rows to the caller, empty rows included.
// Rows are 1-based like the sheet's row numbers; columns are 0-based (A = 0).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "import/readers/workbook_reader.h"

namespace sorvane::readers {

// Thrown by a ShapeScanner whose `keep_going` said no.
struct ScanGivenUp {};

class ShapeScanner {
 public:
  explicit ShapeScanner(uint64_t max_cells) : max_cells_(max_cells) {}
  // Fails with kTooLarge past the cell limit. With `keep_going`, asks it
  // every 256 rows and throws ScanGivenUp when it says no.
  void Add(int64_t row, int32_t col);
  void AskEvery256Rows(const std::function<bool()>* keep_going) { keep_going_ = keep_going; }
  // Cells seen so far came with non-decreasing row numbers.
  bool ordered() const { return ordered_; }
  // Fills first_row, last_row, columns and cells of `shape`.
  void FillShape(SheetShape& shape) const;

 private:
  uint64_t max_cells_;
  const std::function<bool()>* keep_going_ = nullptr;
  uint64_t rows_seen_ = 0;
  uint64_t cells_ = 0;
  int64_t first_row_ = 0, last_row_ = 0, previous_row_ = 0;
  int32_t columns_ = 0;
  bool ordered_ = true;
};

// Thrown by a RowEmitter on the shape a sheet declares when a cell lies
// outside it or comes out of row order: the sheet does not keep to it.
struct ShapeNotKept {};

class RowEmitter;

// Delivers the rows in one pass on the shape a sheet declares (`declared`,
// named and formatted as `shape`, told to `on_shape` first), finding its real
// used range on the way: `walk` hands every cell to both the scanner and the
// emitter, and returns false to give the sheet up. True when every row was
// delivered on a shape the cells kept to, or the caller stopped the reading;
// `shape` is then the declared one with the count of cells. False when the
// sheet declares none, did not keep to its claim or was given up: rows may
// have been delivered, and the caller must read again from the start (the
// shape is told again, and every row delivered again).
bool ReadOnDeclaredShape(std::optional<SheetShape> declared, SheetShape& shape,
                         const ShownRowCallback& on_row, const StyleFormats* styles,
                         const ReadLimits& limits, const ShapeCallback& on_shape,
                         const std::function<bool(ShapeScanner&, RowEmitter&)>& walk);

// Reads a sheet held whole in two walks: the first, `walk(&scanner,
// nullptr)`, finds the used range (and may name `shape`'s sheet), which
// `on_shape` is told; the second, `walk(nullptr, &emitter)`, delivers its rows
// (none without `on_row`). Returns the shape. The first walk asks
// `keep_going` (if set) every 256 rows; when it says no, the read returns at
// once, neither shape nor row told (see ReadOptions).
SheetShape ReadInTwoPasses(SheetShape& shape, const ShownRowCallback* on_row,
                           const StyleFormats* styles, const ReadLimits& limits,
                           const ShapeCallback& on_shape, const std::function<bool()>& keep_going,
                           const std::function<void(ShapeScanner*, RowEmitter*)>& walk);

class RowEmitter {
 public:
  // `ordered` says the cells will arrive in non-decreasing row order (as the
  // scan found); otherwise they are collected and sorted before delivery.
  // `styles` (which must outlive the emitter) turns marked numbers into their
  // displayed texts when the caller asks for them. `declared`: the shape is
  // the one the sheet declares, not one a scan found (see ShapeNotKept).
  RowEmitter(const SheetShape& shape, bool ordered, const ShownRowCallback& on_row,
             const StyleFormats* styles, bool declared = false);

  // The text slot of a cell inside the shape, emptied; a later cell at the same
  // place replaces an earlier one. After the caller stopped the reading, a
  // scratch slot. A cell outside the shape, or out of order in ordered mode,
  // means the two passes disagree: the workbook is damaged.
  std::string& Cell(int64_t row, int32_t col);
  // The cell last given by Cell() holds the number `value` (a date when
  // `is_date`) in style `style`.
  void MarkNumber(double value, uint64_t style, bool is_date);
  // The cell last given by Cell() holds a number whose value is its text
  // exactly (General form), a boolean or an error.
  void MarkKind(RowFormats::Kind kind);
  // Delivers the rest of the used range.
  void Finish();
  bool stopped() const { return stopped_; }

 private:
  struct Pending {
    int64_t row;
    int32_t col;
    std::string text;
    double value = 0;
    uint64_t style = RowFormats::kNone;
    RowFormats::Kind kind = RowFormats::Kind::kText;
  };
  void Deliver();
  void MoveTo(int64_t row);
  void Store(double value, uint64_t style, RowFormats::Kind kind);

  const SheetShape& shape_;
  const ShownRowCallback& on_row_;
  bool ordered_;
  bool declared_;
  bool stopped_ = false;
  int64_t current_ = 0;  // row held in row_
  std::vector<std::string> row_;
  std::vector<int32_t> dirty_;
  std::vector<bool> is_dirty_;
  std::deque<Pending> pending_;
  std::string scratch_;
  RowFormats formats_;
  int32_t last_col_ = -1;  // the cell of the slot Cell() gave last, in ordered mode
};

}  // namespace sorvane::readers
