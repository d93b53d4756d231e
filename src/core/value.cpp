#include "core/value.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <iterator>

namespace sorvane {
namespace {

// %.15g for a number between 1e-4 and 1e15, which it writes without an
// exponent: the fewest decimals that read back as `v` (the division below is
// exact to the last bit), when they make 15 significant digits at most. That
// decimal is the one %.15g rounds `v` to: `v` lies within 2^-53 of itself
// from it, and decimals of 15 digits lie 1e-15 of it apart at least. Empty
// when the shortcut does not apply.
std::string FixedFifteenDigits(double v) {
  static constexpr double kTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8, 1e9,
                                    1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18};
  const double a = std::fabs(v);
  if (!(a >= 1e-4 && a < 1e15)) return {};
  // The power of ten of the first digit, -4 to 14. The doubles nearest to
  // 1e-4 ... 1e-1 lie above them, so no smaller number is taken for one.
  static constexpr double kFirstDigit[] = {1e-4, 1e-3, 1e-2, 1e-1, 1e0,  1e1,  1e2,  1e3,  1e4, 1e5,
                                           1e6,  1e7,  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14};
  const auto exponent =
      static_cast<int>(std::upper_bound(std::begin(kFirstDigit), std::end(kFirstDigit), a) -
                       std::begin(kFirstDigit)) -
      5;
  for (int decimals = 0; decimals <= 14 - exponent; ++decimals) {
    const double m = std::nearbyint(a * kTen[decimals]);
    if (m / kTen[decimals] != a) continue;
    char digits[16];
    const int n = static_cast<int>(
        std::to_chars(digits, digits + sizeof digits, static_cast<uint64_t>(m)).ptr - digits);
    // The last decimal is no 0: one decimal fewer would have read back first.
    const int k = decimals;  // At most "-0.000" and 15 digits, then.
    char text[24];
    char* p = text;
    if (v < 0) *p++ = '-';
    if (k == 0) {
      p = std::copy(digits, digits + n, p);
    } else if (n > k) {
      p = std::copy(digits, digits + n - k, p);
      *p++ = '.';
      p = std::copy(digits + n - k, digits + n, p);
    } else {
      *p++ = '0';
      *p++ = '.';
      p = std::fill_n(p, k - n, '0');
      p = std::copy(digits, digits + n, p);
    }
    return std::string(text, p);
  }
  return {};
}

}  // namespace

std::string FormatGeneral(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "Infinity" : "-Infinity";
  if (v == 0) return "0";
  // As printf's "%.15g" writes it, without its cost (a number cell of a
  // workbook read as text comes through here).
  if (std::string s = FixedFifteenDigits(v); !s.empty()) return s;
  char buf[64];
  const std::to_chars_result end =
      std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
  std::string s(buf, end.ptr);
  // %g already drops trailing zeros of the fraction; tidy the exponent ("1e+20" -> "1E+20").
  auto e = s.find('e');
  if (e != std::string::npos) {
    std::string mant = s.substr(0, e);
    std::string exp = s.substr(e + 1);
    char sign = exp[0];
    exp = exp.substr(1);
    while (exp.size() > 2 && exp[0] == '0') exp.erase(0, 1);
    s = mant + "E" + sign + exp;
  }
  return s;
}

double Value::ToDouble() const {
  switch (kind()) {
    case Kind::kInteger:
      return static_cast<double>(AsInteger());
    case Kind::kReal:
      return AsReal();
    default:
      return 0;
  }
}

std::string Value::ToDisplay() const {
  switch (kind()) {
    case Kind::kMissing:
      return "";
    case Kind::kInteger:
      return std::to_string(AsInteger());
    case Kind::kReal:
      return FormatGeneral(AsReal());
    case Kind::kDate:
      return AsDate().ToDisplay();
    case Kind::kText:
      return AsText();
  }
  return "";
}

}  // namespace sorvane
