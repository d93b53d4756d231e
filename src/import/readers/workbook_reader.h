// Reads the first worksheet of a workbook file (.xls Excel 5.0 to 2003, .xlsx,
// .xlsb, .ods as LibreOffice saves it, or a table exported as text under a
// workbook's name) as
// rows of display texts, the same thing a spreadsheet application writes when it
// saves that sheet as tab-delimited text. The format is chosen by the file's
// content, never by its extension. Rows are streamed to the caller one at a time
// and never collected: an .xlsx sheet is parsed as it inflates, an .xls workbook
// stream is held only in its stored form (the records).
//
// Workbooks saved with a password open with the password given, or without one
// when the spreadsheet program's default password opens them (a file protected
// only against changes), exactly as an unprotected copy would.
//
// Failure: a file that cannot be opened throws `FileError`; a file that is not a
// readable workbook (not a spreadsheet, damaged, truncated, encrypted without
// the password or with a wrong one, an older format, no worksheet, over the
// limits) throws `WorkbookError`, whose description names the file and the
// reason. Rows already delivered before a failure stay with the caller.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "import/readers/workbook_error.h"

namespace sorvane {

namespace readers {
class RowEmitter;
class StyleFormats;
}  // namespace readers

// Bounds that keep a hostile or broken file from exhausting memory or time.
struct ReadLimits {
  // Decompressed bytes of one package part (.xlsx) or the workbook stream (.xls).
  uint64_t max_part_bytes = uint64_t{1} << 30;
  // Decompressed bytes of all parts read from one .xlsx package (a part read
  // twice counts once).
  uint64_t max_total_bytes = uint64_t{2} << 30;
  // Once a part has inflated past `ratio_check_bytes`, more than `max_ratio`
  // decompressed bytes per compressed byte marks it as a decompression bomb.
  uint64_t ratio_check_bytes = uint64_t{64} << 20;
  uint64_t max_ratio = 500;
  // Cells (values and formatted blanks) accepted from the worksheet.
  uint64_t max_cells = 50'000'000;
  // Memory of a workbook's shared strings: their characters and four bytes
  // per string.
  uint64_t max_string_bytes = uint64_t{1} << 30;
  // A part (.xlsx) larger than this is inflated on a second thread while its
  // reader works through the chunks before.
  uint64_t inflate_ahead_bytes = uint64_t{8} << 20;
  // Bytes of an .ods sheet's rows kept from its read for the used range, so
  // that a sheet within them is not read a second time for its rows.
  uint64_t held_sheet_bytes = uint64_t{64} << 20;
};

// The part of the sheet that holds cells: rows first_row..last_row (1-based, as
// the spreadsheet numbers them) and columns A..(columns). An empty sheet has
// `rows() == 0`.
struct SheetShape {
  std::string sheet_name;
  std::string format;  // "xls", "xlsx", "xlsb", "ods", "xml" or "text"
  int64_t first_row = 1;
  int64_t last_row = 0;
  int32_t columns = 0;
  uint64_t cells = 0;
  int64_t rows() const { return last_row >= first_row ? last_row - first_row + 1 : 0; }
};

// Receives one row of the used range: its 1-based row number and exactly
// `shape.columns` display texts (empty cells are empty strings). Returning false
// stops the reading; the read then returns normally. The vector is reused for the
// next row: copy what must outlive the call.
using RowCallback = std::function<bool(int64_t row_number, const std::vector<std::string>& cells)>;
// Told the shape of the used range once, before the first row (progress bars).
using ShapeCallback = std::function<void(const SheetShape& shape)>;

// The numbers behind the texts of one delivered row and the number formats the
// sheet shows them through. The displayed text of a cell is worked out only
// when asked for, so reading stays as cheap as without it.
class RowFormats {
 public:
  // The text the spreadsheet program displays for cell `col`, whose delivered
  // text is `text`: a number in a format other than General gets the format
  // applied ("0123456", "1,234.50", "17-Mar-04"); any other cell shows `text`.
  std::string Shown(size_t col, const std::string& text) const;
  // Whether cell `col` shows otherwise than as delivered.
  bool Formatted(size_t col) const { return col < style_.size() && style_[col] != kNone; }
  // How many of the row's first `cells` may hold a text: every cell from there
  // on is empty. A sheet whose used range reaches far to the right of its data
  // (a stray cell in the grid's last column) gives rows thousands of cells
  // wide, so a caller looks at these only.
  size_t Filled(const std::vector<std::string>& cells) const {
    return std::min(filled_, cells.size());
  }

