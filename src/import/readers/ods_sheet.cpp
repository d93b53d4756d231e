#include "import/readers/ods_sheet.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/date.h"
#include "import/readers/cell_text.h"
#include "import/readers/ods_styles.h"
#include "import/readers/read_failure.h"
#include "import/readers/used_range.h"
#include "import/readers/xml_part.h"
#include "import/readers/xml_tag_scanner.h"

namespace sorvane::readers {
namespace {

using Reason = WorkbookError::Reason;

constexpr int64_t kMaxRows = 1048576;
constexpr int64_t kMaxColumns = 16384;
// A cell's text grows past its bytes in the file only through runs of blanks
// (<text:s text:c="..."/>); these bound what a few bytes can ask for, in a
// cell and in the row held until it ends.
constexpr size_t kMaxCellText = size_t{16} << 20;
constexpr size_t kMaxRowText = size_t{64} << 20;

std::string PartHead(ZipPackage& zip, std::string_view part, size_t bytes) {
  std::string head;
  if (!zip.Has(part)) return head;
  zip.Read(part, [&](const char* p, size_t n) {
    head.append(p, std::min(n, bytes - head.size()));
    return head.size() < bytes;
  });
  return head;
}

// A repeat count; counts past the grid are cut to it (a row of blanks to the
// end of the sheet says so with the number of rows the program has).
int64_t Repeat(const char* v) {
  if (v == nullptr) return 1;
  int64_t n = 1;
  const auto [p, ec] = std::from_chars(v, v + std::strlen(v), n);
  if (ec == std::errc::result_out_of_range) return kMaxRows;
  if (ec != std::errc() || n < 1) return 1;
  return std::min(n, kMaxRows);
}

// Days since the spreadsheet epoch of "YYYY-MM-DD[THH:MM:SS[.fff]]", as the
// 1900 system counts them (its serials before March 1900 run one day behind),
// or in the 1904 system.
bool DateSerial(std::string_view v, bool date1904, double& serial) {
  if (v.size() < 10) return false;
  const std::optional<Date> day = Date::FromIso(v.substr(0, 10));
  if (!day) return false;
  double seconds = 0;
  if (v.size() > 10) {
    if (v[10] != 'T' && v[10] != ' ') return false;
    std::string_view t = v.substr(11);
    int h = 0, m = 0;
    double s = 0;
    auto number = [&t](auto& out) {
      const auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), out);
      if (ec != std::errc()) return false;
      t.remove_prefix(static_cast<size_t>(p - t.data()));
      return true;
    };
    if (!number(h) || !t.starts_with(':')) return false;
    t.remove_prefix(1);
    if (!number(m) || !t.starts_with(':')) return false;
    t.remove_prefix(1);
    if (!number(s)) return false;
    // A time zone, which a spreadsheet's dates do not have, is passed over.
    if (h < 0 || h > 23 || m < 0 || m > 59 || !(s >= 0 && s < 61)) return false;
    seconds = h * 3600.0 + m * 60.0 + s;
  }
  const double days = static_cast<double>((day->Ticks() - Date().Ticks()) / 86400);
  serial = days + seconds / 86400.0;
  if (date1904) {
    serial -= 1462;
  } else if (days >= 2 && days < 61) {
    serial -= 1;
  }
  return true;
}

// "PT12H30M05.5S" (or with days, or negative) as a fraction of a day.
bool DurationDays(std::string_view v, double& out) {
  const bool negative = v.starts_with('-');
  if (negative) v.remove_prefix(1);
  if (!v.starts_with('P')) return false;
  v.remove_prefix(1);
  double total = 0;
  bool in_time = false, any = false;
  while (!v.empty()) {
    if (v[0] == 'T') {
      in_time = true;
      v.remove_prefix(1);
      continue;
    }
    double n = 0;
    const auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
    if (ec != std::errc() || p == v.data() + v.size() || !(n >= 0)) return false;
    const char unit = *p;
    v.remove_prefix(static_cast<size_t>(p - v.data()) + 1);
    if (unit == 'D' && !in_time) {
      total += n;
    } else if (unit == 'H' && in_time) {
      total += n / 24;
    } else if (unit == 'M' && in_time) {
      total += n / 1440;
    } else if (unit == 'S' && in_time) {
      total += n / 86400;
    } else {
      return false;
    }
    any = true;
  }
  out = negative ? -total : total;
  return any && std::isfinite(out);
}

enum class Value : uint8_t { kNone, kNumber, kDate, kBoolean, kText, kError };

