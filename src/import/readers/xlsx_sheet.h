// The first worksheet of an .xlsx package, streamed through expat: one pass
// finds the used range, a second delivers the rows. The sheet part is never
// held in memory whole.
#pragma once

#include "import/readers/workbook_reader.h"
#include "import/readers/zip_package.h"

namespace sorvane::readers {

// Finds the shape, tells `on_shape`, then streams the rows to `on_row` (none
// when `on_row` is null). Fails with a ReadFailure.
SheetShape ReadXlsxSheet(ZipPackage& zip, const RowCallback* on_row, const ReadLimits& limits,
                         const ShapeCallback& on_shape);

}  // namespace sorvane::readers
