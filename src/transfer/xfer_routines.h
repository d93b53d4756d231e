// The seven routines that fill one temporary table each from the typed rows of
// a workbook table (`TempRecordset`(n)) and then have it standardised:
//   Xfer1 -> MT_TEMP1, Xfer2 -> MT_TEMP2, Xfer2A -> MT_TEMP2A (aquifer parameters
//   of Table 2), Xfer3 -> MT_TEMP3, Xfer4 -> MT_TEMP4, Xfer4A -> MT_TEMP4A (field
//   tests of Table 4), Xfer5 -> MT_TEMP5.
// Each empties its table (a failing DELETE is shown and the routine goes on),
// adds the rows through one prepared insert and sets the table's status: 6 when
// standardised, 5 when `CancelRequested` stopped it (Xfer4 leaves table 4's
// status to Xfer4A). The main routines yield to the window while they run and
// stop at the record after a cancel arrives; the companion routines never yield.
//
// Each routine is one transaction: a database failure rolls its table back to
// the rows it held and throws (sorvane::Error). The driver (Xfer_to_Access)
// runs a table's routines inside a transaction of its own, so that a failure
// of Xfer2A also undoes Xfer2 (and Xfer4A Xfer4). Called by the driver only.
#pragma once

#include "state/run_state.h"

namespace sorvane {

void Xfer1(RunState& state);
void Xfer2(RunState& state);
void Xfer2A(RunState& state);
void Xfer3(RunState& state);
void Xfer4(RunState& state);
void Xfer4A(RunState& state);
void Xfer5(RunState& state);

}  // namespace sorvane
