// The facility-ID stage: every row's FAC_ID against the Facility ID, and the
// facility against the agency's sites.
#include "import/facility_ids.h"

#include <algorithm>
#include <string>

#include "import/table_structures.h"
#include "import_fixture.h"

namespace sorvane::testing {
namespace {

class FacilityIdsTest : public ImportTest {
 protected:
  // Imports table 3 with the given FAC_ID per row and runs the name stage.
  // FAC_ID is the last column, so a row with an empty ID is still a row.
  void Prepare(const std::vector<std::string>& fac_ids) {
    Sheet sheet{Header(3)};
    std::rotate(sheet[0].begin(), sheet[0].begin() + 1, sheet[0].end());
    for (const auto& id : fac_ids) {
      Cells row = Row(3, {{"FAC_ID", id}});
      std::rotate(row.begin(), row.begin() + 1, row.end());
      sheet.push_back(row);
    }
    ASSERT_TRUE(Import(3, sheet));
    ASSERT_TRUE(CheckFieldNames(state, 3));
  }
};

TEST_F(FacilityIdsTest, RowsOfTheFacilityKnownToTheSitesPass) {
  Prepare({kFacility, kFacility});
  EXPECT_TRUE(CheckRowFacilityIDs(state, 3, kFacility));
  EXPECT_EQ(Label(3).caption, "FAC IDs OK and Field Names correct for Table 3");
  EXPECT_FALSE(Label(3).highlighted);
  EXPECT_EQ(state.Tables[3].TableStatus, 3);
  EXPECT_TRUE(state.Tables[3].StageOK);
  EXPECT_EQ(state.SheetRecordset[3]->RecordCount(), 2);  // the filter is gone
}

TEST_F(FacilityIdsTest, AnyRowWithAnotherOrNoIdStopsTheTable) {
  for (const std::string& other :
       {std::string("7654321"), std::string(""), std::string("1234567 ")}) {
    Prepare({kFacility, other, kFacility});
    EXPECT_FALSE(CheckRowFacilityIDs(state, 3, kFacility)) << "'" << other << "'";
    EXPECT_EQ(Label(3).caption, "Problem with FAC IDs");
    EXPECT_TRUE(Label(3).highlighted);
    EXPECT_EQ(state.Tables[3].TableStatus, 2);
    EXPECT_FALSE(state.Tables[3].StageOK);
    EXPECT_EQ(state.SheetRecordset[3]->RecordCount(), 3);
  }
}

TEST_F(FacilityIdsTest, SheetWithoutRowsIsJudgedByTheSitesAlone) {
  Prepare({});
  EXPECT_TRUE(CheckRowFacilityIDs(state, 3, kFacility));
  Prepare({});
  EXPECT_FALSE(CheckRowFacilityIDs(state, 3, "9999999"));
  EXPECT_EQ(Label(3).caption, "FAC ID not in Main Database");
}

TEST_F(FacilityIdsTest, FacilityUnknownToTheSitesStopsTheTable) {
  Prepare({"9999999"});
  EXPECT_FALSE(CheckRowFacilityIDs(state, 3, "9999999"));
  EXPECT_EQ(Label(3).caption, "FAC ID not in Main Database");
  EXPECT_TRUE(Label(3).highlighted);
  EXPECT_EQ(state.Tables[3].TableStatus, 2);
  EXPECT_FALSE(state.Tables[3].StageOK);
}

TEST_F(FacilityIdsTest, SiteMatchesOnTheEndOfItsIdentifier) {
  state.WorkConn.ExecuteNative("INSERT INTO T_SITE (SITE) VALUES ('FL-7777777')");
  Prepare({"7777777"});
  EXPECT_TRUE(CheckRowFacilityIDs(state, 3, "7777777"));
  Prepare({"7777770"});
  EXPECT_FALSE(CheckRowFacilityIDs(state, 3, "7777770"));
}

TEST_F(FacilityIdsTest, WildcardsAndQuotesInAnIdMatchOnlyThemselves) {
  // '%' and '_' would match any site; a quote would end the SQL literal.
  for (const std::string id : {"123456%", "123_567", "12'4567", "%%%%%%%", "1234\\67"}) {
    Prepare({id});
    EXPECT_FALSE(CheckRowFacilityIDs(state, 3, id)) << id;
    EXPECT_EQ(Label(3).caption, "FAC ID not in Main Database") << id;
  }
  state.WorkConn.ExecuteNative("INSERT INTO T_SITE (SITE) VALUES ('X-12''4567')");
  Prepare({"12'4567"});
  EXPECT_TRUE(CheckRowFacilityIDs(state, 3, "12'4567"));
  EXPECT_EQ(CountSitesEndingWith(state.WorkConn, "123456%"), 0);
  EXPECT_EQ(CountSitesEndingWith(state.WorkConn, "1234567"), 1);
}

TEST_F(FacilityIdsTest, FailingSiteQueryIsShownAndFailsTheTable) {
  Prepare({kFacility});
  state.WorkConn.ExecuteNative("DROP TABLE T_SITE");
  EXPECT_FALSE(CheckRowFacilityIDs(state, 3, kFacility));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_NE(ui.messages[0].find("T_SITE"), std::string::npos) << ui.messages[0];
  EXPECT_FALSE(state.Tables[3].StageOK);
  EXPECT_EQ(state.Tables[3].TableStatus, 2);
  EXPECT_TRUE(Label(3).highlighted);
}

}  // namespace
}  // namespace sorvane::testing
