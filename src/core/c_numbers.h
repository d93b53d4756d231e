// Numbers read and written in the C conventions (a decimal point, no grouping)
// whatever the process's numeric locale: a desktop set to German or French
// conventions makes strtod stop at the point and printf write a comma, and
// the desktop toolkit takes the desktop's locale for the whole process.
#pragma once

#include <locale.h>

#include <charconv>
#include <cstdlib>

namespace sorvane {

// The process's locale as it was first asked for here, with the C numbers.
inline locale_t CNumericLocale() {
  static const locale_t c = newlocale(LC_NUMERIC_MASK, "C", duplocale(LC_GLOBAL_LOCALE));
  return c;
}

// strtod as in the C locale.
inline double StrtodC(const char* text, char** end) {
  return strtod_l(text, end, CNumericLocale());
}

// While one lives, this thread writes and reads numbers in the C conventions,
// also inside the libraries it calls (the workbook writer prints every number
// and column width with printf).
class CNumericScope {
 public:
  CNumericScope() : previous_(uselocale(CNumericLocale())) {}
  ~CNumericScope() { uselocale(previous_); }
  CNumericScope(const CNumericScope&) = delete;
  CNumericScope& operator=(const CNumericScope&) = delete;

 private:
  locale_t previous_;
};

// `v` as printf's "%.14e" writes it in the C locale ("3.71780000000000e+02"),
// NUL-terminated.
inline void Scientific14(double v, char (&buf)[40]) {
  *std::to_chars(buf, buf + sizeof buf - 1, v, std::chars_format::scientific, 14).ptr = '\0';
}

}  // namespace sorvane