// One cell of a row with content, kept until the row ends: a row may stand
// for several.
struct Cell {
  int64_t col = 0, repeat = 1;
  Value kind = Value::kNone;
  double number = 0;
  uint64_t style = static_cast<uint64_t>(-1);
  std::string text;
};

// The rows of a sheet as read for its used range, kept compactly while they
// take no more than a budget: a sheet within it is then not read again.
class HeldRows {
 public:
  explicit HeldRows(uint64_t budget) : budget_(budget) {}

  bool whole() const { return whole_; }

  void Add(int64_t first, int64_t repeat, const std::vector<Cell>& cells) {
    if (!whole_) return;
    rows_.push_back({first, repeat, cells_.size()});
    for (const Cell& c : cells) {
      cells_.push_back({c.number, c.style, static_cast<uint32_t>(texts_.size()),
                        static_cast<uint32_t>(c.text.size()), static_cast<int32_t>(c.col),
                        static_cast<int32_t>(c.repeat), c.kind});
      texts_ += c.text;
    }
    // What the lists have taken, room to grow included; a text's place is
    // kept in 32 bits.
    const uint64_t taken =
        rows_.capacity() * sizeof(Row) + cells_.capacity() * sizeof(Held) + texts_.capacity();
    if (taken > budget_ || texts_.size() > UINT32_MAX) {
      whole_ = false;  // read again for the rows
      rows_ = {};
      cells_ = {};
      texts_ = {};
    }
  }

  // Calls `row(first, repeat, cells)` for each row in turn, until it gives
  // false.
  template <typename RowFn>
  void Replay(const RowFn& row) const {
    std::vector<Cell> cells;
    for (size_t r = 0; r < rows_.size(); ++r) {
      const size_t end = r + 1 < rows_.size() ? rows_[r + 1].cells_at : cells_.size();
      cells.resize(end - rows_[r].cells_at);
      for (size_t k = 0; k < cells.size(); ++k) {
        const Held& h = cells_[rows_[r].cells_at + k];
        Cell& c = cells[k];
        c.col = h.col;
        c.repeat = h.repeat;
        c.kind = h.kind;
        c.number = h.number;
        c.style = h.style;
        c.text.assign(texts_, h.text_at, h.text_size);
      }
      if (!row(rows_[r].first, rows_[r].repeat, cells)) return;
    }
  }

 private:
  struct Row {
    int64_t first, repeat;
    size_t cells_at;
  };
  struct Held {
    double number;
    uint64_t style;
    uint32_t text_at, text_size;
    int32_t col, repeat;  // within the sheet's columns
    Value kind;
  };
  uint64_t budget_;
  bool whole_ = true;
  std::vector<Row> rows_;
  std::vector<Held> cells_;
  std::string texts_;
};

class ContentHandler final : public XmlHandler {
 public:
  // Finds the shape when `emitter` is null (asking `keep_going`, if any,
  // every 256 rows) and keeps the rows in `held`, if any; delivers the rows
  // otherwise.
  ContentHandler(ShapeScanner* scanner, RowEmitter* emitter, const OdsFormats* formats,
                 const std::function<bool()>* keep_going = nullptr, HeldRows* held = nullptr)
      : keep_going_(keep_going),
        scanner_(scanner),
        emitter_(emitter),
        formats_(formats),
        held_(held) {}

  // Delivers the rows kept while the shape was found.
  void Deliver(const HeldRows& held, RowEmitter* emitter) {
    emitter_ = emitter;
    held.Replay([&](int64_t first, int64_t repeat, const std::vector<Cell>& cells) {
      return EmitRow(first, repeat, cells);
    });
  }

  std::string sheet_name;
  bool found_sheet = false;
  int tables_to_pass = 0;  // the sheets before the one read
  bool date1904 = false;
  bool given_up = false;  // keep_going said no

  void Start(std::string_view name, const char** attrs) override {
    if (skip_ > 0) {
      ++skip_;
      return;
    }
    if (!in_table_) {
      if (name == "null-date") {
        const char* v = Attr(attrs, "date-value");
        date1904 = v != nullptr && std::string_view(v).starts_with("1904-01-01");
      } else if (name == "table") {
        if (tables_to_pass > 0) {
          --tables_to_pass;
          skip_ = 1;
          return;
        }
        in_table_ = found_sheet = true;
        const char* n = Attr(attrs, "name");
        sheet_name = n != nullptr ? n : "";
      }
      return;
    }
    if (in_cell_) {
      CellContent(name, attrs);
      return;
    }
    if (name == "table-cell" || name == "covered-table-cell") {
      StartCell(attrs);
    } else if (name == "table-row") {
      row_repeat_ = Repeat(Attr(attrs, "number-rows-repeated"));
      const char* d = Attr(attrs, "default-cell-style-name");
      row_style_ = d != nullptr ? d : "";
      col_ = 0;
      cells_.clear();
      row_text_ = 0;
    } else if (name == "table-column") {
      const char* d = Attr(attrs, "default-cell-style-name");
      const int64_t n = Repeat(Attr(attrs, "number-columns-repeated"));
      for (int64_t i = 0; i < n && column_styles_.size() < kMaxColumns; ++i) {
        column_styles_.emplace_back(d != nullptr ? d : "");
      }
    } else if (name == "table" || name == "shapes" || name == "forms" ||
               name == "named-expressions") {
      skip_ = 1;  // a table inside the sheet, drawings, form controls
    }
  }

