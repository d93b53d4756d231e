#include "import/readers/ods_styles.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <map>
#include <string_view>

#include "import/readers/cell_text.h"
#include "import/readers/read_failure.h"
#include "import/readers/xml_part.h"

namespace sorvane::readers {
namespace {

int IntAttr(const char** attrs, std::string_view name, int fallback) {
  const char* v = Attr(attrs, name);
  if (v == nullptr) return fallback;
  int n = fallback;
  const auto [p, ec] = std::from_chars(v, v + std::strlen(v), n);
  if (ec != std::errc() || n < 0) return fallback;
  return std::min(n, 30);  // more digits than a number has says nothing more
}

bool IsAttr(const char** attrs, std::string_view name, std::string_view value) {
  const char* v = Attr(attrs, name);
  return v != nullptr && value == v;
}

// A literal text of a code: quoted, a quote written as \".
void AppendLiteral(std::string_view text, std::string& code) {
  if (text.empty()) return;
  code += '"';
  for (char c : text) {
    if (c == '"') {
      code += "\"\\\"\"";
    } else {
      code += c;
    }
  }
  code += '"';
}

bool IsDataStyle(std::string_view name) {
  for (std::string_view kind : {"number-style", "currency-style", "percentage-style", "date-style",
                                "time-style", "boolean-style", "text-style"}) {
    if (name == kind) return true;
  }
  return false;
}

struct Map {
  std::string condition, apply;
};

// One data style as it is read: its own code and the styles its conditions
// apply.
struct DataStyle {
  std::string kind;  // "number-style", "date-style", ...
  std::string code;
  std::vector<Map> maps;
};

struct CellStyle {
  std::string data_style, parent;
};

// The number part of a number, percentage or currency style: digits, grouping,
// decimals, scaling and the texts embedded among the integer digits.
struct NumberPiece {
  bool general = false;
  int decimals = 0, min_decimals = 0, integers = 1;
  bool grouping = false, blank_decimals = false;
  int scale_commas = 0;
  std::vector<std::pair<int, std::string>> embedded;  // position, text

  void Read(const char** attrs) {
    *this = {};
    general = Attr(attrs, "decimal-places") == nullptr;
    decimals = IntAttr(attrs, "decimal-places", 0);
    min_decimals = std::min(decimals, IntAttr(attrs, "min-decimal-places", decimals));
    integers = IntAttr(attrs, "min-integer-digits", general ? 1 : 0);
    grouping = IsAttr(attrs, "grouping", "true");
    blank_decimals = IsAttr(attrs, "decimal-replacement", " ");
    if (const char* f = Attr(attrs, "display-factor")) {
      // Thousands, millions, billions: what a code can scale by.
      for (std::string_view v = f; v.size() > 3 && v.ends_with("000") && scale_commas < 3;
           v.remove_suffix(3)) {
        ++scale_commas;
      }
    }
  }

  std::string Code() const {
    if (general) return "General";
    // Integer placeholders from the right, the embedded texts among them.
    int places = integers;
    if (grouping) places = std::max(places, 4);
    for (const auto& [pos, text] : embedded) places = std::max(places, pos);
    std::vector<std::pair<int, std::string>> texts = embedded;
    std::sort(texts.begin(), texts.end());
    size_t next = 0;
    std::string integer;
    for (int i = 0; i < places; ++i) {
      while (next < texts.size() && texts[next].first == i) {
        std::string lit;
        AppendLiteral(texts[next++].second, lit);
        integer.insert(0, lit);
      }
      integer.insert(0, 1, i < integers ? '0' : '#');
      if (grouping && i == 2 && places > 3) integer.insert(0, 1, ',');
    }
    while (next < texts.size()) {
      std::string lit;
      AppendLiteral(texts[next++].second, lit);
      integer.insert(0, lit);
    }
    if (integer.empty()) integer = "#";
    std::string code = integer;
    if (decimals > 0) {
      code += '.';
      code.append(static_cast<size_t>(min_decimals), '0');
      code.append(static_cast<size_t>(decimals - min_decimals), blank_decimals ? '?' : '#');
    }
    code.append(static_cast<size_t>(scale_commas), ',');
    return code;
  }
};

class StylesHandler final : public XmlHandler {
 public:
  StylesHandler(std::map<std::string, DataStyle>& data, std::map<std::string, CellStyle>& cells,
                bool stop_at_body)
      : data_(data), cells_(cells), stop_at_body_(stop_at_body) {}

