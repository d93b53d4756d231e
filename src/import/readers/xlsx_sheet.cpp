#include "import/readers/xlsx_sheet.h"

#include <charconv>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "core/date.h"
#include "import/readers/cell_text.h"
#include "import/readers/read_failure.h"
#include "import/readers/used_range.h"
#include "import/readers/utf8.h"
#include "import/readers/xlsb_sheet.h"
#include "import/readers/xlsx_workbook.h"
#include "import/readers/xml_part.h"
#include "import/readers/xml_tag_scanner.h"

namespace sorvane::readers {
namespace {

constexpr int64_t kMaxRows = 1048576;
constexpr int32_t kMaxColumns = 16384;

int64_t ParseRow(const char* s) {
  int64_t v = 0;
  const char* p = s;
  for (; *p >= '0' && *p <= '9'; ++p) {
    v = v * 10 + (*p - '0');
    if (v > kMaxRows) break;
  }
  if (p == s || *p != '\0' || v < 1 || v > kMaxRows) {
    Damaged("a row number lies outside the sheet's grid");
  }
  return v;
}

// The attributes a cell is read by, found in one pass (Attr's rules: the
// first of each local name, namespace declarations never).
struct CellAttrs {
  const char* r = nullptr;
  const char* t = nullptr;
  const char* s = nullptr;
  explicit CellAttrs(const char** attrs) {
    for (; attrs[0] != nullptr; attrs += 2) {
      const char* name = attrs[0];
      if (name[0] == 'x' && std::strncmp(name, "xmlns", 5) == 0) continue;
      const std::string_view local = LocalName(name);
      if (local.size() != 1) continue;
      const char*& slot = local[0] == 'r' ? r : local[0] == 't' ? t : local[0] == 's' ? s : skip_;
      if (slot == nullptr) slot = attrs[1];
    }
  }

 private:
  const char* skip_ = nullptr;
};

// "AB12" -> column 27 (0-based), row 12.
void ParseCellRef(const char* s, int32_t& col, int64_t& row) {
  int64_t c = 0;
  size_t i = 0;
  for (; s[i] != 0; ++i) {
    char ch = s[i];
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 32);
    if (ch < 'A' || ch > 'Z') break;
    c = c * 26 + (ch - 'A' + 1);
    if (c > kMaxColumns) Damaged("a cell reference lies outside the sheet's grid");
  }
  if (i == 0) Damaged("a cell has a broken reference");
  col = static_cast<int32_t>(c - 1);
  row = ParseRow(s + i);
}

std::string_view TrimXml(std::string_view s) {
  const char* ws = " \t\r\n";
  const size_t b = s.find_first_not_of(ws);
  if (b == std::string_view::npos) return {};
  return s.substr(b, s.find_last_not_of(ws) - b + 1);
}

enum class CellType { kNumber, kShared, kString, kInline, kBool, kError, kDate };

CellType TypeOf(const char* t) {
  if (t == nullptr) return CellType::kNumber;
  const std::string_view v(t);
  if (v == "s") return CellType::kShared;
  if (v == "n" || v.empty()) return CellType::kNumber;
  if (v == "inlineStr") return CellType::kInline;
  if (v == "b") return CellType::kBool;
  if (v == "e") return CellType::kError;
  if (v == "d") return CellType::kDate;
  return CellType::kString;  // "str" and anything unknown: shown as written
}

// ISO 8601 date cells ("2021-01-01T10:30:00.000Z") shown like serial dates.
void AppendIsoDate(std::string_view v, std::string& out) {
  std::string_view core = v;
  if (core.size() > 19 && core[10] == 'T') core = core.substr(0, 19);
  if (core.size() > 10 && core[10] != 'T' && core[10] != ' ') core = core.substr(0, 10);
  if (const auto d = Date::FromIso(core)) {
    out += d->ToDisplay();
  } else {
    out += v;
  }
}

// Display texts of stored numbers that are not their own general form (dates,
// exponents), remembered: a sheet repeats the same few dates and detection
// limits over and over, and formatting them is the costliest step of a cell.
class NumberTexts {
 public:
  std::string_view Text(std::string_view stored, bool is_date, bool date1904) {
    if (stored.size() > kMaxKey) return Format(stored, is_date, date1904, scratch_);
    Slot& slot = slots_[Hash(stored, is_date) % kSlots];
    if (!slot.used || slot.is_date != is_date || slot.stored != stored) {
      slot.used = true;
      slot.is_date = is_date;
      slot.stored.assign(stored);
      slot.text.clear();
      Format(stored, is_date, date1904, slot.text);
    }
    return slot.text;
  }

