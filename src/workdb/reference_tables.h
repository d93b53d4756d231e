// Replacing one of the agency's reference tables of the work database with the
// rows of another file's table: the one routine behind the reference update
// and `init --reference`, whatever kind of file the rows come from.
//
// Only the reference tables of the work database's layout can be replaced. The
// rows are loaded into the program's own layout of the table (its column kinds,
// letter-case-blind text, constraints and indexes), never into a definition
// taken from the file; source columns are matched by name, letter case
// ignored, and columns the program does not have are left out. Everything
// happens in one transaction: a table that is refused keeps its old rows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "workdb/connection.h"
#include "workdb/table_source.h"

namespace sorvane {

// The reference table that `name` stands for (blanks around it and letter case
// ignored), spelled as the work database spells it; nothing for any other name.
std::optional<std::string> ReferenceTableName(std::string_view name);

struct ReplaceOutcome {
  bool replaced = false;
  int64_t rows = 0;  // rows loaded, when replaced
  // Why the table was kept, when it was: not a reference table, a column the
  // program reads is missing or binary, a value the column cannot take (with
  // its row number), a row the table's rules refuse, a table structure list
  // that lacks workbook columns, or a failure while reading the file.
  std::string why;
};

// Replaces reference table `name` by the rows of `rows`. Never throws for bad
// data or a failed read: the outcome says why the old table was kept.
ReplaceOutcome ReplaceReferenceTable(Connection& work, std::string_view name, TableRows& rows);

}  // namespace sorvane
