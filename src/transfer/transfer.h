// The transfer of validated workbook tables into the temporary tables of the
// work database, with the progress the main window shows: the table's status
// label, the progress bar, for Table 5 an estimate of the time it will take,
// and the menu "Cancel Access Transfer", enabled only while a transfer runs.
//
// Each table is transferred and standardised inside one transaction. A cancel
// keeps the rows added so far (status 5). A database failure rolls the table
// back to its previous rows, shows "number  description" and leaves the
// table's status where the validations left it (never 5 or 6).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "state/run_state.h"

namespace sorvane {

// What a transfer came to, from best to worst.
enum class XferOutcome {
  kTransferred,  // every record transferred and standardised
  kCancelled,    // stopped by "Cancel Access Transfer"; the rows so far kept
  kFailed,       // the database refused it; the table rolled back
};

// Transfers table t (1..5; 2 includes MT_TEMP2A, 4 includes MT_TEMP4A), or
// tables 1 to 5 in turn when t is 0, each as a call of its own (the worst
// outcome comes back). Other numbers do nothing. Sets `Tables`(t).`TableStatus`
// (6 done, 5 cancelled) and, after a completed transfer of at least one record,
// `Tables`(t).`XferTime`.
XferOutcome Xfer_to_Access(RunState& state, int t);

// Runs one statement of the program's dialect on `WorkConn`; a failure is
// shown as "number  description" and the caller goes on.
void ExecSql(RunState& state, std::string_view sql);

// "Cancel Access Transfer": asks the running transfer to stop. The command
// line's Ctrl-C calls the same handler.
void mnuCancelXfer_Click(RunState& state);

// The estimated seconds for `count` records of Table 5: the count times the
// seconds per record of the latest transfer of table 4, 3, 2 or 1 (the first
// above 0), rounded half to even; 0 when none was measured.
int64_t XferEstimateSeconds(const RunState& state, int64_t count);
// " ~ 48 Seconds" below 120 seconds, otherwise whole minutes: " ~ 2.0 Minutes".
std::string XferEstimateText(int64_t seconds);

}  // namespace sorvane
