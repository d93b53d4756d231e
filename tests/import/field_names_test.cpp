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

TEST_F(FieldNamesTest, StructuresFollowFieldOrderWithTypesAndSizes) {
  EXPECT_EQ(Header(3),
            (Cells{"FAC_ID", "POINT_ID", "WL_DATE", "WL", "WL_CONTRACT", "WL_COMMENTS"}));
  const RecordSet& t1 = *state.TempRecordset[1];
  ASSERT_EQ(t1.FieldCount(), 13u);
  EXPECT_EQ(t1.GetField(0).type, 200);
  EXPECT_EQ(t1.GetField(0).defined_size, 7);
  EXPECT_EQ(t1.GetField(2).name, "LAT_DD");
  EXPECT_EQ(t1.GetField(2).type, 3);
  EXPECT_EQ(t1.GetField(10).name, "SL_COL_DATE");
  EXPECT_EQ(t1.GetField(10).type, 7);
  EXPECT_EQ(t1.RecordCount(), 0);
  for (int n = 1; n <= 5; ++n) EXPECT_GT(state.TempRecordset[n]->FieldCount(), 5u) << n;
}

TEST_F(FieldNamesTest, LowerCaseStructureNamesAreStoredInUpperCase) {
  state.WorkConn.ExecuteNative(
      "UPDATE MT_VBSTRUCTURE SET FIELD_NAME = lower(FIELD_NAME) WHERE TABLE_NAME = 'TEMP_3'");
  LoadTableStructures(state);
  EXPECT_EQ(Header(3)[2], "WL_DATE");
  EXPECT_TRUE(Check(3, {"fac_id", "point_id", "wl_date", "wl", "wl_contract", "wl_comments"}));
}

TEST_F(FieldNamesTest, ExpectedFieldsInAnyOrderPass) {
  EXPECT_TRUE(Check(3, {"WL", "wl_comments", "FAC_ID", "WL_DATE", "POINT_ID", "WL_Contractor"}));
  EXPECT_EQ(Label(3).caption, "Field Names correct for Table 3");
  EXPECT_FALSE(Label(3).highlighted);
  EXPECT_EQ(state.Tables[3].TableStatus, 2);
  EXPECT_TRUE(state.Tables[3].StageOK);
}

TEST_F(FieldNamesTest, MissingFieldsAreReportedBeforeExtraOnesInStructureOrder) {
  // Table 1 without POINT_ID and SL_COL_DATE, and with a column of its own.
  Cells header = Header(1);
  std::erase(header, "SL_COL_DATE");
  std::erase(header, "POINT_ID");
  header.insert(header.begin(), "NOTES");
  EXPECT_FALSE(Check(1, header));
  EXPECT_EQ(Label(1).caption,
            "The POINT_ID, SL_COL_DATE field(s) of Table 1 is/are missing or misspelled.  ");
  EXPECT_TRUE(Label(1).highlighted);
  EXPECT_EQ(state.Tables[1].TableStatus, 1);
  EXPECT_FALSE(state.Tables[1].StageOK);

  // With the missing ones added, the extra column is reported.
  header.push_back("Point_ID");
  header.push_back("SL_COL_DATE");
  header.push_back("X");
  EXPECT_FALSE(Check(1, header));
  EXPECT_EQ(Label(1).caption,
            "The NOTES, X field(s) of 1 may have data, but should not be included in this "
            "table. ");
  EXPECT_TRUE(Label(1).highlighted);
  EXPECT_EQ(state.Tables[1].TableStatus, 1);
}

TEST_F(FieldNamesTest, MisspelledHeaderIsFirstMissingThenExtra) {
  Cells header = Header(4);
  std::replace(header.begin(), header.end(), std::string("SAM_DATE"), std::string("SAMDATE"));
  EXPECT_FALSE(Check(4, header));
  EXPECT_EQ(Label(4).caption, "The SAM_DATE field(s) of Table 4 is/are missing or misspelled.  ");
  header.push_back("SAM_DATE");
  EXPECT_FALSE(Check(4, header));
  EXPECT_EQ(Label(4).caption,
            "The SAMDATE field(s) of 4 may have data, but should not be included in this table. ");
}

TEST_F(FieldNamesTest, HeaderAliasesSatisfyTheExpectedNames) {
  Cells header = Header(4);
  std::replace(header.begin(), header.end(), std::string("CONDUCTIVITY"), std::string("Cond"));
  std::replace(header.begin(), header.end(), std::string("FE"), std::string("Fe+2"));
  std::replace(header.begin(), header.end(), std::string("F_CONTRACT"),
               std::string("F_Contractor"));
  EXPECT_TRUE(Check(4, header));
}

TEST_F(FieldNamesTest, TableWithoutStructureRowsReportsEveryFieldAsExtra) {
  state.WorkConn.ExecuteNative("DELETE FROM MT_VBSTRUCTURE WHERE TABLE_NAME = 'TEMP_5'");
  LoadTableStructures(state);
  EXPECT_EQ(state.TempRecordset[5]->FieldCount(), 0u);
  EXPECT_FALSE(Check(5, {"FAC_ID", "CONC"}));
  EXPECT_EQ(Label(5).caption,
            "The FAC_ID, CONC field(s) of 5 may have data, but should not be included in this "
            "table. ");
}

TEST_F(FieldNamesTest, MissingStructureTableIsAnErrorForStartUp) {
  state.WorkConn.ExecuteNative("DROP TABLE MT_VBSTRUCTURE");
  EXPECT_THROW(LoadTableStructures(state), Error);
}

TEST_F(FieldNamesTest, SizeBeyondAWholeNumberIsAnOverflowForStartUp) {
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
}

}  // namespace
}  // namespace sorvane::testing
