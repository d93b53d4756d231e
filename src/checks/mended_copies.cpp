#include "checks/mended_copies.h"

#include <xlsxwriter.h>

#include <cmath>
#include <map>
#include <new>

#include "acquire/file_ops.h"
#include "acquire/folder_scan.h"
#include "checks/cell_as_read.h"
#include "checks/lxw_book.h"
#include "checks/marked_copies.h"
#include "core/errors.h"
#include "core/text.h"

namespace sorvane {
namespace fs = std::filesystem;

namespace {

constexpr lxw_color_t kMendedFill = 0xC6EFCE;  // light green

[[noreturn]] void Fail(const fs::path& file, const std::string& reason) {
  throw FileError(kErrPathFileAccess,
                  "The mended workbook could not be written to " + file.string() + ": " + reason);
}

void Check(lxw_error e, const fs::path& file) {
  if (e != LXW_NO_ERROR) Fail(file, lxw_strerror(e));
}

// The formats of a copy's cells by number format code, mended (filled) or not.
class MendFormats {
 public:
  explicit MendFormats(lxw_workbook* book) : book_(book) {}
  lxw_format* For(const std::string& code, bool mended) {
    if (code.empty() && !mended) return nullptr;
    lxw_format*& f = formats_[{code, mended}];
    if (f == nullptr) {
      f = workbook_add_format(book_);
      if (!code.empty()) format_set_num_format(f, code.c_str());
      if (mended) {
        format_set_pattern(f, LXW_PATTERN_SOLID);
        format_set_bg_color(f, kMendedFill);
      }
    }
    return f;
  }

