#include "import/readers/number_format.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/c_numbers.h"
#include "core/value.h"
#include "import/readers/number_format_section.h"

namespace sorvane::readers {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool StartsWithNoCase(std::string_view s, size_t at, std::string_view word) {
  if (s.size() - at < word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    if (Lower(s[at + i]) != Lower(word[i])) return false;
  }
  return true;
}

void AddLiteral(std::vector<Token>& out, std::string_view text) {
  if (!out.empty() && out.back().kind == Tok::kLiteral) {
    out.back().text += text;
  } else {
    out.push_back({Tok::kLiteral, 0, 0, std::string(text)});
  }
}

// Length of the UTF-8 character starting at s[i].
size_t CharLength(std::string_view s, size_t i) {
  const auto b = static_cast<unsigned char>(s[i]);
  size_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : 4;
  return std::min(n, s.size() - i);
}

// A bracketed part: colour, condition, currency and locale, or elapsed time.
void Bracket(std::string_view body, NumberFormat::Section& sec) {
  if (body.empty()) return;
  const char c = body[0];
  if (c == '<' || c == '>' || c == '=') {
    size_t k = 1;
    if (k < body.size() && (body[k] == '=' || (c == '<' && body[k] == '>'))) ++k;
    sec.cond_op = std::string(body.substr(0, k));
    const std::string num(body.substr(k));
    sec.cond_value = StrtodC(num.c_str(), nullptr);
    return;
  }
  if (c == '$') {
    const size_t dash = body.find('-');
    const std::string_view symbol =
        body.substr(1, dash == std::string_view::npos ? body.npos : dash - 1);
    if (!symbol.empty()) AddLiteral(sec.tokens, symbol);
    return;
  }
  const char l = Lower(c);
  if (l == 'h' || l == 'm' || l == 's') {
    bool same = true;
    for (char x : body) same = same && Lower(x) == l;
    if (same) {
      const Tok k = l == 'h'   ? Tok::kElapsedHour
                    : l == 'm' ? Tok::kElapsedMinute
                               : Tok::kElapsedSecond;
      sec.tokens.push_back({k, 0, static_cast<int>(body.size()), {}});
      sec.is_date = true;
    }
  }
  // Colours ([Red], [Color10]) and anything else change no text.
}

// The tokens of section text `s`, into `sec`, each placeholder, point and
// comma as written: what they mean is decided once the whole section is seen.
void Tokenize(std::string_view s, NumberFormat::Section& sec) {
  auto& out = sec.tokens;
  for (size_t i = 0; i < s.size();) {
    const char c = s[i];
    const char l = Lower(c);
    if (c == '"') {
      const size_t end = s.find('"', i + 1);
      AddLiteral(out, s.substr(i + 1, (end == s.npos ? s.size() : end) - i - 1));
      i = end == s.npos ? s.size() : end + 1;
    } else if (c == '\\') {
      if (i + 1 < s.size()) AddLiteral(out, s.substr(i + 1, CharLength(s, i + 1)));
      i += 1 + (i + 1 < s.size() ? CharLength(s, i + 1) : 0);
    } else if (c == '_') {
      AddLiteral(out, " ");  // a blank as wide as the next character
      i += 1 + (i + 1 < s.size() ? CharLength(s, i + 1) : 0);
    } else if (c == '*') {
      i += 1 + (i + 1 < s.size() ? CharLength(s, i + 1) : 0);  // fill: no text of its own
    } else if (c == '[') {
      const size_t end = s.find(']', i + 1);
      if (end == s.npos) {
        AddLiteral(out, s.substr(i));
        break;
      }
      Bracket(s.substr(i + 1, end - i - 1), sec);
      i = end + 1;
    } else if (c == '0' || c == '#' || c == '?') {
      out.push_back({Tok::kDigit, c, 0, {}});
      ++i;
    } else if (c == '.') {
      if (sec.is_date && i + 1 < s.size() && s[i + 1] == '0') {
        size_t k = i + 1;
        while (k < s.size() && s[k] == '0') ++k;
        out.push_back({Tok::kFraction, 0, static_cast<int>(k - i - 1), {}});
        i = k;
      } else {
        out.push_back({Tok::kPoint, 0, 0, {}});
        ++i;
      }
    } else if (c == ',') {
      out.push_back({Tok::kThousands, 0, 0, {}});
      ++i;
    } else if (c == '%') {
      out.push_back({Tok::kPercent, 0, 0, {}});
      ++sec.percent;
      ++i;
    } else if (c == '@') {
      out.push_back({Tok::kText, 0, 0, {}});
      ++i;
    } else if (l == 'e' && i + 1 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-')) {
      out.push_back({Tok::kExponent, s[i + 1], 0, {}});
      i += 2;
    } else if (StartsWithNoCase(s, i, "general")) {
      out.push_back({Tok::kGeneral, 0, 0, {}});
      i += 7;
    } else if (StartsWithNoCase(s, i, "am/pm")) {
      out.push_back({Tok::kAmPm, 'A', 0, {}});
      sec.is_date = true;
      i += 5;
    } else if (StartsWithNoCase(s, i, "a/p")) {
      out.push_back({Tok::kAmPm, c == 'a' ? 'a' : 'A', 1, {}});
      sec.is_date = true;
      i += 3;
    } else if (l == 'y' || l == 'm' || l == 'd' || l == 'h' || l == 's') {
      size_t k = i;
      while (k < s.size() && Lower(s[k]) == l) ++k;
      const Tok kind = l == 'y'   ? Tok::kYear
                       : l == 'm' ? Tok::kMonth
                       : l == 'd' ? Tok::kDay
                       : l == 'h' ? Tok::kHour
                                  : Tok::kSecond;
      out.push_back({kind, 0, static_cast<int>(k - i), {}});
      sec.is_date = true;
      i = k;
    } else {
      AddLiteral(out, s.substr(i, CharLength(s, i)));
      i += CharLength(s, i);
    }
  }
}

// A date section's tokens: "m" next to hours or seconds counts minutes, not
// months, and '.', ',' and placeholders are plain text.
void ResolveDateTokens(std::vector<Token>& out) {
  for (size_t i = 0; i < out.size(); ++i) {
    if (out[i].kind != Tok::kMonth || out[i].n > 2) continue;
    bool minute = false;
    for (size_t k = i; k-- > 0;) {
      const Tok t = out[k].kind;
      if (t == Tok::kLiteral) continue;
      minute = t == Tok::kHour || t == Tok::kElapsedHour;
      break;
    }
    for (size_t k = i + 1; !minute && k < out.size(); ++k) {
      const Tok t = out[k].kind;
      if (t == Tok::kLiteral) continue;
      minute = t == Tok::kSecond || t == Tok::kElapsedSecond;
      break;
    }
    if (minute) out[i].kind = Tok::kMinute;
  }
  for (Token& t : out) {
    if (t.kind == Tok::kPoint) t = {Tok::kLiteral, 0, 0, "."};
    if (t.kind == Tok::kThousands) t = {Tok::kLiteral, 0, 0, ","};
    if (t.kind == Tok::kDigit) t = {Tok::kLiteral, 0, 0, std::string(1, t.ch)};
  }
}

// A number section's commas: between integer placeholders they group
// thousands; right after the last placeholder they divide by 1000 each;
// anywhere else they are text.
void ResolveCommas(NumberFormat::Section& sec) {
  auto& out = sec.tokens;
  size_t number_end = out.size();  // the first token after the number's placeholders
  for (size_t i = 0; i < out.size(); ++i) {
    if (out[i].kind == Tok::kExponent) {
      number_end = i;
      break;
    }
  }
  size_t first_digit = out.size(), last_digit = out.size(), point = out.size();
  for (size_t i = 0; i < number_end; ++i) {
    if (out[i].kind == Tok::kDigit) {
      if (first_digit == out.size()) first_digit = i;
      last_digit = i;
    } else if (out[i].kind == Tok::kPoint && point == out.size()) {
      point = i;
    }
  }
  bool grouped = false;
  for (size_t i = 0; i < out.size(); ++i) {
    if (out[i].kind != Tok::kThousands) continue;
    const bool inside = first_digit < i && i < std::min(point, last_digit);
    bool scaling = false;
    if (!inside && last_digit != out.size() && i > last_digit) {
      scaling = true;
      for (size_t k = last_digit + 1; k < i; ++k) {
        scaling = scaling && (out[k].kind == Tok::kThousands || out[k].kind == Tok::kPoint);
      }
    }
    if (inside) {
      grouped = true;
      out[i].ch = 'g';
    } else if (scaling) {
      ++sec.scale;
      out[i].ch = 's';
    } else {
      out[i] = {Tok::kLiteral, 0, 0, ","};
    }
  }
  if (grouped) {
    for (Token& t : out) {
      if (t.kind == Tok::kThousands && t.ch == 'g') t.ch = 'G';
    }
  }
}

NumberFormat::Section ParseSection(std::string_view s) {
  NumberFormat::Section sec;
  Tokenize(s, sec);
  if (sec.is_date) {
    ResolveDateTokens(sec.tokens);
  } else {
    ResolveCommas(sec);
    MarkFraction(sec);
  }
  return sec;
}

// The decimal digits of |v| rounded half away from zero to `decimals` places,
// after rounding to the 15 significant digits a spreadsheet keeps: `whole` has
// no leading zeros ("" for less than 1), `fraction` exactly `decimals` digits.
void Digits(double v, int decimals, std::string& whole, std::string& fraction) {
  whole.clear();
  fraction.assign(static_cast<size_t>(decimals), '0');
  v = std::fabs(v);
  if (v == 0 || !std::isfinite(v)) return;
  char buf[40];
  Scientific14(v, buf);
  std::string m;
  for (const char* p = buf; *p != 'e'; ++p) {
    if (*p != '.') m += *p;
  }
  int point = std::atoi(std::strchr(buf, 'e') + 1) + 1;  // digits before the point
  const int keep = point + decimals;
  if (keep < 0) return;
  if (keep < static_cast<int>(m.size())) {
    const bool up = m[static_cast<size_t>(keep)] >= '5';
    m.resize(static_cast<size_t>(keep));
    if (up) {
      int k = keep - 1;
      while (k >= 0 && m[static_cast<size_t>(k)] == '9') m[static_cast<size_t>(k--)] = '0';
      if (k >= 0) {
        ++m[static_cast<size_t>(k)];
      } else {
        m.insert(m.begin(), '1');
        ++point;
      }
    }
  }
  // Place the digits around the point.
  std::string all = point < 0 ? std::string(static_cast<size_t>(-point), '0') + m : m;
  const int int_len = std::max(point, 0);
  if (static_cast<int>(all.size()) < int_len + decimals)
    all.resize(static_cast<size_t>(int_len + decimals), '0');
  whole = all.substr(0, static_cast<size_t>(int_len));
  fraction = all.substr(static_cast<size_t>(int_len), static_cast<size_t>(decimals));
  const size_t nz = whole.find_first_not_of('0');
  whole = nz == std::string::npos ? std::string() : whole.substr(nz);
}

const char* const kMonths[] = {"January",   "February", "March",    "April",
                               "May",       "June",     "July",     "August",
                               "September", "October",  "November", "December"};
const char* const kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                             "Thursday", "Friday", "Saturday"};

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
}

