// The table view: the rows of one of the five workbook tables in the main grid,
// as read from the workbook until the data types are validated (stage below 4)
// and as converted from then on. The view only shows; corrections belong in the
// workbook, which is then imported again, as the grid's caption says.
#pragma once

#include "state/run_state.h"

namespace sorvane {

// Menu "Table View" item i: 0 ("&None") clears and hides the grid; 1..5 show
// table i. Any other index changes nothing.
void mnuTabView_Click(RunState& state, int i);

}  // namespace sorvane
