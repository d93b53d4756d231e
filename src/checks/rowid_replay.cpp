#include "checks/rowid_replay.h"

#include <algorithm>

#include "checks/sql_words.h"
#include "core/text.h"

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

std::optional<TableRead> ParseTableRead(std::string_view step, const std::string& table) {
  const std::string scan = "0 SCAN " + table, search = "0 SEARCH " + table + " ";
  TableRead read;
  if (step == scan) return read;
  if (step.starts_with(scan + " ")) {
    step.remove_prefix(scan.size() + 1);
  } else if (step.starts_with(search)) {
    step.remove_prefix(search.size());
  } else {
    return std::nullopt;
  }
  read.covering = step.starts_with("USING COVERING INDEX ");
  if (read.covering) {
    step.remove_prefix(21);
  } else if (step.starts_with("USING INDEX ")) {
    step.remove_prefix(12);
  } else {
    return std::nullopt;
  }
  const size_t blank = step.find(' ');
  read.index = std::string(step.substr(0, blank));
  if (blank == std::string_view::npos) return read;
  std::string_view terms = step.substr(blank + 1);
  if (terms.size() < 2 || terms.front() != '(' || terms.back() != ')') return std::nullopt;
  terms = terms.substr(1, terms.size() - 2);
  for (size_t and_at;; terms.remove_prefix(and_at + 5)) {
    and_at = terms.find(" AND ");
    read.terms.emplace_back(terms.substr(0, and_at));
    if (and_at == std::string_view::npos) break;
  }
  return read;
}

std::vector<IndexColumn> IndexColumns(Connection& conn, const std::string& index) {
  const RecordSet rs = conn.QueryNative(
      "SELECT name, coll, desc FROM pragma_index_xinfo(?1) WHERE key = 1 ORDER BY seqno",
      {Value::Text(index)});
  std::vector<IndexColumn> columns;
  for (int64_t r = 0; r < rs.RecordCount(); ++r) {
    // An expression, or a column in descending order.
    if (rs.At(r, 0).IsMissing() || rs.At(r, 2).ToDisplay() != "0") return {};
    columns.push_back({rs.At(r, 0).ToDisplay(), rs.At(r, 1).ToDisplay()});
  }
  return columns;
}

std::string IndexOrder(const std::vector<IndexColumn>& columns, const std::string& table) {
  std::string order;
  for (const IndexColumn& c : columns)
    order += table + "." + c.name + " COLLATE " + c.collation + ", ";
  return order + table + ".rowid";
}

std::string ProjectedTable(Connection& conn, const std::string& view) {
  const Value text = conn.QueryValue(
      "SELECT sql FROM sqlite_master WHERE type = 'view' AND name = ?1 COLLATE NOCASE",
      {Value::Text(view)});
  if (text.kind() != Value::Kind::kText) return "";
  const std::string sql = text.AsText();
  // No column list of the view's own, no expression, no condition.
  if (sql.find_first_of("()[]\"`';") != std::string::npos) return "";
  const size_t select = OnlyWord(sql, "SELECT"), from = OnlyWord(sql, "FROM");
  if (select == std::string::npos || from == std::string::npos || from < select) return "";
  for (std::string_view column :
       SplitList(std::string_view(sql).substr(select + 6, from - select - 6))) {
    if (!PlainName(column)) return "";
  }
  const std::string_view table = TrimWhitespace(std::string_view(sql).substr(from + 4));
  return PlainName(table) ? std::string(table) : "";
}

}  // namespace sorvane