  void Start(std::string_view name, const char** attrs) override {
    if (name == "body" && stop_at_body_) {
      Stop();
      return;
    }
    if (current_ == nullptr) {
      if (IsDataStyle(name)) {
        const char* n = Attr(attrs, "name");
        if (n == nullptr) return;
        Bound();
        current_ = &data_[n];
        *current_ = {};
        current_->kind = name;
        elapsed_ = IsAttr(attrs, "truncate-on-overflow", "false");
        depth_ = 0;
      } else if (name == "style") {
        const char* n = Attr(attrs, "name");
        if (n != nullptr && IsAttr(attrs, "family", "table-cell")) {
          Bound();
          CellStyle& s = cells_[n];
          const char* d = Attr(attrs, "data-style-name");
          const char* p = Attr(attrs, "parent-style-name");
          s.data_style = d != nullptr ? d : "";
          s.parent = p != nullptr ? p : "";
        }
      }
      return;
    }
    ++depth_;
    if (capture_ != nullptr) return;  // an element inside a text: its text counts
    std::string& code = current_->code;
    // A format code is some dozens of characters (spreadsheet programs allow
    // 255): a style of endless pieces keeps its first ones.
    if (code.size() > kMaxPiece * 4) return;
    const bool long_form = IsAttr(attrs, "style", "long");
    if (name == "number") {
      number_.Read(attrs);
      in_number_ = true;
    } else if (name == "embedded-text") {
      if (number_.embedded.size() >= 30) return;  // more than there are digits
      number_.embedded.emplace_back(IntAttr(attrs, "position", 0), std::string());
      capture_ = &number_.embedded.back().second;
    } else if (name == "text" || name == "currency-symbol") {
      text_.clear();
      capture_ = &text_;
      symbol_ = name == "currency-symbol";
    } else if (name == "scientific-number") {
      const int decimals = IntAttr(attrs, "decimal-places", 0);
      const int integers = IntAttr(attrs, "min-integer-digits", 1);
      const int interval = std::max(IntAttr(attrs, "exponent-interval", 1), 1);
      if (interval > integers) code.append(static_cast<size_t>(interval - integers), '#');
      code.append(static_cast<size_t>(integers), '0');
      if (decimals > 0) code += '.' + std::string(static_cast<size_t>(decimals), '0');
      code += IsAttr(attrs, "forced-exponent-sign", "false") ? "E-" : "E+";
      code.append(static_cast<size_t>(std::max(IntAttr(attrs, "min-exponent-digits", 1), 1)), '0');
    } else if (name == "fraction") {
      // Without a whole part ("?/?") the fraction is improper: 5/2.
      if (Attr(attrs, "min-integer-digits") != nullptr) {
        const bool zero = IntAttr(attrs, "min-integer-digits", 0) > 0;
        code += IsAttr(attrs, "grouping", "true") ? (zero ? "#,##0 " : "#,### ")
                : zero                            ? "0 "
                                                  : "# ";
      }
      // The numerator's places, its last ones '0' where they show zeros ("0 0/0").
      const int numerator = std::max(IntAttr(attrs, "min-numerator-digits", 1), 1);
      const int zeros = std::min(IntAttr(attrs, "zeros-numerator-digits", 0), numerator);
      code.append(static_cast<size_t>(numerator - zeros), '?');
      code.append(static_cast<size_t>(zeros), '0');
      code += '/';
      int denominator = 0;
      if (const char* d = Attr(attrs, "denominator-value")) {
        std::from_chars(d, d + std::strlen(d), denominator);
      }
      if (denominator > 0 && denominator < 1000000) {
        code += std::to_string(denominator);  // a fixed denominator, digits only
      } else {
        code.append(static_cast<size_t>(std::max(IntAttr(attrs, "min-denominator-digits", 1), 1)),
                    '?');
      }
    } else if (name == "day") {
      code += long_form ? "dd" : "d";
    } else if (name == "month") {
      const bool textual = IsAttr(attrs, "textual", "true");
      code += textual ? (long_form ? "mmmm" : "mmm") : (long_form ? "mm" : "m");
    } else if (name == "year") {
      code += long_form ? "yyyy" : "yy";
    } else if (name == "day-of-week") {
      code += long_form ? "dddd" : "ddd";
    } else if (name == "hours" || name == "minutes" || name == "seconds") {
      const char letter = name[0] == 'h' ? 'h' : name[0] == 'm' ? 'm' : 's';
      std::string part(long_form ? 2 : 1, letter);
      // The first unit of a duration counts on past a day (or an hour).
      if (elapsed_) part = '[' + part + ']';
      elapsed_ = false;
      code += part;
      const int decimals = letter == 's' ? IntAttr(attrs, "decimal-places", 0) : 0;
      if (decimals > 0) code += '.' + std::string(static_cast<size_t>(decimals), '0');
    } else if (name == "am-pm") {
      code += "AM/PM";
    } else if (name == "text-content") {
      code += '@';
    } else if (name == "map") {
      const char* c = Attr(attrs, "condition");
      const char* a = Attr(attrs, "apply-style-name");
      if (c != nullptr && a != nullptr && current_->maps.size() < 3) {
        current_->maps.push_back({c, a});
      }
    }
  }