void Pad(std::string& out, int64_t v, int width) {
  std::string s = std::to_string(v);
  if (static_cast<int>(s.size()) < width) out.append(static_cast<size_t>(width) - s.size(), '0');
  out += s;
}

// What a date section shows of a serial date, rounded to the fraction of a
// second the section shows (to the second when it shows none).
struct DateParts {
  int fd = 0;  // decimals of a second shown, at most 3
  int y = 1900, mo = 1, d = 0, wd = 0;
  int hour = 0, minute = 0, second = 0;
  int64_t frac = 0;        // of the second, in units of the shown decimals
  int64_t total_secs = 0;  // the elapsed time, for [h], [mm] and [ss]
};

DateParts DatePartsOf(const NumberFormat::Section& sec, double value, bool date1904) {
  DateParts p;
  for (const Token& t : sec.tokens) {
    if (t.kind == Tok::kFraction) p.fd = std::max(p.fd, std::min(t.n, 3));
  }
  const double unit = std::pow(10.0, p.fd);
  const auto ticks_per_day = static_cast<int64_t>(86400 * unit);
  const auto ticks = static_cast<int64_t>(std::llround(value * 86400.0 * unit));
  const int64_t days = ticks / ticks_per_day;
  const int64_t in_day = ticks % ticks_per_day;
  const int64_t secs = in_day / static_cast<int64_t>(unit);
  p.frac = in_day % static_cast<int64_t>(unit);
  p.total_secs = static_cast<int64_t>(ticks / static_cast<int64_t>(unit));
  int& y = p.y;
  int& mo = p.mo;
  int& d = p.d;
  if (date1904) {
    CivilFromDays(days - 24107, y, mo, d);  // 1904-01-01 is day 0
  } else if (days == 60) {
    y = 1900, mo = 2, d = 29;  // the 1900 system counts a day 1900 did not have
  } else if (days > 60) {
    CivilFromDays(days - 25569, y, mo, d);  // 1899-12-30 is day 0
  } else if (days > 0) {
    CivilFromDays(days - 25568, y, mo, d);
  }
  const int64_t z = date1904 ? days - 24107 : days - 25569;
  p.wd = static_cast<int>(((z % 7) + 7 + 4) % 7);  // 1970-01-01 was a Thursday
  p.hour = static_cast<int>(secs / 3600);
  p.minute = static_cast<int>(secs / 60 % 60);
  p.second = static_cast<int>(secs % 60);
  return p;
}

