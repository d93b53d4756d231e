#include "checks/halved_drive.h"

#include <sqlite3.h>

#include <algorithm>
#include <exception>
#include <limits>

#include "checks/rowid_replay.h"
#include "checks/sql_words.h"
#include "checks/table_copy.h"
#include "core/text.h"

namespace sorvane {
namespace {

// More rows than this are copied slower than the query reads them.
constexpr size_t kMostRows = 50000;

// The detail of a plan's step ("SCAN T" of "4 SCAN T").
std::string_view Detail(const std::string& step) {
  const size_t blank = step.find(' ');
  return blank == std::string::npos ? std::string_view{} : std::string_view(step).substr(blank + 1);
}

// How many steps of `plan` read `table`, and whether each is `wanted`.
bool ReadsOnlyAs(const std::vector<std::string>& plan, const std::string& table,
                 std::string_view wanted, size_t times) {
  size_t found = 0;
  for (const std::string& step : plan) {
    const std::string_view d = Detail(step);
    for (std::string_view verb : {"SCAN ", "SEARCH "}) {
      if (!d.starts_with(verb)) continue;
      const std::string_view rest = d.substr(verb.size());
      if (!EqualsNoCase(rest.substr(0, table.size()), table) ||
          (rest.size() > table.size() && rest[table.size()] != ' '))
        continue;
      if (d != wanted) return false;
      ++found;
    }
  }
  return found == times;
}

}  // namespace

std::optional<HalvedDrive> FindHalvedDrive(Connection& conn, std::string_view given) {
  const std::string_view sql = Trim(given);
  // Only inner joins and plain conditions: a row of T that gives no row then
  // keeps no other row from being given either (as one an outer join, an
  // EXCEPT or a NOT EXISTS would).
  std::vector<std::string_view> selects =
      UnionParts(sql, {"EXCEPT", "INTERSECT", "GROUP", "HAVING", "LIMIT", "OFFSET", "WINDOW",
                       "OVER", "LEFT", "RIGHT", "FULL", "OUTER", "NATURAL", "WITH", "EXISTS"});
  if (selects.size() < 2) return std::nullopt;
  const std::vector<size_t> order = FindWord(selects.back(), "ORDER");
  if (order.size() > 1) return std::nullopt;
  if (order.size() == 1) selects.back() = selects.back().substr(0, order[0]);

  try {
    // T: the table the first SELECT reads first, named once as a table in each.
    const std::vector<std::string> own_plan = conn.QueryPlanNative(sql);
    std::string table;
    for (const std::string& step : own_plan) {
      if (Detail(step).starts_with("SCAN ")) {
        table = std::string(Detail(step).substr(5));
        break;
      }
    }
    if (!PlainName(table) || !ReadsOnlyAs(own_plan, table, "SCAN " + table, selects.size()) ||
        RowidSpan(conn, table) < LeastRowsToHalve() / 10 || !CoreToSpare())
      return std::nullopt;

    HalvedDrive drive;
    drive.table = table;
    drive.own_plan = own_plan;
    std::vector<std::string> finds;
    for (std::string_view select : selects) {
      select = Trim(select);
      const std::vector<size_t> from = FindWord(select, "FROM");
      if (from.size() != 1 || TableNamed(select, table).size() != 1) return std::nullopt;
      const size_t where = OnlyWord(select, "WHERE");
      const std::string bound = table + ".rowid BETWEEN ?1 AND ?2";
      std::string find = "SELECT " + table + ".rowid ";
      if (where == std::string_view::npos) {
        find += std::string(select.substr(from[0])) + " WHERE " + bound;
      } else {
        find += std::string(select.substr(from[0], where - from[0])) + "WHERE (" +
                std::string(Trim(select.substr(where + 5))) + ") AND " + bound;
      }
      finds.push_back(std::move(find));
    }
    drive.find = Joined(finds, " UNION ALL ");
    if (!ReadsOnlyAs(conn.QueryPlanNative(drive.find), table, RowidRangePlan(table)[0].substr(2),
                     selects.size()))
      return std::nullopt;

    const std::optional<TableCopy> copy = CopyOf(conn, table);
    if (!copy) return std::nullopt;
    drive.copy = copy->create;
    drive.fill = copy->insert_rowids;
    drive.over_copy = std::string(sql);
    const std::vector<size_t> named = TableNamed(sql, table);
    for (auto it = named.rbegin(); it != named.rend(); ++it)
      drive.over_copy.replace(*it, table.size(), copy->as_table);
    return drive;
  } catch (const std::exception&) {
    return std::nullopt;  // the query runs on its own and says what is wrong
  }
}

namespace {

// How many of T's rows give a row, as far as the first `slice` of its rowids
// tell: the count there, in proportion to the whole.
int64_t Projected(Connection& conn, const HalvedDrive& drive, int64_t span, int64_t slice) {
  const Value low = conn.QueryValue("SELECT min(rowid) FROM main." + drive.table);
  if (low.IsMissing()) return 0;
  const int64_t first = low.AsInteger();
  const int64_t last = first > std::numeric_limits<int64_t>::max() - (slice - 1)
                           ? std::numeric_limits<int64_t>::max()
                           : first + (slice - 1);
  const RecordSet rows = conn.QueryNative(drive.find, {low, Value::Integer(last)});
  std::vector<int64_t> found;
  for (int64_t r = 0; r < rows.RecordCount(); ++r) found.push_back(rows.At(r, 0).AsInteger());
  std::sort(found.begin(), found.end());
  const auto distinct = std::unique(found.begin(), found.end()) - found.begin();
  return static_cast<int64_t>(distinct) * (span / slice + 1);
}

}  // namespace

std::optional<RecordSet> RunHalvedDrive(Connection& conn, const HalvedDrive& drive) {
  Transaction same_rows(conn);
  // Where many samples give a row (a laboratory that wrote every soil result
  // in ug/l), the copy would cost what it saves: a thirty-second of the rows
  // says so first, for a thirty-second of the query's time.
  const int64_t span = RowidSpan(conn, drive.table);
  const int64_t slice = std::max<int64_t>(span / 32, 1);
  if (Projected(conn, drive, span, slice) > static_cast<int64_t>(kMostRows)) return std::nullopt;
  std::vector<int64_t> found[2];
  const auto keep = [&](int half, sqlite3_stmt* st) {
    // Each SELECT meets T's rows in rowid order: a row giving several is
    // kept once.
    const int64_t rowid = sqlite3_column_int64(st, 0);
    if (found[half].empty() || found[half].back() != rowid) found[half].push_back(rowid);
    return found[half].size() <= kMostRows;
  };
  ScanInHalves(conn, drive.table, drive.find, keep, 0);  // worth it, as found
  if (found[0].size() > kMostRows || found[1].size() > kMostRows) return std::nullopt;
  std::vector<int64_t>& rows = found[0];
  rows.insert(rows.end(), found[1].begin(), found[1].end());
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  if (rows.size() > kMostRows) return std::nullopt;

  Transaction scratch(conn);  // never committed: the copy goes with it
  for (const std::string& statement : drive.copy) conn.ExecuteScratch(statement);
  if (conn.QueryPlanNative(drive.over_copy) != drive.own_plan) return std::nullopt;
  conn.ExecuteScratch(drive.fill, {RowidsParameter(rows)});
  RecordSet result = conn.QueryNative(drive.over_copy);
  same_rows.Commit();
  return result;
}

}  // namespace sorvane