  void End(std::string_view name) override {
    if (skip_ > 0) {
      --skip_;
      return;
    }
    if (!in_table_) return;
    if (in_cell_) {
      if (cell_depth_ > 0) {
        if (--cell_depth_ == 0) in_para_ = false;
        return;
      }
      EndCell();
      return;
    }
    if (name == "table-row") {
      EndRow();
    } else if (name == "table") {
      in_table_ = false;
      Stop();  // the first sheet only
    }
  }

  void Text(const char* s, int len) override {
    if (!in_para_ || skip_ > 0) return;
    for (int i = 0; i < len; ++i) {
      const char c = s[i];
      // Runs of white space in the file are one blank, none at the start of
      // a paragraph; the file writes the blanks it means as elements.
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
        if (!blank_) cell_.text += ' ';
        blank_ = true;
      } else {
        cell_.text += c;
        blank_ = false;
      }
    }
    Bound();
  }

  bool WantsAttributes(std::string_view name) const override {
    return name == "table-cell" || name == "covered-table-cell" || name == "table-row" ||
           name == "table-column" || name == "table" || name == "null-date" || name == "s";
  }

 private:
  void StartCell(const char** attrs) {
    in_cell_ = true;
    cell_depth_ = 0;
    paragraphs_ = 0;
    cell_ = {};
    cell_.col = col_;
    // The attributes in one pass; of two of one name, the first counts (the
    // office's value type before the program's own).
    const char *type = nullptr, *value = nullptr, *date = nullptr, *time = nullptr,
               *boolean = nullptr, *string = nullptr, *style = nullptr, *repeat = nullptr,
               *formula = nullptr;
    bool error = false;
    for (const char** a = attrs; a[0] != nullptr; a += 2) {
      const std::string_view local = LocalName(a[0]);
      auto take = [&](std::string_view n, const char*& slot) {
        if (local != n) return false;
        if (slot == nullptr) slot = a[1];
        return true;
      };
      if (local == "value-type") {
        if (std::string_view(a[0]).starts_with("office:") || type == nullptr) type = a[1];
        if (std::string_view(a[0]).starts_with("calcext:") && std::string_view(a[1]) == "error")
          error = true;
      } else if (!take("value", value) && !take("date-value", date) && !take("time-value", time) &&
                 !take("boolean-value", boolean) && !take("string-value", string) &&
                 !take("style-name", style) && !take("formula", formula)) {
        take("number-columns-repeated", repeat);
      }
    }
    formula_ = formula != nullptr;
    cell_.repeat = std::min(Repeat(repeat), kMaxColumns);
    col_ += cell_.repeat;
    const std::string_view t = type != nullptr ? type : "";
    if (t == "float" || t == "percentage" || t == "currency") {
      if (value != nullptr && ParseNumber(value)) cell_.kind = Value::kNumber;
    } else if (t == "date") {
      if (date != nullptr && DateSerial(date, date1904, cell_.number)) cell_.kind = Value::kDate;
    } else if (t == "time") {
      if (time != nullptr && DurationDays(time, cell_.number)) cell_.kind = Value::kDate;
    } else if (t == "boolean") {
      if (boolean != nullptr) {
        cell_.kind = Value::kBoolean;
        cell_.number = std::string_view(boolean) == "true" ? 1 : 0;
      }
    } else if (t == "string" && string != nullptr && !error) {
      cell_.text = string;
      string_value_ = true;
    }
    // A formula's error keeps its text in the paragraph ("#DIV/0!"), whatever
    // empty string value the office type gives it.
    if (error) cell_.kind = Value::kError;
    // A cell's format serves its delivery: the read for the shape looks it
    // up only while it keeps the rows.
    if (formats_ == nullptr || (held_ != nullptr && !held_->whole())) return;
    if (style != nullptr) {
      cell_.style = formats_->Of(style);
    } else if (!row_style_.empty()) {
      cell_.style = formats_->Of(row_style_);
    } else if (static_cast<size_t>(cell_.col) < column_styles_.size()) {
      cell_.style = formats_->Of(column_styles_[static_cast<size_t>(cell_.col)]);
    }
  }

  bool ParseNumber(const char* v) {
    const auto [p, ec] = std::from_chars(v, v + std::strlen(v), cell_.number);
    return ec == std::errc() && *p == '\0';
  }

  // An element inside a cell: its paragraphs hold the text, and only they
  // (a comment or a drawing anchored to the cell has paragraphs of its own).
  void CellContent(std::string_view name, const char** attrs) {
    ++cell_depth_;
    if (cell_depth_ == 1) {
      if (name == "p" || name == "h") {
        if (paragraphs_++ > 0 && !string_value_) cell_.text += '\n';
        in_para_ = !string_value_;
        blank_ = true;
      } else {
        skip_ = 1;
        --cell_depth_;
      }
      return;
    }
    if (!in_para_) return;
    if (name == "note" || name == "annotation" || name == "frame" || name == "rt") {
      skip_ = 1;
      --cell_depth_;
    } else if (name == "s") {
      const int64_t n = std::min<int64_t>(Repeat(Attr(attrs, "c")), 65536);
      cell_.text.append(static_cast<size_t>(n), ' ');
      blank_ = false;
      Bound();
    } else if (name == "tab") {
      cell_.text += '\t';
      blank_ = false;
    } else if (name == "line-break") {
      cell_.text += '\n';
      blank_ = false;
    }
  }

  void Bound() const {
    if (cell_.text.size() > kMaxCellText) {
      Fail(Reason::kTooLarge, "a cell holds more than 16 MB of text");
    }
    if (row_text_ + cell_.text.size() > kMaxRowText) {
      Fail(Reason::kTooLarge, "a row holds more than 64 MB of text");
    }
  }

  void EndCell() {
    in_cell_ = in_para_ = string_value_ = false;
    if (cell_.kind == Value::kNone && !cell_.text.empty()) cell_.kind = Value::kText;
    // A formula's truth value is stored as the number 1 or 0, its display in
    // the paragraph: it reads as the boolean the other formats store.
    if (formula_ && cell_.kind == Value::kNumber &&
        ((cell_.number == 1 && cell_.text == "TRUE") ||
         (cell_.number == 0 && cell_.text == "FALSE")))
      cell_.kind = Value::kBoolean;
    if (cell_.kind == Value::kNone) return;
    if (col_ > kMaxColumns) Damaged("a cell lies beyond the last column");
    Bound();  // a value given whole in an attribute counts too
    row_text_ += cell_.text.size();
    cells_.push_back(std::move(cell_));
  }

  void EndRow() {
    if (keep_going_ != nullptr && ++rows_seen_ % 256 == 0 && !(*keep_going_)()) {
      given_up = true;
      Stop();
      return;
    }
    const int64_t first = row_;
    row_ = std::min(row_ + row_repeat_, kMaxRows + 1);
    if (cells_.empty()) return;
    if (first + row_repeat_ - 1 > kMaxRows) Damaged("a row lies beyond the last row");
    if (scanner_ != nullptr) {
      for (int64_t r = first; r < first + row_repeat_; ++r) {
        for (const Cell& c : cells_) {
          for (int64_t k = 0; k < c.repeat; ++k) scanner_->Add(r, static_cast<int32_t>(c.col + k));
        }
      }
      if (held_ != nullptr) held_->Add(first, row_repeat_, cells_);
    }
    if (emitter_ != nullptr && !EmitRow(first, row_repeat_, cells_)) Stop();
  }

  // False once the emitter has stopped.
  bool EmitRow(int64_t first, int64_t repeat, const std::vector<Cell>& cells) {
    for (int64_t r = first; r < first + repeat; ++r) {
      for (const Cell& c : cells) {
        for (int64_t k = 0; k < c.repeat; ++k) Emit(r, c, c.col + k);
      }
      if (emitter_->stopped()) return false;
    }
    return true;
  }

  void Emit(int64_t row, const Cell& c, int64_t col) {
    std::string& out = emitter_->Cell(row, static_cast<int32_t>(col));
    switch (c.kind) {
      case Value::kNumber:
      case Value::kDate: {
        const bool is_date = c.kind == Value::kDate || formats_->IsDate(c.style);
        AppendNumberText(c.number, is_date, date1904, out);
        emitter_->MarkNumber(c.number, c.style, is_date);
        break;
      }
      case Value::kBoolean:
        out.append(BooleanText(c.number != 0));
        emitter_->MarkKind(RowFormats::Kind::kBoolean);
        break;
      case Value::kError:
        out.append(c.text);
        emitter_->MarkKind(RowFormats::Kind::kError);
        break;
      default:
        out.append(c.text);
    }
  }

  const std::function<bool()>* keep_going_;
  ShapeScanner* scanner_;
  RowEmitter* emitter_;
  const OdsFormats* formats_;
  HeldRows* held_;
  bool in_table_ = false, in_cell_ = false, in_para_ = false, blank_ = false;
  bool string_value_ = false;
  bool formula_ = false;  // the cell holds a formula
  int skip_ = 0, cell_depth_ = 0, paragraphs_ = 0;
  int64_t row_ = 1, row_repeat_ = 1, col_ = 0;
  size_t row_text_ = 0;  // of the row's cells so far
  int64_t rows_seen_ = 0;
  std::string row_style_;
  std::vector<std::string> column_styles_;
  Cell cell_;
  std::vector<Cell> cells_;
};

}  // namespace

