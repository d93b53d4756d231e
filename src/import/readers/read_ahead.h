// Reads a workbook on a second thread while the calling thread takes its rows,
// so that the reader's parsing overlaps what the caller does with each row.
// The caller's callbacks run on the calling thread, in the order the reader
// told its rows and shapes, each row with a copy of its formats that answers as
// the reader's would (RowFormats::CopyFor). A callback that returns false stops
// the reader at its next row; nothing after that reaches the caller. A failure
// of the reader is thrown on the calling thread once the rows before it have
// been taken (not at all once the caller has stopped it).
//
// `read` runs on the second thread: it reads (ReadWorkbook and the like) and
// must not touch what the calling thread uses meanwhile.
#pragma once

#include <functional>

#include "import/readers/workbook_reader.h"

namespace sorvane {

using SheetRead = std::function<SheetShape(const ShownRowCallback&, const ShapeCallback&)>;

SheetShape ReadAhead(const SheetRead& read, const ShownRowCallback& on_row,
                     const ShapeCallback& on_shape);

}  // namespace sorvane
