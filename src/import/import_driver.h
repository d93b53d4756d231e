// The import driver behind the menu "Import Tables": for all five tables (index
// 0) or for one (1..5) it runs the stages read workbook, field names, facility
// IDs, data types and transfer, each stage only for the tables that passed the
// one before, and ends with the menus brought up to date and a one-line verdict
// on the status line naming the table that needs attention first.
//
// An all-tables run checks the Facility ID and the workbook set first and fixes
// the ID (`FacilityID`, box disabled). A single-table run uses the fixed ID; when
// none is fixed it checks the box's text by the Facility ID rule first, so a
// text that is not a Facility ID never reaches the facility-ID stage.
#pragma once

#include <functional>

#include "state/run_state.h"

namespace sorvane {

// The main window's menu update (`UpdateMenus`), which lives above this layer.
using UpdateMenusFn = std::function<void(bool resetAll)>;

// Menu "Import Tables" item `index` (0 all tables, 1..5 one table).
void mnuRunData_Click(RunState& state, int index, const UpdateMenusFn& update_menus);

// The verdict on `lblStatusAll` for the lowest stage code among tables 1..5
// (the highest-numbered table among equals). Code 6 and above is set in bold;
// code 3 opens the table view of the table named.
void ShowImportSummary(RunState& state);

// Whether the review-date box's text is a date.
bool ReviewDateIsValid(const RunState& state);

// Puts a new, empty record set in place of `SheetRecordset`(n).
void ResetSheetRecordset(RunState& state, int n);

}  // namespace sorvane
