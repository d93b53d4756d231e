#include "core/value.h"

#include <charconv>
#include <cmath>

namespace sorvane {

std::string FormatGeneral(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "Infinity" : "-Infinity";
  if (v == 0) return "0";
  // As printf's "%.15g" writes it, without its cost (a number cell of a
  // workbook read as text comes through here).
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
