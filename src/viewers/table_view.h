// The table view: the rows of one of the five workbook tables in the main grid,
// as read from the workbook until the data types are validated (stage below 4)
// and as converted from then on. The view only shows; corrections belong in the
// workbook, which is then imported again, as the grid's caption says.
#pragma once

#include <cstdint>
#include <string>

#include "state/run_state.h"

namespace sorvane {

// Menu "Table View" item i: 0 ("&None") clears and hides the grid; 1..5 show
// table i. Any other index changes nothing.
void mnuTabView_Click(RunState& state, int i);

// The table (1..5) whose rows the table view shows, the sheet record of its
// visible row `row` (-1 when the view shows none or the row is not one), and
// the sheet field of the grid's column `column` (-1 for none, or a column
// that is no field of the sheet).
struct TableViewRow {
  int table = 0;
  int64_t record = -1;
  int field = -1;
};
TableViewRow TableViewRowAt(const RunState& state, int64_t row, int column = -1);

// Where that row stands in its workbook ("1234567_5.xls, Analytical Data, row
// 3806"), with the cell of its field (", cell H"); "" when it is not known.
std::string TableViewPlace(const RunState& state, const TableViewRow& at);

}  // namespace sorvane