  // What a cell holds, so that a copy of the sheet can keep numbers as numbers
  // and dates as dates. A cell with an empty text is empty, whatever its kind.
  enum class Kind : uint8_t { kText, kNumber, kDate, kBoolean, kError };
  Kind KindOf(size_t col) const { return col < kinds_.size() ? kinds_[col] : Kind::kText; }
  // The stored value of a number or date cell whose delivered text is `text`
  // (a date counted in days as its workbook counts them, see Date1904).
  double Number(size_t col, const std::string& text) const;
  // The number format code of cell `col`; "" for General.
  std::string FormatCode(size_t col) const;
  // Whether the workbook counts dates from 1904 rather than from 1900.
  bool Date1904() const;

  // Makes `out` a copy of these formats, the row's `cells` shown through them,
  // that answers as these do after the reader has moved on (another thread's
  // copy of a row): its displayed texts and format codes are worked out now.
  void CopyFor(const std::vector<std::string>& cells, RowFormats& out) const;

 private:
  friend class readers::RowEmitter;
  static constexpr uint64_t kNone = ~uint64_t{0};
  const readers::StyleFormats* styles_ = nullptr;
  std::vector<double> values_;   // NaN: the value is the delivered text
  std::vector<uint64_t> style_;  // kNone: shown as delivered
  std::vector<Kind> kinds_;
  // A copy's answers, by column where Formatted.
  bool copied_ = false, date1904_ = false;
  std::vector<std::string> shown_, codes_;
  size_t filled_ = static_cast<size_t>(-1);  // unknown: every cell may hold a text
};

// A row with its formats; valid only during the call.
using ShownRowCallback = std::function<bool(
    int64_t row_number, const std::vector<std::string>& cells, const RowFormats& formats)>;

struct ReadOptions {
  ReadLimits limits;
  // Tried before the default password on an encrypted workbook; empty: none given.
  std::string password;
  // The caller can take the rows again from the start: a sheet that declares
  // its used range (an .xlsx dimension, an .xls DIMENSIONS record) is then
  // read in one pass on that range. Should
  // the sheet not keep to it, the shape callback is told the real shape a
  // second time and every row is delivered again from the first (forget those
  // delivered before). Without it, rows are delivered once, after a first pass
  // has found the shape.
  bool may_start_over = false;
  // Called now and then (every 256 rows) while the reader goes through a
  // sheet without delivering rows, as the first pass over an .ods sheet, a
  // text, a web page or an XML Spreadsheet does to find its used range, so
  // that a window can be served meanwhile. False stops the
  // reading, which then returns without having delivered a row or the shape.
  std::function<bool()> keep_going;
  // The worksheets passed over before the one read: 0 reads the first, as
  // the import does (kNoWorksheet where the workbook has no more).
  int sheet = 0;
};

// Streams the used range of the first worksheet of `file` to `on_row`, as
// ReadFirstWorksheet does, with each row's formats and the options' password.
SheetShape ReadWorkbook(const std::filesystem::path& file, const ShownRowCallback& on_row,
                        const ReadOptions& options = {}, const ShapeCallback& on_shape = {});
SheetShape ReadWorkbookFromMemory(std::string_view bytes, const std::string& name,
                                  const ShownRowCallback& on_row, const ReadOptions& options = {},
                                  const ShapeCallback& on_shape = {});

// Streams the used range of the first worksheet of `file` to `on_row`, every row
// from the first to the last used one, empty rows included. Returns the shape.
// Display texts: numbers in general form, dates "M/D/YYYY" (" H:MM:SS" added when
// there is a time), booleans "TRUE"/"FALSE", error cells their error text
// ("#DIV/0!"), formulas their cached result, text as it is (UTF-8).
SheetShape ReadFirstWorksheet(const std::filesystem::path& file, const RowCallback& on_row,
                              const ReadLimits& limits = {}, const ShapeCallback& on_shape = {});

// The same for a workbook already in memory; `name` stands for the file in
// messages.
SheetShape ReadFirstWorksheetFromMemory(std::string_view bytes, const std::string& name,
                                        const RowCallback& on_row, const ReadLimits& limits = {},
                                        const ShapeCallback& on_shape = {});

}  // namespace sorvane
