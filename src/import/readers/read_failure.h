// The readers' internal failure: a reason and what went wrong, without the file
// name, which only the entry point knows. ReadFirstWorksheet turns it into a
// WorkbookError naming the file.
#pragma once

#include <string>

#include "import/readers/workbook_error.h"

namespace sorvane::readers {

struct ReadFailure {
  WorkbookError::Reason reason;
  std::string what;
};

[[noreturn]] inline void Fail(WorkbookError::Reason reason, std::string what) {
  throw ReadFailure{reason, std::move(what)};
}
[[noreturn]] inline void Damaged(std::string what) {
  Fail(WorkbookError::Reason::kDamaged, "the workbook is damaged (" + std::move(what) + ")");
}
[[noreturn]] inline void Truncated(std::string what) {
  Fail(WorkbookError::Reason::kTruncated, "the file is truncated (" + std::move(what) + ")");
}

}  // namespace sorvane::readers
