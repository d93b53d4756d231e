// The first worksheet of a BIFF8 (Excel 97-2003) or BIFF5 (Excel 5.0 and 95)
// workbook stream: the workbook globals (string table, cell formats, date
// system, code page, sheet list) and the cell records of that sheet; or the
// worksheet of Excel 3.0 or 4.0 (BIFF3, BIFF4) that a stream of its own holds,
// formats and cells in one, which the shape leaves unnamed. A BIFF8 stream
// encrypted with RC4 is decrypted in place first (with `password` or the
// default one); Excel 2.x worksheets, Excel 4.0 workbooks of several sheets
// and a BIFF5 workbook with a password are refused with the reason named.
#pragma once

#include "import/readers/ole_container.h"
#include "import/readers/workbook_reader.h"

namespace sorvane::readers {

// Finds the shape, tells `on_shape`, then streams the rows to `on_row` (none
// when `on_row` is null). With `may_start_over`, a sheet that declares its used
// range is read in one pass on that range, as ReadXlsxSheet does. Fails with a
// ReadFailure.
SheetShape ReadXlsSheet(WorkbookStream& stream, const ShownRowCallback* on_row,
                        const ReadLimits& limits, const ShapeCallback& on_shape,
                        std::string_view password, bool may_start_over = false, int sheet = 0);

}  // namespace sorvane::readers
