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
  bool Check(const std::vector<std::string>& fac_ids, const std::string& facility = kFacility) {
    Sheet sheet{Header(3)};
    std::rotate(sheet[0].begin(), sheet[0].begin() + 1, sheet[0].end());
    for (const auto& id : fac_ids) {
      Cells row = Row(3, {{"FAC_ID", id}});
      std::rotate(row.begin(), row.begin() + 1, row.end());
      sheet.push_back(row);
    }
    EXPECT_TRUE(Import(3, sheet));
    EXPECT_TRUE(CheckFieldNames(state, 3));
    return CheckRowFacilityIDs(state, 3, facility);
  }
};

TEST_F(FacilityIdsTest, RowsOfTheFacilityKnownToTheSitesPass) {
  EXPECT_TRUE(Check({kFacility, kFacility}));
  EXPECT_EQ(Label(3).caption, "FAC IDs OK and Field Names correct for Table 3");
  EXPECT_FALSE(Label(3).highlighted);
  EXPECT_EQ(state.Tables[3].TableStatus, 3);
  EXPECT_EQ(state.SheetRecordset[3]->RecordCount(), 2);  // the filter is gone
  EXPECT_TRUE(Check({}));                                // judged by the sites alone
}

TEST_F(FacilityIdsTest, AnyRowWithAnotherOrNoIdStopsTheTable) {
  for (const char* other : {"7654321", "", "1234567 "}) {
    EXPECT_FALSE(Check({kFacility, other, kFacility})) << "'" << other << "'";
    EXPECT_EQ(Label(3).caption, "Problem with FAC IDs");
    EXPECT_TRUE(Label(3).highlighted);
    EXPECT_EQ(state.Tables[3].TableStatus, 2);
    EXPECT_EQ(state.SheetRecordset[3]->RecordCount(), 3);
  }
}

// A site matches on the end of its identifier; '%' and '_' would match any
// site and a quote would end the SQL literal, so they match only themselves.
TEST_F(FacilityIdsTest, FacilityMustEndTheIdentifierOfASite) {
  state.WorkConn.ExecuteNative("INSERT INTO T_SITE (SITE) VALUES ('FL-7777777'), ('X-12''4567')");
  EXPECT_TRUE(Check({"7777777"}, "7777777"));
  EXPECT_TRUE(Check({"12'4567"}, "12'4567"));
  for (const std::string id : {"7777770", "123456%", "123_567", "%%%%%%%", "1234\\67"}) {
    EXPECT_FALSE(Check({id}, id)) << id;
    EXPECT_EQ(Label(3).caption, "FAC ID not in Main Database") << id;
    EXPECT_TRUE(Label(3).highlighted);
    EXPECT_EQ(state.Tables[3].TableStatus, 2);
  }
  EXPECT_EQ(CountSitesEndingWith(state.WorkConn, "123456%"), 0);
}

TEST_F(FacilityIdsTest, FailingSiteQueryIsShownAndFailsTheTable) {
  state.WorkConn.ExecuteNative("DROP TABLE T_SITE");
  EXPECT_FALSE(Check({kFacility}));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_NE(ui.messages[0].find("T_SITE"), std::string::npos) << ui.messages[0];
  EXPECT_EQ(state.Tables[3].TableStatus, 2);
}

}  // namespace
}  // namespace sorvane::testing
