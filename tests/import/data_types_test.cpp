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
  ASSERT_TRUE(Convert(1, {Row(1, {{"LAT_DD", "12.5"}, {"SL_COMMENTS", "  padded  "}}),
                          Row(1, {{"NAVD", "-3.25e1"}, {"SL_METHOD", ""}})}));
  EXPECT_EQ(Label(1).caption, "Data Types OK for Table 1");
  EXPECT_FALSE(Label(1).highlighted);
  EXPECT_EQ(state.Tables[1].TableStatus, 4);
  EXPECT_TRUE(state.Tables[1].StageOK);
  EXPECT_EQ(state.view.mouse_pointer, kPointerDefault);
  ASSERT_EQ(state.TempRecordset[1]->RecordCount(), 2);
  EXPECT_EQ(Typed(1, 0, "LAT_DD"), Value::Integer(12));  // 12.5 rounds half to even
  EXPECT_EQ(Typed(1, 0, "SL_COMMENTS"), Value::Text("padded"));
  EXPECT_EQ(Typed(1, 0, "SL_COL_DATE"), Value::FromDate(*Date::FromParts(2021, 3, 15)));
  EXPECT_EQ(Typed(1, 0, "FAC_ID"), Value::Text(kFacility));
  EXPECT_EQ(Typed(1, 1, "NAVD"), Value::Real(-32.5));
  EXPECT_TRUE(Typed(1, 1, "SL_METHOD").IsMissing());  // an empty cell is Null
}

TEST_F(DataTypesTest, BadWholeNumbersAreMarkedAndNamedOnce) {
  ASSERT_FALSE(Convert(1, {Row(1, {{"LAT_DD", "12.5"}}), Row(1, {{"LAT_DD", "40000"}}),
                           Row(1, {{"LAT_DD", "abc"}, {"LONG_MM", "1,5"}})}));
  EXPECT_EQ(SheetText(1, 0, "LAT_DD"), "12.5");
  EXPECT_EQ(SheetText(1, 1, "LAT_DD"), "**40000**");
  EXPECT_EQ(SheetText(1, 2, "LAT_DD"), "**abc**");
  EXPECT_EQ(SheetText(1, 2, "LONG_MM"), "**1,5**");
  EXPECT_EQ(Label(1).caption, "Data Type Problems for Table 1: LAT_DD, LONG_MM");
  EXPECT_TRUE(Label(1).highlighted);
  EXPECT_EQ(state.Tables[1].TableStatus, 3);
  EXPECT_FALSE(state.Tables[1].StageOK);
  EXPECT_EQ(state.view.mouse_pointer, kPointerDefault);
  // The grid shows the marked sheet rows.
  EXPECT_EQ(state.view.DataGrid1.source, state.SheetRecordset[1]);
  EXPECT_TRUE(state.view.DataGrid1.visible);
  // No half-converted rows are left for the transfer.
  EXPECT_EQ(state.TempRecordset[1]->RecordCount(), 0);
}

TEST_F(DataTypesTest, BadDatesAndNumbersFollowTheSheetFieldOrder) {
  ASSERT_FALSE(Convert(4, {Row(4, {{"PH", "seven"}, {"SAM_DATE", "13/45/2020"}}),
                           Row(4, {{"SAM_DATE", "yesterday"}})}));
  EXPECT_EQ(SheetText(4, 0, "SAM_DATE"), "**13/45/2020**");
  EXPECT_EQ(SheetText(4, 1, "SAM_DATE"), "**yesterday**");
  EXPECT_EQ(SheetText(4, 0, "PH"), "**seven**");
  EXPECT_EQ(Label(4).caption, "Data Type Problems for Table 4: SAM_DATE, PH");
}

