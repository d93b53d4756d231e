#include "import/readers/xml_spreadsheet.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/date.h"
#include "import/readers/cell_text.h"
#include "import/readers/number_format.h"
#include "import/readers/read_failure.h"
#include "import/readers/used_range.h"
#include "import/readers/xml_part.h"

namespace sorvane::readers {
namespace {

constexpr std::string_view kNamespace = "urn:schemas-microsoft-com:office:spreadsheet";
constexpr int64_t kMaxRows = 1048576;
constexpr int32_t kMaxColumns = 16384;

// The codes of the number formats Excel names rather than writes.
std::string FormatCode(std::string_view format) {
  static const std::unordered_map<std::string_view, std::string_view> kNamed = {
      {"General", ""},
      {"General Number", "General"},
      {"General Date", "m/d/yyyy h:mm"},
      {"Short Date", "m/d/yyyy"},
      {"Medium Date", "d-mmm-yy"},
      {"Long Date", "dddd, mmmm d, yyyy"},
      {"Short Time", "h:mm"},
      {"Medium Time", "h:mm AM/PM"},
      {"Long Time", "h:mm:ss"},
      {"Fixed", "0.00"},
      {"Standard", "#,##0.00"},
      {"Percent", "0.00%"},
      {"Scientific", "0.00E+00"},
      {"Currency", "\"$\"#,##0.00_);\\(\"$\"#,##0.00\\)"},
      {"Yes/No", "\"Yes\";\"Yes\";\"No\""},
      {"True/False", "\"True\";\"True\";\"False\""},
      {"On/Off", "\"On\";\"On\";\"Off\""},
  };
  const auto it = kNamed.find(format);
  return std::string(it != kNamed.end() ? it->second : format);
}

// A row's or cell's 1-based index: the one it says, or the one after the last.
int64_t Index(const char* value, int64_t fallback, int64_t max) {
  int64_t n = fallback;
  if (value != nullptr) {
    const auto [p, ec] = std::from_chars(value, value + std::strlen(value), n);
    if (ec != std::errc() || *p != '\0') n = 0;
  }
  if (n < 1 || n > max) Damaged("a row or cell lies outside the sheet's grid");
  return n;
}

// The document's styles: each one's number format, its parent's where it
// names none.
class Styles {
 public:
  void Add(const char* id, const char* parent) {
    if (id == nullptr) return;
    current_ = id;
    parents_[current_] = parent != nullptr ? parent : "";
  }
  void SetFormat(const char* format) {
    if (format != nullptr && !current_.empty()) formats_[current_] = FormatCode(format);
  }
  // Resolves the styles once they are all read, 1904 dates or not.
  void Resolve(bool date1904) {
    formats.date1904 = date1904;
    formats.Add("");  // index 0: no style, General
    is_date.push_back(false);
    for (const auto& [id, parent] : parents_) {
      std::string code;
      std::string at = id;
      for (int depth = 0; depth < 64 && !at.empty(); ++depth) {
        if (const auto f = formats_.find(at); f != formats_.end()) {
          code = f->second;
          break;
        }
        const auto p = parents_.find(at);
        at = p != parents_.end() ? p->second : "";
      }
      index_[id] = is_date.size();
      is_date.push_back(IsDateFormatCode(code));
      formats.Add(std::move(code));
    }
  }
  // The index of style `id` in `formats`; without one, the default style's.
  uint64_t IndexOf(const char* id) const {
    const auto it = index_.find(id != nullptr ? id : "Default");
    return it != index_.end() ? it->second : 0;
  }

  StyleFormats formats;
  std::vector<bool> is_date;

 private:
  std::string current_;
  std::unordered_map<std::string, std::string> parents_, formats_;
  std::unordered_map<std::string, uint64_t> index_;
};

enum class Type { kString, kNumber, kDateTime, kBoolean, kError };

Type TypeOf(const char* t) {
  if (t == nullptr) return Type::kString;
  if (std::strcmp(t, "Number") == 0) return Type::kNumber;
  if (std::strcmp(t, "DateTime") == 0) return Type::kDateTime;
  if (std::strcmp(t, "Boolean") == 0) return Type::kBoolean;
  if (std::strcmp(t, "Error") == 0) return Type::kError;
  return Type::kString;
}

// One pass over the document: the styles, then the cells of the worksheet
// read, to the scanner (positions) or the emitter (texts).
class SpreadsheetHandler final : public XmlHandler {
 public:
  SpreadsheetHandler(int sheet, Styles& styles, ShapeScanner* scanner, RowEmitter* emitter)
      : sheet_(sheet), styles_(styles), scanner_(scanner), emitter_(emitter) {}