std::string RenderDate(const NumberFormat::Section& sec, double value, bool date1904) {
  const DateParts p = DatePartsOf(sec, value, date1904);
  bool twelve = false;
  for (const Token& t : sec.tokens) twelve = twelve || t.kind == Tok::kAmPm;
  const int y = p.y, mo = p.mo, d = p.d, wd = p.wd, hour = p.hour, fd = p.fd;
  std::string out;
  for (const Token& t : sec.tokens) {
    switch (t.kind) {
      case Tok::kLiteral:
        out += t.text;
        break;
      case Tok::kYear:
        if (t.n <= 2) {
          Pad(out, y % 100, 2);
        } else {
          Pad(out, y, 4);
        }
        break;
      case Tok::kMonth:
        if (t.n <= 2) {
          Pad(out, mo, t.n);
        } else if (t.n == 3) {
          out += std::string(kMonths[mo - 1]).substr(0, 3);
        } else if (t.n == 5) {
          out += kMonths[mo - 1][0];
        } else {
          out += kMonths[mo - 1];
        }
        break;
      case Tok::kDay:
        if (t.n <= 2) {
          Pad(out, d, t.n);
        } else {
          out += t.n == 3 ? std::string(kDays[wd]).substr(0, 3) : std::string(kDays[wd]);
        }
        break;
      case Tok::kHour: {
        int h = hour;
        if (twelve) h = h % 12 == 0 ? 12 : h % 12;
        Pad(out, h, std::min(t.n, 2));
        break;
      }
      case Tok::kMinute:
        Pad(out, p.minute, std::min(t.n, 2));
        break;
      case Tok::kSecond:
        Pad(out, p.second, std::min(t.n, 2));
        break;
      case Tok::kElapsedHour:
        Pad(out, p.total_secs / 3600, t.n);
        break;
      case Tok::kElapsedMinute:
        Pad(out, p.total_secs / 60, t.n);
        break;
      case Tok::kElapsedSecond:
        Pad(out, p.total_secs, t.n);
        break;
      case Tok::kFraction: {
        std::string f;
        Pad(f, p.frac, fd);
        out += '.';
        out += f.substr(0, static_cast<size_t>(t.n));
        if (t.n > fd) out.append(static_cast<size_t>(t.n - fd), '0');
        break;
      }
      case Tok::kAmPm:
        if (t.n == 0) {
          out += hour < 12 ? "AM" : "PM";
        } else {
          const char c = hour < 12 ? 'A' : 'P';
          out += t.ch == 'a' ? Lower(c) : c;
        }
        break;
      default:
        break;
    }
  }
  return out;
}

