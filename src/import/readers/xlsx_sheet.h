// The first worksheet of an .xlsx package, streamed: one pass finds the used
// range, a second delivers the rows; both through the fast tag scanner, or both
// through expat when the scanner leaves the sheet to it. The sheet part is
// never held in memory whole.
#pragma once

#include "import/readers/workbook_reader.h"
#include "import/readers/zip_package.h"

namespace sorvane::readers {

// Finds the shape, tells `on_shape`, then streams the rows to `on_row` (none
// when `on_row` is null). Fails with a ReadFailure.
SheetShape ReadXlsxSheet(ZipPackage& zip, const ShownRowCallback* on_row, const ReadLimits& limits,
                         const ShapeCallback& on_shape);

}  // namespace sorvane::readers
