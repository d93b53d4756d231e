// A statement that keeps, of a query named in a WITH, the rows whose texts
// are among some listed ones,
//
//   WITH W(n0, n1, ...) AS (<SELECT ...> [UNION [ALL] <SELECT ...> ...])
//   SELECT * FROM W WHERE nK COLLATE NOCASE IN ('a', 'b', ...) [AND ...]
//
// (SQLite text; the places query of a check whose rows each stand for
// several; a term "+nK ..." is kept from the indexes, and stays so in the
// copy's tests), lists every row of the query first. Where column nK is the
// column T.c of one table T in every SELECT, a row of T whose c is not among
// the texts gives no row the statement keeps, and none that a UNION would
// merge with a kept one (merged rows are alike as the columns compare, and
// so all kept or all not). The statement then runs over a copy of T holding
// just its rows whose columns are among the texts (same columns, indexes and
// rowids, table_copy.h) in T's place; on the same plan, which the engine's
// plans are compared for, it meets the rows it keeps in the same order and
// gives the same rows.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/record_set.h"
#include "workdb/connection.h"

namespace sorvane {

struct FilteredCopy {
  std::vector<std::string> copy;  // the statements making the empty copy of T
  std::string count;              // how many rows of T the copy would hold
  std::string fill;               // those rows into the copy
  // A query of T alone reads T no faster over a copy, unless a shared read of
  // T has just found its rows (shared_walk.h): the key of those rows, and
  // `fill` then takes their rowids (?1, a JSON array).
  std::string rows_of;
  std::string over_copy;  // the statement with the copy in T's place
  std::vector<std::string> own_plan;
};

// How `sql` (SQLite text) may run as above, or nothing.
std::optional<FilteredCopy> FindFilteredCopy(Connection& conn, std::string_view sql);

// The statement's rows, as running it would give them; every statement reads
// the same rows, and the copy is gone after. Nothing when the plan over the
// copy differs or the copy would hold more rows than pays. Throws what the
// engine throws.
std::optional<RecordSet> RunFilteredCopy(Connection& conn, const FilteredCopy& filtered);

}  // namespace sorvane
