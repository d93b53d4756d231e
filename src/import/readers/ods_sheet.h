// The first sheet of an OpenDocument spreadsheet (.ods, as LibreOffice and
// other office suites save it), delivered as the .xls and .xlsx readers
// deliver theirs: the used range, row by row, each cell as the text a
// spreadsheet shows in general form, with the value and number format behind
// it. A number shows through its cell style's format turned into a format code
// (ods_styles.h), so the three formats of one sheet give the same texts.
//
// Repeated rows and cells (the file's shorthand for runs of equal ones) are
// delivered once per row and column they stand for; empty ones do not widen
// the used range, however many the file repeats. Comments, drawings and the
// other sheets are passed over. A file saved with a password is refused.
#pragma once

#include "import/readers/workbook_reader.h"
#include "import/readers/zip_package.h"

namespace sorvane::readers {

// Whether the package says it is an OpenDocument spreadsheet (its mimetype
// part, or its manifest's root entry).
bool IsOdsPackage(ZipPackage& zip);

// `on_row` null: the shape only. The content is read twice (the shape, then
// the rows), as an .xlsx sheet that declares no range is; `keep_going` (see
// ReadOptions) is asked during the first.
SheetShape ReadOdsSheet(ZipPackage& zip, const ShownRowCallback* on_row, const ReadLimits& limits,
                        const ShapeCallback& on_shape, const std::function<bool()>& keep_going = {},
                        int sheet = 0);

}  // namespace sorvane::readers
