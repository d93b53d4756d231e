// A check query that lists the rows of one table whose key has no row in
// another,
//
//   SELECT <columns> FROM A LEFT JOIN B ON (A.x = B.y) [AND (A.x2 = B.y2) ...]
//          WHERE A.c = '<text>' AND B.y IS NULL [ORDER BY ...]
//
// (SQLite text; each ON term either way round; A may be a plain projection
// of a table, read as the table), looks for a partner of every row of the
// stretch, one by one. Rows whose keys are equal as A compares them all find
// one or none, so where an index holds exactly the keys (after `c` or not),
// the keys are grouped in its order and a partner looked for once a key; the
// rows of the keys without one are then fetched, and the query runs again over
// just those rows in the order its own read of the stretch gives them. Where
// that read is through such an index of `c` and the keys, the rows come in
// that order as fetched (each key's in rowid order); through another index,
// they are sorted as it orders them. The engine's plans are compared first:
// the keys must be grouped through the index, and after the read the steps
// over the rowids must be those of the query.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/record_set.h"
#include "workdb/connection.h"

namespace sorvane {

struct UnmatchedKeys {
  std::string keys;      // each key of the stretch without a partner, in the index's order,
                         // and whether it holds a blob
  std::string rows;      // the rowids of the stretch's rows of key ?1, ?2, ..., ascending
  std::string order;     // "", or the rowids of ?1 (a JSON array) in the order the query reads them
  std::string by_rowid;  // the query over ?1, a JSON array of rowids
};

// How `sql` (SQLite text) may run as above, or nothing.
std::optional<UnmatchedKeys> FindUnmatchedKeys(Connection& conn, std::string_view sql);

// The rows of the query, as running it would give them; every statement reads
// the same rows. Nothing when more keys lack a partner than it pays to fetch
// one by one. Throws what the engine throws.
std::optional<RecordSet> RunUnmatchedKeys(Connection& conn, const UnmatchedKeys& unmatched);

}  // namespace sorvane
