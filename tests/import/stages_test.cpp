// The stages that judge a table's rows after they are read: the table
// structures from MT_VBSTRUCTURE and the field names; every row's FAC_ID
// against the Facility ID and the facility against the agency's sites; and the
// conversion into typed rows, with the marks, the label and the grid after a
// value that does not convert.
#include <algorithm>
#include <string>

#include "core/errors.h"
#include "import/data_types.h"
#include "import/facility_ids.h"
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

class DataTypesTest : public ImportTest {
 protected:
  // Imports table n with `rows` (full rows built by Row()) and converts it.
  bool Convert(int n, const std::vector<Cells>& rows) {
    EXPECT_TRUE(Import(n, Table(n, rows)));
    return ConvertDataTypes(state, n);
  }
  Value Typed(int n, int64_t r, const std::string& name) {
    const RecordSet& rs = *state.TempRecordset[n];
    return rs.At(r, static_cast<size_t>(rs.FieldIndex(name)));
  }
};

TEST_F(DataTypesTest, CleanSheetConvertsEveryValueToItsType) {
  ASSERT_TRUE(Convert(1, {Row(1, {{"LAT_DD", "12.5"}, {"SL_METHOD", " ABCDEFGHIJ "}}),
                          Row(1, {{"NAVD", "-3.25e1"}, {"SL_METHOD", ""}})}));
  EXPECT_EQ(Label(1).caption, "Data Types OK for Table 1");
  EXPECT_FALSE(Label(1).highlighted);
  EXPECT_EQ(state.Tables[1].TableStatus, 4);
  ASSERT_EQ(state.TempRecordset[1]->RecordCount(), 2);
  EXPECT_EQ(Typed(1, 0, "LAT_DD"), Value::Integer(12));  // 12.5 rounds half to even
  // Ten characters with blanks around them fit the ten of SL_METHOD once trimmed.
  EXPECT_EQ(Typed(1, 0, "SL_METHOD"), Value::Text("ABCDEFGHIJ"));
  EXPECT_EQ(Typed(1, 0, "SL_COL_DATE"), Value::FromDate(*Date::FromParts(2021, 3, 15)));
  EXPECT_EQ(Typed(1, 1, "NAVD"), Value::Real(-32.5));
  EXPECT_TRUE(Typed(1, 1, "SL_METHOD").IsMissing());  // an empty cell is Null

  ASSERT_TRUE(Convert(1, {Row(1, {{"POINT_ID", "MW-9"}})}));  // starts from an empty target
  ASSERT_EQ(state.TempRecordset[1]->RecordCount(), 1);
  ASSERT_TRUE(Convert(5, {}));
  EXPECT_EQ(state.Tables[5].TableStatus, 4);
}

TEST_F(DataTypesTest, BadValuesAreMarkedAndTheirFieldsNamedOnceInSheetOrder) {
  const std::string junk = std::string(158, '9') + "x";
  ASSERT_FALSE(Convert(4, {Row(4, {{"PH", "seven"}, {"SAM_DATE", "13/45/2020"}}),
                           Row(4, {{"SAM_DATE", "yesterday"}, {"DEPTH_BLS", ""}}),
                           Row(4, {{"MATRIX", "ABCDEFGHIJKLMNOPQRSTU"}, {"PH", junk}})}));
  EXPECT_EQ(SheetText(4, 0, "SAM_DATE"), "**13/45/2020**");
  EXPECT_EQ(SheetText(4, 1, "SAM_DATE"), "**yesterday**");
  EXPECT_EQ(SheetText(4, 0, "PH"), "**seven**");
  EXPECT_EQ(SheetText(4, 1, "DEPTH_BLS"), "");  // empty cells are never marked
  // Text longer than its field is cut behind the mark; a marked long number
  // still fits the sheet's field.
  EXPECT_EQ(SheetText(4, 2, "MATRIX"), "**ABCDEFGH");
  EXPECT_EQ(SheetText(4, 2, "PH"), "**" + std::string(156, '9') + "**");
  EXPECT_EQ(Label(4).caption, "Data Type Problems for Table 4: SAM_DATE, MATRIX, PH");
  EXPECT_TRUE(Label(4).highlighted);
  EXPECT_EQ(state.Tables[4].TableStatus, 3);
  EXPECT_EQ(state.view.DataGrid1.source, state.SheetRecordset[4]);  // the marked rows
  EXPECT_TRUE(state.view.DataGrid1.visible);
  EXPECT_EQ(state.TempRecordset[4]->RecordCount(), 0);  // nothing half converted
}

TEST_F(DataTypesTest, FieldsWithoutALimitOrOfAnUnknownTypeAreNeverMarked) {
  state.WorkConn.ExecuteNative(
      "UPDATE MT_VBSTRUCTURE SET FIELD_SIZE = -1 WHERE FIELD_NAME = 'WL_COMMENTS';"
      "UPDATE MT_VBSTRUCTURE SET FIELD_TYPE = 11 WHERE FIELD_NAME = 'WL_CONTRACT'");
  LoadTableStructures(state);
  const std::string comment(160, 'c');
  ASSERT_TRUE(Convert(3, {Row(3, {{"WL_COMMENTS", comment}, {"WL_CONTRACT", "anything"}})}));
  EXPECT_EQ(Typed(3, 0, "WL_COMMENTS"), Value::Text(comment));
  EXPECT_TRUE(Typed(3, 0, "WL_CONTRACT").IsMissing());  // an unknown type arrives empty
}

}  // namespace
}  // namespace sorvane::testing
