// The data-type stage: conversion into the typed rows, and the marks, the label
// and the grid after a value that does not convert.
#include "import/data_types.h"

#include <string>

#include "import/table_structures.h"
#include "import_fixture.h"

namespace sorvane::testing {
namespace {

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
