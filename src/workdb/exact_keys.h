// The rows of a query grouped by the exact values of a key, in one pass with
// a hash of each key: a condition that depends on nothing of a row but its
// key then holds for all of a group or for none, and one row of each group
// stands for all.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "workdb/connection.h"

namespace sorvane {

struct ExactKeyGroups {
  std::vector<int64_t> first;   // each group's first row, in the order the groups appear
  std::vector<int64_t> rowids;  // every row, in the query's order
  std::vector<uint32_t> group;  // the group of each of `rowids`
};

// `sql` (SQLite text) gives a rowid, then the columns of a key. Two rows are
// in one group when their keys hold the same values: the same storage class,
// and the same bytes (a number's exact value; -0.0 and 0.0 apart). Stops and
// returns nothing more than `most_groups` groups once it finds more. Throws
// what the engine throws (an interrupt included). With `table` named, `sql`
// reads that table's rows whose rowid lies between ?1 and ?2, in rowid order,
// and the rows are read in two halves at once (halved_scan.h).
struct ExactKeyScan {
  ExactKeyGroups groups;
  bool too_many = false;
};
ExactKeyScan GroupRowsByExactKey(Connection& conn, std::string_view sql, size_t most_groups,
                                 std::string_view table = {});

}  // namespace sorvane