// Where a number section's placeholders stand.
struct Layout {
  size_t exp_at, point;  // the exponent's token and the point's, or the end
  int int_places = 0, frac_places = 0, exp_places = 0;
  bool grouped = false;
};

Layout LayOut(const std::vector<Token>& toks) {
  Layout l{toks.size(), toks.size()};
  for (size_t i = 0; i < toks.size(); ++i) {
    const Token& t = toks[i];
    if (t.kind == Tok::kExponent && l.exp_at == toks.size()) l.exp_at = i;
    if (t.kind == Tok::kPoint && l.point == toks.size() && l.exp_at == toks.size()) l.point = i;
    if (t.kind == Tok::kThousands && t.ch == 'G') l.grouped = true;
    if (t.kind != Tok::kDigit) continue;
    if (i > l.exp_at) {
      ++l.exp_places;
    } else if (i > l.point) {
      ++l.frac_places;
    } else {
      ++l.int_places;
    }
  }
  return l;
}

// The power of ten a scientific format shows `v` with (a multiple of the
// integer placeholders, so "##0.0E+0" shows engineering powers); `v` is
// divided by it.
int ScaleToExponent(const Layout& l, double& v) {
  char buf[40];
  Scientific14(v, buf);
  const int e10 = std::atoi(std::strchr(buf, 'e') + 1);
  const int step = std::max(l.int_places, 1);
  int exponent = e10 >= 0 ? e10 / step * step : -((-e10 + step - 1) / step) * step;
  if (l.int_places == 0) exponent = e10 + 1;
  v /= std::pow(10.0, exponent);
  std::string w, f;
  Digits(v, l.frac_places, w, f);
  if (static_cast<int>(w.size()) > std::max(l.int_places, 1) || (l.int_places == 0 && !w.empty())) {
    exponent += step;
    v /= std::pow(10.0, step);
  }
  return exponent;
}