 private:
  static constexpr size_t kSlots = 4096, kMaxKey = 32;
  struct Slot {
    bool used = false, is_date = false;
    std::string stored, text;
  };

  static size_t Hash(std::string_view s, bool is_date) {
    size_t h = is_date ? 0x9E3779B97F4A7C15ULL : 14695981039346656037ULL;
    for (char c : s) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    return h ^ (h >> 29);
  }

  // The display text of a stored number; text that is no number shows as stored.
  static std::string_view Format(std::string_view v, bool is_date, bool date1904,
                                 std::string& out) {
    out.clear();
    double d = 0;
    auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), d);
    if (ec == std::errc() && p == v.data() + v.size() && !v.empty()) {
      AppendNumberText(d, is_date, date1904, out);
    } else {
      out.append(v);
    }
    return out;
  }

  std::vector<Slot> slots_ = std::vector<Slot>(kSlots);
  std::string scratch_;
};

class SheetHandler final : public XmlHandler {
 public:
  // Scanning when `emitter` is null: positions only.
  SheetHandler(ShapeScanner* scanner, RowEmitter* emitter, const XlsxWorkbook& wb)
      : scanner_(scanner), emitter_(emitter), wb_(wb) {}

  void Start(std::string_view name, const char** attrs) override {
    if (!in_data_) {
      if (name == "sheetData") in_data_ = true;
      return;
    }
    if (in_cell_) {
      if (name == "v") {
        capture_v_ = emitter_ != nullptr;
        has_v_ = true;
      } else if (name == "is") {
        in_is_ = true;
      } else if (name == "rPh") {
        ++phonetic_;
      } else if (name == "t" && in_is_ && phonetic_ == 0) {
        capture_t_ = emitter_ != nullptr;
      }
      return;
    }
    if (name == "c") {
      StartCell(attrs);
    } else if (name == "row") {
      const char* r = Attr(attrs, "r");
      row_ = r != nullptr ? ParseRow(r) : row_ + 1;
      if (row_ > kMaxRows) Damaged("a row number lies outside the sheet's grid");
      next_col_ = 0;
    }
  }

  void End(std::string_view name) override {
    if (!in_data_) return;
    if (name == "c") {
      if (in_cell_ && emitter_ != nullptr) {
        EndCell();
        if (emitter_->stopped()) Stop();
      }
      in_cell_ = in_is_ = capture_v_ = capture_t_ = false;
      phonetic_ = 0;
    } else if (name == "v") {
      capture_v_ = false;
    } else if (name == "t") {
      capture_t_ = false;
    } else if (name == "is") {
      in_is_ = false;
    } else if (name == "rPh") {
      if (phonetic_ > 0) --phonetic_;
    } else if (name == "sheetData") {
      in_data_ = false;
      Stop();
    }
  }

  // A cell's value, or the text of an inline string: the same three steps,
  // called directly.
  void Leaf(std::string_view name, std::string_view text) override { LeafSteps(*this, name, text); }

  // Only cells and rows carry attributes the sheet is read by.
  bool WantsAttributes(std::string_view name) const override {
    return name == "c" || name == "row";
  }

  void Text(const char* s, int len) override {
    if (capture_v_) {
      value_.append(s, static_cast<size_t>(len));
    } else if (capture_t_) {
      inline_.append(s, static_cast<size_t>(len));
    }
  }

