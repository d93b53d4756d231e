#include "checks/duplicate_groups.h"

#include <algorithm>
#include <exception>
#include <vector>

#include "checks/sql_words.h"
#include "core/text.h"
#include "workdb/jet_sql.h"
#include "workdb/key_twins.h"

namespace sorvane {
namespace {

// The single top-level place of `word` in `sql`, or npos.
size_t OnlyWord(std::string_view sql, std::string_view word) {
  const std::vector<size_t> at = FindWord(sql, word);
  return at.size() == 1 ? at[0] : std::string_view::npos;
}

bool PlainName(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), IsWordChar) &&
         !std::isdigit(static_cast<unsigned char>(s[0]));
}

std::vector<std::string_view> SplitList(std::string_view list) {
  std::vector<std::string_view> items;
  for (size_t comma; (comma = list.find(',')) != std::string_view::npos;
       list.remove_prefix(comma + 1))
    items.push_back(Trim(list.substr(0, comma)));
  items.push_back(Trim(list));
  return items;
}

// The column a reference "[table.]column" names in `table`, or "".
std::string_view ColumnOf(std::string_view ref, std::string_view table) {
  if (const size_t dot = ref.find('.'); dot != std::string_view::npos) {
    if (!EqualsNoCase(ref.substr(0, dot), table)) return {};
    ref.remove_prefix(dot + 1);
  }
  return PlainName(ref) ? ref : std::string_view{};
}

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
  if (!EqualsNoCase(sql.substr(0, kSelect.size()), kSelect)) return std::nullopt;
  if (sql.find_first_of(";?") != std::string_view::npos ||
      FindWord(sql, "SELECT", false).size() != 1)
    return std::nullopt;
  for (const char* refused : {"UNION", "ORDER", "LIMIT", "JOIN", "WINDOW", "OVER"}) {
    if (!FindWord(sql, refused, false).empty()) return std::nullopt;
  }
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
    const std::string_view column = ColumnOf(key, q.table);
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
    const std::string_view column = ColumnOf(item, q.table);
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
  const std::string scan = "0 SCAN " + q.table, search = "0 SEARCH " + q.table;
  if (step == scan) return true;
  std::string_view rest;
  if (step.starts_with(scan + " ")) {
    rest = step.substr(scan.size() + 1);
  } else if (step.starts_with(search + " ")) {
    rest = step.substr(search.size() + 1);
  } else {
    return false;
  }
  if (rest.starts_with("USING INDEX ")) {
    rest.remove_prefix(12);
  } else if (rest.starts_with("USING COVERING INDEX ")) {
    rest.remove_prefix(21);
  } else {
    return false;
  }
  const size_t blank = rest.find(' ');
  const std::string index(rest.substr(0, blank));
  // The columns the search holds to one value: "(A=? AND B=?)".
  std::vector<std::string> held;
  if (blank != std::string_view::npos) {
    std::string_view terms = rest.substr(blank + 1);
    if (terms.size() < 2 || terms.front() != '(' || terms.back() != ')') return false;
    terms = terms.substr(1, terms.size() - 2);
    for (size_t and_at;; terms.remove_prefix(and_at + 5)) {
      and_at = terms.find(" AND ");
      const std::string_view term = terms.substr(0, and_at);
      if (!term.ends_with("=?") || !PlainName(term.substr(0, term.size() - 2))) return false;
      held.emplace_back(term.substr(0, term.size() - 2));
      if (and_at == std::string_view::npos) break;
    }
  }
  const RecordSet columns = conn.QueryNative(
      "SELECT name, coll FROM pragma_index_xinfo(?1) WHERE key = 1", {Value::Text(index)});
  if (columns.RecordCount() == 0) return false;
  for (int64_t r = 0; r < columns.RecordCount(); ++r) {
    if (columns.At(r, 0).IsMissing()) return false;  // an expression
    const std::string name = columns.At(r, 0).ToDisplay();
    auto named = [&](const std::string& c) { return EqualsNoCase(c, name); };
    if (std::any_of(held.begin(), held.end(), named)) continue;
    if (std::none_of(q.key_columns.begin(), q.key_columns.end(), named)) return false;
    const std::optional<std::string> declared = DeclaredCollation(conn, q.table, name);
    if (!declared || !EqualsNoCase(*declared, columns.At(r, 1).ToDisplay())) return false;
  }
  return true;
}

}  // namespace

std::optional<DuplicateGroups> FindDuplicateGroups(Connection& conn, std::string_view sql) {
  const std::optional<Query> q = Parse(sql);
  if (!q) return std::nullopt;
  try {
    for (const std::string& column : q->key_columns) {
      const std::optional<std::string> collation = DeclaredCollation(conn, q->table, column);
      if (!collation || !(EqualsNoCase(*collation, "BINARY") || EqualsNoCase(*collation, "NOCASE")))
        return std::nullopt;
    }
    const std::vector<std::string> own = conn.QueryPlanNative(sql);
    if (own.empty() ||
        std::find(own.begin(), own.end(), "0 USE TEMP B-TREE FOR GROUP BY") == own.end() ||
        !ReadsGroupsInRowidOrder(conn, *q, own[0]))
      return std::nullopt;
    DuplicateGroups groups;
    groups.scan = "SELECT " + q->table + ".rowid, " + q->keys + " FROM " + q->table +
                  " NOT INDEXED WHERE " + q->condition;
    groups.by_rowid = "SELECT " + q->head +
                      " FROM (SELECT value AS sv_rowid FROM json_each(?1)) AS sv_walk CROSS JOIN " +
                      q->table + " ON " + q->table + ".rowid = sv_walk.sv_rowid WHERE " +
                      q->condition + " GROUP BY " + q->keys + " HAVING COUNT(*)>1";
    const std::vector<std::string> plan = conn.QueryPlanNative(groups.by_rowid);
    const std::string lookup = "0 SEARCH " + q->table + " USING INTEGER PRIMARY KEY (rowid=?)";
    if (plan.size() != own.size() + 1 || !plan[0].starts_with("0 SCAN json_each") ||
        plan[1] != lookup || !std::equal(own.begin() + 1, own.end(), plan.begin() + 2) ||
        conn.QueryPlanNative(groups.scan) != std::vector<std::string>{"0 SCAN " + q->table})
      return std::nullopt;
    return groups;
  } catch (const std::exception&) {
    return std::nullopt;  // the query runs on its own and says what is wrong
  }
}

RecordSet RunDuplicateGroups(Connection& conn, const DuplicateGroups& groups) {
  Transaction same_rows(conn);
  std::string rowids = "[";
  for (int64_t rowid : RowidsSharingKeys(conn, groups.scan)) {
    if (rowids.size() > 1) rowids += ',';
    rowids += std::to_string(rowid);
  }
  rowids += ']';
  RecordSet rows = conn.QueryNative(groups.by_rowid, {Value::Text(std::move(rowids))});
  same_rows.Commit();
  return rows;
}

RecordSet QueryCheckRows(Connection& conn, std::string_view jet_sql) {
  std::optional<DuplicateGroups> groups;
  try {
    groups = FindDuplicateGroups(conn, TranslateJet(jet_sql));
    if (groups) return RunDuplicateGroups(conn, *groups);
  } catch (const std::exception&) {
    // The query's own run says what is wrong.
  }
  return conn.Query(jet_sql);
}

}  // namespace sorvane
