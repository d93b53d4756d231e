// Check queries that read one table through the same stretch of an index, each
// keeping the rows its condition holds for, share that read. Such a query is
//
//   SELECT [DISTINCT] <columns> FROM <table> WHERE <column> = '<text>'
//          AND <condition> [ORDER BY <column>]
//
// (SQLite text, no subquery, no OR outside brackets). The walk reads the
// stretch once and lists, for every row any condition holds for, its rowid
// and which conditions hold, in the stretch's order (an index's stretch by a
// scan of the table, those rows then sorted as the index orders them, which
// is faster than looking up each row of the stretch). Each query is then run again over just its
// own rowids, looked up in the order the stretch gave them, so that its sort or DISTINCT meets the
// same rows in the same order and gives the same rows. The engine's plans are compared before
// anything is shared: the walk and every query must read the stretch by the same step, and each
// query's steps after the read must be the same over the rowids as over the index.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/record_set.h"
#include "workdb/connection.h"

namespace sorvane {

struct SharedWalk {
  std::vector<size_t> members;        // indexes into the queries given
  std::string walk_sql;               // the rowid, then bit k set where member k holds
  bool scans_table = false;           // an index's stretch read by a scan of the table
  std::vector<std::string> by_rowid;  // each member over ?1, a JSON array of rowids
  std::vector<std::string> rows_of;   // each member's RowsOfKey
};

// What a walk keeps with the connection (Connection::Remember) under kWalkRows:
// the rowids of each member's rows, ascending, by the member's RowsOfKey.
constexpr const char* kWalkRows = "shared walk rows";
using WalkRows = std::map<std::string, std::vector<int64_t>>;
// The key of the rows of `table` that `where` (SQLite text) holds for.
std::string RowsOfKey(std::string_view table, std::string_view where);

// A walk's members are at most as many as one row's flags hold; more queries
// of one stretch make several walks.
constexpr size_t kMaxWalkMembers = 62;

// The walks `queries` (SQLite text) can share, in the order of their first
// members; a query is in one walk at most, one the engine cannot plan in none.
// A walk has `min_members` or more: a walk of one reads an index's stretch
// faster when it scans the table.
std::vector<SharedWalk> FindSharedWalks(Connection& conn, const std::vector<std::string>& queries,
                                        size_t min_members = 2);

// The rows of each member of `walk`, in the order of its members, as each
// query run on its own would give them. Throws what the engine throws.
std::vector<RecordSet> RunSharedWalk(Connection& conn, const SharedWalk& walk);

}  // namespace sorvane