// The text of each integer placeholder: they take the digits from the right,
// and the leftmost takes every digit left over.
std::vector<std::string> IntegerSlots(const std::vector<Token>& toks, const Layout& l,
                                      const std::string& whole) {
  std::vector<std::string> int_out(static_cast<size_t>(l.int_places));
  std::vector<size_t> int_at;
  for (size_t i = 0; i < std::min(l.point, l.exp_at); ++i) {
    if (toks[i].kind == Tok::kDigit) int_at.push_back(i);
  }
  size_t left = whole.size();
  int grouped_digits = 0;
  for (int k = l.int_places - 1; k >= 0; --k) {
    const size_t at = int_at[static_cast<size_t>(k)];
    std::string& slot = int_out[static_cast<size_t>(k)];
    auto put_digit = [&](char digit) {
      if (l.grouped && grouped_digits > 0 && grouped_digits % 3 == 0)
        slot.insert(slot.begin(), ',');
      slot.insert(slot.begin(), digit);
      ++grouped_digits;
    };
    if (left > 0) {
      put_digit(whole[--left]);
      if (k == 0) {
        while (left > 0) put_digit(whole[--left]);
      }
    } else if (toks[at].ch == '0') {
      put_digit('0');
    } else if (toks[at].ch == '?') {
      slot.insert(slot.begin(), ' ');
    }
  }
  return int_out;
}

// The text of each placeholder after the point: trailing zeros show only
// where a '0' stands, a blank where a '?' does.
std::vector<std::string> FractionSlots(const std::vector<Token>& toks, const Layout& l,
                                       const std::string& fraction) {
  std::vector<std::string> frac_out(static_cast<size_t>(l.frac_places));
  size_t k = 0;
  for (size_t i = l.point + 1; i < l.exp_at && i < toks.size(); ++i) {
    if (toks[i].kind == Tok::kDigit) frac_out[k++] = std::string(1, toks[i].ch);
  }
  bool trailing = true;
  for (int j = l.frac_places - 1; j >= 0; --j) {
    const char ph = frac_out[static_cast<size_t>(j)][0];
    const char digit = fraction[static_cast<size_t>(j)];
    if (trailing && digit == '0' && ph != '0') {
      frac_out[static_cast<size_t>(j)] = ph == '?' ? " " : "";
    } else {
      trailing = false;
      frac_out[static_cast<size_t>(j)] = std::string(1, digit);
    }
  }
  return frac_out;
}

// The exponent's `k`th placeholder (a '0', '#' or '?'): the leftmost takes any
// digits beyond the placeholders.
void PutExponentDigit(std::string& out, const std::string& exp_digits, int exp_places, int k,
                      char placeholder) {
  const int from_right = exp_places - 1 - k;
  if (k == 0 && static_cast<int>(exp_digits.size()) > exp_places) {
    out += exp_digits.substr(0, exp_digits.size() - static_cast<size_t>(exp_places) + 1);
  } else if (from_right < static_cast<int>(exp_digits.size())) {
    out += exp_digits[exp_digits.size() - 1 - static_cast<size_t>(from_right)];
  } else if (placeholder == '0') {
    out += '0';
  } else if (placeholder == '?') {
    out += ' ';
  }
}

