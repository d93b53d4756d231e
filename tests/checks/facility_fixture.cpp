#include "facility_fixture.h"

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "checks/ModChecks.h"
#include "checks/check_query.h"
#include "core/date.h"
#include "core/text.h"
#include "support/work_db.h"
#include "workdb/halved_scan.h"

namespace sorvane::testing {

Connection& FacilityTest::OnFileInHalves(const std::string& name) {
  const std::string file = ::testing::TempDir() + name;
  std::filesystem::remove(file);
  Exec("VACUUM INTO '" + file + "'");
  on_file_.Open(file);
  if (!least_rows_) least_rows_ = std::exchange(LeastRowsToHalve(), 0);
  return on_file_;
}

void FacilityTest::TearDown() {
  if (least_rows_) LeastRowsToHalve() = *least_rows_;
}

void FacilityTest::SetUp() {
  OpenTestWorkDb(conn);
  const std::string script = ReadFile(SourcePath("tests/data/checks/facility.sql"));
  ASSERT_FALSE(script.empty());
  const Date today = Date::Today(), tomorrow = Date::FromTicks(today.Ticks() + 24 * 60 * 60);
  values_ = {{"$TODAY_ISO", today.ToIso()},
             {"$TOMORROW_ISO", tomorrow.ToIso()},
             {"$TODAY", today.ToDisplay()},
             {"$TOMORROW", tomorrow.ToDisplay()}};
  // "-- $NAME = query" lines pick the values, in order.
  std::istringstream lines(script);
  for (std::string line; std::getline(lines, line);) {
    const size_t eq = line.find(" = ");
    if (!line.starts_with("-- $") || eq == std::string::npos) continue;
    const Value v = conn.QueryValue(Expand(line.substr(eq + 3), true));
    ASSERT_FALSE(v.IsMissing()) << "the reference data has no value for " << line;
    values_.emplace_back(line.substr(3, eq - 3), v.ToDisplay());
    std::stable_sort(values_.begin(), values_.end(),
                     [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
  }
  Exec(script);
  facility = Expand("$SITE");
  other_site = Expand("$OTHER");
}

std::string FacilityTest::Expand(const std::string& text, bool sql) const {
  std::string out = text;
  for (const auto& [name, value] : values_) {
    if (out.find('$') == std::string::npos) break;
    out = ReplaceAll(out, name, sql ? ReplaceAll(value, "'", "''") : value);
  }
  return out;
}

RecordSet FacilityTest::RunCheck(int table, int index, const std::string& facility_id) {
  std::vector<clsReviewObject> list;
  BuildChecks(table, facility_id.empty() ? facility : facility_id, list);
  return QueryCheckRows(conn, list.at(static_cast<size_t>(index)).qryProblems);
}

std::vector<std::string> Columns(const RecordSet& rs) {
  std::vector<std::string> out;
  for (const Field& f : rs.fields()) out.push_back(f.name);
  return out;
}

std::vector<std::vector<std::string>> Rows(const RecordSet& rs) {
  std::vector<std::vector<std::string>> out;
  for (int64_t r = 0; r < rs.RecordCount(); ++r) {
    std::vector<std::string> row;
    for (size_t f = 0; f < rs.FieldCount(); ++f) row.push_back(rs.At(r, f).ToDisplay());
    out.push_back(std::move(row));
  }
  return out;
}

}  // namespace sorvane::testing
