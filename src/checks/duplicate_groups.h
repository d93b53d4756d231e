// A check query that lists the keys several rows share,
//
//   SELECT [DISTINCT] <keys, COUNT(*) [AS name]> FROM <table> WHERE <condition>
//          GROUP BY <keys> HAVING COUNT(*)>1
//
// (SQLite text, keys plain columns of the table whose texts compare BINARY or
// NOCASE) sorts every row its condition holds for when no index gives the
// rows in the keys' order. Only rows whose key another row shares can make a
// group of two or more, so one scan of the table finds them by a hash of each
// key (key_twins.h) and the query runs again over just those rows. It gives
// the same rows: every group of two or more keeps all its rows and its count;
// the engine's sort keeps rows of equal keys in the order they come, and they
// come in rowid order both ways, since the query's own read is a table scan
// or an index whose every column is a key (compared as the column is) or held
// to one value by the search, which holds a group's rows under equal entries,
// in rowid order. The engine's plans are compared first: after the read, the
// steps over the rowids must be those of the query.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/record_set.h"
#include "workdb/connection.h"

namespace sorvane {

struct DuplicateGroups {
  std::string table;
  // The rowid and the key of every row the condition holds for, of rowids ?1 to ?2.
  std::string scan;
  std::string by_rowid;  // the query over ?1, a JSON array of rowids in ascending order
};

// How `sql` (SQLite text) may run as above, or nothing.
std::optional<DuplicateGroups> FindDuplicateGroups(Connection& conn, std::string_view sql);

// The rows of `groups`' query, as running it would give them; both
// statements read the same rows. Throws what the engine throws.
RecordSet RunDuplicateGroups(Connection& conn, const DuplicateGroups& groups);

}  // namespace sorvane
