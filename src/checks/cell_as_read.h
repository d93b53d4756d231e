// The copies of a workbook the review writes (marked, mended): its first sheet
// read again from the very file the import read, and its cells written again
// as the reader delivered them: numbers and dates stay numbers in their number
// formats, booleans stay booleans, texts are cut to what a cell holds.
#pragma once

#include <xlsxwriter.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "import/readers/workbook_reader.h"
#include "state/sheet_places.h"

namespace sorvane {

// Valid UTF-8 of at most the characters a spreadsheet cell holds.
std::string CellText(std::string_view text);

// Whether the workbook an import read from has changed since (size or time).
bool ChangedSinceImport(const SheetOrigin& origin);

// Reads the sheet of `origin` again (opened with its password), handing each
// row to `write_row`, which may throw: the reading stops and its failure is
// thrown again. False when `stop` (asked row by row) said so. `fail(reason)`,
// which throws, says why when the workbook changed since its import or cannot
// be read.
bool ReadSheetAgain(const SheetOrigin& origin,
                    const std::function<void(int64_t, const std::vector<std::string>&,
                                             const RowFormats&)>& write_row,
                    const std::function<bool()>& stop,
                    const std::function<void(const std::string&)>& fail);

// A comment's text as the file holds it: CellText with the control
// characters a comment cannot carry (a value's vertical tab, say) shown as
// "\x0b" (the writer escapes them in cells, not in comments).
std::string NoteText(std::string_view text);

// A sheet name the format takes for a copy of the sheet `name`: no []:*?/\,
// at most 31 characters, not blank; "Data" for one that would be blank or
// one of `taken` (without regard to case).
std::string CopySheetName(const std::string& name, const std::vector<std::string>& taken);

// The link to `cell` ("B21") of the copy's sheet `sheet`, quoted as a formula
// quotes a sheet's name.
std::string InternalLink(const std::string& sheet, const std::string& cell);

// The widths of a copy's columns: wide enough for the longest text each
// holds, up to 60 characters.
class ColumnWidths {
 public:
  // A delivered row: the columns of its cells, the texts of its first `filled`.
  void Note(const std::vector<std::string>& cells, size_t filled);
  lxw_error Apply(lxw_worksheet* ws) const;

 private:
  std::vector<size_t> widths_;
};

// Days from 1900-01-00 to 1904-01-01, between the two date systems.
inline constexpr double kDays1904 = 1462;

// Writes the non-empty cell `c` of a delivered row, whose text is `text`, at
// (row, col) of `ws`, in the format `format_for(code)` gives for a number
// format code ("" for General); a date without one shows as "m/d/yyyy".
template <typename FormatFor>
lxw_error WriteCellAsRead(lxw_worksheet* ws, lxw_row_t row, lxw_col_t col, const std::string& text,
                          const RowFormats& formats, size_t c, FormatFor&& format_for) {
  const std::string code = formats.FormatCode(c);
  switch (formats.KindOf(c)) {
    case RowFormats::Kind::kNumber:
      return worksheet_write_number(ws, row, col, formats.Number(c, text), format_for(code));
    case RowFormats::Kind::kDate: {
      double serial = formats.Number(c, text);
      if (formats.Date1904()) serial += kDays1904;
      return worksheet_write_number(ws, row, col, serial,
                                    format_for(code.empty() ? "m/d/yyyy" : code));
    }
    case RowFormats::Kind::kBoolean:
      return worksheet_write_boolean(ws, row, col, text == "TRUE", format_for(code));
    case RowFormats::Kind::kText:
    case RowFormats::Kind::kError:
      break;
  }
  return worksheet_write_string(ws, row, col, CellText(text).c_str(), format_for(code));
}

}  // namespace sorvane
