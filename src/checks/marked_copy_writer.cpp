#include "checks/marked_copy_writer.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <map>
#include <tuple>
#include <unordered_map>

#include "checks/ModChecks.h"
#include "checks/cell_as_read.h"
#include "checks/lxw_book.h"
#include "checks/workbook_stamp.h"
#include "core/errors.h"
#include "core/text.h"
#include "import/readers/workbook_reader.h"

namespace sorvane {
namespace fs = std::filesystem;

namespace {

constexpr const char* kProblemsSheet = "Problems";
// Fills by severity 0, 1, 2: yellow, orange, red (light, so the text stays legible).
constexpr lxw_color_t kFills[] = {0xFFF2A8, 0xFFC58A, 0xFF9C9C};

[[noreturn]] void Fail(const fs::path& file, const std::string& reason) {
  throw FileError(kErrPathFileAccess,
                  "The marked copy could not be written to " + file.string() + ": " + reason);
}

void Check(lxw_error e, const fs::path& file) {
  if (e != LXW_NO_ERROR) Fail(file, lxw_strerror(e));
}

// Column letters ("AB") as a 0-based index; -1 when not letters.
int32_t ColumnIndex(std::string_view letters) {
  int64_t n = 0;
  for (char c : letters) {
    if (c < 'A' || c > 'Z' || n > LXW_COL_MAX) return -1;
    n = n * 26 + (c - 'A' + 1);
  }
  return n >= 1 && n <= LXW_COL_MAX ? static_cast<int32_t>(n - 1) : -1;
}

// The names of `count` Problems sheets.
std::vector<std::string> ProblemSheetNames(size_t count) {
  std::vector<std::string> names;
  for (size_t k = 1; k <= count; ++k)
    names.push_back(k == 1 ? kProblemsSheet
                           : std::string(kProblemsSheet) + " (" + std::to_string(k) + ")");
  return names;
}

// What a cell's comment says of one problem.
std::string CommentLine(const MarkedProblem& p) {
  std::string line = p.check + ": " + std::string(Trim(p.text));
  const std::string wording(Trim(SeverityWording(p.severity)));
  if (!wording.empty()) line += " " + wording;
  if (!p.rule.empty()) line += "\nRule: " + p.rule;
  if (!p.hint.empty()) line += "\n" + p.hint;
  return line;
}

// The marks of one row: its fill and the problems of each of its cells.
struct RowMarks {
  int severity = -1;
  std::map<int32_t, std::vector<const MarkedProblem*>> cells;
};

class Formats {
 public:
  explicit Formats(lxw_workbook* book) : book_(book) {}
  // A number format code (""= General), the row's severity (-1 none) and
  // whether the cell itself is marked.
  lxw_format* For(const std::string& code, int severity, bool marked) {
    if (code.empty() && severity < 0 && !marked) return nullptr;
    auto key = std::make_tuple(code, severity, marked);
    auto it = formats_.find(key);
    if (it != formats_.end()) return it->second;
    lxw_format* f = workbook_add_format(book_);
    if (!code.empty()) format_set_num_format(f, code.c_str());
    if (severity >= 0) {
      format_set_pattern(f, LXW_PATTERN_SOLID);
      format_set_bg_color(f, kFills[std::min(severity, 2)]);
    }
    if (marked) {
      format_set_border(f, LXW_BORDER_MEDIUM);
      format_set_bold(f);
    }
    formats_[key] = f;
    return f;
  }
  lxw_format* Heading() {
    if (!heading_) {
      heading_ = workbook_add_format(book_);
      format_set_bold(heading_);
    }
    return heading_;
  }
  lxw_format* Link() {
    if (!link_) {
      link_ = workbook_add_format(book_);
      format_set_underline(link_, LXW_UNDERLINE_SINGLE);
      format_set_font_color(link_, LXW_COLOR_BLUE);
    }
    return link_;
  }

