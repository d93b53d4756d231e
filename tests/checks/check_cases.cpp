#include "check_cases.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "core/date.h"
#include "core/text.h"

namespace sorvane::testing {

Date Tomorrow() { return Date::FromTicks(Date::Today().Ticks() + 24 * 60 * 60); }

Table Expand(const FacilityTest& f, const Table& rows) {
  // Longer names first, so $ANALYTE2 is not read as $ANALYTE followed by "2".
  const std::pair<std::string, std::string> names[] = {{"$NA_ANALYTE", f.na_analyte},
                                                       {"$ANALYTE2", f.analyte2},
                                                       {"$ANALYTE", f.analyte},
                                                       {"$NA_CAS", f.na_cas},
                                                       {"$CAS2", f.analyte2_cas},
                                                       {"$CAS", f.analyte_cas},
                                                       {"$SITE", f.facility},
                                                       {"$OTHER", f.other_site},
                                                       {"$CONTRACT", f.contract},
                                                       {"$LAB", f.lab_name},
                                                       {"$WELLSRC", f.well_source},
                                                       {"$SOILSRC", f.soil_source},
                                                       {"$TOMORROW", Tomorrow().ToDisplay()},
                                                       {"$TODAY", Date::Today().ToDisplay()},
                                                       {"$PLAINSRC", f.plain_source},
                                                       {"$WELL2SRC", f.other_well_source},
                                                       {"$LATDD", FormatGeneral(f.site_lat_dd)},
                                                       {"$LATMM", FormatGeneral(f.site_lat_mm)},
                                                       {"$LONGDD", FormatGeneral(f.site_long_dd)},
                                                       {"$LONGMM", FormatGeneral(f.site_long_mm)}};
  Table out = rows;
  for (auto& row : out)
    for (auto& cell : row)
      for (const auto& [name, value] : names)
        if (cell.find('$') != std::string::npos) cell = ReplaceAll(cell, name, value);
  return out;
}

void ExpectCase(FacilityTest& f, int table, const CheckCase& c,
                const std::vector<std::vector<std::string>>& columns) {
  ASSERT_EQ(columns.size(), static_cast<size_t>(CheckCount(table)));
  c.breakit(f);
  RecordSet rs = f.RunCheck(table, c.index);
  EXPECT_EQ(Columns(rs), columns.at(static_cast<size_t>(c.index)));
  Table actual = Rows(rs);
  Table expected = Expand(f, c.rows);
  // Without ORDER BY the engine's order is no part of the result.
  std::vector<clsReviewObject> list;
  BuildChecks(table, f.facility, list);
  if (list[static_cast<size_t>(c.index)].qryProblems.find("ORDER BY") != std::string::npos) {
    // Every ordered check sorts on its first column (REVIEWED) alone; rows that
    // tie on it may come in any order.
    auto first_column = [](const Table& t) {
      std::vector<std::string> out;
      for (const auto& row : t) out.push_back(row.empty() ? "" : row[0]);
      return out;
    };
    EXPECT_EQ(first_column(actual), first_column(expected));
  }
  std::sort(actual.begin(), actual.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(actual, expected);
}

void ExpectCleanFacilityPasses(FacilityTest& f, int table,
                               const std::vector<std::vector<std::string>>& columns) {
  for (int i = 0; i < CheckCount(table); ++i) {
    RecordSet rs = f.RunCheck(table, i);
    EXPECT_EQ(Columns(rs), columns[static_cast<size_t>(i)]) << "check " << table << "." << i;
    EXPECT_EQ(rs.RecordCount(), 0) << "check " << table << "." << i;
  }
}

void ExpectEveryCheckFails(int table, const std::vector<CheckCase>& cases) {
  std::set<int> failing;
  for (const auto& c : cases)
    if (!c.rows.empty()) failing.insert(c.index);
  for (int i = 0; i < CheckCount(table); ++i)
    EXPECT_TRUE(failing.count(i)) << "no failing case for check " << table << "." << i;
}

}  // namespace sorvane::testing
