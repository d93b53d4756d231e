// The error workbook before it is saved: named sheets, each a title in A1 and
// then, row after row without gaps, block titles (a text in column A) and blocks
// of problem records (a row of field names and one row per record). Records are
// kept as the record sets the checks returned, not as cells, so a million
// problem records cost what their record set costs; the writer streams them.
//
// As a spreadsheet does, a sheet keeps the fonts of its cells when its contents
// are cleared (only column A ever has fonts of its own), and keeps its column
// widths until its columns are fitted again.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/record_set.h"

namespace sorvane {

inline constexpr int64_t kSheetRows = 1048576;
// The width of a column nobody has sized, in characters.
inline constexpr double kDefaultColumnWidth = 8.43;
inline constexpr double kMaxColumnWidth = 255;
// Red 0, green 128, blue 0: the colour of a check's title.
inline constexpr uint32_t kTitleGreen = 0x008000;
// Characters a cell can hold.
inline constexpr size_t kCellCharacters = 32767;

struct CellFont {
  bool bold = false;
  double size = 0;     // points; 0 = the workbook's default size
  uint32_t color = 0;  // 0xRRGGBB; 0 = automatic (black)
  friend bool operator==(const CellFont&, const CellFont&) = default;
};

class ErrorSheet {
 public:
  explicit ErrorSheet(std::string name) : name_(std::move(name)) {}
  const std::string& name() const { return name_; }

  // Empties the sheet; fonts and column widths stay.
  void ClearContents();
  // A text in column A of row `row` (1 = A1, or the row after the last one).
  void SetText(int64_t row, std::string text);
  void Append(int64_t row, const std::string& more);
  void SetFont(int64_t row, const CellFont& font);
  // A row of field names, then `count` records of `records` from `first`, each
  // value as it shows followed by a blank (so column A is never empty).
  void AddRecords(std::shared_ptr<const RecordSet> records, int64_t first, int64_t count);
  // Rows in use (0 for an empty sheet).
  int64_t RowCount() const { return rows_; }

  // Sets columns 2..26 as wide as their longest text (characters, scaled by
  // the font; an empty one back to the default) and column 1 twice column 2.
  void FitColumns();
  double ColumnWidth(int column) const;
  const std::map<int, double>& column_widths() const { return widths_; }

  // Every row in order: its number, its cells from column A (an empty view
  // for an empty cell) and the font of its column A cell.
  using RowVisitor = std::function<void(int64_t row, const std::vector<std::string_view>& cells,
                                        const CellFont& font_a)>;
  void ForEachRow(const RowVisitor& visit) const;

 private:
  struct Part {
    std::string text;                          // a row with a text in column A
    std::shared_ptr<const RecordSet> records;  // or names and records
    int64_t first = 0, count = 0;
    std::vector<double> fitted;  // widest text of columns 2..26, worked out once
    int64_t Rows() const { return records ? count + 1 : 1; }
  };
  Part* PartAt(int64_t row);

  std::string name_;
  std::vector<Part> parts_;
  int64_t rows_ = 0;
  std::map<int64_t, CellFont> fonts_;  // column A
  std::map<int, double> widths_;
};

class ErrorWorkbook {
 public:
  int SheetCount() const { return static_cast<int>(sheets_.size()); }
  // Sheet by its index (1..SheetCount()); Error 9 for another index.
  ErrorSheet& Sheet(int index);
  const ErrorSheet& Sheet(int index) const;
  // Index of the sheet named `name`, 0 for none.
  int FindSheet(const std::string& name) const;
  // Adds a sheet at index `at` (1..SheetCount()+1; the end by default) and
  // returns its index.
  int AddSheet(const std::string& name, int at = 0);
  void DeleteSheet(int index);
  int active_sheet() const { return active_; }
  void Activate(int index);

 private:
  std::vector<std::unique_ptr<ErrorSheet>> sheets_;
  int active_ = 1;
};

// The width "AutoFit" gives a text in a font, in characters.
double FittedWidth(std::string_view text, const CellFont& font);

}  // namespace sorvane
