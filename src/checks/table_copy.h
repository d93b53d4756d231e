// An empty copy of a table in the connection's own temporary schema, with the
// table's columns (declared types and collations), its indexes under their
// own names and room for its rowids: a query reading the copy in the table's
// place, on the same plan, meets the rows the copy holds as it would meet
// them in the table. For the rewrites that run a check again over just the
// rows that can give it a row.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "workdb/connection.h"

namespace sorvane {

struct TableCopy {
  std::vector<std::string> create;  // the statements making the empty copy
  std::string insert;         // "INSERT INTO <copy> (rowid, <columns>) SELECT rowid, <columns>"
  std::string insert_rowids;  // the table's rows of rowids ?1 (a JSON array) into the copy
  std::string as_table;       // "<copy> AS <table>": the copy under the table's name
};

// The copy of `table`, or nothing when it is not a table with rowids.
std::optional<TableCopy> CopyOf(Connection& conn, const std::string& table);

// "name" in double quotes, as a name.
std::string Quoted(const std::string& name);

// `items` with `between` between each two.
std::string Joined(const std::vector<std::string>& items, const std::string& between);

}  // namespace sorvane
