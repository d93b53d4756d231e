#include "checks/rowid_replay.h"

#include <algorithm>

namespace sorvane {

std::string FromRowids(const std::string& table) {
  return " FROM (SELECT value AS sv_rowid FROM json_each(?1)) AS sv_walk CROSS JOIN " + table +
         " ON " + table + ".rowid = sv_walk.sv_rowid";
}

Value RowidsParameter(const std::vector<int64_t>& rowids) {
  std::string json = "[";
  for (int64_t rowid : rowids) {
    if (json.size() > 1) json += ',';
    json += std::to_string(rowid);
  }
  return Value::Text(json + "]");
}

bool SameStepsOverRowids(const std::vector<std::string>& over_rowids,
                         const std::vector<std::string>& own, const std::string& table) {
  return !own.empty() && over_rowids.size() == own.size() + 1 &&
         over_rowids[0].starts_with("0 SCAN json_each") &&
         over_rowids[1] == "0 SEARCH " + table + " USING INTEGER PRIMARY KEY (rowid=?)" &&
         std::equal(own.begin() + 1, own.end(), over_rowids.begin() + 2);
}

std::vector<IndexColumn> IndexColumns(Connection& conn, const std::string& index) {
  const RecordSet rs =
      conn.QueryNative("SELECT name, coll FROM pragma_index_xinfo(?1) WHERE key = 1 ORDER BY seqno",
                       {Value::Text(index)});
  std::vector<IndexColumn> columns;
  for (int64_t r = 0; r < rs.RecordCount(); ++r) {
    if (rs.At(r, 0).IsMissing()) return {};  // an expression
    columns.push_back({rs.At(r, 0).ToDisplay(), rs.At(r, 1).ToDisplay()});
  }
  return columns;
}

}  // namespace sorvane
