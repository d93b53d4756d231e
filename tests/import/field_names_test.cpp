// Table structures from MT_VBSTRUCTURE and the field-name stage.
#include <algorithm>
#include <string>

#include "core/errors.h"
#include "import/table_structures.h"
#include "import_fixture.h"

namespace sorvane::testing {
namespace {

class FieldNamesTest : public ImportTest {
 protected:
  bool Check(int n, Cells header) {
    EXPECT_TRUE(Import(n, {header}));
    return CheckFieldNames(state, n);
  }
};

TEST_F(FieldNamesTest, ExpectedFieldsInAnyOrderAndCaseOrByTheirAliasesPass) {
  EXPECT_TRUE(Check(3, {"WL", "wl_comments", "FAC_ID", "WL_DATE", "POINT_ID", "WL_Contractor"}));
  EXPECT_EQ(Label(3).caption, "Field Names correct for Table 3");
  EXPECT_FALSE(Label(3).highlighted);
  EXPECT_EQ(state.Tables[3].TableStatus, 2);
  Cells header = Header(4);
  std::replace(header.begin(), header.end(), std::string("CONDUCTIVITY"), std::string("Cond"));
  std::replace(header.begin(), header.end(), std::string("FE"), std::string("Fe+2"));
  EXPECT_TRUE(Check(4, header));
  // Structure names in lower case are stored in upper case.
  state.WorkConn.ExecuteNative(
      "UPDATE MT_VBSTRUCTURE SET FIELD_NAME = lower(FIELD_NAME) WHERE TABLE_NAME = 'TEMP_3'");
  LoadTableStructures(state);
  EXPECT_TRUE(Check(3, {"fac_id", "point_id", "wl_date", "wl", "wl_contract", "wl_comments"}));
}

TEST_F(FieldNamesTest, MissingFieldsAreReportedBeforeExtraOnesInStructureOrder) {
  // Table 1 without POINT_ID and SL_COL_DATE (misspelled), with a column of its own.
  Cells header = Header(1);
  std::erase(header, "POINT_ID");
  std::replace(header.begin(), header.end(), std::string("SL_COL_DATE"), std::string("SLCOLDATE"));
  header.insert(header.begin(), "NOTES");
  EXPECT_FALSE(Check(1, header));
  EXPECT_EQ(Label(1).caption,
            "The POINT_ID, SL_COL_DATE field(s) of Table 1 is/are missing or misspelled.  ");
  EXPECT_TRUE(Label(1).highlighted);
  EXPECT_EQ(state.Tables[1].TableStatus, 1);

  header.push_back("Point_ID");
  header.push_back("SL_COL_DATE");
  EXPECT_FALSE(Check(1, header));
  EXPECT_EQ(Label(1).caption,
            "The NOTES, SLCOLDATE field(s) of 1 may have data, but should not be included in "
            "this table. ");
  EXPECT_EQ(state.Tables[1].TableStatus, 1);

  // An empty worksheet has no fields; a table without structure rows has no
  // expected ones.
  EXPECT_FALSE(Check(3, {}));
  EXPECT_EQ(Label(3).caption,
            "The FAC_ID, POINT_ID, WL_DATE, WL, WL_CONTRACT, WL_COMMENTS field(s) of Table 3 "
            "is/are missing or misspelled.  ");
  state.WorkConn.ExecuteNative("DELETE FROM MT_VBSTRUCTURE WHERE TABLE_NAME = 'TEMP_5'");
  LoadTableStructures(state);
  EXPECT_FALSE(Check(5, {"FAC_ID", "CONC"}));
  EXPECT_EQ(Label(5).caption,
            "The FAC_ID, CONC field(s) of 5 may have data, but should not be included in this "
            "table. ");
}

TEST_F(FieldNamesTest, UnusableStructureTableStopsStartUp) {
  for (const char* size : {"1e12", "-3e9"}) {
    state.WorkConn.ExecuteNative(std::string("UPDATE MT_VBSTRUCTURE SET FIELD_SIZE = ") + size +
                                 " WHERE TABLE_NAME = 'TEMP_4' AND FIELD_ORDER = 2");
    try {
      LoadTableStructures(state);
      ADD_FAILURE() << size;
    } catch (const Error& e) {
      EXPECT_EQ(e.NumberDescription(), "6 Overflow") << size;
    }
  }
  state.WorkConn.ExecuteNative("DROP TABLE MT_VBSTRUCTURE");
  EXPECT_THROW(LoadTableStructures(state), Error);
}

}  // namespace
}  // namespace sorvane::testing
