// A worksheet of an Excel binary workbook (.xlsb), streamed from its record
// part as it inflates, the way an .xlsx sheet is: one pass finds the used
// range and a second delivers the rows, or one pass on the range the sheet
// declares when the caller can take the rows again from the start. The texts
// are those of the same cells in an .xls or .xlsx workbook.
#pragma once

#include "import/readers/workbook_reader.h"
#include "import/readers/xlsx_workbook.h"
#include "import/readers/zip_package.h"

namespace sorvane::readers {

// `wb`: the workbook opened for the sheet (with its styles and strings when
// `one_pass`); reopened with them when rows are wanted after a scan. Fails
// with a ReadFailure.
SheetShape ReadXlsbSheet(ZipPackage& zip, XlsxWorkbook wb, const ShownRowCallback* on_row,
                         const ReadLimits& limits, const ShapeCallback& on_shape, bool one_pass,
                         int sheet);

}  // namespace sorvane::readers
