// The order in which protected workbooks are opened: with the password the
// person gave (if any), then with the default password that the spreadsheet
// program itself uses for files that are only protected against changes. When
// neither opens the file, the failure says which case it is.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "import/readers/read_failure.h"

namespace sorvane::readers {

inline std::vector<std::string_view> PasswordsToTry(std::string_view given) {
  std::vector<std::string_view> out;
  if (!given.empty()) out.push_back(given);
  out.push_back("VelvetSweatshop");
  return out;
}

// Neither password opened the file: kWrongPassword when one was given,
// kEncrypted when the file needs a password nobody gave.
[[noreturn]] inline void RefusePassword(std::string_view given) {
  if (!given.empty()) {
    Fail(WorkbookError::Reason::kWrongPassword,
         "the workbook is encrypted and the password given is wrong");
  }
  Fail(WorkbookError::Reason::kEncrypted,
       "the workbook is encrypted or password-protected and opens only with its password");
}

}  // namespace sorvane::readers
