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
#include <string>
#include <vector>

#include "state/run_state.h"

namespace sorvane {

// The main window's menu update (`UpdateMenus`), which lives above this layer.
using UpdateMenusFn = std::function<void(bool resetAll)>;

// What an import run came to, for the front-end that started it; the labels and
// the status line say the same to a person.
struct ImportResult {
  enum class Run {
    kRefused,        // the Facility ID or the review date was refused: nothing ran
    kSetIncomplete,  // the facility's workbook set is not whole: nothing was read
    kRan,            // the stages ran as far as each table could go (`TableStatus`)
  };
  Run run = Run::kRefused;
  // A cancel stopped the run (a Ctrl-C, a close of the window, "Cancel Access
  // Transfer").
  bool cancelled = false;
  // The tables whose transfer the database refused (rolled back), 1..5.
  std::vector<int> transfer_failed;
  // A failure outside the tables' stages (the workbook folder vanished, ...),
  // shown in a message; empty when none.
  std::string failure;
};

// Menu "Import Tables" item `index` (0 all tables, 1..5 one table).
ImportResult mnuRunData_Click(RunState& state, int index, const UpdateMenusFn& update_menus);

// The verdict on `lblStatusAll` for the lowest stage code among tables 1..5
// (the highest-numbered table among equals). Code 6 and above is set in bold;
// code 3 opens the table view of the table named.
void ShowImportSummary(RunState& state);

// Whether the review-date box's text is a date.
bool ReviewDateIsValid(const RunState& state);

// Puts a new, empty record set in place of `SheetRecordset`(n).
void ResetSheetRecordset(RunState& state, int n);

}  // namespace sorvane
