// The failure of reading a workbook whose file could be opened but whose content
// is not a workbook the readers accept. The description names the file and says
// why, in words a user can act on; `reason()` lets callers and tests tell the
// cases apart without parsing text.
#pragma once

#include <string>
#include <string_view>

#include "core/errors.h"

namespace sorvane {

// The number a spreadsheet application reports when it cannot open a workbook.
inline constexpr long kErrWorkbookUnreadable = 1004;

class WorkbookError : public Error {
 public:
  enum class Reason {
    kNotSpreadsheet,     // no OLE2 .xls, zip .xlsx or .ods
    kTruncated,          // the data stops before the workbook ends
    kDamaged,            // inconsistent structure (bad record, index, XML ...)
    kEncrypted,          // encrypted, and no password given opens it
    kWrongPassword,      // encrypted, and the password given does not open it
    kUnsupportedFormat,  // BIFF2 to BIFF4 (Excel 2.1 to 4.0), a protection not supported
    kNoWorksheet,        // the workbook holds no worksheet to read
    kTooLarge,           // over a ReadLimits bound
    kUnsafe,             // XML with a DTD or entity declarations
  };

  WorkbookError(Reason reason, std::string description)
      : Error(kErrWorkbookUnreadable, std::move(description)), reason_(reason) {}
  Reason reason() const { return reason_; }

 private:
  Reason reason_;
};

// The standard wording: `"<file name>" cannot be read: <what>.`
WorkbookError MakeWorkbookError(WorkbookError::Reason reason, std::string_view file_name,
                                std::string_view what);

}  // namespace sorvane
