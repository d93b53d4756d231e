#include "support/comma_decimal_locale.h"

#include <clocale>
#include <cstdlib>
#include <string>

#include "core/c_numbers.h"

namespace sorvane::testing {

CommaDecimalLocale::CommaDecimalLocale() {
  // Made before LOCPATH is set: the C library keeps a copy of the path it
  // reads for a "C" locale object, which the leak checker would report.
  CNumericLocale();
  const std::string folder = dir_.dir().string();
  const std::string make =
      "localedef -i de_DE -f UTF-8 '" + folder + "/de_DE.UTF-8' >/dev/null 2>&1";
  if (std::system(make.c_str()) != 0) return;
  setenv("LOCPATH", folder.c_str(), 1);
  active_ = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr &&
            std::string(std::localeconv()->decimal_point) == ",";
  if (!active_) std::setlocale(LC_NUMERIC, "C");
}

CommaDecimalLocale::~CommaDecimalLocale() {
  std::setlocale(LC_NUMERIC, "C");
  unsetenv("LOCPATH");
}

}  // namespace sorvane::testing