 private:
  void StartCell(const char** attrs) {
    const CellAttrs found(attrs);
    const char* ref = found.r;
    if (ref != nullptr) {
      ParseCellRef(ref, col_, cell_row_);
      row_ = cell_row_;
    } else {
      if (row_ == 0) row_ = 1;
      if (next_col_ >= kMaxColumns) Damaged("a cell lies beyond the last column");
      cell_row_ = row_;
      col_ = next_col_;
    }
    next_col_ = col_ + 1;
    in_cell_ = true;
    has_v_ = false;
    if (scanner_ != nullptr) scanner_->Add(cell_row_, col_);
    if (emitter_ == nullptr) return;
    type_ = TypeOf(found.t);
    const char* s = found.s;
    style_ = 0;
    if (s != nullptr) std::from_chars(s, s + std::strlen(s), style_);
    value_.clear();
    inline_.clear();
  }

  void EndCell() {
    std::string& out = emitter_->Cell(cell_row_, col_);
    if (type_ == CellType::kInline) {
      DecodeOoxmlEscapes(inline_);
      out.append(inline_);
      return;
    }
    if (!has_v_) return;
    switch (type_) {
      case CellType::kNumber: {
        const std::string_view v = TrimXml(value_);
        const bool is_date = wb_.IsDate(style_);
        const bool as_stored = !is_date && IsGeneralForm(v);
        if (as_stored) {
          out.append(v);
        } else {
          out.append(numbers_.Text(v, is_date, wb_.date1904));
        }
        if (as_stored && wb_.styles.IsGeneral(style_)) {
          // The text is the value; nothing to parse on the way.
          emitter_->MarkKind(RowFormats::Kind::kNumber);
        } else {
          double d = 0;
          auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), d);
          if (ec == std::errc() && p == v.data() + v.size()) {
            emitter_->MarkNumber(d, style_, is_date);
          }
        }
        break;
      }
      case CellType::kShared: {
        const std::string_view v = TrimXml(value_);
        uint64_t index = 0;
        auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), index);
        if (v.empty()) break;  // an empty index: nothing to show, nothing lost
        if (ec != std::errc() || p != v.data() + v.size()) {
          Damaged("a shared-string cell holds no string index");
        }
        out.append(wb_.strings.Get(index));
        break;
      }
      case CellType::kBool: {
        const std::string_view v = TrimXml(value_);
        out.append(BooleanText(v == "1" || v == "true"));
        emitter_->MarkKind(RowFormats::Kind::kBoolean);
        break;
      }
      case CellType::kDate:
        AppendIsoDate(TrimXml(value_), out);
        break;
      case CellType::kString:
        DecodeOoxmlEscapes(value_);
        out.append(value_);
        break;
      case CellType::kError:
        out.append(value_);
        emitter_->MarkKind(RowFormats::Kind::kError);
        break;
      case CellType::kInline:
        out.append(value_);
        break;
    }
  }

  ShapeScanner* scanner_;
  RowEmitter* emitter_;
  const XlsxWorkbook& wb_;
  bool in_data_ = false, in_cell_ = false, in_is_ = false;
  bool capture_v_ = false, capture_t_ = false, has_v_ = false;
  int phonetic_ = 0;
  int64_t row_ = 0, cell_row_ = 0;
  int32_t col_ = 0, next_col_ = 0;
  CellType type_ = CellType::kNumber;
  uint64_t style_ = 0;
  std::string value_, inline_;
  NumberTexts numbers_;
};

// The range a sheet declares before its cells (its dimension element).
class DeclaredRange : public XmlHandler {
 public:
  void Start(std::string_view name, const char** attrs) override {
    if (name == "dimension") {
      if (const char* r = Attr(attrs, "ref")) ref = r;
    } else if (name == "sheetData") {
      Stop();
    }
  }
  void End(std::string_view) override {}
  bool WantsAttributes(std::string_view name) const override { return name == "dimension"; }

  std::string ref;
};

// "L17" inside the grid; false for anything else.
bool ParseCorner(std::string_view s, int32_t& col, int64_t& row) {
  size_t i = 0;
  int64_t c = 0, r = 0;
  for (; i < s.size() && s[i] >= 'A' && s[i] <= 'Z'; ++i) {
    c = c * 26 + (s[i] - 'A' + 1);
    if (c > kMaxColumns) return false;
  }
  if (i == 0 || i == s.size()) return false;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    r = r * 10 + (s[i] - '0');
    if (r > kMaxRows) return false;
  }
  if (r < 1) return false;
  col = static_cast<int32_t>(c - 1);
  row = r;
  return true;
}

