// The places of problem rows: every check's places query runs and reads its own
// table, and rows that stand for several workbook rows (a point reached
// through a saved query, a duplicate group) get every one of them.
#include "checks/problem_places.h"

#include <gtest/gtest.h>

#include "checks/ModChecks.h"
#include "facility_fixture.h"

namespace sorvane::testing {
namespace {

using PlacesTest = FacilityTest;

TEST_F(PlacesTest, EveryCheckFindsItsPlacesInItsOwnTable) {
  // By check index: the main table ('-') or the companion table ('A').
  const char* kOwn[] = {"",        "----------",       "AAAA-----A-------",
                        "-------", "AAAA------------", "--------------"};
  for (int t = 1; t <= 5; ++t) {
    std::vector<clsReviewObject> checks;
    BuildChecks(t, facility, checks);
    ASSERT_EQ(std::string(kOwn[t]).size(), checks.size());
    for (size_t i = 0; i < checks.size(); ++i) {
      SCOPED_TRACE("check " + std::to_string(t) + "." + std::to_string(i));
      const PlacesQuery q = MakePlacesQuery(conn, t, checks[i].qryProblems, facility);
      EXPECT_EQ(q.own_table, "MT_TEMP" + std::to_string(t) + (kOwn[t][i] == 'A' ? "A" : ""));
      EXPECT_NO_THROW(conn.Query(q.sql)) << q.sql;
    }
  }
}

TEST_F(PlacesTest, ARowStandingForSeveralGetsEveryOne) {
  state.FacilityID = facility;
  // A piezometer with no well record, two water levels on one day and a well sample.
  Exec(
      "INSERT INTO MT_TEMP3 (SITE, POINT_ID, WL_DATE, WL, CONTRACT, REVIEWED) VALUES"
      " ('$SITE', 'PZ-9', '2004-03-17 00:00:00', 3, '$CONTRACT', 'NEW'),"
      " ('$SITE', 'PZ-9', '2004-03-17 00:00:00', 4, '$CONTRACT', 'NEW');"
      "INSERT INTO MT_TEMP4 (SITE, POINT_ID, SAM_ID, SAM_DATE, MATRIX, SAM_SOURCE, CONTRACT,"
      " REVIEWED) VALUES ('$SITE', 'PZ-9', 'PZ-9-1', '2004-03-17 00:00:00', 'LIQUID',"
      " '$WELLSRC', '$CONTRACT', 'NEW')");
  // Workbook row n holds temporary row n - 1 (the header is row 1).
  TempRowSources& sources = state.RowSources["3"];
  sources.table = 3;
  sources.first_rowid = 1;
  sources.rows =
      static_cast<int64_t>(conn.QueryValue("SELECT MAX(rowid) FROM MT_TEMP3").ToDouble());
  sources.column_fields = {{"SITE", "FAC_ID"}, {"POINT_ID", "POINT_ID"}, {"WL_DATE", "WL_DATE"}};
  TableInfo& info = state.Tables[3];
  info.WorkbookName = "levels.xls";
  info.SheetName = "Levels";
  info.Origin.fields = {"FAC_ID", "POINT_ID", "WL_DATE", "WL"};
  for (int64_t r = 0; r < sources.rows; ++r)
    info.Origin.record_rows.push_back(static_cast<int32_t>(r + 2));
  RecordSet pz = conn.QueryNative("SELECT rowid + 1 FROM MT_TEMP3 WHERE POINT_ID = 'PZ-9'");
  const int64_t first = static_cast<int64_t>(pz.At(0, 0).ToDouble());
  const int64_t second = static_cast<int64_t>(pz.At(1, 0).ToDouble());

  const struct {
    int index;
    std::vector<std::string> cells;
  } cases[] = {{5, {"B"}}, {6, {"B", "C"}}};  // through qry_3_5; a duplicate group
  std::vector<clsReviewObject> checks;
  BuildChecks(3, facility, checks);
  for (const auto& c : cases) {
    const RecordSet problems = RunCheck(3, c.index);
    ASSERT_EQ(problems.RecordCount(), 1) << c.index;
    const auto places = ProblemPlaces(state, 3, checks[c.index], problems);
    const std::vector<SheetPlace> expected = {{"levels.xls", "Levels", first, c.cells},
                                              {"levels.xls", "Levels", second, c.cells}};
    EXPECT_EQ(places, std::vector<std::vector<SheetPlace>>{expected}) << c.index;
  }
}

}  // namespace
}  // namespace sorvane::testing
