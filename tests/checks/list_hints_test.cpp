// The hint beside a problem row of a check of a value against one of the
// agency's lists: the name the list gives a contaminant's CAS number, or the
// entry written nearly alike; nothing where nothing is near.
#include "checks/list_hints.h"

#include <gtest/gtest.h>

#include "facility_fixture.h"

namespace sorvane::testing {
namespace {

TEST_F(FacilityTest, UnknownValuesGetWhatTheAgencysListsHoldNearThem) {
  struct Case {
    int table, index;
    const char* breaks;  // makes the first problem row of the check
    const char* value;
    const char* hint;
  };
  const Case cases[] = {
      // A misspelt contaminant found by its CAS number, blanks around it or not.
      {5, 4, "UPDATE MT_TEMP5 SET CONT_NAME_NOFORMAT = 'BENZINE', CAS_NUMBER = ' 71-43-2 '",
       "BENZINE", "The agency's list names CAS 71-43-2 \"Benzene\"."},
      {5, 4, "UPDATE MT_TEMP5 SET CONT_NAME_NOFORMAT = 'TOLUEN', CAS_NUMBER = NULL", "TOLUEN",
       "Nearest in the agency's list: \"Toluene\"."},
      {5, 4, "UPDATE MT_TEMP5 SET CONT_NAME_NOFORMAT = 'UNOBTAINIUM', CAS_NUMBER = '1-1-1'",
       "UNOBTAINIUM", ""},
      // Near in letters is not enough: the numbers name another compound.
      {5, 4, "UPDATE MT_TEMP5 SET CONT_NAME_NOFORMAT = '12DICHLORETHANE', CAS_NUMBER = NULL",
       "12DICHLORETHANE", "Nearest in the agency's list: \"1,2-Dichloroethane\"."},
      {5, 4, "UPDATE MT_TEMP5 SET CONT_NAME_NOFORMAT = '13DICHLOROETHANE', CAS_NUMBER = NULL",
       "13DICHLOROETHANE", ""},
      // A laboratory with a letter missing, or named by its short name.
      {5, 0, "UPDATE MT_TEMP5 SET LABORATORY = 'Gulf Coast Analytcal Laboratory', LAB = 0",
       "Gulf Coast Analytcal Laboratory",
       "Nearest in the agency's list: \"Gulf Coast Analytical Laboratory\"."},
      {5, 0, "UPDATE MT_TEMP5 SET LABORATORY = 'gcal', LAB = 0", "gcal",
       "Nearest in the agency's list: \"Gulf Coast Analytical Laboratory\"."},
      {5, 0, "UPDATE MT_TEMP5 SET LABORATORY = 'Quick Turn Labs LLC', LAB = 0",
       "Quick Turn Labs LLC", ""},
      // A contract without its dash and leading zero; one a digit off is no near miss.
      {1, 7, "UPDATE MT_TEMP1 SET CONTRACT = 'c1'", "c1",
       "Nearest in the agency's list: C-01 (Northfield Environmental Services)."},
      {3, 3, "UPDATE MT_TEMP3 SET CONTRACT = 'C-12'", "C-12", ""},
      {1, 7, "UPDATE MT_TEMP1 SET CONTRACT = NULL", "", ""},
      // A sample source written out as the list describes it, or nearly.
      {4, 4, "UPDATE MT_TEMP4 SET SAM_SOURCE = 'Soil borings'", "Soil borings",
       "Nearest in the agency's list: SB (Soil boring)."},
      {4, 4, "UPDATE MT_TEMP4 SET SAM_SOURCE = 'GEOPROBE'", "GEOPROBE", ""},
      // A point Table 1 lacks; a result's sample under another point, or mistyped.
      {2, 15, "UPDATE MT_TEMP2 SET POINT_ID = 'mw1'", "mw1", "Nearest in Table 1: MW-1."},
      {4, 14, "UPDATE MT_TEMP4 SET POINT_ID = 'MW-3'", "MW-3", ""},
      {5, 12, "UPDATE MT_TEMP5 SET POINT_ID = 'MW-2'", "MW-2, S-1",
       "Table 4 has sample S-1 under point MW-1."},
      {5, 12, "UPDATE MT_TEMP5 SET SAM_ID = 's1'", "MW-1, s1",
       "Nearest sample of MW-1 in Table 4: S-1."},
      {5, 12, "UPDATE MT_TEMP5 SET POINT_ID = 'SB 1', SAM_ID = 'S-9'", "SB 1, S-9",
       "Nearest point in Table 4: SB-1."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.breaks);
    Exec("SAVEPOINT hint; " + std::string(c.breaks) + " WHERE rowid = 1");
    const RecordSet rows = RunCheck(c.table, c.index);
    ASSERT_GE(rows.RecordCount(), 1);
    ListHints hints(conn, facility);
    const ListHint hint = hints.For(c.table, c.index, rows, 0);
    EXPECT_EQ(hint.value, c.value);
    EXPECT_EQ(hint.text, c.hint);
    const std::vector<ListHint> every = hints.ForEveryRow(c.table, c.index, rows);
    ASSERT_EQ(every.size(), static_cast<size_t>(rows.RecordCount()));
    EXPECT_EQ(every[0].text, c.hint);
    Exec("ROLLBACK TO hint; RELEASE hint");
  }
  // A check of many rows reads Table 4's samples at once, with the same hints
  // as looked up one by one.
  Exec(
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1200) "
      "INSERT INTO MT_TEMP5 (SITE, POINT_ID, SAM_ID, REVIEWED) SELECT '$SITE', 'MW-1', "
      "'S-1-' || i, 'NEW' FROM n; INSERT INTO MT_TEMP5 (SITE, POINT_ID, SAM_ID, REVIEWED) VALUES "
      "('$SITE', 'MW-2', 'S-1', 'NEW'), ('$SITE', 'MW-1', 's1', 'NEW'), ('$SITE', 'SB 1', 'x', "
      "'NEW')");
  const RecordSet many = RunCheck(5, 12);
  ASSERT_EQ(many.RecordCount(), 1203);
  const std::vector<ListHint> at_once = ListHints(conn, facility).ForEveryRow(5, 12, many);
  ListHints one_by_one(conn, facility);
  size_t hinted = 0;
  for (int64_t r = 0; r < many.RecordCount(); ++r) {
    EXPECT_EQ(at_once[static_cast<size_t>(r)].text, one_by_one.For(5, 12, many, r).text) << r;
    hinted += !at_once[static_cast<size_t>(r)].text.empty();
  }
  EXPECT_EQ(hinted, 3u);
  // Checks of no list give no hints, and lists that cannot be read give none.
  Exec("UPDATE MT_TEMP5 SET UNITS = NULL WHERE rowid = 1");
  ListHints hints(conn, facility);
  EXPECT_TRUE(hints.ForEveryRow(5, 1, RunCheck(5, 1)).empty());
  Exec("UPDATE MT_TEMP5 SET CONT_NAME_NOFORMAT = 'TOLUEN' WHERE rowid = 1");
  const RecordSet unknown = RunCheck(5, 4);
  Exec("DROP TABLE MT_ANALYTE");
  EXPECT_EQ(hints.For(5, 4, unknown, 0).text, "");
}

}  // namespace
}  // namespace sorvane::testing