TEST_F(DataTypesTest, TextLongerThanItsFieldIsCutBehindTheMark) {
  // SL_METHOD holds 10 characters.
  ASSERT_FALSE(Convert(
      1, {Row(1, {{"SL_METHOD", "ABCDEFGHIJKL"}}), Row(1, {{"SL_METHOD", " ABCDEFGHIJ "}})}));
  EXPECT_EQ(SheetText(1, 0, "SL_METHOD"), "**ABCDEFGH");
  // Ten characters with blanks around them fit once trimmed, as the
  // conversion measures them: not marked, stored trimmed.
  EXPECT_EQ(SheetText(1, 1, "SL_METHOD"), "ABCDEFGHIJ");
  EXPECT_EQ(Label(1).caption, "Data Type Problems for Table 1: SL_METHOD");
}

TEST_F(DataTypesTest, TextOfAFieldWithoutALimitIsNeverMarked) {
  state.WorkConn.ExecuteNative(
      "UPDATE MT_VBSTRUCTURE SET FIELD_SIZE = -1 WHERE FIELD_NAME = 'WL_COMMENTS'");
  LoadTableStructures(state);
  const std::string comment(160, 'c');
  ASSERT_FALSE(Convert(3, {Row(3, {{"WL", "x"}, {"WL_COMMENTS", comment}})}));
  EXPECT_EQ(SheetText(3, 0, "WL_COMMENTS"), comment);
  EXPECT_EQ(Label(3).caption, "Data Type Problems for Table 3: WL");
}

TEST_F(DataTypesTest, PaddedTextThatFitsConverts) {
  ASSERT_TRUE(Convert(1, {Row(1, {{"SL_METHOD", " ABCDEFGHIJ "}})}));
  EXPECT_EQ(Typed(1, 0, "SL_METHOD"), Value::Text("ABCDEFGHIJ"));
}

TEST_F(DataTypesTest, EmptyCellsAreNeverMarked) {
  ASSERT_FALSE(Convert(3, {Row(3, {{"WL", ""}, {"WL_DATE", ""}}), Row(3, {{"WL", "x"}})}));
  EXPECT_EQ(SheetText(3, 0, "WL"), "");
  EXPECT_EQ(SheetText(3, 0, "WL_DATE"), "");
  EXPECT_EQ(Label(3).caption, "Data Type Problems for Table 3: WL");
}

TEST_F(DataTypesTest, MarkedLongNumberStillFitsTheSheetField) {
  const std::string junk(158, '9');
  ASSERT_FALSE(Convert(3, {Row(3, {{"WL", junk + "x"}})}));
  const std::string marked = SheetText(3, 0, "WL");
  EXPECT_EQ(marked.size(), 160u);
  EXPECT_EQ(marked.substr(0, 2), "**");
  EXPECT_EQ(marked.substr(158), "**");
}

TEST_F(DataTypesTest, FieldOfAnUnknownTypeArrivesEmpty) {
  state.WorkConn.ExecuteNative(
      "UPDATE MT_VBSTRUCTURE SET FIELD_TYPE = 11 WHERE TABLE_NAME = 'TEMP_3' AND "
      "FIELD_NAME = 'WL_COMMENTS'");
  LoadTableStructures(state);
  ASSERT_TRUE(Convert(3, {Row(3, {{"WL_COMMENTS", "anything"}})}));
  EXPECT_TRUE(Typed(3, 0, "WL_COMMENTS").IsMissing());
}

TEST_F(DataTypesTest, SecondConversionStartsFromAnEmptyTarget) {
  ASSERT_TRUE(Convert(3, {Row(3), Row(3)}));
  ASSERT_TRUE(Convert(3, {Row(3, {{"POINT_ID", "MW-9"}})}));
  ASSERT_EQ(state.TempRecordset[3]->RecordCount(), 1);
  EXPECT_EQ(Typed(3, 0, "POINT_ID"), Value::Text("MW-9"));
}

TEST_F(DataTypesTest, SheetWithoutRowsConverts) {
  ASSERT_TRUE(Convert(5, {}));
  EXPECT_EQ(state.Tables[5].TableStatus, 4);
}

}  // namespace
}  // namespace sorvane::testing
