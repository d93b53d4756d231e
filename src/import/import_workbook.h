// Reading one table's workbook into `SheetRecordset`(n): the header row gives
// the fields (upper-cased, header aliases mapped), every further row that does
// not begin with an empty cell gives one record of texts. On success the table
// is at stage 1; on failure the user has been told (status label, and a message
// box where the cause needs one), the table is at stage 0 and the sheet record
// set is left empty: no partial rows stay behind.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "import/readers/workbook_reader.h"
#include "state/run_state.h"

namespace sorvane {

// Delivers the first worksheet's used range, header row first, to `on_row`
// (telling `on_shape` its size first, when it knows it). Throws sorvane::Error
// with a description for the user when it cannot.
using RowSource =
    std::function<void(const ShownRowCallback& on_row, const ShapeCallback& on_shape)>;

// The field name for one header cell. `name` is upper-cased in place; the
// aliases FE+2, FE2, COND, SL_/W_/WL_/F_CONTRACTOR are matched on that text
// exactly (before trimming); any other text is returned trimmed.
std::string MapFieldName(std::string& name);

// Reads table n (1..5) from the workbook at row n-1 of `FileList`. A text field
// of the table's structure takes each cell's displayed text (its number format
// applied); the other fields take the stored value in general form, since a
// display may round. An encrypted workbook opens with `WorkbookPassword` when
// set, else with the default password, else with a password asked through the
// UI port naming the workbook; a wrong one fails the table with a message.
bool ImportWorkbook(RunState& state, int n);

// The reading stage over rows from any source; ImportWorkbook uses it with the
// workbook reader.
bool ImportRows(RunState& state, int n, const RowSource& rows);

// Size of the text fields of a sheet record set.
inline constexpr int kSheetFieldSize = 160;

}  // namespace sorvane