 private:
  lxw_workbook* book_;
  std::map<std::tuple<std::string, int, bool>, lxw_format*> formats_;
  lxw_format* heading_ = nullptr;
  lxw_format* link_ = nullptr;
};

// "B21", "B21, D21" or "Row 21".
std::string PlaceText(const SheetPlace& place) {
  if (place.cells.empty()) return "Row " + std::to_string(place.row);
  std::string text;
  for (const std::string& cell : place.cells) {
    if (!text.empty()) text += ", ";
    text += cell + std::to_string(place.row);
  }
  return text;
}

// False when `stop` said so (asked every few thousand lines).
bool WriteProblemSheets(lxw_workbook* book, Formats& formats,
                        const std::vector<const MarkedProblem*>& problems,
                        const std::string& data_sheet, size_t sheets, const fs::path& file,
                        const std::function<bool()>& stop) {
  // The rule of each check is in the comments of its cells; repeating it on
  // every line would make a long list much larger to write and to open.
  static const char* kHeadings[] = {"Table", "Check", "Severity", "Problem", "Place"};
  static const double kWidths[] = {6, 8, 18, 80, 30};
  const std::vector<std::string> names = ProblemSheetNames(sheets);
  for (size_t k = 0; k < sheets; ++k) {
    const std::string& name = names[k];
    std::string why;
    lxw_worksheet* ws = AddWorksheet(book, name, &why);
    if (!ws) Fail(file, why);
    if (k == 0) worksheet_activate(ws);
    worksheet_freeze_panes(ws, 1, 0);
    // Printed, the list keeps its columns side by side.
    worksheet_set_landscape(ws);
    worksheet_fit_to_pages(ws, 1, 0);
    for (lxw_col_t c = 0; c < 5; ++c) {
      Check(worksheet_set_column(ws, c, c, kWidths[c], nullptr), file);
      Check(worksheet_write_string(ws, 0, c, kHeadings[c], formats.Heading()), file);
    }
    if (problems.empty()) {
      Check(worksheet_write_string(ws, 1, 3, "No problems found.", nullptr), file);
    }
    const size_t first = k * kProblemLinesPerSheet;
    const size_t last = std::min(problems.size(), first + kProblemLinesPerSheet);
    for (size_t i = first; i < last; ++i) {
      if (i % 4096 == 0 && stop && stop()) return false;
      const MarkedProblem& p = *problems[i];
      const auto row = static_cast<lxw_row_t>(i - first + 1);
      Check(worksheet_write_number(ws, row, 0, p.table, nullptr), file);
      Check(worksheet_write_string(ws, row, 1, CellText(p.check).c_str(), nullptr), file);
      std::string severity(Trim(SeverityWording(p.severity)));
      if (severity.size() > 2) severity = severity.substr(1, severity.size() - 2);  // no ()
      Check(worksheet_write_string(ws, row, 2, severity.c_str(), nullptr), file);
      const std::string problem =
          p.hint.empty() ? p.text : std::string(Trim(p.text)) + "  " + p.hint;
      Check(worksheet_write_string(ws, row, 3, CellText(problem).c_str(), nullptr), file);
      const std::string target =
          InternalLink(data_sheet, (p.place.cells.empty() ? "A" : p.place.cells.front()) +
                                       std::to_string(p.place.row));
      Check(worksheet_write_url_opt(ws, row, 4, target.c_str(), formats.Link(),
                                    PlaceText(p.place).c_str(), nullptr),
            file);
    }
  }
  return true;
}

}  // namespace

bool WriteMarkedCopy(const SheetOrigin& origin, const std::string& sheet_name,
                     const std::vector<const MarkedProblem*>& problems, const fs::path& file,
                     const std::function<bool()>& stop, fs::path* kept_as) {
  std::unordered_map<int64_t, RowMarks> marks;
  for (const MarkedProblem* p : problems) {
    if (p->place.row < 1 || p->place.row > LXW_ROW_MAX) continue;
    RowMarks& row = marks[p->place.row];
    row.severity = std::max(row.severity, std::clamp(p->severity, 0, 2));
    if (p->place.cells.empty()) row.cells[0].push_back(p);
    for (const std::string& letters : p->place.cells) {
      const int32_t c = ColumnIndex(letters);
      if (c >= 0) row.cells[c].push_back(p);
    }
  }

  const fs::path partial = PartialBeside(file);
  std::error_code ec;
  try {
    LxwBook book(partial);
    if (!book.get()) Fail(file, "the file cannot be created");
    const int64_t stamp = StampWorkbook(book.get());
    Formats formats(book.get());
    const size_t problem_sheets =
        std::max<size_t>(1, (problems.size() + kProblemLinesPerSheet - 1) / kProblemLinesPerSheet);
    const std::string data_name = CopySheetName(sheet_name, ProblemSheetNames(problem_sheets));
    if (!WriteProblemSheets(book.get(), formats, problems, data_name, problem_sheets, file, stop))
      return false;  // the book is dropped unwritten

    std::string why;
    lxw_worksheet* ws = AddWorksheet(book.get(), data_name, &why);
    if (!ws) Fail(file, why);
    worksheet_set_comments_author(ws, const_cast<char*>("Sorvane"));
    worksheet_set_landscape(ws);
    worksheet_fit_to_pages(ws, 1, 0);
    lxw_comment_options comment{};
    comment.width = 360;
    size_t commented = 0;

    bool header_seen = false;
    size_t header_width = 0;  // up to the header's last text
    ColumnWidths widths;
    auto write_row = [&](int64_t row_number, const std::vector<std::string>& cells,
                         const RowFormats& cell_formats) {
      // Past the cells that may hold a text there is nothing to write but a marked row's colour.
      const size_t filled = cell_formats.Filled(cells);
      auto reach = [&] {
        size_t end = filled;
        while (end > 0 && cells[end - 1].empty()) --end;
        return end;
      };
      if (!header_seen) {
        header_seen = true;
        header_width = reach();
        worksheet_freeze_panes(ws, static_cast<lxw_row_t>(row_number), 0);
      }
      const auto row = static_cast<lxw_row_t>(row_number - 1);
      const auto found = marks.find(row_number);
      const RowMarks* mark = found != marks.end() ? &found->second : nullptr;
      const int severity = mark ? mark->severity : -1;
      // A marked row is coloured across the table (the header's columns), or as far as its own
      // texts or marks go: not across a used range that a stray blank cell stretches to the
      // grid's last column.
      const size_t width =
          !mark ? filled
                : std::max({header_width, reach(),
                            mark->cells.empty()
                                ? size_t{0}
                                : static_cast<size_t>(mark->cells.rbegin()->first) + 1});
      widths.Note(cells, filled);
      for (size_t c = 0; c < width; ++c) {
        const auto col = static_cast<lxw_col_t>(c);
        const bool marked = mark && mark->cells.count(static_cast<int32_t>(c)) > 0;
        const std::string empty;
        const std::string& text = c < cells.size() ? cells[c] : empty;
        if (text.empty()) {
          if (mark)
            Check(worksheet_write_blank(ws, row, col, formats.For("", severity, marked)), file);
          continue;
        }
        Check(WriteCellAsRead(
                  ws, row, col, text, cell_formats, c,
                  [&](const std::string& code) { return formats.For(code, severity, marked); }),
              file);
      }
      if (mark) {
        for (const auto& [c, list] : mark->cells) {
          if (commented == kCommentedCells) break;
          ++commented;
          std::string text;
          for (const MarkedProblem* p : list)
            text += (text.empty() ? "" : "\n\n") + CommentLine(*p);
          text = NoteText(text);
          comment.height = static_cast<uint16_t>(std::min<size_t>(60 + 30 * list.size(), 600));
          Check(worksheet_write_comment_opt(ws, row, static_cast<lxw_col_t>(c), text.c_str(),
                                            &comment),
                file);
        }
      }
    };
    if (!ReadSheetAgain(origin, write_row, stop, [&](const std::string& why) { Fail(file, why); }))
      return false;  // the book is dropped unwritten
    Check(widths.Apply(ws), file);
    const lxw_error e = book.Close(stop);
    if (book.stopped()) return false;
    if (e != LXW_NO_ERROR) Fail(file, book.ErrorText(e));
    SetStampTime(partial, stamp);
    const fs::path kept = KeepChangedFile(file);
    if (kept_as != nullptr) *kept_as = kept;
    fs::rename(partial, file, ec);
    if (ec) Fail(file, ec.message());
    return true;
  } catch (...) {
    fs::remove(partial, ec);
    throw;
  }
}

}  // namespace sorvane
