#include "checks/pruned_lookup.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <exception>
#include <map>
#include <utility>

#include "checks/rowid_replay.h"
#include "checks/sql_words.h"
#include "checks/table_copy.h"
#include "core/text.h"
#include "workdb/exact_keys.h"
#include "workdb/halved_scan.h"

namespace sorvane {
namespace {

// More groups than this are looked up faster by the query itself, and more
// rows than this copied slower than it reads them.
constexpr size_t kMostGroups = 4000;
constexpr size_t kMostRows = 50000;

// The columns a term names, by table (as listed in `tables`); nothing when it
// holds anything but "table.column" of those tables, texts, numbers,
// operators and the words of a plain comparison.
using Named = std::map<std::string, std::vector<std::string>>;
std::optional<Named> NamesIn(std::string_view term, const std::vector<std::string>& tables) {
  Named named;
  size_t i = 0;
  const size_t n = term.size();
  // A name at i, bare or in double quotes; "" when there is none.
  auto name = [&](bool* quoted) -> std::string {
    *quoted = term[i] == '"';
    if (*quoted) {
      const size_t close = term.find('"', i + 1);
      if (close == std::string_view::npos || (close + 1 < n && term[close + 1] == '"')) return {};
      const std::string inner(term.substr(i + 1, close - i - 1));
      i = close + 1;
      return inner;
    }
    const size_t begin = i;
    while (i < n && IsWordChar(term[i])) ++i;
    return std::string(term.substr(begin, i - begin));
  };
  while (i < n) {
    const char c = term[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else if (c == '\'') {  // a text, '' standing for a quote
      for (++i;; ++i) {
        i = term.find('\'', i);
        if (i == std::string_view::npos) return std::nullopt;
        if (i + 1 < n && term[i + 1] == '\'') continue;
        ++i;
        break;
      }
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      while (i < n && (IsWordChar(term[i]) || term[i] == '.')) ++i;
    } else if (c == '"' || IsWordChar(c)) {
      bool quoted = false;
      const std::string first = name(&quoted);
      if (first.empty()) return std::nullopt;
      if (i < n && term[i] == '.') {
        ++i;
        bool column_quoted = false;
        const std::string column = i < n ? name(&column_quoted) : std::string();
        const auto table = std::find_if(tables.begin(), tables.end(), [&](const std::string& t) {
          return EqualsNoCase(t, first);
        });
        if (column.empty() || table == tables.end()) return std::nullopt;
        named[*table].push_back(column);
        continue;
      }
      static constexpr const char* kWords[] = {"NOT", "LIKE", "GLOB", "IS", "NULL", "IN"};
      if (quoted || std::none_of(std::begin(kWords), std::end(kWords),
                                 [&](const char* w) { return EqualsNoCase(first, w); }))
        return std::nullopt;
    } else if (std::strchr("=<>!()+-*/%|,", c) != nullptr) {
      ++i;
    } else {
      return std::nullopt;
    }
  }
  return named;
}

struct Query {
  std::string head, where_on;  // up to and with FROM; from WHERE on
  std::vector<std::string> tables;
  std::vector<std::string> terms;
  std::vector<Named> named;  // each term's
};

std::optional<Query> ParseSelect(std::string_view sql);

// A query, or one that names a query in a WITH and reads it: "WITH W(...) AS
// (<query>) SELECT ... FROM W ...". The rest of the statement reads the
// named query's rows only, so they are what matters.
std::optional<Query> Parse(std::string_view sql) {
  sql = Trim(sql);
  if (!EqualsNoCase(sql.substr(0, 5), "WITH ")) return ParseSelect(sql);
  const std::optional<WithQuery> with = NamedQuery(sql);
  if (!with) return std::nullopt;
  std::optional<Query> q = ParseSelect(sql.substr(with->open + 1, with->close - with->open - 1));
  if (!q) return std::nullopt;
  q->head = std::string(sql.substr(0, with->open + 1)) + q->head;
  q->where_on += std::string(sql.substr(with->close));
  return q;
}

std::optional<Query> ParseSelect(std::string_view sql) {
  sql = Trim(sql);
  if (!OneSelect(sql, {"UNION", "EXCEPT", "INTERSECT", "GROUP", "HAVING", "LIMIT", "WINDOW", "OVER",
                       "OR", "JOIN", "NATURAL", "USING"}))
    return std::nullopt;
  const size_t from = OnlyWord(sql, "FROM"), where = OnlyWord(sql, "WHERE");
  const std::vector<size_t> order = FindWord(sql, "ORDER");
  const size_t end = order.size() == 1 ? order[0] : sql.size();
  if (order.size() > 1 || where == std::string_view::npos || !(from < where && where < end))
    return std::nullopt;
  Query q;
  q.head = std::string(sql.substr(0, from + 4));
  q.where_on = std::string(sql.substr(where));
  for (std::string_view table : SplitList(sql.substr(from + 4, where - from - 4))) {
    if (!PlainName(table)) return std::nullopt;
    for (const std::string& other : q.tables) {
      if (EqualsNoCase(other, table)) return std::nullopt;
    }
    q.tables.emplace_back(table);
  }
  if (q.tables.size() < 2) return std::nullopt;
  for (std::string_view term : AndTerms(sql.substr(where + 5, end - where - 5))) {
    std::optional<Named> named = NamesIn(term, q.tables);
    if (!named) return std::nullopt;
    q.terms.emplace_back(term);
    q.named.push_back(std::move(*named));
  }
  return q;
}

}  // namespace

std::optional<PrunedLookup> FindPrunedLookup(Connection& conn, std::string_view sql) {
  const std::optional<Query> q = Parse(sql);
  if (!q) return std::nullopt;
  try {
    for (const std::string& a : q->tables) {
      for (const std::string& l : q->tables) {
        if (&a == &l) continue;
        // Every term naming L names A and L only, and one names both.
        std::vector<std::string> lookup_terms, stretch_terms, columns;
        bool only = true, joined = false;
        for (size_t t = 0; t < q->terms.size(); ++t) {
          const Named& named = q->named[t];
          if (named.count(l) == 0) {
            if (named.size() == 1 && named.count(a) == 1) stretch_terms.push_back(q->terms[t]);
            continue;
          }
          only = only && named.size() <= 2 && (named.size() == 1 || named.count(a) == 1);
          if (named.count(a) == 0) {
            lookup_terms.push_back(q->terms[t]);
            continue;
          }
          joined = true;
          lookup_terms.push_back(q->terms[t]);
          for (const std::string& c : named.at(a)) {
            if (std::none_of(columns.begin(), columns.end(),
                             [&](const std::string& k) { return EqualsNoCase(k, c); }))
              columns.push_back(c);
          }
        }
        if (!only || !joined) continue;
        const std::optional<TableCopy> copy = CopyOf(conn, a);
        if (!copy) continue;

        PrunedLookup p;
        p.table = a;
        p.own_plan = conn.QueryPlanNative(sql);
        std::string keys;
        for (const std::string& c : columns) keys += ", " + a + "." + Quoted(c);
        p.scan = "SELECT " + a + ".rowid" + keys + " FROM " + a + " NOT INDEXED WHERE " +
                 (stretch_terms.empty() ? "" : "(" + Joined(stretch_terms, " AND ") + ") AND ") +
                 a + ".rowid BETWEEN ?1 AND ?2";
        p.lookup = "SELECT 1 FROM " + a + ", " + l + " WHERE " + a + ".rowid = ?1 AND " +
                   Joined(lookup_terms, " AND ") + " LIMIT 1";
        if (p.own_plan.empty() || conn.QueryPlanNative(p.scan) != RowidRangePlan(a))
          return std::nullopt;

        p.copy = copy->create;
        p.fill = copy->insert_rowids;
        std::vector<std::string> from;
        for (const std::string& t : q->tables) from.push_back(&t == &a ? copy->as_table : t);
        p.over_copy = q->head + " " + Joined(from, ", ") + " " + q->where_on;
        return p;
      }
    }
  } catch (const std::exception&) {
    // the query runs on its own and says what is wrong
  }
  return std::nullopt;
}

namespace {

// The rowids of the rows of A that find a partner, ascending; nothing when
// there are too many of them or of their groups.
using Found = std::optional<std::vector<int64_t>>;

Found FindPartnered(Connection& conn, const PrunedLookup& pruned) {
  const ExactKeyScan scan = GroupRowsByExactKey(conn, pruned.scan, kMostGroups, pruned.table);
  if (scan.too_many) return std::nullopt;
  const ExactKeyGroups& g = scan.groups;
  std::vector<char> finds(g.first.size());
  for (size_t k = 0; k < g.first.size(); ++k)
    finds[k] = conn.QueryNative(pruned.lookup, {Value::Integer(g.first[k])}).RecordCount() > 0;
  std::vector<int64_t> rowids;
  for (size_t r = 0; r < g.rowids.size(); ++r) {
    if (finds[g.group[r]] == 0) continue;
    if (rowids.size() == kMostRows) return std::nullopt;
    rowids.push_back(g.rowids[r]);
  }
  return rowids;
}

}  // namespace

std::optional<RecordSet> RunPrunedLookup(Connection& conn, const PrunedLookup& pruned) {
  // A check's places query looks up the same rows right after it, on the same connection.
  const std::string key = "pruned lookup\n" + pruned.scan + "\n" + pruned.lookup;
  const std::string stamp = conn.DataStamp();
  auto found = std::static_pointer_cast<const Found>(conn.Recall(key));
  Transaction scratch(conn);  // never committed: the copy goes with it
  for (const std::string& statement : pruned.copy) conn.ExecuteScratch(statement);
  if (conn.QueryPlanNative(pruned.over_copy) != pruned.own_plan) return std::nullopt;
  if (found == nullptr) {
    found = std::make_shared<const Found>(FindPartnered(conn, pruned));
    conn.Remember(key, stamp, found);
  }
  if (!*found) return std::nullopt;
  conn.ExecuteScratch(pruned.fill, {RowidsParameter(**found)});
  return conn.QueryNative(pruned.over_copy);
}

}  // namespace sorvane
