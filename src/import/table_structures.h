// The expected columns of each workbook table, from MT_VBSTRUCTURE, and the
// field-name stage that compares a sheet's header names with them.
//
// `TempRecordset`(n) carries table n's structure as fields (name upper-cased,
// type, defined size) in FIELD_ORDER; it is built once at start-up and is the
// target of the data-type conversion.
#pragma once

#include "state/run_state.h"

namespace sorvane {

// Builds `TempRecordset`(1..5) afresh from MT_VBSTRUCTURE. Database failures
// (no MT_VBSTRUCTURE), a field name listed twice for one table and a type or
// size beyond a 32-bit integer ("6 Overflow") throw, for start-up's handler to
// report, and leave `TempRecordset` as it was.
void LoadTableStructures(RunState& state);
// Appends table n's structure fields to `structure` (which should have none).
void LoadTableStructure(Connection& conn, RecordSet& structure, int n);

// Field-name stage for table n: first every expected field the sheet lacks,
// then (only when none is missing) every sheet field the table does not have,
// each listed on the status label. True and stage 2 when the names agree;
// false and stage 1 otherwise. Reports only on the label.
bool CheckFieldNames(RunState& state, int n);

}  // namespace sorvane
