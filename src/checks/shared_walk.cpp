#include "checks/shared_walk.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <map>
#include <optional>
#include <string_view>
#include <utility>

#include "checks/rowid_replay.h"
#include "checks/sql_words.h"
#include "core/errors.h"
#include "core/text.h"

namespace sorvane {
namespace {

// A query of the shape in the header, taken apart.
struct Shape {
  std::string head;  // "[DISTINCT ]<columns>"
  std::string table;
  std::string stretch;  // "<column> = '<text>'"
  std::string condition;
  std::string tail;  // "" or "ORDER BY <column>"
};

// The name at `at` (letters, digits, '_'), and where it ends.
std::string_view NameAt(std::string_view s, size_t at, size_t* end) {
  size_t e = at;
  while (e < s.size() && IsWordChar(s[e])) ++e;
  *end = e;
  return s.substr(at, e - at);
}

// Whether `condition` is one term of the WHERE: no subquery, no parameter, no
// second statement, and no OR outside brackets (which would bind looser than
// the AND before it). One with quotes or brackets left open makes the query
// fail to plan, which keeps it out as well.
bool SimpleCondition(std::string_view c) {
  if (c.find_first_of(";?`") != std::string_view::npos) return false;
  for (const char* refused :
       {"SELECT", "GROUP", "HAVING", "UNION", "LIMIT", "ORDER", "OVER", "WINDOW"}) {
    if (!FindWord(c, refused, false).empty()) return false;
  }
  return FindWord(c, "OR").empty();
}

std::optional<Shape> ParseShape(std::string_view sql) {
  while (!sql.empty() && std::isspace(static_cast<unsigned char>(sql.back()))) sql.remove_suffix(1);
  constexpr std::string_view kSelect = "SELECT ", kFrom = " FROM ", kWhere = " WHERE ",
                             kAnd = " AND ", kOrderBy = "ORDER BY ";
  if (!sql.starts_with(kSelect)) return std::nullopt;
  const size_t from = sql.find(kFrom);
  if (from == std::string_view::npos) return std::nullopt;
  Shape s;
  s.head = std::string(sql.substr(kSelect.size(), from - kSelect.size()));
  if (s.head.find_first_of("()'\"[`;?") != std::string::npos) return std::nullopt;

  size_t at = from + kFrom.size(), end;
  s.table = std::string(NameAt(sql, at, &end));
  if (s.table.empty() || sql.substr(end, kWhere.size()) != kWhere) return std::nullopt;
  at = end + kWhere.size();
  const std::string_view column = NameAt(sql, at, &end);
  if (column.empty() || sql.substr(end, 4) != " = '") return std::nullopt;
  const size_t close = sql.find('\'', end + 4);
  if (close == std::string_view::npos || sql.substr(close + 1, kAnd.size()) != kAnd)
    return std::nullopt;
  s.stretch = std::string(sql.substr(at, close + 1 - at));

  std::string_view rest = sql.substr(close + 1 + kAnd.size());
  if (const size_t order = rest.rfind(kOrderBy); order != std::string_view::npos) {
    const std::string_view by = rest.substr(order + kOrderBy.size());
    if (by.empty()) return std::nullopt;
    for (char c : by) {
      if (!IsWordChar(c) && c != '.') return std::nullopt;
    }
    s.tail = std::string(rest.substr(order));
    rest = rest.substr(0, order);
  }
  if (!SimpleCondition(rest)) return std::nullopt;
  s.condition = std::string(rest);
  return s;
}

// The rows of the stretch, in its order, joined to the table by rowid.
std::string ByRowid(const Shape& s) {
  std::string sql = "SELECT " + s.head + FromRowids(s.table);
  if (!s.tail.empty()) sql += " " + s.tail;
  return sql;
}

// A walk over `members` (all of one table and stretch, read by `read`), or
// nothing when the engine would not read it the same way.
std::optional<SharedWalk> MakeWalk(Connection& conn, const std::vector<size_t>& members,
                                   const std::vector<Shape>& shapes,
                                   const std::vector<std::vector<std::string>>& plans,
                                   const std::string& read) {
  const Shape& first = shapes[members.front()];
  SharedWalk walk;
  walk.members = members;
  // One whole number of flags a row, bit k set where member k holds: a column
  // per member held a cell per member for every row the walk kept.
  std::string flags, any;
  for (size_t k = 0; k < members.size(); ++k) {
    const std::string condition = "(" + shapes[members[k]].condition + ")";
    flags += (k == 0 ? "" : " | ") + std::string("CASE WHEN ") + condition + " THEN " +
             std::to_string(int64_t{1} << k) + " ELSE 0 END";
    any += (any.empty() ? "" : " OR ") + condition;
  }
  const std::string rows = "SELECT " + first.table + ".rowid, " + flags + " FROM " + first.table;
  const std::string where = " WHERE " + first.stretch + " AND (" + any + ")";
  walk.walk_sql = rows + where;
  if (conn.QueryPlanNative(walk.walk_sql) != std::vector<std::string>{read}) return std::nullopt;
  // An index's stretch is read a row at a time, each looked up in the table:
  // the table is read faster page by page, and the rows the conditions keep
  // then sorted into the index's order (its columns as it compares them, then
  // the rowid).
  if (const std::optional<TableRead> by = ParseTableRead(read, first.table);
      by && !by->index.empty() && !by->covering) {
    const std::vector<IndexColumn> columns = IndexColumns(conn, by->index);
    const std::string sorted =
        rows + " NOT INDEXED" + where + " ORDER BY " + IndexOrder(columns, first.table);
    // The sort may be told that the stretch's columns are the same in every row.
    const std::vector<std::string> plan =
        columns.empty() ? std::vector<std::string>{} : conn.QueryPlanNative(sorted);
    if (plan.size() == 2 && plan[0] == "0 SCAN " + first.table &&
        plan[1].starts_with("0 USE TEMP B-TREE FOR ") && plan[1].ends_with("ORDER BY")) {
      walk.walk_sql = sorted;
      walk.scans_table = true;
    }
  }
  for (size_t m : members) {
    walk.rows_of.push_back(
        RowsOfKey(shapes[m].table, shapes[m].stretch + " AND " + shapes[m].condition));
    std::string sql = ByRowid(shapes[m]);
    if (!SameStepsOverRowids(conn.QueryPlanNative(sql), plans[m], first.table)) return std::nullopt;
    walk.by_rowid.push_back(std::move(sql));
  }
  return walk;
}

}  // namespace

std::vector<SharedWalk> FindSharedWalks(Connection& conn, const std::vector<std::string>& queries,
                                        size_t min_members) {
  std::vector<Shape> shapes(queries.size());
  std::vector<std::vector<std::string>> plans(queries.size());
  // Queries of one table and stretch read by the same first step of the plan.
  std::map<std::string, std::vector<size_t>> groups;
  for (size_t i = 0; i < queries.size(); ++i) {
    std::optional<Shape> shape = ParseShape(queries[i]);
    if (!shape) continue;
    try {
      plans[i] = conn.QueryPlanNative(queries[i]);
    } catch (const std::exception&) {
      continue;  // reported when the query runs on its own
    }
    const std::string& read = plans[i].empty() ? "" : plans[i][0];
    const bool reads_table = read.starts_with("0 SEARCH " + shape->table + " USING INDEX ") ||
                             read == "0 SCAN " + shape->table;
    if (!reads_table) continue;
    shapes[i] = std::move(*shape);
    groups[shapes[i].table + "\n" + shapes[i].stretch + "\n" + read].push_back(i);
  }
  std::vector<SharedWalk> walks;
  for (const auto& [key, group] : groups) {
    for (size_t at = 0; at < group.size(); at += kMaxWalkMembers) {
      const std::vector<size_t> members(
          group.begin() + static_cast<ptrdiff_t>(at),
          group.begin() + static_cast<ptrdiff_t>(std::min(group.size(), at + kMaxWalkMembers)));
      if (members.size() < std::max<size_t>(min_members, 1)) continue;
      try {
        if (auto walk = MakeWalk(conn, members, shapes, plans, plans[members.front()][0]))
          walks.push_back(std::move(*walk));
      } catch (const std::exception&) {
        // Not shared: each runs on its own and says what is wrong.
      }
    }
  }
  // In the order of the queries given, which may be longest first.
  std::sort(walks.begin(), walks.end(),
            [](const SharedWalk& a, const SharedWalk& b) { return a.members[0] < b.members[0]; });
  return walks;
}

std::string RowsOfKey(std::string_view table, std::string_view where) {
  return UpperCase(table) + "\n" + std::string(Trim(where));
}

std::vector<RecordSet> RunSharedWalk(Connection& conn, const SharedWalk& walk) {
  const std::string stamp = conn.DataStamp();
  const RecordSet flags = conn.QueryNative(walk.walk_sql);
  std::vector<std::vector<int64_t>> rowids(walk.members.size());
  for (int64_t r = 0; r < flags.RecordCount(); ++r) {
    const Value rowid = flags.At(r, 0);
    const Value holds = flags.At(r, 1);
    if (rowid.kind() != Value::Kind::kInteger || holds.kind() != Value::Kind::kInteger)
      throw Error(0, "a shared read gave a rowid or flags that are not whole numbers");
    const uint64_t bits = static_cast<uint64_t>(holds.AsInteger());
    for (size_t m = 0; m < rowids.size(); ++m) {
      if ((bits >> m) & 1) rowids[m].push_back(rowid.AsInteger());
    }
  }
  std::vector<RecordSet> rows;
  for (size_t m = 0; m < rowids.size(); ++m)
    rows.push_back(conn.QueryNative(walk.by_rowid[m], {RowidsParameter(rowids[m])}));
  // The places queries that follow read the same rows again.
  auto kept = std::make_shared<WalkRows>();
  for (size_t m = 0; m < rowids.size(); ++m) {
    std::sort(rowids[m].begin(), rowids[m].end());
    (*kept)[walk.rows_of[m]] = std::move(rowids[m]);
  }
  conn.Remember(kWalkRows, stamp, std::move(kept));
  return rows;
}

}  // namespace sorvane