bool IsOdsPackage(ZipPackage& zip) {
  if (PartHead(zip, "mimetype", 100).find("opendocument.spreadsheet") != std::string::npos) {
    return true;
  }
  const std::string manifest = PartHead(zip, "META-INF/manifest.xml", 4096);
  return zip.Has("content.xml") &&
         manifest.find("application/vnd.oasis.opendocument.spreadsheet\"") != std::string::npos;
}

SheetShape ReadOdsSheet(ZipPackage& zip, const ShownRowCallback* on_row, const ReadLimits& limits,
                        const ShapeCallback& on_shape, const std::function<bool()>& keep_going,
                        int sheet) {
  // A package saved with a password holds its parts enciphered, each listed
  // in the manifest with how.
  if (zip.Has("encrypted-package") ||
      PartHead(zip, "META-INF/manifest.xml", 1 << 20).find("encryption-data") !=
          std::string::npos) {
    Fail(Reason::kEncrypted,
         "it is an OpenDocument spreadsheet saved with a password, which is not read (open it "
         "in a spreadsheet program and save it without the password)");
  }
  if (!zip.Has("content.xml")) Damaged("the part content.xml is missing");
  // A cell takes some four times the bytes of an .xlsx cell (LibreOffice's
  // million rows: 1.5 GB of content), so a sheet an .xlsx holds within the
  // bounds is held within them here too.
  zip.ScaleSizeLimits(4);
  SheetShape shape;
  shape.format = "ods";
  ShapeScanner scanner(limits.max_cells);
  // The fast scanner gives up on the same bytes every time: when it read the
  // sheet for the shape, it also reads it for the rows, and a fallback to
  // expat can never come after rows were delivered.
  // The rows are kept as they are read for the shape, each cell's format
  // found, so that a sheet of the size most are is read once.
  OdsFormats formats;
  if (on_row != nullptr) formats = ReadOdsFormats(zip);
  const OdsFormats* styled = on_row != nullptr ? &formats : nullptr;
  HeldRows held(on_row != nullptr ? limits.held_sheet_bytes : 0);
  bool fast = true;
  const std::function<bool()>* asked = keep_going ? &keep_going : nullptr;
  ContentHandler scan(&scanner, nullptr, styled, asked, &held);
  scan.tables_to_pass = sheet;
  if (!ScanXmlTags(zip, "content.xml", scan)) {
    fast = false;
    scanner = ShapeScanner(limits.max_cells);
    held = HeldRows(on_row != nullptr ? limits.held_sheet_bytes : 0);
    scan = ContentHandler(&scanner, nullptr, styled, asked, &held);
    scan.tables_to_pass = sheet;
    ParseXmlPart(zip, "content.xml", scan);
  }
  if (scan.given_up) return shape;
  if (!scan.found_sheet) Fail(Reason::kNoWorksheet, "the workbook holds no worksheet");
  shape.sheet_name = scan.sheet_name;
  scanner.FillShape(shape);
  if (on_shape) on_shape(shape);
  if (on_row == nullptr) return shape;

  formats.styles.date1904 = scan.date1904;
  RowEmitter emitter(shape, true, *on_row, &formats.styles);
  if (held.whole()) {
    scan.Deliver(held, &emitter);
  } else {
    ContentHandler emit(nullptr, &emitter, &formats);
    emit.tables_to_pass = sheet;
    if (!fast) {
      ParseXmlPart(zip, "content.xml", emit);
    } else if (!ScanXmlTags(zip, "content.xml", emit)) {
      Damaged("the sheet changed while it was being read");
    }
  }
  emitter.Finish();
  return shape;
}

}  // namespace sorvane::readers