  void End(std::string_view name) override {
    if (current_ == nullptr) return;
    if (depth_-- == 0) {
      current_ = nullptr;
      return;
    }
    if (name == "embedded-text" && capture_ != &text_) {
      capture_ = nullptr;
    } else if ((name == "text" || name == "currency-symbol") && capture_ == &text_) {
      capture_ = nullptr;
      std::string& code = current_->code;
      if (symbol_ && text_.empty()) text_ = "$";  // the locale's symbol
      if (current_->kind == "percentage-style") {
        // A percent sign scales the number; every other character is text.
        size_t from = 0;
        for (size_t pct = text_.find('%'); pct != std::string::npos; pct = text_.find('%', from)) {
          AppendLiteral(std::string_view(text_).substr(from, pct - from), code);
          code += '%';
          from = pct + 1;
        }
        AppendLiteral(std::string_view(text_).substr(from), code);
      } else {
        AppendLiteral(text_, code);
      }
    } else if (name == "number" && in_number_) {
      in_number_ = false;
      current_->code += number_.Code();
    }
  }

  void Text(const char* s, int len) override {
    if (capture_ == nullptr || capture_->size() >= kMaxPiece) return;
    capture_->append(s, std::min(static_cast<size_t>(len), kMaxPiece - capture_->size()));
  }

  static constexpr size_t kMaxPiece = 255;

  // Spreadsheet programs keep to some 64,000 formats; a file's styles are
  // held in memory, so a hostile file may not name millions.
  static constexpr size_t kMaxStyles = size_t{1} << 20;
  void Bound() const {
    if (data_.size() >= kMaxStyles || cells_.size() >= kMaxStyles) {
      Fail(WorkbookError::Reason::kTooLarge,
           "the workbook defines more than " + std::to_string(kMaxStyles) + " styles");
    }
  }

