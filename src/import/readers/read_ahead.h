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
//
// While the calling thread waits for rows (a sheet whose shape is found
// first, a slow part), `while_waiting` (if set) is called on it every 50 ms:
// it serves the window, and when it returns false the reader is stopped as a
// callback returning false stops it (a reader still finding the shape must
// look for that stop itself, through its own keep_going).
#pragma once

#include <functional>

#include "import/readers/workbook_reader.h"

namespace sorvane {

using SheetRead = std::function<SheetShape(const ShownRowCallback&, const ShapeCallback&)>;

SheetShape ReadAhead(const SheetRead& read, const ShownRowCallback& on_row,
                     const ShapeCallback& on_shape,
                     const std::function<bool()>& while_waiting = {});

}  // namespace sorvane
