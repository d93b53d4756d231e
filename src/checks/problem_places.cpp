#include "checks/problem_places.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <set>
#include <unordered_map>

#include "checks/check_query.h"
#include "checks/sql_words.h"
#include "core/errors.h"
#include "core/text.h"
#include "workdb/key_twins.h"

namespace sorvane {
namespace {

constexpr const char* kRowidColumn = "SV_ROWID";

// Saved queries that are plain projections of a temporary table: a check that
// reads one reads the table's own rows, so the table may stand in for it.
struct ProjectionView {
  const char* view;
  const char* table;
};
constexpr ProjectionView kProjectionViews[] = {{"qry_5_4", "MT_TEMP5"}};

// The first top-level position of `word` at or after `from` and before `to`.
size_t FindWordIn(std::string_view sql, std::string_view word, size_t from, size_t to) {
  for (size_t at : FindWord(sql, word)) {
    if (at >= from && at < to) return at;
  }
  return std::string::npos;
}

std::string Family(int table, bool companion) {
  return "MT_TEMP" + std::to_string(table) + (companion ? "A" : "");
}

// The temporary table a check's rows describe: the one of its workbook table
// that gives it the NEW/PRIOR flag, or else its first column from either.
std::string OwnTable(int table, const std::vector<Connection::ColumnOrigin>& origins) {
  auto in_family = [&](const std::string& t) {
    return EqualsNoCase(t, Family(table, false)) || EqualsNoCase(t, Family(table, true));
  };
  for (const auto& o : origins) {
    if (EqualsNoCase(o.column, "REVIEWED") && in_family(o.table)) return UpperCase(o.table);
  }
  for (const auto& o : origins) {
    if (in_family(o.table)) return UpperCase(o.table);
  }
  return "";
}

// Each SELECT of the query (the parts of a UNION) without DISTINCT and with
// the own table's rowid as its last column.
std::string WithRowid(std::string sql, const std::string& own) {
  std::vector<size_t> starts = FindWord(sql, "SELECT");
  const std::string added = ", " + own + ".rowid AS " + kRowidColumn + " ";
  for (auto it = starts.rbegin(); it != starts.rend(); ++it) {
    const size_t select = *it;
    const size_t from = FindWordIn(sql, "FROM", select, sql.size());
    if (from == std::string::npos) continue;
    sql.insert(from, added);
    size_t after = select + 6;
    while (after < sql.size() && sql[after] == ' ') ++after;
    if (after + 8 <= sql.size() &&
        EqualsNoCase(std::string_view(sql).substr(after, 8), "DISTINCT") &&
        (after + 8 == sql.size() || !IsWordChar(sql[after + 8]))) {
      sql.erase(after, 8);
    }
  }
  return sql;
}

// A value as matching needs it: NULLs equal, numbers by value whatever their
// kind, texts exactly or (`fold`) ignoring the letter case of ASCII letters, as
// the work database's text columns compare.
void AppendKey(std::string& key, const Value& v, bool fold) {
  switch (v.kind()) {
    case Value::Kind::kMissing:
      key += 'z';
      return;
    case Value::Kind::kInteger:
    case Value::Kind::kReal: {
      const double d = v.ToDouble() == 0 ? 0.0 : v.ToDouble();  // -0 equals 0
      key += 'n';
      key.append(reinterpret_cast<const char*>(&d), sizeof d);
      return;
    }
    case Value::Kind::kDate: {
      const int64_t t = v.AsDate().Ticks();
      key += 'd';
      key.append(reinterpret_cast<const char*>(&t), sizeof t);
      return;
    }
    case Value::Kind::kText: {
      const std::string& s = v.AsText();
      key += 't';
      key += std::to_string(s.size());
      key += ':';
      if (!fold) {
        key += s;
      } else {
        for (char c : s) key += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      }
      return;
    }
  }
}

std::string RowKey(const RecordSet& rs, int64_t row, const std::vector<size_t>& columns,
                   bool fold) {
  std::string key;
  for (size_t c : columns) AppendKey(key, rs.At(row, c), fold);
  return key;
}

// The rowids behind each problem row, end to end: those of row r end at
// ends[r].
struct RowidLists {
  std::vector<int64_t> rowids;
  std::vector<size_t> ends;
};

RowidLists MatchRowids(const RecordSet& problems, const RecordSet& rows, const PlacesQuery& q) {
  const int64_t n = problems.RecordCount();
  RowidLists lists;
  std::vector<size_t> own_columns(q.key_columns.size());
  for (size_t i = 0; i < own_columns.size(); ++i) own_columns[i] = i;
  const size_t rowid_column = rows.FieldCount() - 1;
  auto rowid_at = [&](int64_t c) {
    return static_cast<int64_t>(rows.At(c, rowid_column).ToDouble());
  };
  // Rows that are the problem rows themselves, in their order (the check's own
  // query with the rowid added): equal rows share their rowids out in that
  // order, so each row takes its own. Found without a table of every row's
  // key, which for a check that flags a million rows held hundreds of MB.
  if (!q.stands_for_several && rows.RecordCount() == n) {
    lists.rowids.reserve(static_cast<size_t>(n));
    lists.ends.reserve(static_cast<size_t>(n));
    bool same = true;
    for (int64_t r = 0; r < n && same; ++r) {
      same = RowKey(problems, r, q.key_columns, false) == RowKey(rows, r, own_columns, false);
      lists.rowids.push_back(rowid_at(r));
      lists.ends.push_back(lists.rowids.size());
    }
    if (same) return lists;
    lists = RowidLists();
  }
  std::vector<std::vector<int64_t>> matched(static_cast<size_t>(n));
  std::unordered_map<std::string, std::vector<int64_t>> exact, folded;
  exact.reserve(static_cast<size_t>(n));
  for (int64_t r = 0; r < n; ++r) exact[RowKey(problems, r, q.key_columns, false)].push_back(r);
  // The keys with letters folded only once a row finds no exact match: most
  // never need them, and for half a million duplicate groups they are 100 MB.
  auto find_folded = [&](const std::string& key) {
    if (folded.empty()) {
      folded.reserve(static_cast<size_t>(n));
      for (int64_t r = 0; r < n; ++r) folded[RowKey(problems, r, q.key_columns, true)].push_back(r);
    }
    const auto it = folded.find(key);
    return it != folded.end() ? &it->second : nullptr;
  };
  // Rows handed out so far per key, where equal rows share them out.
  std::unordered_map<const std::vector<int64_t>*, size_t> handed;
  for (int64_t c = 0; c < rows.RecordCount(); ++c) {
    const std::vector<int64_t>* found = nullptr;
    if (auto it = exact.find(RowKey(rows, c, own_columns, false)); it != exact.end()) {
      found = &it->second;
    } else {
      // A text compared ignoring case may come back in another case than the
      // problem row shows (a DISTINCT or GROUP BY keeps one of them).
      found = find_folded(RowKey(rows, c, own_columns, true));
    }
    if (found == nullptr) continue;
    const int64_t rowid = rowid_at(c);
    const std::vector<int64_t>& targets = *found;
    if (q.stands_for_several) {
      for (int64_t t : targets) matched[static_cast<size_t>(t)].push_back(rowid);
    } else {
      size_t& next = handed[&targets];
      matched[static_cast<size_t>(targets[std::min(next, targets.size() - 1)])].push_back(rowid);
      ++next;
    }
  }
  for (auto& rowids : matched) {
    std::sort(rowids.begin(), rowids.end());
    rowids.erase(std::unique(rowids.begin(), rowids.end()), rowids.end());
    lists.rowids.insert(lists.rowids.end(), rowids.begin(), rowids.end());
    lists.ends.push_back(lists.rowids.size());
    std::vector<int64_t>().swap(rowids);
  }
  return lists;
}

// How a list of key texts narrows a places query.
enum class ListUse { kIndexed, kScanned, kDropped };

// The engine looks a narrowed query's rows up by an index when it can: one
// look per combination of the listed texts of the index's first columns
// (where the query holds one of them to one value, that is one text).
// Lists of 2,000 points and 4,000 samples are eight million looks (three
// seconds), where reading the whole table costs one pass. A list that would
// take an index past kMostLooks is kept from the indexes ("+K...": the rows
// are read in turn and tested); one of a column whose values the plus could
// compare otherwise (a column that is not text) is dropped instead, which
// only narrows less.
std::vector<ListUse> UsesOfLists(Connection& conn,
                                 const std::vector<Connection::ColumnOrigin>& origins,
                                 const std::vector<std::pair<size_t, size_t>>& lists) {
  constexpr size_t kMostLooks = 50000;
  std::vector<ListUse> uses(lists.size(), ListUse::kIndexed);
  // Few enough whichever columns an index has (the usual few problem rows).
  size_t all = 1;
  for (const auto& list : lists) all = all > kMostLooks ? all : all * list.second;
  if (all <= kMostLooks) return uses;
  std::set<std::string> tables;
  for (const auto& [column, size] : lists) {
    if (!origins[column].table.empty()) tables.insert(UpperCase(origins[column].table));
  }
  for (const std::string& table : tables) {
    const RecordSet indexes =
        conn.QueryNative("SELECT name FROM pragma_index_list(?1)", {Value::Text(table)});
    for (int64_t i = 0; i < indexes.RecordCount(); ++i) {
      const RecordSet columns = conn.QueryNative(
          "SELECT name FROM pragma_index_info(?1) ORDER BY seqno", {indexes.At(i, 0)});
      size_t looks = 1;
      for (int64_t c = 0; c < columns.RecordCount(); ++c) {
        const Value& name = columns.At(c, 0);
        size_t l = 0;
        while (l < lists.size() &&
               (uses[l] != ListUse::kIndexed || name.kind() != Value::Kind::kText ||
                !EqualsNoCase(origins[lists[l].first].table, table) ||
                !EqualsNoCase(origins[lists[l].first].column, name.AsText())))
          ++l;
        // A column without a list may be held to one value by the query itself.
        if (l == lists.size()) continue;
        if (looks * lists[l].second <= kMostLooks) {
          looks *= lists[l].second;
          continue;
        }
        const std::optional<ColumnDeclaration> declared =
            DeclaredColumn(conn, table, std::string(name.AsText()));
        uses[l] = declared && declared->HasTextAffinity() ? ListUse::kScanned : ListUse::kDropped;
        break;
      }
    }
  }
  return uses;
}

}  // namespace

// Keeps of a places query whose problem rows each stand for several the rows
// whose key texts are, letter case of ASCII aside, among the problem rows' (as
// MatchRowids compares them): only those can match. A key column with a value
// other than a text is left free, as are long lists. The columns are named
// anew (K0, K1, ...): the query's own names need not be unique. The engine
// lists all the rows of a UNION first and filters them after, so such a
// query runs over a copy of the table whose columns the lists test
// (filtered_copy.h).
void NarrowToProblems(Connection& conn, PlacesQuery& q, const RecordSet& problems) {
  constexpr int64_t kMaxListed = 10000;
  if (!q.stands_for_several || problems.RecordCount() == 0 || problems.RecordCount() > kMaxListed)
    return;
  std::string names;
  std::vector<std::pair<size_t, size_t>> lists;  // the key column and its number of texts
  std::vector<std::string> tests;
  for (size_t k = 0; k < q.key_columns.size(); ++k) {
    const std::string name = "K" + std::to_string(k);
    names += name + ", ";
    std::set<std::string> texts;
    bool all_text = true;
    for (int64_t r = 0; r < problems.RecordCount() && all_text; ++r) {
      const Value& v = problems.At(r, q.key_columns[k]);
      all_text = v.kind() == Value::Kind::kText && v.AsText().find('\0') == std::string::npos;
      if (all_text) texts.insert(SqlQuote(v.AsText()));
    }
    if (!all_text || texts.empty()) continue;
    std::string list;
    for (const std::string& t : texts) list += (list.empty() ? "" : ", ") + t;
    lists.emplace_back(q.key_columns[k], texts.size());
    tests.push_back(name + " COLLATE NOCASE IN (" + list + ")");
  }
  const std::vector<ListUse> uses = UsesOfLists(conn, q.origins, lists);
  std::string where;
  for (size_t l = 0; l < tests.size(); ++l) {
    if (uses[l] == ListUse::kDropped) continue;
    where += std::string(where.empty() ? " WHERE " : " AND ") +
             (uses[l] == ListUse::kScanned ? "+" : "") + tests[l];
  }
  if (!where.empty()) {
    q.sql = "WITH W(" + names + kRowidColumn + ") AS (" + q.sql + ") SELECT * FROM W" + where;
  }
}

PlacesQuery MakePlacesQuery(Connection& conn, int table, const std::string& check_sql,
                            const std::string& facility_id, const RecordSet& problems) {
  PlacesQuery q;
  std::string sql = check_sql;
  for (const ProjectionView& v : kProjectionViews) {
    for (auto it = FindWord(sql, v.view, false); !it.empty(); it.pop_back()) {
      sql.replace(it.back(), std::strlen(v.view), v.table);
    }
  }
  q.origins = conn.ColumnOrigins(check_sql);
  q.own_table = OwnTable(table, q.origins);
  if (q.own_table.empty()) return q;
  const std::string& own = q.own_table;

  const std::vector<size_t> group_by = FindWord(sql, "GROUP");
  const bool own_in_from = !FindWord(sql, own, false).empty();
  if (!group_by.empty()) {
    // A duplicate check lists one row per group: its members are the rows of
    // the same filter with the same key.
    const size_t from = FindWordIn(sql, "FROM", 0, sql.size());
    std::string columns;
    for (size_t i = 0; i < q.origins.size(); ++i) {
      if (!EqualsNoCase(q.origins[i].table, own)) continue;
      q.key_columns.push_back(i);
      columns += own + "." + q.origins[i].column + ", ";
    }
    q.sql = "SELECT " + columns + own + ".rowid AS " + kRowidColumn + " " +
            sql.substr(from, group_by.front() - from);
    q.stands_for_several = true;
  } else if (!own_in_from) {
    // Reached through a saved query that picks whole groups of the table's
    // rows (the points of qry_3_5): each problem row stands for every row of
    // the facility that shares its values from that table.
    // The check's columns are named C0, C1, ... here: the engine's own names
    // for them need not be names a query can use.
    std::string names, on;
    for (size_t i = 0; i < q.origins.size(); ++i) {
      q.key_columns.push_back(i);
      const std::string name = "C" + std::to_string(i);
      names += (i > 0 ? ", " : "") + name;
      if (EqualsNoCase(q.origins[i].table, own))
        on += " AND T." + q.origins[i].column + " IS P." + name;
    }
    q.sql = "WITH P(" + names + ") AS (" + sql + ") SELECT P.*, T.rowid AS " + kRowidColumn +
            " FROM P, " + own + " AS T WHERE T.SITE = " + SqlQuote(facility_id) + on;
    q.stands_for_several = true;
  } else {
    for (size_t i = 0; i < q.origins.size(); ++i) q.key_columns.push_back(i);
    q.stands_for_several = !FindWord(sql, "DISTINCT").empty() || !FindWord(sql, "UNION").empty();
    q.repeats_check = !q.stands_for_several && sql == check_sql;
    q.sql = WithRowid(sql, own);
  }
  NarrowToProblems(conn, q, problems);
  return q;
}

std::optional<std::string> CarrierQuery(Connection& conn, int table, const std::string& sql,
                                        const std::string& facility_id) {
  PlacesQuery q = MakePlacesQuery(conn, table, sql, facility_id, RecordSet());
  // The same plan visits the same rows in the same order.
  if (!q.repeats_check || conn.QueryPlan(sql) != conn.QueryPlan(q.sql)) return std::nullopt;
  return std::move(q.sql);
}

PlaceLists ProblemPlaces(RunState& state, int table, const clsReviewObject& check,
                         const RecordSet& problems, CheckResults* results) {
  const PlaceLists none(static_cast<size_t>(problems.RecordCount()));
  if (problems.RecordCount() == 0 || table < 1 || table > 5) return none;
  const PlacesQuery q =
      MakePlacesQuery(state.WorkConn, table, check.qryProblems, state.FacilityID, problems);
  if (q.own_table.empty()) return none;
  const auto sources_it = state.RowSources.find(q.own_table.substr(7));  // after "MT_TEMP"
  if (sources_it == state.RowSources.end()) return none;
  const TempRowSources& sources = sources_it->second;
  const TableInfo& info = state.Tables.at(static_cast<size_t>(sources.table));
  const SheetOrigin& origin = info.Origin;

  const std::shared_ptr<const RecordSet> rows =
      results ? results->Get(q.sql)
              : std::make_shared<const RecordSet>(QueryCheckRows(state.WorkConn, q.sql));
  const RowidLists rowids = MatchRowids(problems, *rows, q);

  // The sheet fields of the check's columns that come from its own table; a
  // companion row's VALUE comes from the field of its parameter.
  std::vector<std::string> own_columns;
  for (const auto& o : q.origins) {
    if (EqualsNoCase(o.table, q.own_table)) own_columns.push_back(o.column);
  }
  auto fields_of = [&](int64_t rowid) {
    std::vector<int32_t> fields;
    for (const std::string& column : own_columns) {
      const int f = origin.FieldIndex(sources.FieldOf(column, rowid));
      if (f >= 0) fields.push_back(f);
    }
    return fields;
  };
  // Worked out once for all of a main table's rows; a companion row's columns
  // depend on its parameter, and there are few of those.
  const CellColumns main_columns = CellColumns::Of(fields_of(sources.first_rowid));
  std::map<std::vector<int32_t>, CellColumns> companion_columns;
  auto columns_of = [&](int64_t rowid) {
    if (!sources.companion) return main_columns;
    std::vector<int32_t> fields = fields_of(rowid);
    auto it = companion_columns.find(fields);
    if (it == companion_columns.end())
      it = companion_columns.emplace(fields, CellColumns::Of(fields)).first;
    return it->second;
  };
  const PlaceName workbook(info.WorkbookName), sheet(info.SheetName);
  PlaceLists places;
  places.Reserve(rowids.rowids.size());
  size_t at = 0;
  for (const size_t end : rowids.ends) {
    for (; at < end; ++at) {
      const int64_t rowid = rowids.rowids[at];
      const std::optional<int32_t> record = sources.RecordOf(rowid);
      if (record) places.Add(origin.PlaceOf(workbook, sheet, *record, columns_of(rowid)));
    }
    places.EndList();
  }
  return places;
}

}  // namespace sorvane
