#include "workdb/jet_functions.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/c_numbers.h"
#include "core/date.h"
#include "core/text.h"

namespace sorvane {
namespace {

void JetInt(sqlite3_context* ctx, int, sqlite3_value** argv) {
  switch (sqlite3_value_numeric_type(argv[0])) {
    case SQLITE_INTEGER:
      sqlite3_result_int64(ctx, sqlite3_value_int64(argv[0]));
      return;
    case SQLITE_FLOAT: {
      double v = std::floor(sqlite3_value_double(argv[0]));
      if (std::fabs(v) < 9.2e18) {
        sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(v));
      } else {
        sqlite3_result_double(ctx, v);
      }
      return;
    }
    default:
      sqlite3_result_null(ctx);
  }
}

// `v` rounded to `decimals` places as the dialect's FORMAT does it: on the
// value's 15 significant digits, halves away from zero ("76.25" -> "76.3").
std::string RoundDecimal(double v, int decimals) {
  char buf[40];
  Scientific14(std::fabs(v), buf);
  std::string digits;
  digits += buf[0];
  digits.append(buf + 2, 14);
  const int exponent = std::atoi(std::strchr(buf, 'e') + 1);
  // The value is 0.<digits> x 10^(exponent + 1).
  int point = exponent + 1;
  const int keep = point + decimals;
  if (keep < 0) {
    digits = "0";
    point = 1;
  } else if (keep < static_cast<int>(digits.size())) {
    const bool up = digits[static_cast<size_t>(keep)] >= '5';
    digits.resize(static_cast<size_t>(keep));
    if (up) {
      int i = keep - 1;
      while (i >= 0 && digits[static_cast<size_t>(i)] == '9')
        digits[static_cast<size_t>(i--)] = '0';
      if (i >= 0) {
        ++digits[static_cast<size_t>(i)];
      } else {
        digits.insert(digits.begin(), '1');
        ++point;
      }
    }
  }
  // Lay the digits out around the point, padding with zeros.
  std::string whole, frac;
  for (int i = 0; i < point; ++i)
    whole += i < static_cast<int>(digits.size()) && i >= 0 ? digits[static_cast<size_t>(i)] : '0';
  for (int i = 0; i < decimals; ++i) {
    const int at = point + i;
    frac += at >= 0 && at < static_cast<int>(digits.size()) ? digits[static_cast<size_t>(at)] : '0';
  }
  whole.erase(0, std::min(whole.find_first_not_of('0'), whole.empty() ? 0 : whole.size() - 1));
  if (whole.empty()) whole = "0";
  std::string out = whole;
  if (decimals > 0) out += "." + frac;
  const bool zero = out.find_first_not_of("0.") == std::string::npos;
  return (v < 0 && !zero ? "-" : "") + out;
}

// Number formats of the '#' and '0' kind: the digits after the point give the
// most decimals ('#' optional, '0' required). Like the dialect's own FORMAT, a
// whole number keeps the point when the format has one ('####0.#' gives "70.").
std::string FormatNumber(double v, const std::string& fmt) {
  size_t point = fmt.find('.');
  int max_dec = 0, min_dec = 0;
  if (point != std::string::npos) {
    for (size_t i = point + 1; i < fmt.size(); ++i) {
      if (fmt[i] == '#') ++max_dec;
      if (fmt[i] == '0') ++max_dec, ++min_dec;
    }
  }
  std::string s = RoundDecimal(v, max_dec);
  if (max_dec > 0) {
    const size_t keep = s.find('.') + 1 + static_cast<size_t>(min_dec);
    while (s.size() > keep && s.back() == '0') s.pop_back();
  } else if (point != std::string::npos) {
    s += '.';
  }
  return s;
}

void JetFormat(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  std::string fmt = argc > 1 && sqlite3_value_type(argv[1]) != SQLITE_NULL
                        ? reinterpret_cast<const char*>(sqlite3_value_text(argv[1]))
                        : "";
  int nt = sqlite3_value_numeric_type(argv[0]);
  // An infinite value (an overflowing expression) has no digits to lay out.
  if ((nt != SQLITE_INTEGER && nt != SQLITE_FLOAT) ||
      !std::isfinite(sqlite3_value_double(argv[0]))) {
    const unsigned char* t = sqlite3_value_text(argv[0]);
    sqlite3_result_text(ctx, reinterpret_cast<const char*>(t), -1, SQLITE_TRANSIENT);
    return;
  }
  std::string out = FormatNumber(sqlite3_value_double(argv[0]), fmt);
  sqlite3_result_text(ctx, out.c_str(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

// Upper case of letters beyond ASCII too (accented names), the same rule the
// program's own name normalisation uses.
void JetUcase(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  const char* t = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
  std::string up =
      UpperCase(std::string_view(t, static_cast<size_t>(sqlite3_value_bytes(argv[0]))));
  sqlite3_result_text(ctx, up.data(), static_cast<int>(up.size()), SQLITE_TRANSIENT);
}

void JetNow(sqlite3_context* ctx, int, sqlite3_value**) {
  std::string now = Date::Now().ToIso();
  sqlite3_result_text(ctx, now.c_str(), static_cast<int>(now.size()), SQLITE_TRANSIENT);
}

}  // namespace

void RegisterJetFunctions(sqlite3* db) {
  const int flags = SQLITE_UTF8;
  sqlite3_create_function(db, "JET_INT", 1, flags | SQLITE_DETERMINISTIC, nullptr, JetInt, nullptr,
                          nullptr);
  sqlite3_create_function(db, "JET_FORMAT", 2, flags | SQLITE_DETERMINISTIC, nullptr, JetFormat,
                          nullptr, nullptr);
  sqlite3_create_function(db, "JET_FORMAT", 1, flags | SQLITE_DETERMINISTIC, nullptr, JetFormat,
                          nullptr, nullptr);
  sqlite3_create_function(db, "JET_UCASE", 1, flags | SQLITE_DETERMINISTIC, nullptr, JetUcase,
                          nullptr, nullptr);
  sqlite3_create_function(db, "JET_NOW", 0, flags, nullptr, JetNow, nullptr, nullptr);
}

}  // namespace sorvane