std::string RenderNumber(const NumberFormat::Section& sec, double value) {
  double v = std::fabs(value) * std::pow(100.0, sec.percent) / std::pow(1000.0, sec.scale);
  const auto& toks = sec.tokens;
  const Layout l = LayOut(toks);
  const int exponent = l.exp_at != toks.size() && v != 0 ? ScaleToExponent(l, v) : 0;
  std::string whole, fraction;
  Digits(v, l.frac_places, whole, fraction);
  const std::vector<std::string> int_out = IntegerSlots(toks, l, whole);
  const std::vector<std::string> frac_out = FractionSlots(toks, l, fraction);

  // A number that rounds to zero shows no minus sign ("0M" for -1234.5 in millions).
  bool shows_digits = whole.find_first_not_of('0') != std::string::npos ||
                      fraction.find_first_not_of('0') != std::string::npos;
  for (const Token& t : toks) {
    shows_digits = shows_digits || t.kind == Tok::kGeneral || t.kind == Tok::kText;
  }
  const bool negative = value < 0 && !sec.drop_sign && shows_digits;
  bool fraction_shown = false;
  for (const std::string& f : frac_out) fraction_shown = fraction_shown || !f.empty();
  std::string out;
  if (negative) out += '-';
  int int_k = 0, frac_k = 0, exp_k = 0;
  const std::string exp_digits = std::to_string(std::abs(exponent));
  bool whole_put = l.int_places > 0;
  for (size_t i = 0; i < toks.size(); ++i) {
    const Token& t = toks[i];
    switch (t.kind) {
      case Tok::kLiteral:
        out += t.text;
        break;
      case Tok::kDigit:
        if (i > l.exp_at) {
          PutExponentDigit(out, exp_digits, l.exp_places, exp_k++, t.ch);
        } else if (i > l.point) {
          out += frac_out[static_cast<size_t>(frac_k++)];
        } else {
          out += int_out[static_cast<size_t>(int_k++)];
        }
        break;
      case Tok::kPoint:
        if (i == l.point) {
          if (!whole_put) {
            out += whole;
            whole_put = true;
          }
          // No fraction digit left to show ("#.##" for 7): no point either.
          if (l.frac_places == 0 || fraction_shown) out += '.';
        } else {
          out += '.';
        }
        break;
      case Tok::kThousands:
        break;
      case Tok::kPercent:
        out += '%';
        break;
      case Tok::kExponent:
        if (!whole_put) {
          out += whole;
          whole_put = true;
        }
        out += 'E';
        if (exponent < 0) {
          out += '-';
        } else if (t.ch == '+') {
          out += '+';
        }
        break;
      case Tok::kGeneral:
      case Tok::kText:
        out += FormatGeneral(std::fabs(value));
        break;
      default:
        break;
    }
  }
  // A format with placeholders only after the point still shows the whole part
  // (".00" for 12.5 shows "12.50"); one without any shows no number at all.
  if (!whole_put && !whole.empty() && l.frac_places > 0) out.insert(negative ? 1 : 0, whole);
  return out;
}

std::vector<std::string_view> SplitSections(std::string_view code) {
  std::vector<std::string_view> out;
  size_t start = 0;
  for (size_t i = 0; i < code.size(); ++i) {
    const char c = code[i];
    if (c == '"') {
      const size_t end = code.find('"', i + 1);
      i = end == code.npos ? code.size() : end;
    } else if (c == '[') {
      const size_t end = code.find(']', i + 1);
      i = end == code.npos ? code.size() : end;
    } else if (c == '\\' || c == '_' || c == '*') {
      ++i;
    } else if (c == ';') {
      out.push_back(code.substr(start, i - start));
      start = i + 1;
    }
  }
  out.push_back(code.substr(std::min(start, code.size())));
  return out;
}

}  // namespace

NumberFormat::NumberFormat(std::string_view code) {
  for (std::string_view s : SplitSections(code)) {
    if (sections_.size() == 4) break;
    sections_.push_back(ParseSection(s));
  }
}
NumberFormat::~NumberFormat() = default;
NumberFormat::NumberFormat(NumberFormat&&) noexcept = default;
NumberFormat& NumberFormat::operator=(NumberFormat&&) noexcept = default;

