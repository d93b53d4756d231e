#include "core/convert.h"

#include <array>
#include <cctype>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "core/c_numbers.h"
#include "core/text.h"

namespace sorvane {
namespace {

// Parses the decimal grammar [+-]digits[.digits][(e|E)[+-]digits] (or .digits).
std::optional<double> ParseDecimal(std::string_view text) {
  std::string_view t = TrimWhitespace(text);
  if (t.empty() || t.size() > 400) return std::nullopt;
  size_t i = 0;
  if (t[i] == '+' || t[i] == '-') ++i;
  size_t digits = 0;
  while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++digits;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    size_t exp_digits = 0;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++exp_digits;
    if (exp_digits == 0) return std::nullopt;
  }
  if (i != t.size()) return std::nullopt;
  const std::string_view u = t[0] == '+' ? t.substr(1) : t;
  // Both round correctly; from_chars without a copy or the locale. Beyond the
  // range of a double it says only that, where strtod gives the infinity
  // (refused below) or the zero or subnormal a tiny number rounds to.
  double v = 0;
  const auto [end, ec] = std::from_chars(u.data(), u.data() + u.size(), v);
  if (ec != std::errc() || end != u.data() + u.size()) {
    const std::string s(u);
    char* stop = nullptr;
    v = StrtodC(s.c_str(), &stop);
    if (stop != s.c_str() + s.size()) return std::nullopt;
  }
  if (!std::isfinite(v)) return std::nullopt;
  return v;
}

bool ReadNumber(std::string_view s, int& out) {
  if (s.empty() || s.size() > 4) return false;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  std::from_chars(s.data(), s.data() + s.size(), out);
  return true;
}

int ExpandYear(std::string_view digits, int value) {
  if (digits.size() <= 2) return value < 30 ? 2000 + value : 1900 + value;
  return value;
}

int MonthFromName(std::string_view name) {
  static constexpr std::array<std::string_view, 12> kNames = {
      "JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  std::string up = UpperCase(name);
  for (size_t i = 0; i < kNames.size(); ++i) {
    if (up == kNames[i]) return static_cast<int>(i) + 1;
    // Full month names ("August") are accepted too.
    static constexpr std::array<std::string_view, 12> kFull = {
        "JANUARY", "FEBRUARY", "MARCH",     "APRIL",   "MAY",      "JUNE",
        "JULY",    "AUGUST",   "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};
    if (up == kFull[i]) return static_cast<int>(i) + 1;
  }
  return 0;
}

// Reads "H:MM", "H:MM:SS", each optionally followed by AM/PM.
bool ParseTime(std::string_view t, int& h, int& m, int& s) {
  t = Trim(t);
  h = m = s = 0;
  if (t.empty()) return true;
  int ampm = 0;
  std::string up = UpperCase(t);
  if (up.size() >= 2 && (up.ends_with("AM") || up.ends_with("PM"))) {
    ampm = up.ends_with("AM") ? 1 : 2;
    t = Trim(t.substr(0, t.size() - 2));
  }
  size_t c1 = t.find(':');
  if (c1 == std::string_view::npos) return false;
  size_t c2 = t.find(':', c1 + 1);
  if (!ReadNumber(t.substr(0, c1), h)) return false;
  std::string_view mm =
      c2 == std::string_view::npos ? t.substr(c1 + 1) : t.substr(c1 + 1, c2 - c1 - 1);
  if (mm.size() != 2 || !ReadNumber(mm, m)) return false;
  if (c2 != std::string_view::npos) {
    std::string_view ss = t.substr(c2 + 1);
    if (ss.size() != 2 || !ReadNumber(ss, s)) return false;
  }
  if (ampm != 0) {
    if (h < 1 || h > 12) return false;
    if (ampm == 1 && h == 12) h = 0;
    if (ampm == 2 && h != 12) h += 12;
  }
  return h <= 23 && m <= 59 && s <= 59;
}

}  // namespace

double RoundHalfEven(double v) { return std::nearbyint(v); }  // default mode: to nearest even

std::optional<int16_t> ToWholeNumber(std::string_view text) {
  auto v = ParseDecimal(text);
  if (!v) return std::nullopt;
  double r = RoundHalfEven(*v);
  if (r < -32768.0 || r > 32767.0) return std::nullopt;
  return static_cast<int16_t>(r);
}

std::optional<double> ToSingle(std::string_view text) {
  auto v = ParseDecimal(text);
  if (!v) return std::nullopt;
  if (std::fabs(*v) > FLT_MAX) return std::nullopt;
  return *v;
}

std::optional<Date> ToDate(std::string_view text) {
  std::string_view t = TrimWhitespace(text);
  if (t.empty() || t.size() > 40) return std::nullopt;
  // Split the date part from an optional time part at the first blank.
  size_t sp = t.find(' ');
  std::string_view dpart = sp == std::string_view::npos ? t : t.substr(0, sp);
  std::string_view tpart = sp == std::string_view::npos ? std::string_view() : t.substr(sp + 1);
  int h, mi, s;
  if (!ParseTime(tpart, h, mi, s)) return std::nullopt;
  int y = 0, mo = 0, d = 0;
  if (dpart.find('/') != std::string_view::npos) {
    size_t a = dpart.find('/');
    size_t b = dpart.find('/', a + 1);
    if (b == std::string_view::npos || dpart.find('/', b + 1) != std::string_view::npos)
      return std::nullopt;
    std::string_view ys = dpart.substr(b + 1);
    if (!ReadNumber(dpart.substr(0, a), mo) || !ReadNumber(dpart.substr(a + 1, b - a - 1), d) ||
        !ReadNumber(ys, y))
      return std::nullopt;
    if (ys.size() != 2 && ys.size() != 4 && ys.size() != 1) return std::nullopt;
    y = ExpandYear(ys, y);
  } else if (dpart.size() == 10 && dpart[4] == '-' && dpart[7] == '-') {
    if (!ReadNumber(dpart.substr(0, 4), y) || !ReadNumber(dpart.substr(5, 2), mo) ||
        !ReadNumber(dpart.substr(8, 2), d))
      return std::nullopt;
  } else if (size_t a = dpart.find('-'); a != std::string_view::npos) {
    size_t b = dpart.find('-', a + 1);
    if (b == std::string_view::npos || dpart.find('-', b + 1) != std::string_view::npos)
      return std::nullopt;
    std::string_view ys = dpart.substr(b + 1);
    if (!ReadNumber(dpart.substr(0, a), d) || !ReadNumber(ys, y)) return std::nullopt;
    if (ys.size() != 2 && ys.size() != 4) return std::nullopt;
    mo = MonthFromName(dpart.substr(a + 1, b - a - 1));
    if (mo == 0) return std::nullopt;
    y = ExpandYear(ys, y);
  } else {
    return std::nullopt;
  }
  return Date::FromParts(y, mo, d, h, mi, s);
}

std::optional<std::string_view> SizedText(std::string_view text, int size) {
  std::string_view t = Trim(text);
  if (size >= 0 && Utf8LongerThan(t, static_cast<size_t>(size))) return std::nullopt;
  return t;
}

std::optional<std::string> ToSizedText(std::string_view text, int size) {
  if (auto t = SizedText(text, size)) return std::string(*t);
  return std::nullopt;
}

bool IsIntegerText(std::string_view text) { return ToWholeNumber(text).has_value(); }
bool IsSingleText(std::string_view text) { return ToSingle(text).has_value(); }
bool IsDateText(std::string_view text) { return ToDate(text).has_value(); }

std::optional<Value> ConvertText(std::string_view text, int type, int size) {
  switch (type) {
    case kTypeInteger:
      if (auto v = ToWholeNumber(text)) return Value::Integer(*v);
      return std::nullopt;
    case kTypeSingle:
      if (auto v = ToSingle(text)) return Value::Real(*v);
      return std::nullopt;
    case kTypeDate:
      if (auto v = ToDate(text)) return Value::FromDate(*v);
      return std::nullopt;
    case kTypeVarChar:
      if (auto v = ToSizedText(text, size)) return Value::Text(std::move(*v));
      return std::nullopt;
    default:
      return Value();
  }
}

}  // namespace sorvane