 private:
  std::map<std::string, DataStyle>& data_;
  std::map<std::string, CellStyle>& cells_;
  bool stop_at_body_;
  DataStyle* current_ = nullptr;
  int depth_ = 0;
  bool elapsed_ = false, in_number_ = false, symbol_ = false;
  NumberPiece number_;
  std::string text_;
  std::string* capture_ = nullptr;
};

// "value()>=0" -> ">=0"; empty for a condition that is not a comparison of
// the value with a number.
std::string Comparison(std::string_view condition) {
  std::string c;
  for (char ch : condition.substr(0, 64)) {
    if (ch != ' ') c += ch;
  }
  if (!c.starts_with("value()")) return {};
  c.erase(0, 7);
  if (c.starts_with("!=")) c.replace(0, 2, "<>");
  const size_t op = c.find_first_not_of("<>=");
  if (op == 0 || op == std::string::npos || op > 2) return {};
  const std::string_view sign(c.data(), op);
  if (sign != "<" && sign != ">" && sign != "=" && sign != "<=" && sign != ">=" && sign != "<>")
    return {};
  double bound = 0;
  const auto [p, ec] = std::from_chars(c.data() + op, c.data() + c.size(), bound);
  if (ec != std::errc() || p != c.data() + c.size()) return {};
  return c;
}

// The whole code of a data style: its maps become sections before its own.
std::string FullCode(const std::map<std::string, DataStyle>& data, const DataStyle& style) {
  auto own = [&](const std::string& name) {
    const auto it = data.find(name);
    return it == data.end() ? std::string("General") : it->second.code;
  };
  std::string main = style.code;
  if (main.empty() && style.maps.empty()) return "General";
  std::vector<std::string> conds;
  for (const Map& m : style.maps) conds.push_back(Comparison(m.condition));
  const bool text = style.kind == "text-style";
  // The sections a code takes by sign, without conditions: positive (or
  // not negative); negative; zero; text.
  if (conds.size() == 1 && conds[0] == ">=0" && !text) {
    return own(style.maps[0].apply) + ';' + main;
  }
  if (conds.size() >= 2 && conds[0] == ">0" && conds[1] == "<0") {
    std::string code = own(style.maps[0].apply) + ';' + own(style.maps[1].apply) + ';';
    if (conds.size() == 3 && conds[2] == "=0" && text) {
      return code + own(style.maps[2].apply) + ';' + main;
    }
    if (conds.size() == 2 && !text) return code + main;
  }
  if (text && style.maps.empty()) return main;
  // Other conditions: the first two in brackets, as a code holds them.
  std::string code;
  for (size_t i = 0; i < style.maps.size() && i < 2; ++i) {
    if (conds[i].empty()) continue;
    code += '[' + conds[i] + ']' + own(style.maps[i].apply) + ';';
  }
  return code + (text ? "General;" + main : main);
}

}  // namespace

uint64_t OdsFormats::Of(const std::string& cell_style) const {
  const auto it = by_name.find(cell_style);
  return it == by_name.end() ? static_cast<uint64_t>(-1) : it->second;
}

OdsFormats ReadOdsFormats(ZipPackage& zip) {
  std::map<std::string, DataStyle> data;
  std::map<std::string, CellStyle> cells;
  if (zip.Has("styles.xml")) {
    StylesHandler h(data, cells, false);
    ParseXmlPart(zip, "styles.xml", h);
  }
  {
    // The automatic styles stand before the sheets.
    StylesHandler h(data, cells, true);
    ParseXmlPart(zip, "content.xml", h);
  }
  OdsFormats out;
  std::map<std::string, uint64_t> by_code;
  for (const auto& [name, cell] : cells) {
    // A style without a format takes its parent's; a loop ends at the first
    // style met again.
    const CellStyle* s = &cell;
    std::vector<const CellStyle*> seen;
    while (s->data_style.empty() && !s->parent.empty() &&
           std::find(seen.begin(), seen.end(), s) == seen.end()) {
      seen.push_back(s);
      const auto parent = cells.find(s->parent);
      if (parent == cells.end()) break;
      s = &parent->second;
    }
    const auto it = data.find(s->data_style);
    if (it == data.end()) continue;
    const std::string code = FullCode(data, it->second);
    if (IsGeneralCode(code)) continue;
    auto [slot, added] = by_code.emplace(code, out.is_date.size());
    if (added) {
      out.styles.Add(code);
      const std::string_view kind = it->second.kind;
      out.is_date.push_back(kind == "date-style" || kind == "time-style" || IsDateFormatCode(code));
    }
    out.by_name.emplace(name, slot->second);
  }
  return out;
}

}  // namespace sorvane::readers