std::string NumberFormat::Render(double value, bool date1904) const {
  if (!std::isfinite(value)) return "#NUM!";
  // The fourth section is for text; numbers choose among the first three.
  const size_t n = std::min<size_t>(sections_.size(), 3);
  const Section* pick = nullptr;
  bool drop_sign = false;
  const bool conditions = !sections_[0].cond_op.empty() || (n > 1 && !sections_[1].cond_op.empty());
  if (conditions) {
    for (size_t i = 0; i < n && pick == nullptr; ++i) {
      if (sections_[i].Test(value) && (!sections_[i].cond_op.empty() || i == n - 1 || i == 1)) {
        pick = &sections_[i];
        const std::string& op = sections_[i].cond_op;
        drop_sign = !op.empty() && op[0] == '<' && op != "<>" && sections_[i].cond_value <= 0;
      }
    }
    if (pick == nullptr) return FormatGeneral(value);
  } else if (n == 1 || value > 0 || (value == 0 && n == 2)) {
    pick = &sections_[0];
  } else if (value < 0) {
    pick = &sections_[1];
    drop_sign = true;
  } else {
    pick = &sections_[2];
  }
  if (pick->tokens.empty()) return "";
  if (pick->is_date) {
    // Before day 0 and after 9999-12-31 there is no date to show.
    if (value < 0 || value >= 2958466) return FormatGeneral(value);
    return RenderDate(*pick, value, date1904);
  }
  Section s = *pick;
  s.drop_sign = drop_sign;
  return s.fraction ? RenderFraction(s, value) : RenderNumber(s, value);
}

bool IsGeneralCode(std::string_view code) {
  return code.empty() || (code.size() == 7 && StartsWithNoCase(code, 0, "general"));
}

std::string_view BuiltInFormatCode(int id) {
  switch (id) {
    case 0:
      return "General";
    case 1:
      return "0";
    case 2:
      return "0.00";
    case 3:
      return "#,##0";
    case 4:
      return "#,##0.00";
    case 5:
      return "\"$\"#,##0_);(\"$\"#,##0)";
    case 6:
      return "\"$\"#,##0_);[Red](\"$\"#,##0)";
    case 7:
      return "\"$\"#,##0.00_);(\"$\"#,##0.00)";
    case 8:
      return "\"$\"#,##0.00_);[Red](\"$\"#,##0.00)";
    case 9:
      return "0%";
    case 10:
      return "0.00%";
    case 11:
      return "0.00E+00";
    case 12:
      return "# ?/?";
    case 13:
      return "# ?\?/?\?";
    case 14:
      return "m/d/yyyy";
    case 15:
      return "d-mmm-yy";
    case 16:
      return "d-mmm";
    case 17:
      return "mmm-yy";
    case 18:
      return "h:mm AM/PM";
    case 19:
      return "h:mm:ss AM/PM";
    case 20:
      return "h:mm";
    case 21:
      return "h:mm:ss";
    case 22:
      return "m/d/yyyy h:mm";
    case 37:
      return "#,##0_);(#,##0)";
    case 38:
      return "#,##0_);[Red](#,##0)";
    case 39:
      return "#,##0.00_);(#,##0.00)";
    case 40:
      return "#,##0.00_);[Red](#,##0.00)";
    case 41:
      return "_(* #,##0_);_(* (#,##0);_(* \"-\"_);_(@_)";
    case 42:
      return "_(\"$\"* #,##0_);_(\"$\"* (#,##0);_(\"$\"* \"-\"_);_(@_)";
    case 43:
      return "_(* #,##0.00_);_(* (#,##0.00);_(* \"-\"??_);_(@_)";
    case 44:
      return "_(\"$\"* #,##0.00_);_(\"$\"* (#,##0.00);_(\"$\"* \"-\"??_);_(@_)";
    case 45:
      return "mm:ss";
    case 46:
      return "[h]:mm:ss";
    case 47:
      return "mm:ss.0";
    case 48:
      return "##0.0E+0";
    case 49:
      return "@";
    default:
      return "";
  }
}

StyleFormats::StyleFormats() = default;
StyleFormats::~StyleFormats() = default;
StyleFormats::StyleFormats(StyleFormats&&) noexcept = default;
StyleFormats& StyleFormats::operator=(StyleFormats&&) noexcept = default;

void StyleFormats::Add(std::string code) {
  general_.push_back(IsGeneralCode(code) || code == "@");
  codes_.push_back(std::move(code));
}

std::string StyleFormats::Code(uint64_t style) const {
  return style < codes_.size() ? codes_[static_cast<size_t>(style)] : std::string();
}

std::string StyleFormats::Render(uint64_t style, double value) const {
  if (IsGeneral(style)) return FormatGeneral(value);
  const auto i = static_cast<size_t>(style);
  if (compiled_.size() < codes_.size()) compiled_.resize(codes_.size());
  if (!compiled_[i]) compiled_[i] = std::make_unique<NumberFormat>(codes_[i]);
  return compiled_[i]->Render(value, date1904);
}

}  // namespace sorvane::readers
