#include "checks/unmatched_keys.h"

#include <algorithm>
#include <exception>
#include <set>
#include <utility>
#include <vector>

#include "checks/rowid_replay.h"
#include "checks/sql_words.h"
#include "core/text.h"
#include "workdb/key_twins.h"

namespace sorvane {
namespace {

// More keys without a partner than this are fetched faster by the query itself.
constexpr int64_t kMostKeys = 2000;

struct Query {
  std::string head, a, b, on, where, tail;
  std::string stretch_column;
  std::vector<std::pair<std::string, std::string>> pairs;  // A's column, B's column
};

std::optional<Query> Parse(std::string_view sql) {
  sql = Trim(sql);
  if (!OneSelect(sql, {"UNION", "GROUP", "HAVING", "LIMIT", "WINDOW", "OVER", "OR"}))
    return std::nullopt;
  const size_t from = OnlyWord(sql, "FROM"), left = OnlyWord(sql, "LEFT"),
               join = OnlyWord(sql, "JOIN"), on = OnlyWord(sql, "ON"),
               where = OnlyWord(sql, "WHERE");
  const std::vector<size_t> order = FindWord(sql, "ORDER");
  const size_t end = order.size() == 1 ? order[0] : sql.size();
  if (order.size() > 1 || where == std::string_view::npos ||
      !(from < left && left + 5 == join && join < on && on < where && where < end))
    return std::nullopt;
  Query q;
  q.head = std::string(Trim(sql.substr(7, from - 7)));
  q.a = std::string(Trim(sql.substr(from + 4, left - from - 4)));
  q.b = std::string(Trim(sql.substr(join + 4, on - join - 4)));
  q.on = std::string(Trim(sql.substr(on + 2, where - on - 2)));
  q.where = std::string(Trim(sql.substr(where + 5, end - where - 5)));
  q.tail = std::string(sql.substr(end));
  if (!PlainName(q.a) || !PlainName(q.b) || EqualsNoCase(q.a, q.b)) return std::nullopt;

  for (std::string_view term : AndTerms(q.on)) {
    if (term.size() > 2 && term.front() == '(' && term.back() == ')')
      term = term.substr(1, term.size() - 2);
    const size_t eq = term.find('=');
    if (eq == std::string_view::npos || term.find('=', eq + 1) != std::string_view::npos)
      return std::nullopt;
    // A's column on either side (the two are declared alike, so either side's collation holds).
    std::string_view lhs = term.substr(0, eq), rhs = term.substr(eq + 1);
    if (ColumnOf(lhs, q.a, true).empty()) std::swap(lhs, rhs);
    std::string x(ColumnOf(lhs, q.a, true)), y(ColumnOf(rhs, q.b, true));
    if (x.empty() || y.empty()) return std::nullopt;
    q.pairs.emplace_back(std::move(x), std::move(y));
  }

  // "A.c = '<text>' AND B.y IS NULL", y one of B's columns above.
  const std::vector<std::string_view> terms = AndTerms(q.where);
  if (terms.size() != 2) return std::nullopt;
  const std::string_view stretch = terms[0];
  const size_t eq = stretch.find(" = '");
  if (eq == std::string_view::npos || stretch.back() != '\'' ||
      stretch.find('\'', eq + 4) != stretch.size() - 1)
    return std::nullopt;
  q.stretch_column = ColumnOf(stretch.substr(0, eq), q.a, true);
  constexpr std::string_view kIsNull = " IS NULL";
  if (q.stretch_column.empty() || !terms[1].ends_with(kIsNull)) return std::nullopt;
  const std::string_view absent =
      ColumnOf(terms[1].substr(0, terms[1].size() - kIsNull.size()), q.b, true);
  if (std::none_of(q.pairs.begin(), q.pairs.end(),
                   [&](const auto& p) { return EqualsNoCase(p.second, absent); }))
    return std::nullopt;
  return q;
}

// The indexes of `table`, each with its columns (none for one that orders
// anything but plain columns ascending).
std::vector<std::pair<std::string, std::vector<IndexColumn>>> IndexesOf(Connection& conn,
                                                                        const std::string& table) {
  const RecordSet names =
      conn.QueryNative("SELECT name FROM pragma_index_list(?1)", {Value::Text(table)});
  std::vector<std::pair<std::string, std::vector<IndexColumn>>> indexes;
  for (int64_t r = 0; r < names.RecordCount(); ++r) {
    const std::string name(names.TextAt(r, 0));
    indexes.emplace_back(name, IndexColumns(conn, name));
  }
  return indexes;
}

}  // namespace

std::optional<UnmatchedKeys> FindUnmatchedKeys(Connection& conn, std::string_view given) {
  std::string sql(given);
  std::optional<Query> q = Parse(sql);
  if (!q) return std::nullopt;
  try {
    const std::vector<std::string> own = conn.QueryPlanNative(sql);
    // A plain projection of a table is read as that table, which then stands in for it.
    if (const std::string table = ProjectedTable(conn, q->a); !table.empty()) {
      const std::vector<size_t> at = FindWord(sql, q->a, false);
      for (auto it = at.rbegin(); it != at.rend(); ++it) sql.replace(*it, q->a.size(), table);
      q = Parse(sql);
      if (!q || conn.QueryPlanNative(sql) != own) return std::nullopt;
    }
    // Keys compared alike from both sides.
    for (const auto& [x, y] : q->pairs) {
      const auto dx = DeclaredColumn(conn, q->a, x), dy = DeclaredColumn(conn, q->b, y);
      if (!dx || !dy || *dx != *dy) return std::nullopt;
    }
    // The stretch is read through an index of `c`.
    const std::optional<TableRead> read = own.empty() ? std::nullopt : ParseTableRead(own[0], q->a);
    if (!read || read->index.empty() || read->covering ||
        read->terms != std::vector<std::string>{q->stretch_column + "=?"} ||
        !own[0].starts_with("0 SEARCH "))
      return std::nullopt;
    // The keys are grouped through an index of exactly the keys, or of `c` and the keys: the
    // read's own if it is one (its entries of a key stand in rowid order), else another, and
    // the rows found then sorted as the read's index orders them.
    std::set<std::string> keyed;
    for (const auto& pair : q->pairs) keyed.insert(UpperCase(pair.first));
    auto fits = [&](const std::vector<IndexColumn>& columns) {
      std::set<std::string> named;
      for (const IndexColumn& c : columns) named.insert(UpperCase(c.name));
      if (columns.empty() || named.size() != columns.size()) return false;
      if (named == keyed) return true;
      named.erase(UpperCase(q->stretch_column));
      return EqualsNoCase(columns[0].name, q->stretch_column) && named == keyed;
    };
    const std::vector<IndexColumn> read_columns = IndexColumns(conn, read->index);
    std::string index = read->index;
    std::vector<IndexColumn> columns = read_columns;
    if (!fits(columns)) {
      if (read_columns.empty()) return std::nullopt;  // the rows could not be sorted as it reads
      index.clear();
      for (auto& [name, its] : IndexesOf(conn, q->a)) {
        if (!fits(its)) continue;
        index = name;
        columns = std::move(its);
        break;
      }
      if (index.empty()) return std::nullopt;
    }
    const bool stretch_first = EqualsNoCase(columns[0].name, q->stretch_column);

    UnmatchedKeys u;
    std::string keys, group_by, same_key, blob;
    for (size_t k = 0; k < q->pairs.size(); ++k) {
      const std::string column = q->a + "." + q->pairs[k].first;
      keys += column + ", ";
      blob += (k > 0 ? " OR typeof(" : "typeof(") + column + ") = 'blob'";
      same_key += " AND " + column + " IS ?" + std::to_string(k + 1);
    }
    for (const IndexColumn& c : columns)
      group_by += (group_by.empty() ? "" : ", ") + q->a + "." + c.name;
    const std::string stretch = std::string(AndTerms(q->where)[0]);
    u.keys = "SELECT " + keys + "(" + blob + ") FROM " + q->a +
             (stretch_first ? " WHERE " + stretch : "") + " GROUP BY " + group_by +
             " HAVING NOT EXISTS (SELECT 1 FROM " + q->b + " WHERE " + q->on + ")";
    u.rows = "SELECT " + q->a + ".rowid FROM " + q->a + " INDEXED BY " + index + " WHERE " +
             stretch + same_key + " ORDER BY " + q->a + ".rowid";
    if (index != read->index)
      u.order = "SELECT " + q->a + ".rowid" + FromRowids(q->a) + " ORDER BY " +
                IndexOrder(read_columns, q->a);
    u.by_rowid = "SELECT " + q->head + FromRowids(q->a) + " LEFT JOIN " + q->b + " ON " + q->on +
                 " WHERE " + q->where + (q->tail.empty() ? "" : " " + q->tail);
    // The keys come in the index's order, grouped without a sort.
    const std::vector<std::string> keys_plan = conn.QueryPlanNative(u.keys);
    const std::string grouped =
        stretch_first ? " INDEX " + index + " (" + q->stretch_column + "=?)" : " INDEX " + index;
    if (keys_plan.empty() ||
        !keys_plan[0].starts_with((stretch_first ? "0 SEARCH " : "0 SCAN ") + q->a + " USING ") ||
        !keys_plan[0].ends_with(grouped) ||
        std::any_of(keys_plan.begin(), keys_plan.end(),
                    [](const std::string& step) {
                      return step.find("TEMP B-TREE") != std::string::npos;
                    }) ||
        !SameStepsOverRowids(conn.QueryPlanNative(u.by_rowid), own, q->a))
      return std::nullopt;
    return u;
  } catch (const std::exception&) {
    return std::nullopt;  // the query runs on its own and says what is wrong
  }
}

std::optional<RecordSet> RunUnmatchedKeys(Connection& conn, const UnmatchedKeys& unmatched) {
  Transaction same_rows(conn);
  const RecordSet keys = conn.QueryNative(unmatched.keys);
  if (keys.RecordCount() > kMostKeys) return std::nullopt;
  std::vector<int64_t> rowids;
  for (int64_t r = 0; r < keys.RecordCount(); ++r) {
    // A blob would be read back as a text, a date bound as a text of its own making.
    if (keys.At(r, keys.FieldCount() - 1).AsInteger() != 0) return std::nullopt;
    std::vector<Value> key;
    for (size_t f = 0; f + 1 < keys.FieldCount(); ++f) {
      key.push_back(keys.At(r, f));
      if (key.back().kind() == Value::Kind::kDate) return std::nullopt;
    }
    const RecordSet rows = conn.QueryNative(unmatched.rows, key);
    for (int64_t i = 0; i < rows.RecordCount(); ++i) rowids.push_back(rows.At(i, 0).AsInteger());
  }
  if (!unmatched.order.empty()) {
    const RecordSet sorted = conn.QueryNative(unmatched.order, {RowidsParameter(rowids)});
    rowids.clear();
    for (int64_t i = 0; i < sorted.RecordCount(); ++i)
      rowids.push_back(sorted.At(i, 0).AsInteger());
  }
  RecordSet rows = conn.QueryNative(unmatched.by_rowid, {RowidsParameter(rowids)});
  same_rows.Commit();
  return rows;
}

}  // namespace sorvane
