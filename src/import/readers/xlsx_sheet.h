// The first worksheet of an .xlsx package, streamed: one pass finds the used
// range, a second delivers the rows; both through the fast tag scanner, or both
// through expat when the scanner leaves the sheet to it. The sheet part is
// never held in memory whole. A caller that can take the rows again from the
// start gets them in one pass on the range the sheet declares, which is read
// in two passes only when the sheet turns out not to keep to it.
#pragma once

#include "import/readers/workbook_reader.h"
#include "import/readers/zip_package.h"

namespace sorvane::readers {

// Finds the shape, tells `on_shape`, then streams the rows to `on_row` (none
// when `on_row` is null). With `may_start_over`, `on_shape` may be told a
// second time, and every row is then delivered again from the first (see
// ReadOptions). Fails with a ReadFailure.
SheetShape ReadXlsxSheet(ZipPackage& zip, const ShownRowCallback* on_row, const ReadLimits& limits,
                         const ShapeCallback& on_shape, bool may_start_over = false, int sheet = 0);

}  // namespace sorvane::readers