  void Start(std::string_view name, const char** attrs) override {
    if (!in_sheet_) {
      StartOutsideSheet(name, attrs);
    } else if (name == "Row") {
      row_ = Index(Attr(attrs, "Index"), row_ + 1, kMaxRows);
      next_col_ = 0;
    } else if (name == "Cell") {
      col_ = static_cast<int32_t>(Index(Attr(attrs, "Index"), next_col_ + 1, kMaxColumns) - 1);
      // A merged cell takes the columns it spans; a span past the grid is
      // left to the next cell's index, or to that cell, to find out.
      int64_t across = 0;
      if (const char* a = Attr(attrs, "MergeAcross")) {
        std::from_chars(a, a + std::strlen(a), across);
      }
      next_col_ = col_ + 1 + static_cast<int32_t>(std::clamp<int64_t>(across, 0, kMaxColumns));
      if (row_ == 0) row_ = 1;
      const char* style = Attr(attrs, "StyleID");
      style_ = styles_.IndexOf(style);
      styled_ = style != nullptr;
      has_data_ = false;
    } else if (name == "Comment") {
      ++comment_;
    } else if (name == "Data" && comment_ == 0) {
      in_data_ = true;
      has_data_ = true;
      type_ = TypeOf(Attr(attrs, "Type"));
      text_.clear();
    }
  }

  void End(std::string_view name) override {
    if (!in_sheet_) return;
    if (name == "Data") {
      in_data_ = false;
    } else if (name == "Comment") {
      --comment_;
    } else if (name == "Cell") {
      // A cell of neither value nor style is nothing (LibreOffice writes one
      // at the end of every row down to the grid's last).
      if (scanner_ != nullptr && (has_data_ || styled_)) scanner_->Add(row_, col_);
      if (emitter_ != nullptr && has_data_) {
        Emit();
        if (emitter_->stopped()) Stop();
      }
    } else if (name == "Worksheet") {
      Stop();
    }
  }

  void Text(const char* s, int len) override {
    if (in_data_ && emitter_ != nullptr) text_.append(s, static_cast<size_t>(len));
  }

  bool found() const { return in_sheet_; }
  const std::string& sheet_name() const { return sheet_name_; }

 private:
  void StartOutsideSheet(std::string_view name, const char** attrs) {
    if (name == "Style") {
      if (scanner_ != nullptr) styles_.Add(Attr(attrs, "ID"), Attr(attrs, "Parent"));
    } else if (name == "NumberFormat") {
      if (scanner_ != nullptr) styles_.SetFormat(Attr(attrs, "Format"));
    } else if (name == "Date1904") {
      date1904_ = true;
    } else if (name == "Worksheet" && worksheets_++ == sheet_) {
      in_sheet_ = true;
      const char* n = Attr(attrs, "Name");
      sheet_name_ = n != nullptr ? n : "";
      if (scanner_ != nullptr) styles_.Resolve(date1904_);
    }
  }

  void Emit() {
    std::string& out = emitter_->Cell(row_, col_);
    const bool is_date = style_ < styles_.is_date.size() && styles_.is_date[style_];
    const bool date1904 = styles_.formats.date1904;
    switch (type_) {
      case Type::kNumber: {
        double v = 0;
        const auto [p, ec] = std::from_chars(text_.data(), text_.data() + text_.size(), v);
        if (ec != std::errc() || p != text_.data() + text_.size()) {
          out = text_;  // no number: shown as written
          break;
        }
        AppendNumberText(v, is_date, date1904, out);
        emitter_->MarkNumber(v, style_, is_date);
        break;
      }
      case Type::kDateTime: {
        const std::optional<Date> d = Date::FromIso(text_.substr(0, 19));
        if (!d) {
          out = text_;
          break;
        }
        const double serial = d->ToSerial(date1904);
        AppendNumberText(serial, true, date1904, out);
        emitter_->MarkNumber(serial, style_, true);
        break;
      }
      case Type::kBoolean:
        out.append(BooleanText(text_ == "1" || text_ == "true"));
        emitter_->MarkKind(RowFormats::Kind::kBoolean);
        break;
      case Type::kError:
        out = text_;
        emitter_->MarkKind(RowFormats::Kind::kError);
        break;
      case Type::kString:
        out = text_;
        break;
    }
  }

  int sheet_;
  Styles& styles_;
  ShapeScanner* scanner_;
  RowEmitter* emitter_;
  int worksheets_ = 0, comment_ = 0;
  bool in_sheet_ = false, in_data_ = false, has_data_ = false, styled_ = false;
  bool date1904_ = false;
  std::string sheet_name_, text_;
  int64_t row_ = 0;
  int32_t col_ = 0, next_col_ = 0;
  uint64_t style_ = 0;
  Type type_ = Type::kString;
};

}  // namespace

bool IsXmlSpreadsheet(std::string_view text) {
  return text.substr(0, 64 * 1024).find(kNamespace) != std::string_view::npos;
}

SheetShape ReadXmlSpreadsheet(std::string_view xml, const ShownRowCallback* on_row,
                              const ReadLimits& limits, const ShapeCallback& on_shape, int sheet,
                              const std::function<bool()>& keep_going) {
  Styles styles;  // read by the first pass, used by the second
  SheetShape shape;
  shape.format = "xml";
  return ReadInTwoPasses(shape, on_row, &styles.formats, limits, on_shape, keep_going,
                         [&](ShapeScanner* scanner, RowEmitter* emitter) {
                           SpreadsheetHandler handler(sheet, styles, scanner, emitter);
                           ParseXmlText(xml, "", handler);
                           if (!handler.found()) {
                             Fail(WorkbookError::Reason::kNoWorksheet,
                                  "the workbook holds no worksheet");
                           }
                           shape.sheet_name = handler.sheet_name();
                         });
}

}  // namespace sorvane::readers
