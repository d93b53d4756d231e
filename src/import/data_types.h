// The data-type stage: the sheet's texts of table n are converted, row by row,
// into `TempRecordset`(n) by the types and sizes of the table's structure
// (3 whole number, 4 single, 7 date, 200 text of at most FIELD_SIZE characters;
// other types stay empty; an empty text is Null). Clean sheets take one pass
// that converts without testing. At the first value that does not convert the
// stage fails, and MarkDataTypeProblems marks every bad cell of the sheet with
// "**", names the fields holding them on the status label and shows the sheet
// in the main grid.
#pragma once

#include <string_view>

#include "state/run_state.h"

namespace sorvane {

// True and stage 4 when every value converted; false and stage 3 otherwise
// (the typed rows are then discarded and the sheet carries the marks).
bool ConvertDataTypes(RunState& state, int n);

// The detailed pass after a failed conversion. A cell is bad exactly when the
// conversion refuses it: a bad number or date becomes "**text**"; a text too
// long for its field becomes the first FIELD_SIZE characters of "**" and the
// trimmed text; a text that fits is stored trimmed.
void MarkDataTypeProblems(RunState& state, int n);

// Whether a sheet value carries the marks MarkDataTypeProblems gives a bad
// cell ("**text**").
bool IsMarkedBad(std::string_view value);

}  // namespace sorvane
