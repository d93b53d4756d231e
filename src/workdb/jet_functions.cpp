#include "workdb/jet_functions.h"

#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "core/date.h"

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
  char buf[128];
  std::snprintf(buf, sizeof buf, "%.*f", max_dec, v);
  std::string s(buf);
  if (max_dec > 0) {
    size_t dot = s.find('.');
    size_t keep = dot + 1 + static_cast<size_t>(min_dec);
    while (s.size() > keep && s.back() == '0') s.pop_back();
  }
  if (s == "-0") s = "0";
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
  if (nt != SQLITE_INTEGER && nt != SQLITE_FLOAT) {
    const unsigned char* t = sqlite3_value_text(argv[0]);
    sqlite3_result_text(ctx, reinterpret_cast<const char*>(t), -1, SQLITE_TRANSIENT);
    return;
  }
  std::string out = FormatNumber(sqlite3_value_double(argv[0]), fmt);
  sqlite3_result_text(ctx, out.c_str(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
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
  sqlite3_create_function(db, "JET_NOW", 0, flags, nullptr, JetNow, nullptr, nullptr);
}

}  // namespace sorvane
