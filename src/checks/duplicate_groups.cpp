#include "checks/duplicate_groups.h"

#include <algorithm>
#include <exception>
#include <vector>

#include "checks/rowid_replay.h"
#include "checks/sql_words.h"
#include "core/text.h"
#include "workdb/halved_scan.h"
#include "workdb/key_twins.h"

namespace sorvane {
namespace {

bool IsCount(std::string_view item) {
  constexpr std::string_view kCount = "COUNT(*)";
  if (!EqualsNoCase(item.substr(0, kCount.size()), kCount)) return false;
  std::string_view rest = Trim(item.substr(kCount.size()));
  if (rest.empty()) return true;
  if (rest.size() < 3 || !EqualsNoCase(rest.substr(0, 3), "AS ")) return false;
  return PlainName(Trim(rest.substr(3)));
}

struct Query {
  std::string head, table, condition, keys;
  std::vector<std::string> key_columns;
};

std::optional<Query> Parse(std::string_view sql) {
  sql = Trim(sql);
  constexpr std::string_view kSelect = "SELECT ";
  if (!OneSelect(sql, {"UNION", "ORDER", "LIMIT", "JOIN", "WINDOW", "OVER"})) return std::nullopt;
  const size_t from = OnlyWord(sql, "FROM"), where = OnlyWord(sql, "WHERE"),
               group = OnlyWord(sql, "GROUP"), having = OnlyWord(sql, "HAVING");
  if (having == std::string_view::npos || !(from < where && where < group && group < having))
    return std::nullopt;
  const std::string_view by = Trim(sql.substr(group + 5, having - group - 5));
  if (by.size() < 3 || !EqualsNoCase(by.substr(0, 3), "BY ")) return std::nullopt;

  Query q;
  q.table = std::string(Trim(sql.substr(from + 4, where - from - 4)));
  if (!PlainName(q.table)) return std::nullopt;
  std::string having_text;
  for (char c : sql.substr(having + 6)) {
    if (c != ' ') having_text += c;
  }
  if (!EqualsNoCase(having_text, "COUNT(*)>1")) return std::nullopt;
  q.condition = std::string(Trim(sql.substr(where + 5, group - where - 5)));
  q.keys = std::string(Trim(by.substr(3)));
  for (std::string_view key : SplitList(q.keys)) {
    const std::string_view column = ColumnOf(key, q.table, false);
    if (column.empty()) return std::nullopt;
    q.key_columns.emplace_back(column);
  }

  q.head = std::string(Trim(sql.substr(kSelect.size(), from - kSelect.size())));
  std::string_view items = q.head;
  if (!FindWord(items, "DISTINCT").empty()) {
    if (FindWord(items, "DISTINCT")[0] != 0) return std::nullopt;
    items = Trim(items.substr(8));
  }
  for (std::string_view item : SplitList(items)) {
    if (IsCount(item)) continue;
    const std::string_view column = ColumnOf(item, q.table, false);
    if (column.empty() ||
        std::none_of(q.key_columns.begin(), q.key_columns.end(),
                     [&](const std::string& k) { return EqualsNoCase(k, column); }))
      return std::nullopt;
  }
  return q;
}

// Whether the read `step` of the query's plan gives a group's rows in rowid
// order (see the header).
bool ReadsGroupsInRowidOrder(Connection& conn, const Query& q, std::string_view step) {
  const std::optional<TableRead> read = ParseTableRead(step, q.table);
  if (!read) return false;
  if (read->index.empty()) return true;
  // The columns the search holds to one value: "A=?".
  std::vector<std::string> held;
  for (const std::string& term : read->terms) {
    if (!term.ends_with("=?")) return false;
    held.push_back(term.substr(0, term.size() - 2));
  }
  const std::vector<IndexColumn> columns = IndexColumns(conn, read->index);
  if (columns.empty()) return false;
  for (const IndexColumn& column : columns) {
    auto named = [&](const std::string& c) { return EqualsNoCase(c, column.name); };
    if (std::any_of(held.begin(), held.end(), named)) continue;
    if (std::none_of(q.key_columns.begin(), q.key_columns.end(), named)) return false;
    const std::optional<ColumnDeclaration> declared = DeclaredColumn(conn, q.table, column.name);
    if (!declared || !EqualsNoCase(declared->collation, column.collation)) return false;
  }
  return true;
}

}  // namespace

std::optional<DuplicateGroups> FindDuplicateGroups(Connection& conn, std::string_view sql) {
  const std::optional<Query> q = Parse(sql);
  if (!q) return std::nullopt;
  try {
    for (const std::string& column : q->key_columns) {
      const std::optional<ColumnDeclaration> declared = DeclaredColumn(conn, q->table, column);
      if (!declared || (declared->collation != "BINARY" && declared->collation != "NOCASE"))
        return std::nullopt;
    }
    const std::vector<std::string> own = conn.QueryPlanNative(sql);
    if (own.empty() ||
        std::find(own.begin(), own.end(), "0 USE TEMP B-TREE FOR GROUP BY") == own.end() ||
        !ReadsGroupsInRowidOrder(conn, *q, own[0]))
      return std::nullopt;
    DuplicateGroups groups;
    groups.table = q->table;
    groups.scan = "SELECT " + q->table + ".rowid, " + q->keys + " FROM " + q->table +
                  " NOT INDEXED WHERE (" + q->condition + ") AND " + q->table +
                  ".rowid BETWEEN ?1 AND ?2";
    groups.by_rowid = "SELECT " + q->head + FromRowids(q->table) + " WHERE " + q->condition +
                      " GROUP BY " + q->keys + " HAVING COUNT(*)>1";
    if (!SameStepsOverRowids(conn.QueryPlanNative(groups.by_rowid), own, q->table) ||
        conn.QueryPlanNative(groups.scan) != RowidRangePlan(q->table))
      return std::nullopt;
    return groups;
  } catch (const std::exception&) {
    return std::nullopt;  // the query runs on its own and says what is wrong
  }
}

RecordSet RunDuplicateGroups(Connection& conn, const DuplicateGroups& groups) {
  Transaction same_rows(conn);
  RecordSet rows = conn.QueryNative(
      groups.by_rowid, {RowidsParameter(RowidsSharingKeys(conn, groups.scan, groups.table))});
  same_rows.Commit();
  return rows;
}

}  // namespace sorvane
