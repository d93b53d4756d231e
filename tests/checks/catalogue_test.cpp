// The catalogue as built: counts, identities, severities, texts and the
// Facility ID inside the queries.
#include <gtest/gtest.h>

#include <vector>

#include "checks/ModChecks.h"
#include "facility_fixture.h"

namespace sorvane {
namespace {

using namespace sorvane::testing;  // NOLINT: fixture helpers

TEST(BuildChecks, GivesEachTableItsNumberOfChecks) {
  const int expected[] = {0, 10, 17, 7, 16, 14};
  for (int t = 1; t <= 5; ++t) {
    std::vector<clsReviewObject> list;
    EXPECT_EQ(BuildChecks(t, "1234567", list), expected[t]) << "table " << t;
    EXPECT_EQ(list.size(), static_cast<size_t>(expected[t]));
  }
}

TEST(BuildChecks, OrdersChecksByAscendingSeverity) {
  // First index of severity 1 and 2 per table; -1 where the table has none.
  struct Bands {
    int table, first_probable, first_must;
  };
  for (const Bands b :
       {Bands{1, 3, 6}, Bands{2, 6, 14}, Bands{3, -1, 0}, Bands{4, 4, 9}, Bands{5, 1, 10}}) {
    std::vector<clsReviewObject> list;
    BuildChecks(b.table, "1234567", list);
    for (size_t i = 0; i < list.size(); ++i) {
      const int idx = static_cast<int>(i);
      int expected = 0;
      if (b.first_probable >= 0 && idx >= b.first_probable) expected = 1;
      if (idx >= b.first_must) expected = 2;
      EXPECT_EQ(list[i].Required, expected) << "check " << b.table << "." << i;
    }
  }
}

TEST(BuildChecks, NamesRecordsByIndexAndTable) {
  std::vector<clsReviewObject> list;
  BuildChecks(2, "1234567", list);
  EXPECT_EQ(list.front().Review, "CHK0");
  EXPECT_EQ(list.back().Review, "CHK16");
  BuildChecks(4, "1234567", list);
  for (const auto& c : list) {
    EXPECT_EQ(c.TableName, "TEMP4");
    EXPECT_TRUE(c.Status);
    EXPECT_TRUE(c.PendingString.starts_with("Checking")) << c.PendingString;
  }
}

TEST(BuildChecks, ANewTableReplacesTheWholeCatalogue) {
  std::vector<clsReviewObject> list;
  BuildChecks(2, "1234567", list);
  list[3].Status = false;
  EXPECT_EQ(BuildChecks(1, "1234567", list), 10);
  ASSERT_EQ(list.size(), 10u);
  for (const auto& c : list) {
    EXPECT_EQ(c.TableName, "TEMP1");
    EXPECT_TRUE(c.Status);
  }
}

TEST(BuildChecks, AnUnknownTableLeavesThePreviousCatalogue) {
  std::vector<clsReviewObject> list;
  BuildChecks(3, "1234567", list);
  EXPECT_EQ(BuildChecks(0, "1234567", list), 0);
  EXPECT_EQ(BuildChecks(6, "1234567", list), 0);
  ASSERT_EQ(list.size(), 7u);
  EXPECT_EQ(list[0].TableName, "TEMP3");
}

TEST(BuildChecks, WritesTheFacilityIdIntoTheQuery) {
  std::vector<clsReviewObject> list;
  BuildChecks(2, "1234567", list);
  EXPECT_EQ(list[0].qryProblems,
            "SELECT REVIEWED, POINT_ID, VALUE AS NE FROM MT_TEMP2A WHERE SITE = '1234567' AND "
            "A_PARAMETER = 'NE' AND (VALUE<10 OR VALUE>30)");
  BuildChecks(1, "7654321", list);
  // Check 1.2 names the facility three times.
  EXPECT_EQ(list[2].qryProblems,
            "SELECT REVIEWED, POINT_ID, NAVD FROM MT_TEMP1 WHERE MT_TEMP1.SITE = '7654321' AND "
            "NAVD IS NOT NULL AND ((NAVD-2) > (SELECT MAX(TOC) FROM MT_TEMP2 WHERE "
            "SITE='7654321') OR (NAVD+2) < (SELECT MIN(TOC) FROM MT_TEMP2 WHERE "
            "SITE='7654321')) ");
}

TEST(BuildChecks, KeepsTheTextsExactlyWithTheirBlanks) {
  std::vector<clsReviewObject> list;
  BuildChecks(1, "1234567", list);
  EXPECT_EQ(list[3].FailString, "Problem with missing NAVD Values.   ");
  EXPECT_EQ(list[6].ToolTip, "Minutes & Seconds should be 0 - 60.");
  EXPECT_EQ(list[6].PassString, "Lat/Long Minutes and Seconds OK");
  BuildChecks(3, "1234567", list);
  EXPECT_EQ(list[1].FailString, "Problems with Water Level Dates.");
  EXPECT_EQ(list[3].ToolTip,
            "Contract for contractor which collected data.  It should be in the list of ten.");
  BuildChecks(5, "1234567", list);
  EXPECT_EQ(list[13].FailString, "Problem with Duplicates (New Data Only).");
  EXPECT_EQ(list[9].PendingString, "Checking for Matrix/Units consistency.");
}

TEST(SeverityWording, KeepsItsBlanks) {
  EXPECT_EQ(SeverityWording(0), "  (Possible Problem) ");
  EXPECT_EQ(SeverityWording(1), "  (Probably a Problem) ");
  EXPECT_EQ(SeverityWording(2), "  (Must be Fixed) ");
  EXPECT_EQ(SeverityWording(3), "");
}

// An ID that tries to close the literal stays a literal: it matches no site,
// so no check lists anything, and no query fails.
TEST_F(FacilityTest, AFacilityIdCannotChangeAQuery) {
  Add("MT_TEMP1", {{"POINT_ID", Null()}}, other_site);
  Add("MT_TEMP4", {{"POINT_ID", T("X")}}, other_site);
  for (const std::string id :
       {"x' OR '1'='1", "' OR SITE IS NOT NULL OR '", "1234567'--", "[1234567]", "#1/1/01#"}) {
    for (int t = 1; t <= 5; ++t) {
      for (int i = 0; i < CheckCount(t); ++i) {
        RecordSet rs;
        ASSERT_NO_THROW(rs = RunCheckFor(t, i, id)) << id << " check " << t << "." << i;
        EXPECT_EQ(rs.RecordCount(), 0) << id << " check " << t << "." << i;
      }
    }
  }
}

// Rows of another facility in the same tables are never listed for this one
// (the matrix/units check alone looks at every facility).
TEST_F(FacilityTest, RowsOfAnotherFacilityAreNotListed) {
  for (const char* table :
       {"MT_TEMP1", "MT_TEMP2", "MT_TEMP2A", "MT_TEMP3", "MT_TEMP4", "MT_TEMP4A", "MT_TEMP5"}) {
    Add(table, {{"POINT_ID", Null()}}, other_site);
    Add(table, {{"POINT_ID", Null()}}, other_site);
  }
  Exec(
      "UPDATE MT_TEMP5 SET LAB = 0, LABORATORY = 'Nowhere Lab', METHOD = ' ', "
      "CONT_NAME_NOFORMAT = 'NOSUCHTHING', REVIEWED = 'NEW' WHERE SITE = '" +
      other_site + "'");
  for (int t = 1; t <= 5; ++t) {
    for (int i = 0; i < CheckCount(t); ++i) {
      EXPECT_EQ(RunCheck(t, i).RecordCount(), 0) << "check " << t << "." << i;
    }
  }
  // The same rows are problems of their own facility.
  EXPECT_EQ(RunCheckFor(1, 8, other_site).RecordCount(), 2);  // missing point IDs
  EXPECT_EQ(RunCheckFor(5, 0, other_site).RecordCount(), 1);  // unknown laboratory
  EXPECT_EQ(RunCheckFor(5, 3, other_site).RecordCount(), 2);  // blank methods
  EXPECT_EQ(RunCheckFor(5, 4, other_site).RecordCount(), 1);  // unknown contaminant
}

}  // namespace
}  // namespace sorvane