// The used range the sheet declares ("A1:L1000001"), if it declares one that
// can be a used range. Nothing more than a claim: the cells may not keep to it.
std::optional<SheetShape> DeclaredShape(ZipPackage& zip, const XlsxWorkbook& wb) {
  DeclaredRange range;
  if (!ScanXmlTags(zip, wb.sheet_part, range) || range.ref.empty()) return std::nullopt;
  const std::string_view ref = range.ref;
  const size_t colon = ref.find(':');
  int32_t first_col = 0, last_col = 0;
  int64_t first_row = 0, last_row = 0;
  if (!ParseCorner(ref.substr(0, colon), first_col, first_row)) return std::nullopt;
  if (colon == std::string_view::npos) {
    last_col = first_col;
    last_row = first_row;
  } else if (!ParseCorner(ref.substr(colon + 1), last_col, last_row) || last_row < first_row ||
             last_col < first_col) {
    return std::nullopt;
  }
  // Some writers claim the whole grid. A claim wider than any table is read
  // in two passes: its rows would be delivered that wide before the claim
  // could be found out.
  constexpr int32_t kMaxClaimedColumns = 256;
  if (last_col >= kMaxClaimedColumns) return std::nullopt;
  SheetShape shape;
  shape.first_row = first_row;
  shape.last_row = last_row;
  shape.columns = last_col + 1;
  return shape;
}

}  // namespace

SheetShape ReadXlsxSheet(ZipPackage& zip, const ShownRowCallback* on_row, const ReadLimits& limits,
                         const ShapeCallback& on_shape, bool may_start_over, int sheet) {
  const bool one_pass = on_row != nullptr && may_start_over;
  XlsxWorkbook wb = OpenXlsxWorkbook(zip, one_pass, sheet);
  if (wb.binary) {
    return ReadXlsbSheet(zip, std::move(wb), on_row, limits, on_shape, one_pass, sheet);
  }
  SheetShape shape;
  shape.format = "xlsx";
  shape.sheet_name = wb.sheet_name;
  // The sheet is also given up where the fast scanner leaves it to expat.
  if (one_pass && ReadOnDeclaredShape(DeclaredShape(zip, wb), shape, *on_row, &wb.styles, limits,
                                      on_shape, [&](ShapeScanner& scanner, RowEmitter& emitter) {
                                        SheetHandler both(&scanner, &emitter, wb);
                                        return ScanXmlTags(zip, wb.sheet_part, both);
                                      })) {
    return shape;
  }
  ShapeScanner scanner(limits.max_cells);
  // The fast scanner gives up on the same bytes every time: when it read the
  // sheet for the shape, it also reads it for the rows, and a fallback to expat
  // can never come after rows were delivered.
  bool fast = true;
  {
    SheetHandler scan(&scanner, nullptr, wb);
    if (!ScanXmlTags(zip, wb.sheet_part, scan)) {
      fast = false;
      scanner = ShapeScanner(limits.max_cells);
      SheetHandler again(&scanner, nullptr, wb);
      ParseXmlPart(zip, wb.sheet_part, again);
    }
  }
  scanner.FillShape(shape);
  if (on_shape) on_shape(shape);
  if (on_row == nullptr) return shape;
  if (!one_pass) wb = OpenXlsxWorkbook(zip, true, sheet);
  RowEmitter emitter(shape, scanner.ordered(), *on_row, &wb.styles);
  {
    SheetHandler emit(nullptr, &emitter, wb);
    if (!fast) {
      ParseXmlPart(zip, wb.sheet_part, emit);
    } else if (!ScanXmlTags(zip, wb.sheet_part, emit)) {
      Damaged("the worksheet changed while it was being read");
    }
  }
  emitter.Finish();
  return shape;
}

}  // namespace sorvane::readers
