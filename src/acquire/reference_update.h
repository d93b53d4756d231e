// Refreshing the agency's reference tables of the work database from the update
// database (state.paths.UpdateDb()), as the menu "Update Reference Tables" does.
//
// Every table named in the update database's UPDATE_LIST (in the order the
// engine returns the rows) replaces the work database's table of the same name:
// columns, types, collations, indexes and rows. Each table is replaced in a
// transaction of its own, so a table the update database lacks, or one that
// fails to copy, keeps its old rows and the refresh goes on with the next name.
// Names of the engine's own tables (sqlite_...) are refused.
#pragma once

#include <string>
#include <vector>

#include "state/run_state.h"

namespace sorvane {

struct ReferenceUpdateResult {
  // The update database is missing or unreadable: the user has been told and the
  // program must now shut down.
  bool shut_down = false;
  std::vector<std::string> replaced;  // names of the tables replaced, in order
  std::vector<std::string> kept;      // listed names left as they were
  std::vector<std::string> kept_why;  // for each kept name, why it was not replaced
};

// Shows "Updating Reference Tables" and the hourglass while it works. When the
// update database cannot be opened it shows "The Access Update database
// (GIS_UPDATE.mdb) is missing.  Copy it to <path>" and asks for the shutdown.
ReferenceUpdateResult UpdateReferenceTables(RunState& state);

}  // namespace sorvane