 private:
  lxw_workbook* book_;
  std::map<std::pair<std::string, bool>, lxw_format*> formats_;
};

std::string Quoted(std::string_view text) { return "\"" + ForReading(text, 200) + "\""; }

lxw_error WriteMend(lxw_worksheet* ws, lxw_row_t row, const CellMend& m, MendFormats& formats) {
  const auto col = static_cast<lxw_col_t>(m.column);
  switch (m.kind) {
    case CellMend::Kind::kNumber:
      return worksheet_write_number(ws, row, col, m.number, formats.For("", true));
    case CellMend::Kind::kDate:
      return worksheet_write_number(
          ws, row, col, m.number,
          formats.For(m.number == std::floor(m.number) ? "m/d/yyyy" : "m/d/yyyy h:mm:ss", true));
    case CellMend::Kind::kText:
      break;
  }
  return worksheet_write_string(ws, row, col, CellText(m.now).c_str(), formats.For("", true));
}

// The lines of a Mends sheet under its heading: a worksheet's rows.
constexpr size_t kLinesPerSheet = LXW_ROW_MAX - 1;

// False when `stop` said so (asked every few thousand lines).
bool WriteMendsSheets(lxw_workbook* book, const std::string& data_sheet,
                      const std::vector<CellMend>& mends, const fs::path& file,
                      const std::function<bool()>& stop) {
  lxw_format* bold = workbook_add_format(book);
  format_set_bold(bold);
  lxw_format* link = workbook_add_format(book);
  format_set_underline(link, LXW_UNDERLINE_SINGLE);
  format_set_font_color(link, LXW_COLOR_BLUE);
  static const char* kHeadings[] = {"Cell", "Field", "Was", "Now", "Why"};
  static const double kWidths[] = {8, 12, 24, 16, 60};
  const std::vector<std::string> names = MendsSheetNames(mends.size());
  for (size_t k = 0; k < names.size(); ++k) {
    std::string why;
    lxw_worksheet* ws = AddWorksheet(book, names[k], &why);
    if (!ws) Fail(file, why);
    worksheet_freeze_panes(ws, 1, 0);
    for (lxw_col_t c = 0; c < 5; ++c) {
      Check(worksheet_set_column(ws, c, c, kWidths[c], nullptr), file);
      Check(worksheet_write_string(ws, 0, c, kHeadings[c], bold), file);
    }
    const size_t first = k * kLinesPerSheet;
    for (size_t i = first; i < mends.size() && i < first + kLinesPerSheet; ++i) {
      if (i % 4096 == 0 && stop && stop()) return false;
      const CellMend& m = mends[i];
      const auto row = static_cast<lxw_row_t>(i - first + 1);
      const std::string cell = ColumnLetters(m.column) + std::to_string(m.row);
      if (i - first < kLinksPerWorksheet) {  // the lines after have none
        const std::string target = InternalLink(data_sheet, cell);
        Check(worksheet_write_url_opt(ws, row, 0, target.c_str(), link, cell.c_str(), nullptr),
              file);
      } else {
        Check(worksheet_write_string(ws, row, 0, cell.c_str(), nullptr), file);
      }
      Check(worksheet_write_string(ws, row, 1, CellText(m.field).c_str(), nullptr), file);
      Check(worksheet_write_string(ws, row, 2, CellText(m.was).c_str(), nullptr), file);
      Check(worksheet_write_string(ws, row, 3, CellText(m.now).c_str(), nullptr), file);
      Check(worksheet_write_string(ws, row, 4, CellText(m.why).c_str(), nullptr), file);
    }
  }
  return true;
}

// "1234567_5.xlsx" for the workbook "1234567_5.xls".
std::string MendedName(const std::string& workbook_name) {
  return fs::path(workbook_name).stem().string() + ".xlsx";
}

}  // namespace

std::string MendedFolderRefusal(const fs::path& dir, const std::string& facility_id) {
  std::error_code ec;
  if (!fs::exists(dir, ec)) return "";
  if (!fs::is_directory(dir, ec)) return dir.string() + " is not a folder.";
  try {
    for (const fs::path& file : ListFiles(dir)) {
      const std::string name = NameOf(file);
      if (HasWorkbookSuffix(name) && IsFacilityWorkbook(name, facility_id)) {
        return dir.string() + " holds " + name + ", a workbook of facility " + facility_id +
               " already; the mended workbooks go to a folder without any, so that none is "
               "written over.";
      }
    }
  } catch (const Error& e) {
    return e.description();
  }
  return "";
}

std::vector<std::string> MendsSheetNames(size_t mends) {
  std::vector<std::string> names = {kMendsSheet};
  for (size_t k = 2; (k - 1) * kLinesPerSheet < mends; ++k)
    names.push_back(std::string(kMendsSheet) + " (" + std::to_string(k) + ")");
  return names;
}

bool WriteMendedCopy(const SheetOrigin& origin, const std::string& sheet_name,
                     const std::vector<CellMend>& mends, const fs::path& file,
                     const std::function<bool()>& stop) {
  const fs::path partial = PartialBeside(file);
  std::error_code ec;
  try {
    LxwBook book(partial);
    if (!book.get()) Fail(file, "the file cannot be created");
    MendFormats formats(book.get());
    const std::string data_name = CopySheetName(sheet_name, MendsSheetNames(mends.size()));
    std::string why;
    lxw_worksheet* ws = AddWorksheet(book.get(), data_name, &why);
    if (!ws) Fail(file, why);
    worksheet_set_comments_author(ws, const_cast<char*>("Sorvane"));
    lxw_comment_options comment{};
    comment.width = 300;
    comment.height = 80;

    ColumnWidths widths;
    // The mends are in the order of their cells, and the rows come in order:
    // those of a row are the next ones.
    size_t next = 0;
    auto write_row = [&](int64_t row_number, const std::vector<std::string>& cells,
                         const RowFormats& cell_formats) {
      const size_t filled = cell_formats.Filled(cells);
      widths.Note(cells, filled);
      const auto row = static_cast<lxw_row_t>(row_number - 1);
      while (next < mends.size() && mends[next].row < row_number) ++next;
      size_t end = next;
      while (end < mends.size() && mends[end].row == row_number) ++end;
      size_t at = next;  // the next mend of the row, by column
      for (size_t c = 0; c < filled; ++c) {
        while (at < end && static_cast<size_t>(mends[at].column) < c) ++at;
        if (cells[c].empty() || (at < end && static_cast<size_t>(mends[at].column) == c)) continue;
        Check(WriteCellAsRead(ws, row, static_cast<lxw_col_t>(c), cells[c], cell_formats, c,
                              [&](const std::string& code) { return formats.For(code, false); }),
              file);
      }
      for (; next < end; ++next) {
        const CellMend* m = &mends[next];
        if (m->column < 0 || m->column > LXW_COL_MAX || row_number > LXW_ROW_MAX + 1) continue;
        Check(WriteMend(ws, row, *m, formats), file);
        // The writer holds every comment until the end: past as many as the
        // Mends sheet links, the fill and the list say it.
        if (next >= kLinksPerWorksheet) continue;
        const std::string note = NoteText("Was " + (m->was.empty() ? "empty" : Quoted(m->was)) +
                                          ": " + std::string(m->why) + ".");
        Check(worksheet_write_comment_opt(ws, row, static_cast<lxw_col_t>(m->column), note.c_str(),
                                          &comment),
              file);
      }
    };
    if (!ReadSheetAgain(origin, write_row, stop, [&](const std::string& why) { Fail(file, why); }))
      return false;  // the book is dropped unwritten
    Check(widths.Apply(ws), file);
    if (!WriteMendsSheets(book.get(), data_name, mends, file, stop)) return false;
    const lxw_error e = book.Close(stop);
    if (book.stopped()) return false;
    if (e != LXW_NO_ERROR) Fail(file, book.ErrorText(e));
    fs::rename(partial, file, ec);
    if (ec) Fail(file, ec.message());
    return true;
  } catch (...) {
    fs::remove(partial, ec);
    throw;
  }
}

MendedCopiesResult WriteMendedCopies(const RunState& state, const fs::path& dir) {
  MendedCopiesResult result;
  std::string refusal = MarkedCopiesDirRefusal(state, dir, "the mended workbooks");
  if (refusal.empty()) refusal = MakeMarkedCopiesDir(dir);
  if (refusal.empty()) refusal = MendedFolderRefusal(dir, state.FacilityID);
  if (!refusal.empty()) {
    result.failures.push_back(refusal);
    return result;
  }
  for (int n = 1; n <= 5; ++n) {
    const TableInfo& info = state.Tables[static_cast<size_t>(n)];
    const SheetOrigin& origin = info.Origin;
    if (origin.path.empty()) continue;
    if (state.Stopped()) {
      result.stopped = true;
      break;
    }
    MendedCopiesResult::Copy copy{n, {}, MendsOf(state, n)};
    try {
      if (copy.mends.empty()) {
        copy.file = dir / origin.path.filename();
        std::error_code ec;
        if (!fs::is_regular_file(origin.path, ec) && fs::exists(origin.path, ec)) {
          throw FileError(kErrPathFileAccess, "The workbook " + origin.path.string() + " is " +
                                                  NotAPlainFile().message() +
                                                  "; it was not copied.");
        }
        if (ChangedSinceImport(origin)) {
          throw FileError(kErrPathFileAccess, "The workbook " + origin.path.string() +
                                                  " changed after it was imported; import it "
                                                  "again first.");
        }
        CopyWhole(origin.path, copy.file, ec);
        if (ec) {
          throw FileError(kErrPathFileAccess, "The workbook could not be copied to " +
                                                  copy.file.string() + ": " + ec.message());
        }
      } else {
        copy.file = dir / MendedName(info.WorkbookName);
        if (!WriteMendedCopy(origin, info.SheetName, copy.mends, copy.file, state.StopRequested)) {
          result.stopped = true;
          break;
        }
      }
      result.written.push_back(std::move(copy));
    } catch (const Error& e) {
      result.failures.push_back(e.description());
    } catch (const std::bad_alloc& e) {
      result.failures.push_back("The mended workbook could not be written to " +
                                copy.file.string() + ": " + FailureText(e));
    }
  }
  return result;
}

}  // namespace sorvane
