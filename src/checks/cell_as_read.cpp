#include "checks/cell_as_read.h"

#include <algorithm>
#include <exception>
#include <filesystem>

#include "core/errors.h"
#include "core/text.h"

namespace sorvane {
namespace {

// A spreadsheet cell holds at most this many characters.
constexpr size_t kMaxCellText = 32767;

}  // namespace

std::string CellText(std::string_view text) {
  std::string s = ValidUtf8(text);
  return Utf8Length(s) > kMaxCellText ? Utf8Prefix(s, kMaxCellText) : s;
}

bool ChangedSinceImport(const SheetOrigin& origin) {
  std::error_code ec;
  return std::filesystem::file_size(origin.path, ec) != origin.file_size || ec ||
         std::filesystem::last_write_time(origin.path, ec) != origin.file_time || ec;
}

bool ReadSheetAgain(const SheetOrigin& origin,
                    const std::function<void(int64_t, const std::vector<std::string>&,
                                             const RowFormats&)>& write_row,
                    const std::function<bool()>& stop,
                    const std::function<void(const std::string&)>& fail) {
  std::exception_ptr failed;
  bool stopped = false;
  // A failure stops the reading from inside, then goes on from here.
  auto on_row = [&](int64_t row_number, const std::vector<std::string>& cells,
                    const RowFormats& cell_formats) {
    if (stop && stop()) {
      stopped = true;
      return false;
    }
    try {
      write_row(row_number, cells, cell_formats);
      return true;
    } catch (...) {
      failed = std::current_exception();
      return false;
    }
  };
  if (ChangedSinceImport(origin)) {
    fail("the workbook " + origin.path.string() +
         " changed after it was imported; import it again first");
  }
  ReadOptions options;
  if (origin.password) options.password = *origin.password;
  try {
    ReadWorkbook(origin.path, on_row, options);
  } catch (const Error& e) {
    fail(e.description());
  }
  if (failed) std::rethrow_exception(failed);
  return !stopped;
}

std::string NoteText(std::string_view text) {
  std::string shown;
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 && c != '\n' && c != '\t' && c != '\r') {
      constexpr char kHex[] = "0123456789abcdef";
      shown += {'\\', 'x', kHex[u >> 4], kHex[u & 15]};
    } else {
      shown += c;
    }
  }
  return CellText(shown);
}

std::string CopySheetName(const std::string& name, const std::vector<std::string>& taken) {
  std::string s = ValidUtf8(name);
  // A control character may name a sheet of a binary workbook; the file's
  // XML can hold none.
  for (char& c : s) {
    if (std::string_view("[]:*?/\\").find(c) != std::string_view::npos ||
        static_cast<unsigned char>(c) < 0x20 || c == '\x7f')
      c = '_';
  }
  s = Utf8Prefix(s, LXW_SHEETNAME_MAX);
  if (Trim(s).empty() || s.front() == '\'' || s.back() == '\'') return "Data";
  for (const std::string& t : taken) {
    if (EqualsNoCase(s, t)) return "Data";
  }
  return s;
}

std::string InternalLink(const std::string& sheet, const std::string& cell) {
  return "internal:'" + ReplaceAll(sheet, "'", "''") + "'!" + cell;
}

void ColumnWidths::Note(const std::vector<std::string>& cells, size_t filled) {
  if (widths_.size() < cells.size()) widths_.resize(cells.size());
  for (size_t c = 0; c < filled && c < cells.size(); ++c)
    widths_[c] = std::max(widths_[c], cells[c].size());
}

lxw_error ColumnWidths::Apply(lxw_worksheet* ws) const {
  constexpr size_t kMaxWidth = 60;
  for (size_t c = 0; c < widths_.size(); ++c) {
    const double w = static_cast<double>(std::min(widths_[c], kMaxWidth)) * 1.15 + 2;
    const auto col = static_cast<lxw_col_t>(c);
    if (const lxw_error e = worksheet_set_column(ws, col, col, std::max(w, 8.43), nullptr))
      return e;
  }
  return LXW_NO_ERROR;
}

}  // namespace sorvane
