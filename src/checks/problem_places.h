// Where the problem rows of a failed check stand in the workbooks. A check's
// places are the rows of its own temporary table (the table, or companion
// table, of its workbook table that its rows describe), traced back through the
// transfer to the workbook rows they were read from; a row that stands for
// several (a DISTINCT row, a duplicate group) has all of them. The cells are
// the workbook columns of the check's output fields that come from its own
// table.
//
// It costs one more query, for a failed check only: the check's query again
// with the rowid of its own table added (DISTINCT dropped), or for a duplicate
// check the members of its groups; its rows are matched back onto the problem
// rows by their values.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "checks/check_results.h"
#include "checks/clsReviewObject.h"
#include "core/record_set.h"
#include "state/run_state.h"
#include "workdb/connection.h"

namespace sorvane {

// The query that lists, for the rows of check query `sql` of table `table`
// (1..5), the rowids of the own table's rows behind them.
struct PlacesQuery {
  std::string own_table;  // "MT_TEMP3", "MT_TEMP4A", ...; empty: the check has none
  std::string sql;        // its last column is the rowid
  // The problem columns its first columns match, in order.
  std::vector<size_t> key_columns;
  // A problem row stands for every matching row (DISTINCT, UNION, GROUP BY);
  // otherwise equal rows share them out one by one.
  bool stands_for_several = false;
  std::vector<Connection::ColumnOrigin> origins;  // of the check's columns
  // It is the check's own query with only the rowid added.
  bool repeats_check = false;
};
// `problems`: the rows of the check's query. Where a problem row stands for
// several, the query is narrowed to the rows whose key texts are those of the
// problem rows: only they can match, and the engine can then look them up by
// an index instead of reading the whole table again.
PlacesQuery MakePlacesQuery(Connection& conn, int table, const std::string& sql,
                            const std::string& facility_id, const RecordSet& problems);

// The places query of a check that is the check's query with the rowid added
// and nothing else, and that the engine runs on the same plan: its rows less
// the last column are the check's rows in the same order, so it can answer
// both (CheckResults::Carry). Nothing for any other check.
std::optional<std::string> CarrierQuery(Connection& conn, int table, const std::string& sql,
                                        const std::string& facility_id);

// One list of places per row of `problems` (the rows of `check`'s query, in
// their order), each list in workbook order. A row the transfer did not bring
// (none should) gets an empty list. Throws sorvane::Error when the database
// refuses the query. With `results`, the query's rows are taken from there
// (run there once, or prefetched).
PlaceLists ProblemPlaces(RunState& state, int table, const clsReviewObject& check,
                         const RecordSet& problems, CheckResults* results = nullptr);

}  // namespace sorvane
