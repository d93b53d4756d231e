// Numbers written with a decimal comma, as a desktop set to German, French or
// Spanish conventions has them: while one lives, the process's numeric locale
// (LC_NUMERIC) is such a locale, made from the system's locale sources into a
// folder of its own. Where none can be made (no locale sources installed),
// active() is false and the process is left as it was.
#pragma once

#include "support/work_db.h"

namespace sorvane::testing {

class CommaDecimalLocale {
 public:
  CommaDecimalLocale();
  ~CommaDecimalLocale();
  CommaDecimalLocale(const CommaDecimalLocale&) = delete;
  CommaDecimalLocale& operator=(const CommaDecimalLocale&) = delete;
  bool active() const { return active_; }

 private:
  TempDataDir dir_;
  bool active_ = false;
};

}  // namespace sorvane::testing
