// A check query that joins a table to a list it looks its rows up in, among
// other tables,
//
//   SELECT <columns> FROM A, L[, B ...] WHERE <terms joined by AND> [ORDER BY ...]
//
// (SQLite text, plain table names, every column in the terms named with its
// table; or a statement reading such a query named in a WITH), where every term naming L names no
// table but A and L: a row of A gives a row of the query only if some row of L meets those terms
// with it, and whether one does depends on nothing of the row but the columns of A those terms
// name. The query reads every row of A's stretch and looks each up in L. Grouping A's rows by the
// exact values of those columns (one scan, a hash of each row's values), one lookup a group finds
// the rows that can give a row; the query then runs again over a copy of A holding just those rows
// (same columns, same indexes, same rowids) in A's place. With the same plan, which the engine's
// plans are compared for, it meets the rows that give a row in the same order, and gives the same
// rows.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/record_set.h"
#include "workdb/connection.h"

namespace sorvane {

struct PrunedLookup {
  std::string table;   // A
  std::string scan;    // the rowid and the looked-up columns of A's stretch, rowids ?1 to ?2
  std::string lookup;  // whether the row of rowid ?1 finds a row of L
  std::vector<std::string> copy;  // the statements making the empty copy of A
  std::string fill;               // A's rows of rowids ?1 (a JSON array) into the copy
  std::string over_copy;          // the query with the copy in A's place
  std::vector<std::string> own_plan;
};

// How `sql` (SQLite text) may run as above, or nothing.
std::optional<PrunedLookup> FindPrunedLookup(Connection& conn, std::string_view sql);

// The rows of the query, as running it would give them; every statement reads
// the same rows, and the copy is gone after. Nothing when the plan over the
// copy differs, or when so many rows or groups are found that the query itself
// is faster. Throws what the engine throws.
std::optional<RecordSet> RunPrunedLookup(Connection& conn, const PrunedLookup& pruned);

}  // namespace sorvane
