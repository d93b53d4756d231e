// Refreshing the agency's reference tables of the work database from the update
// database, as the menu "Update Reference Tables" does, and loading them from
// the agency's own files when a work database is built.
//
// The update database is a SQLite or an Access file (acquire/reference_file.h
// says which one is read). Every reference table named in its UPDATE_LIST (in
// the order the file returns the rows) is replaced by the file's table of the
// same name through ReplaceReferenceTable, one transaction per table: a name
// that is not a reference table, a table the file lacks and a table that is
// refused all keep the old table, and the refresh goes on with the next name.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "accessfile/limited_child.h"
#include "state/run_state.h"
#include "workdb/connection.h"
#include "workdb/table_source.h"

namespace sorvane {

struct ReferenceUpdateResult {
  // The update database is missing: the user has been told and the program
  // must now shut down.
  bool shut_down = false;
  std::filesystem::path file;         // the update database used (or looked for)
  std::string note;                   // which file was taken when several stood there
  std::vector<std::string> replaced;  // names of the tables replaced, in order
  std::vector<std::string> kept;      // listed names left as they were
  std::vector<std::string> kept_why;  // for each kept name, why it was not replaced
};

// Shows "Updating Reference Tables" and the hourglass while it works. When the
// update database does not exist it shows "The Access Update database (<name>)
// is missing.  Copy it to <path>" and asks for the shutdown; when it exists
// but cannot be read, or it has no UPDATE_LIST, or its UPDATE_LIST cannot be
// read, it says what is wrong and changes nothing.
ReferenceUpdateResult UpdateReferenceTables(RunState& state, const ChildLimits& limits = {});

// What the desktop window says of a refresh that kept listed tables as they
// were: the file read, the tables replaced, and each table kept with the
// reason. "" when none was kept (the refresh then ends without a word).
std::string KeptTablesMessage(const ReferenceUpdateResult& result);

struct ReferenceLoad {
  std::string table;
  bool loaded = false;
  int64_t rows = 0;
  std::string why;  // when not loaded: the table is not in the file, or was refused
};

// Replaces every reference table of `work` that `source` holds by the file's
// rows; the others keep what they hold. One outcome per reference table.
std::vector<ReferenceLoad> LoadReferenceTables(Connection& work, TableSource& source);

}  // namespace sorvane
