// The error workbook before it is saved: named sheets of cells, each cell a
// text with its font, and column widths. It offers the few spreadsheet
// operations the export relies on (clearing contents while formats stay, the
// region around A1, the end of column A going down, fitting a column to its
// texts).
//
// Rows and columns count from 1 ("A1" is row 1, column 1). A cell beyond the
// sheet throws Error 1004; a sheet index that does not exist, Error 9.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace sorvane {

inline constexpr int kSheetRows = 1048576;
inline constexpr int kSheetColumns = 16384;
// The width of a column nobody has sized, in characters.
inline constexpr double kDefaultColumnWidth = 8.43;
inline constexpr double kMaxColumnWidth = 255;
// Red 0, green 128, blue 0: the colour of a check's title.
inline constexpr uint32_t kTitleGreen = 0x008000;
inline constexpr long kErrSpreadsheet = 1004;

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

  // "" for an empty cell.
  const std::string& Text(int row, int column) const;
  void SetText(int row, int column, std::string text);
  void Append(int row, int column, const std::string& more) {
    SetText(row, column, Text(row, column) + more);
  }
  bool IsEmpty(int row, int column) const { return Text(row, column).empty(); }
  void SetFont(int row, int column, const CellFont& font);

  // Empties every cell; fonts and column widths stay.
  void ClearContents();
  // Whether the block of filled cells around A1 holds more than A1 itself.
  bool RegionAroundA1HasMoreCells() const;
  // The row that "End, down" reaches from (row, column): the last filled cell
  // before the first empty one, or, from a cell followed by an empty one, the
  // next filled cell below (the sheet's last row when there is none).
  int EndDown(int row, int column) const;
  // Sets each column from `first` to `last` as wide as its longest text
  // (characters, scaled by the font); an empty column goes back to the
  // default width.
  void AutoFit(int first, int last);
  double ColumnWidth(int column) const;
  void SetColumnWidth(int column, double width);

  struct Cell {
    std::string text;
    CellFont font;
  };
  // Every cell that holds a text or a font of its own, by (row, column).
  const std::map<std::pair<int, int>, Cell>& cells() const { return cells_; }
  // Widths set on columns, by column.
  const std::map<int, double>& column_widths() const { return widths_; }

 private:
  static void CheckCell(int row, int column);

  std::string name_;
  std::map<std::pair<int, int>, Cell> cells_;
  std::map<int, double> widths_;
};

class ErrorWorkbook {
 public:
  int SheetCount() const { return static_cast<int>(sheets_.size()); }
  // Sheet by its index (1..SheetCount()); Error 9 for another index.
  ErrorSheet& Sheet(int index);
  const ErrorSheet& Sheet(int index) const;
  // Adds a sheet after the last one and returns its index.
  int AddSheet(const std::string& name);
  int active_sheet() const { return active_; }
  void Activate(int index);
  const std::vector<ErrorSheet>& sheets() const { return sheets_; }

 private:
  std::vector<ErrorSheet> sheets_;
  int active_ = 1;
};

// The width "AutoFit" gives a text in a font, in characters.
double FittedWidth(const std::string& text, const CellFont& font);

}  // namespace sorvane
