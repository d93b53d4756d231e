#include "checks/filtered_copy.h"

#include <algorithm>
#include <exception>
#include <map>

#include "checks/rowid_replay.h"
#include "checks/shared_walk.h"
#include "checks/sql_words.h"
#include "checks/table_copy.h"
#include "core/text.h"

namespace sorvane {
namespace {

// More rows than this are copied slower than the statement reads them.
constexpr int64_t kMostRows = 50000;

constexpr std::string_view kIn = " COLLATE NOCASE IN (";

// A term "nK COLLATE NOCASE IN (<list>)" of the outer statement, or
// "+nK ..." kept from the indexes: the column it tests (its place among
// `names`), the test itself (from " COLLATE") and whether it is kept so.
struct Filter {
  size_t column = 0;
  std::string test;
  bool unindexed = false;
};

std::optional<Filter> ParseFilter(std::string_view term, const std::vector<std::string>& names) {
  term = Trim(term);
  const bool unindexed = !term.empty() && term.front() == '+';
  if (unindexed) term.remove_prefix(1);
  const size_t blank = term.find(' ');
  if (blank == std::string_view::npos || !EqualsNoCase(term.substr(blank, kIn.size()), kIn) ||
      ClosingParen(term, blank + kIn.size() - 1) != term.size() - 1)
    return std::nullopt;
  const std::string_view name = term.substr(0, blank);
  for (size_t k = 0; k < names.size(); ++k) {
    if (EqualsNoCase(names[k], name)) return Filter{k, std::string(term.substr(blank)), unindexed};
  }
  return std::nullopt;
}

// "T.c" of a select item ("T.c" or "T.c AS name", or a bare "c" of `only`,
// the one table read): T and c, or nothing.
std::optional<std::pair<std::string, std::string>> TableColumn(std::string_view item,
                                                               std::string_view only) {
  if (const std::vector<size_t> as = FindWord(item, "AS"); !as.empty())
    item = item.substr(0, as[0]);
  item = Trim(item);
  const size_t dot = item.find('.');
  if (dot == std::string_view::npos) {
    if (only.empty() || !PlainName(item)) return std::nullopt;
    return std::make_pair(std::string(only), std::string(item));
  }
  const std::string table(item.substr(0, dot));
  const std::string column(ColumnOf(item, table, true));
  if (!PlainName(table) || column.empty()) return std::nullopt;
  return std::make_pair(table, column);
}

using TableAndColumn = std::pair<std::string, std::string>;

// Each filter's column as the table column it is in every one of `selects`
// (items named by `names`); nothing for a filter whose column is not one
// table's column alike in all; nothing at all for a SELECT of another shape.
std::optional<std::vector<std::optional<TableAndColumn>>> FilteredColumns(
    const std::vector<std::string_view>& selects, const std::vector<std::string>& names,
    const std::vector<Filter>& filters) {
  std::vector<std::optional<TableAndColumn>> columns(filters.size());
  for (size_t s = 0; s < selects.size(); ++s) {
    std::string_view select = Trim(selects[s]);
    const std::vector<size_t> from = FindWord(select, "FROM");
    if (!EqualsNoCase(select.substr(0, 7), "SELECT ") || from.empty()) return std::nullopt;
    std::string_view head = Trim(select.substr(7, from[0] - 7));
    if (EqualsNoCase(head.substr(0, 9), "DISTINCT ")) head = Trim(head.substr(9));
    const std::vector<std::string_view> items = SplitList(head);
    if (items.size() != names.size()) return std::nullopt;
    // The one table the SELECT reads, if it reads one.
    const size_t where = OnlyWord(select, "WHERE");
    std::string_view only;
    if (where != std::string_view::npos && where > from[0]) {
      only = Trim(select.substr(from[0] + 4, where - from[0] - 4));
      if (!PlainName(only)) only = {};
    }
    for (size_t f = 0; f < filters.size(); ++f) {
      const auto tc = TableColumn(items[filters[f].column], only);
      if (s == 0) {
        columns[f] = tc;
      } else if (columns[f] && (!tc || !EqualsNoCase(tc->first, columns[f]->first) ||
                                !EqualsNoCase(tc->second, columns[f]->second))) {
        columns[f].reset();
      }
    }
  }
  return columns;
}

// The table (upper-cased) most of the filters test; "" when none tests one.
std::string MostTestedTable(const std::vector<std::optional<TableAndColumn>>& columns) {
  std::map<std::string, int> tested;
  for (const auto& c : columns) {
    if (c) ++tested[UpperCase(c->first)];
  }
  if (tested.empty()) return {};
  return std::max_element(tested.begin(), tested.end(),
                          [](const auto& a, const auto& b) { return a.second < b.second; })
      ->first;
}

}  // namespace

std::optional<FilteredCopy> FindFilteredCopy(Connection& conn, std::string_view given) {
  const std::string_view sql = Trim(given);
  const std::optional<WithQuery> with = NamedQuery(sql);
  if (!with) return std::nullopt;
  const size_t open = with->open, close = with->close;
  // The name and columns of the query: "W(n0, n1, ...)".
  const std::string_view header = with->header;
  const size_t paren = header.find('(');
  if (paren == std::string_view::npos || header.back() != ')') return std::nullopt;
  const std::string_view cte = Trim(header.substr(0, paren));
  std::vector<std::string> names;
  for (std::string_view n : SplitList(header.substr(paren + 1, header.size() - paren - 2)))
    names.emplace_back(n);
  if (!PlainName(cte)) return std::nullopt;
  const std::string_view inner = sql.substr(open + 1, close - open - 1);

  // "SELECT * FROM W WHERE <terms>": the terms that test a column against a list.
  const std::string outer_head = "SELECT * FROM " + std::string(cte) + " WHERE ";
  const std::string_view outer = Trim(sql.substr(close + 1));
  if (!EqualsNoCase(outer.substr(0, outer_head.size()), outer_head)) return std::nullopt;
  std::vector<Filter> filters;
  for (std::string_view term : AndTerms(outer.substr(outer_head.size()))) {
    if (std::optional<Filter> f = ParseFilter(term, names)) filters.push_back(std::move(*f));
  }
  if (filters.empty()) return std::nullopt;

  // The SELECTs of the query: plain, joined by commas or INNER JOIN, none inside another.
  const std::vector<std::string_view> selects =
      UnionParts(inner, {"EXCEPT", "INTERSECT", "GROUP", "HAVING", "LIMIT", "WINDOW", "OVER",
                         "LEFT", "RIGHT", "FULL", "OUTER", "NATURAL", "USING", "WITH"});
  if (selects.empty()) return std::nullopt;

  const auto found = FilteredColumns(selects, names, filters);
  if (!found) return std::nullopt;
  const std::vector<std::optional<TableAndColumn>>& columns = *found;
  const std::string table = MostTestedTable(columns);
  if (table.empty()) return std::nullopt;

  try {
    // Named as a table once in every SELECT, and the only thing replaced.
    const std::vector<size_t> named = TableNamed(inner, table);
    if (named.size() != selects.size()) return std::nullopt;
    for (size_t s = 0; s < selects.size(); ++s) {
      const size_t from = static_cast<size_t>(selects[s].data() - inner.data());
      if (named[s] < from || named[s] >= from + selects[s].size()) return std::nullopt;
    }
    const std::optional<TableCopy> copy = CopyOf(conn, table);
    if (!copy) return std::nullopt;

    FilteredCopy fc;
    fc.own_plan = conn.QueryPlanNative(sql);
    if (fc.own_plan.empty()) return std::nullopt;
    fc.copy = copy->create;
    std::vector<std::string> tests;
    for (size_t f = 0; f < filters.size(); ++f) {
      if (columns[f] && EqualsNoCase(columns[f]->first, table))
        tests.push_back((filters[f].unindexed ? "+" : "") + table + "." +
                        Quoted(columns[f]->second) + filters[f].test);
    }
    if (selects.size() > 1) {
      const std::string where = " FROM " + table + " WHERE " + Joined(tests, " AND ");
      fc.count = "SELECT count(*)" + where;
      fc.fill = copy->insert + where + " ORDER BY rowid";
    } else {  // a query of the table alone: "SELECT ... FROM T WHERE <where> [ORDER BY ...]"
      const std::string_view select = Trim(selects[0]);
      const size_t from = FindWord(select, "FROM")[0], at = OnlyWord(select, "WHERE");
      const std::vector<size_t> order = FindWord(select, "ORDER");
      if (at == std::string_view::npos || order.size() > 1 ||
          !EqualsNoCase(Trim(select.substr(from + 4, at - from - 4)), table))
        return std::nullopt;
      const size_t end = order.empty() ? select.size() : order[0];
      fc.rows_of = RowsOfKey(table, select.substr(at + 5, end - at - 5));
      fc.fill = copy->insert_rowids;
    }
    std::string replaced(inner);
    for (auto it = named.rbegin(); it != named.rend(); ++it)
      replaced.replace(*it, table.size(), copy->as_table);
    fc.over_copy = std::string(sql.substr(0, open + 1)) + replaced + std::string(sql.substr(close));
    return fc;
  } catch (const std::exception&) {
    return std::nullopt;  // the statement runs on its own and says what is wrong
  }
}

std::optional<RecordSet> RunFilteredCopy(Connection& conn, const FilteredCopy& filtered) {
  std::shared_ptr<const WalkRows> walked;
  const std::vector<int64_t>* rows = nullptr;
  if (!filtered.rows_of.empty()) {
    walked = std::static_pointer_cast<const WalkRows>(conn.Recall(kWalkRows));
    const auto found = walked ? walked->find(filtered.rows_of) : WalkRows::const_iterator();
    if (!walked || found == walked->end() || found->second.size() > kMostRows) return std::nullopt;
    rows = &found->second;
  }
  Transaction scratch(conn);  // never committed: the copy goes with it
  for (const std::string& statement : filtered.copy) conn.ExecuteScratch(statement);
  if (conn.QueryPlanNative(filtered.over_copy) != filtered.own_plan) return std::nullopt;
  if (rows != nullptr) {
    conn.ExecuteScratch(filtered.fill, {RowidsParameter(*rows)});
  } else {
    if (conn.QueryNative(filtered.count).At(0, 0).AsInteger() > kMostRows) return std::nullopt;
    conn.ExecuteScratch(filtered.fill);
  }
  return conn.QueryNative(filtered.over_copy);
}

}  // namespace sorvane
