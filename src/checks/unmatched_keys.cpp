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

// The terms of a condition joined by AND at the top level.
std::vector<std::string_view> Terms(std::string_view condition) {
  std::vector<std::string_view> terms;
  size_t begin = 0;
  for (size_t at : FindWord(condition, "AND")) {
    terms.push_back(Trim(condition.substr(begin, at - begin)));
    begin = at + 3;
  }
  terms.push_back(Trim(condition.substr(begin)));
  return terms;
}

std::optional<Query> Parse(std::string_view sql) {
  sql = Trim(sql);
  if (!EqualsNoCase(sql.substr(0, 7), "SELECT ") ||
      sql.find_first_of(";?") != std::string_view::npos ||
      FindWord(sql, "SELECT", false).size() != 1)
    return std::nullopt;
  for (const char* refused : {"UNION", "GROUP", "HAVING", "LIMIT", "WINDOW", "OVER", "OR"}) {
    if (!FindWord(sql, refused, false).empty()) return std::nullopt;
  }
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

  for (std::string_view term : Terms(q.on)) {
    if (term.size() > 2 && term.front() == '(' && term.back() == ')')
      term = term.substr(1, term.size() - 2);
    const size_t eq = term.find('=');
    if (eq == std::string_view::npos || term.find('=', eq + 1) != std::string_view::npos)
      return std::nullopt;
    std::string x(ColumnOf(term.substr(0, eq), q.a, true)),
        y(ColumnOf(term.substr(eq + 1), q.b, true));
    if (x.empty() || y.empty()) return std::nullopt;
    q.pairs.emplace_back(std::move(x), std::move(y));
  }

  // "A.c = '<text>' AND B.y IS NULL", y one of B's columns above.
  const std::vector<std::string_view> terms = Terms(q.where);
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

}  // namespace

std::optional<UnmatchedKeys> FindUnmatchedKeys(Connection& conn, std::string_view sql) {
  const std::optional<Query> q = Parse(sql);
  if (!q) return std::nullopt;
  try {
    // Keys compared alike from both sides.
    for (const auto& [x, y] : q->pairs) {
      const auto dx = DeclaredColumn(conn, q->a, x), dy = DeclaredColumn(conn, q->b, y);
      if (!dx || !dy || *dx != *dy) return std::nullopt;
    }
    // The stretch is read through an index of `c` and the keys.
    const std::vector<std::string> own = conn.QueryPlanNative(sql);
    const std::optional<TableRead> read = own.empty() ? std::nullopt : ParseTableRead(own[0], q->a);
    if (!read || read->index.empty() || read->covering ||
        read->terms != std::vector<std::string>{q->stretch_column + "=?"} ||
        !own[0].starts_with("0 SEARCH "))
      return std::nullopt;
    const std::string& index = read->index;
    const std::vector<IndexColumn> columns = IndexColumns(conn, index);
    std::set<std::string> wanted{UpperCase(q->stretch_column)}, indexed;
    for (const auto& pair : q->pairs) wanted.insert(UpperCase(pair.first));
    for (const IndexColumn& c : columns) indexed.insert(UpperCase(c.name));
    if (columns.empty() || !EqualsNoCase(columns[0].name, q->stretch_column) || wanted != indexed ||
        indexed.size() != columns.size())
      return std::nullopt;

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
    const std::string stretch = std::string(Terms(q->where)[0]);
    u.keys = "SELECT " + keys + "(" + blob + ") FROM " + q->a + " WHERE " + stretch + " GROUP BY " +
             group_by + " HAVING NOT EXISTS (SELECT 1 FROM " + q->b + " WHERE " + q->on + ")";
    u.rows = "SELECT " + q->a + ".rowid FROM " + q->a + " WHERE " + stretch + same_key +
             " ORDER BY " + q->a + ".rowid";
    u.by_rowid = "SELECT " + q->head + FromRowids(q->a) + " LEFT JOIN " + q->b + " ON " + q->on +
                 " WHERE " + q->where + (q->tail.empty() ? "" : " " + q->tail);
    // The keys come in the index's order, grouped without a sort.
    const std::vector<std::string> keys_plan = conn.QueryPlanNative(u.keys);
    if (keys_plan.empty() || !keys_plan[0].starts_with("0 SEARCH " + q->a + " USING ") ||
        keys_plan[0].find(" INDEX " + index + " (" + q->stretch_column + "=?)") ==
            std::string::npos ||
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
  RecordSet rows = conn.QueryNative(unmatched.by_rowid, {RowidsParameter(rowids)});
  same_rows.Commit();
  return rows;
}

}  // namespace sorvane
