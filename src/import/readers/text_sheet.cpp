#include "import/readers/text_sheet.h"

#include <utility>

#include "core/text.h"
#include "import/readers/cell_text.h"
#include "import/readers/code_page.h"
#include "import/readers/read_failure.h"
#include "import/readers/used_range.h"
#include "import/readers/utf8.h"

namespace sorvane::readers {
namespace {

// The text as UTF-8, by its byte-order mark or, without one, as UTF-8 where
// it is well-formed and as Windows Western where it is not. A text in UTF-8
// already is kept as it came, not copied: it may be hundreds of megabytes.
std::string AsUtf8(std::string&& whole) {
  const std::string_view bytes = whole;
  std::string out;
  const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
  if (bytes.size() >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
    Utf16Decoder utf16;
    utf16.AddLe(p + 2, (bytes.size() - 2) / 2, out);
    utf16.Finish(out);
    return out;
  }
  if (bytes.size() >= 2 && p[0] == 0xFE && p[1] == 0xFF) {
    Utf16Decoder utf16;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      utf16.Add(static_cast<uint16_t>((p[i] << 8) | p[i + 1]), out);
    }
    utf16.Finish(out);
    return out;
  }
  if (bytes.starts_with("\xEF\xBB\xBF")) whole.erase(0, 3);
  if (IsWellFormedUtf8(whole)) return std::move(whole);
  CodePage(1252).Append(whole, out);
  return out;
}

// The separator of the first lines (a title may stand above the table): a
// tab where one has one, else the more frequent of comma and semicolon (a
// semicolon where a decimal comma is the custom), counted outside quotes;
// none for lines without one.
char SeparatorOf(std::string_view text) {
  constexpr int kLines = 20;
  size_t tabs = 0, commas = 0, semicolons = 0;
  bool quoted = false;
  int lines = 0;
  for (const char c : text) {
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == '\n' && ++lines == kLines) break;
    tabs += c == '\t';
    commas += c == ',';
    semicolons += c == ';';
  }
  if (tabs > 0) return '\t';
  if (commas + semicolons == 0) return '\0';
  return semicolons > commas ? ';' : ',';
}

// Walks the fields of the text: `on_field(row, col, text)` for each one that
// is not empty, rows and columns counted from 1 and 0, until it returns false.
template <typename OnField>
void WalkFields(std::string_view text, char separator, OnField&& on_field) {
  int64_t row = 1;
  int32_t col = 0;
  std::string field;
  size_t i = 0;
  while (i < text.size()) {
    field.clear();
    if (text[i] == '"') {
      // Quoted: up to the quote not doubled; what follows it up to the
      // separator is kept, as a spreadsheet program keeps it.
      for (++i; i < text.size(); ++i) {
        if (text[i] != '"') {
          field += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == '"') {
          field += '"';
          ++i;
        } else {
          ++i;
          break;
        }
      }
    }
    while (i < text.size() && text[i] != separator && text[i] != '\n' && text[i] != '\r') {
      field += text[i++];
    }
    if (!field.empty()) {
      if (col >= 16384) Damaged("a line has more fields than a sheet has columns");
      if (!on_field(row, col, field)) return;
    }
    if (i == text.size()) break;
    if (text[i] == separator) {
      ++col;
      ++i;
      continue;
    }
    // A line break: CR LF, LF or CR alone.
    i += text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n' ? 2 : 1;
    if (++row > 1048576 && i < text.size())
      Damaged("the text has more lines than a sheet has rows");
    col = 0;
  }
}

}  // namespace

SheetShape ReadTextSheet(std::string bytes, const std::string& sheet_name,
                         const ShownRowCallback* on_row, const ReadLimits& limits,
                         const ShapeCallback& on_shape, const std::function<bool()>& keep_going) {
  const std::string text = AsUtf8(std::move(bytes));
  const char separator = SeparatorOf(text);
  // A text without a table (a message or a note saved under a workbook's
  // name) is no table of one column: the five tables have many fields.
  if (separator == '\0') {
    Fail(WorkbookError::Reason::kNotSpreadsheet,
         "it is not a spreadsheet but a text file with a workbook's name, and its first lines "
         "hold no values separated by tabs, commas or semicolons");
  }
  SheetShape shape;
  shape.format = "text";
  shape.sheet_name = sheet_name;
  return ReadInTwoPasses(shape, on_row, nullptr, limits, on_shape, keep_going,
                         [&](ShapeScanner* scanner, RowEmitter* emitter) {
                           WalkFields(text, separator,
                                      [&](int64_t row, int32_t col, const std::string& field) {
                                        if (scanner != nullptr) {
                                          scanner->Add(row, col);
                                          return true;
                                        }
                                        emitter->Cell(row, col) = field;
                                        if (IsGeneralForm(field))
                                          emitter->MarkKind(RowFormats::Kind::kNumber);
                                        return !emitter->stopped();
                                      });
                         });
}

}  // namespace sorvane::readers
