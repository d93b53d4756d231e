#include "checks/error_workbook_writer.h"

#include <xlsxwriter.h>

#include <map>
#include <system_error>
#include <tuple>

#include "checks/lxw_book.h"
#include "checks/workbook_stamp.h"
#include "core/errors.h"
#include "core/text.h"

namespace sorvane {
namespace fs = std::filesystem;

namespace {

// A cell's text as the file can hold it: valid UTF-8; a NUL shown as "\x00"
// (the writer takes C strings, which a NUL would end); no more characters than
// a cell holds, a longer text cut with its length said.
const char* CellText(std::string_view text, std::string& buffer) {
  if (text.find('\0') == std::string_view::npos && text.size() <= kCellCharacters) {
    buffer = ValidUtf8(text);
    return buffer.c_str();
  }
  std::string escaped;
  for (char c : text) {
    if (c == '\0') {
      escaped += "\\x00";
    } else {
      escaped += c;
    }
  }
  buffer = ValidUtf8(escaped);
  if (Utf8Length(buffer) > kCellCharacters) {
    const std::string note = "\u2026(" + std::to_string(Utf8Length(buffer)) + " characters)";
    buffer = Utf8Prefix(buffer, kCellCharacters - Utf8Length(note)) + note;
  }
  return buffer.c_str();
}

[[noreturn]] void Fail(const fs::path& file, const std::string& reason) {
  throw FileError(kErrPathFileAccess,
                  "The error workbook could not be written to " + file.string() + ": " + reason);
}

// One format per distinct font; the default font needs none.
class Formats {
 public:
  explicit Formats(lxw_workbook* book) : book_(book) {}
  lxw_format* For(const CellFont& font) {
    if (font == CellFont{}) return nullptr;
    auto key = std::make_tuple(font.bold, font.size, font.color);
    auto it = formats_.find(key);
    if (it != formats_.end()) return it->second;
    lxw_format* f = workbook_add_format(book_);
    if (font.bold) format_set_bold(f);
    if (font.size > 0) format_set_font_size(f, font.size);
    if (font.color != 0) format_set_font_color(f, font.color);
    formats_[key] = f;
    return f;
  }

 private:
  lxw_workbook* book_;
  std::map<std::tuple<bool, double, uint32_t>, lxw_format*> formats_;
};

}  // namespace

bool SaveErrorWorkbook(const ErrorWorkbook& book, const std::string& title, const fs::path& file,
                       const std::function<bool()>& stop) {
  struct Stopped {};
  const fs::path partial = PartialBeside(file);
  std::error_code ec;
  try {
    LxwBook out(partial);
    if (!out.get()) Fail(file, "out of memory");
    lxw_doc_properties properties{};
    // The file's parts are XML in UTF-8: texts from elsewhere (a Facility ID
    // typed on a command line, a reference table) may be neither.
    std::string safe_title = ValidUtf8(title);
    for (char& c : safe_title) {
      if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    }
    properties.title = const_cast<char*>(safe_title.c_str());
    workbook_set_properties(out.get(), &properties);
    const int64_t stamp = StampWorkbook(out.get());
    Formats formats(out.get());
    for (int index = 1; index <= book.SheetCount(); ++index) {
      const ErrorSheet& sheet = book.Sheet(index);
      std::string why;
      lxw_worksheet* ws = AddWorksheet(out.get(), ValidUtf8(sheet.name()), &why);
      if (!ws) Fail(file, why);
      if (index == book.active_sheet()) worksheet_activate(ws);
      for (const auto& [column, width] : sheet.column_widths()) {
        const lxw_col_t c = static_cast<lxw_col_t>(column - 1);
        worksheet_set_column(ws, c, c, width, nullptr);
      }
      std::string buffer;
      sheet.ForEachRow([&](int64_t row_number, const std::vector<std::string_view>& cells,
                           const CellFont& font_a) {
        if (stop && stop()) throw Stopped{};
        const auto row = static_cast<lxw_row_t>(row_number - 1);
        for (size_t j = 0; j < cells.size(); ++j) {
          const auto col = static_cast<lxw_col_t>(j);
          lxw_format* format = j == 0 ? formats.For(font_a) : nullptr;
          lxw_error e = cells[j].empty() ? worksheet_write_blank(ws, row, col, format)
                                         : worksheet_write_string(
                                               ws, row, col, CellText(cells[j], buffer), format);
          if (e != LXW_NO_ERROR) Fail(file, lxw_strerror(e));
        }
      });
    }
    lxw_error e = out.Close(stop);
    if (out.stopped()) throw Stopped{};
    if (e != LXW_NO_ERROR) Fail(file, out.ErrorText(e));
    // A file system that keeps no such times still gets the workbook; a later
    // export then keeps it aside rather than replacing it.
    SetStampTime(partial, stamp);
    fs::rename(partial, file, ec);
    if (ec) Fail(file, ec.message());
  } catch (const Stopped&) {
    return false;  // the book was dropped unwritten
  } catch (...) {
    fs::remove(partial, ec);
    throw;
  }
  return true;
}

}  // namespace sorvane
