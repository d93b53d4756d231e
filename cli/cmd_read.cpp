// `sorvane read FILE`: the first worksheet as the program sees it, one line per
// row (the header line first), cells separated by tabs up to the row's last
// value, so a person can see why a value is refused. Stored values by default
// (what number and date fields take); --as-shown prints the displayed texts
// (what text fields take).
#include <ostream>

#include "commands.h"
#include "console_ui.h"
#include "core/errors.h"
#include "import/readers/workbook_reader.h"

namespace sorvane::cli {
namespace {

// Tabs and line breaks inside a cell would break the one-line-per-row form;
// other control characters, written raw, would be obeyed by the terminal (an
// escape sequence in a cell could recolour or retitle it).
void WriteCell(std::ostream& out, const std::string& cell) {
  std::string shown;
  shown.reserve(cell.size());
  for (char c : cell) {
    switch (c) {
      case '\t':
        shown += "\\t";
        break;
      case '\n':
        shown += "\\n";
        break;
      case '\r':
        shown += "\\r";
        break;
      default:
        shown += c;
    }
  }
  out << ForTerminal(shown);
}

}  // namespace

int RunRead(const std::string& file, bool as_shown, const std::string& password, Streams io,
            int sheet) {
  try {
    ReadOptions options;
    options.password = password;
    options.sheet = sheet - 1;
    auto on_row = [&](int64_t, const std::vector<std::string>& cells, const RowFormats& formats) {
      // Empty cells after the row's last value are left out: a sheet whose used
      // range reaches the grid's last column would print thousands of tabs a row.
      size_t used = formats.Filled(cells);
      while (used > 0 && cells[used - 1].empty()) --used;
      for (size_t i = 0; i < used; ++i) {
        if (i > 0) io.out << '\t';
        WriteCell(io.out, as_shown ? formats.Shown(i, cells[i]) : cells[i]);
      }
      io.out << '\n';
      return io.out.good();  // a reader gone (`| head`) wants no more rows
    };
    ReadWorkbook(file, on_row, options);
    io.out.flush();
    return 0;
  } catch (const WorkbookError& e) {
    // Past the last worksheet, the reason is how many there are.
    if (sheet > 1 && e.reason() == WorkbookError::Reason::kNoWorksheet) {
      io.err << "\"" << ForTerminal(file) << "\" has no worksheet " << sheet
             << " (chart sheets are not counted).\n";
    } else {
      io.err << e.description() << '\n';
    }
  } catch (const Error& e) {
    io.err << e.description() << '\n';
  } catch (const std::exception& e) {
    io.err << e.what() << '\n';
  }
  return 2;
}

}  // namespace sorvane::cli
