// Running a check query again over a list of its table's rowids, in the order
// given, in place of the read of its table: the pieces the shared read, the
// duplicate groups and the unmatched keys have in common.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/record_set.h"
#include "workdb/connection.h"

namespace sorvane {

// " FROM <rowids of ?1, a JSON array> CROSS JOIN <table> ON <its rowid>": what
// replaces " FROM <table>" of a query.
std::string FromRowids(const std::string& table);
// The JSON array of `rowids`, to bind to ?1.
Value RowidsParameter(const std::vector<int64_t>& rowids);
// Whether `over_rowids`, the plan of a query's form over rowids, reads the
// rowids in their order, looks each up in `table`, and then takes the steps
// of `own`, the query's own plan, after its read of the table.
bool SameStepsOverRowids(const std::vector<std::string>& over_rowids,
                         const std::vector<std::string>& own, const std::string& table);

// The step of a plan that reads `table`: a scan of the table ("0 SCAN T"), or
// of an index ("0 SCAN T USING INDEX I"), or a search of an index ("0 SEARCH T
// USING [COVERING ]INDEX I (A=? AND B>?)"), with the terms of the search.
struct TableRead {
  std::string index;  // "" for a scan of the table
  bool covering = false;
  std::vector<std::string> terms;  // "A=?", "B>?"
};
std::optional<TableRead> ParseTableRead(std::string_view step, const std::string& table);

// The columns of index `index` and their collations, in its order; empty when
// there is no such index, or a column is an expression or in descending order.
struct IndexColumn {
  std::string name, collation;
};
std::vector<IndexColumn> IndexColumns(Connection& conn, const std::string& index);
// "T.a COLLATE X, T.b COLLATE Y, T.rowid": the order in which index entries
// of `columns` over `table` stand.
std::string IndexOrder(const std::vector<IndexColumn>& columns, const std::string& table);

// The table whose rows `view` shows when it is a plain projection of one
// ("SELECT a, b, ... FROM T", names only): a query reading the view reads the
// table's rows. "" for any other view or name.
std::string ProjectedTable(Connection& conn, const std::string& view);

}  // namespace sorvane
