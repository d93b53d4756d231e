// The transfer of typed workbook rows into the temporary tables: rows and
// companion rows written, captions, progress, estimate, cancel, failures.
#include "transfer/transfer.h"

#include <gmock/gmock.h>

#include "transfer_fixture.h"

namespace sorvane::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::MatchesRegex;
using ::testing::Not;
using ::testing::SizeIs;

constexpr const char* kFac = "1234567";

class XferTest : public TransferTest {
 protected:
  void AddWell(const char* point, std::initializer_list<std::pair<const char*, Value>> extra = {}) {
    AddRow(2, {{"FAC_ID", T(kFac)}, {"POINT_ID", T(point)}});
    for (const auto& [name, v] : extra) state.TempRecordset[2]->SetValue(name, v);
  }
  void AddSample(const char* point, const char* sample, const char* date,
                 std::initializer_list<std::pair<const char*, Value>> extra = {}) {
    AddRow(4, {{"FAC_ID", T(kFac)},
               {"POINT_ID", T(point)},
               {"SAM_ID", T(sample)},
               {"SAM_DATE", D(date)}});
    for (const auto& [name, v] : extra) state.TempRecordset[4]->SetValue(name, v);
  }
  void AddLevels(int n, const char* point = "MW-1") {
    for (int i = 0; i < n; ++i)
      AddRow(3, {{"FAC_ID", T(kFac)}, {"POINT_ID", T(point)}, {"WL_DATE", D("1/1/2003")}});
  }
  void AddResults(int n) {
    for (int i = 0; i < n; ++i)
      AddRow(5, {{"FAC_ID", T(kFac)}, {"POINT_ID", T("MW-1")}, {"SAM_ID", T("S1")}});
  }
  // Clicks "Cancel Access Transfer" at the first yield of table `n`'s transfer.
  void CancelAtFirstYieldOf(int n) {
    ui.on_yield = [this, n] {
      if (state.StatusLabel(n).caption.starts_with("Transferring ")) mnuCancelXfer_Click(state);
    };
  }
};

TEST_F(XferTest, Table1ColumnsAreAssignedFromTheirWorkbookFields) {
  AddRow(1, {{"FAC_ID", T(kFac)},
             {"POINT_ID", T("mw-1")},
             {"LAT_DD", Value::Integer(27)},
             {"LAT_MM", Value::Integer(30)},
             {"LAT_SS", R(12.5)},
             {"LONG_DD", Value::Integer(82)},
             {"LONG_MM", Value::Integer(15)},
             {"LONG_SS", R(0)},
             {"NAVD", R(10.25)},
             {"SL_METHOD", T("a")},
             {"SL_COL_DATE", D("3/4/2001")},
             {"SL_CONTRACT", T("c-1")},
             {"SL_COMMENTS", T("near the gate")}});
  AddRow(1, {{"FAC_ID", T(kFac)}, {"POINT_ID", T("MW-2")}});

  Xfer_to_Access(state, 1);

  EXPECT_THAT(
      Rows("SELECT SITE, POINT_ID, LAT_DD, LAT_MM, LAT_SS, LONG_DD, LONG_MM, LONG_SS, NAVD, "
           "COL_METHOD, COL_DATE, CONTRACT, COMMENTS, REVIEWED FROM MT_TEMP1 ORDER BY "
           "POINT_ID"),
      ElementsAre("1234567|MW-1|27|30|12.5|82|15|0|10.25|A|3/4/2001|C-1|near the gate|NEW",
                  "1234567|MW-2|<null>|<null>|<null>|<null>|<null>|<null>|<null>|<null>|"
                  "<null>|<null>|<null>|NEW"));
  EXPECT_EQ(state.Tables[1].TableStatus, 6);
  EXPECT_EQ(state.StatusLabel(1).caption,
            "2 records of Table 1 transferred to temporary table in Access. ");
  EXPECT_FALSE(state.StatusLabel(1).highlighted);
  EXPECT_GT(state.Tables[1].XferTime, 0.0f);
  EXPECT_THAT(ui.messages, IsEmpty());
}

TEST_F(XferTest, OtherMainTablesMapTheirRenamedColumns) {
  AddWell("w-1", {{"FLUW_ID", T("F9")},
                  {"INSTALL_DATE", D("5/6/1999")},
                  {"STATUS", T("active")},
                  {"TOC", R(12)},
                  {"MATERIAL", T("pvc")},
                  {"AQUIFER", T("surficial")},
                  {"W_CONTRACT", T("k1")},
                  {"W_COMMENTS", T("new well")}});
  AddRow(3, {{"FAC_ID", T(kFac)},
             {"POINT_ID", T("w-1")},
             {"WL_DATE", D("1/2/2003")},
             {"WL", R(3.5)},
             {"WL_CONTRACT", T("k2")},
             {"WL_COMMENTS", T("dry")}});
  AddSample("w-1", "s-1", "1/2/2003",
            {{"MATRIX", T("liquid")},
             {"SAM_SOURCE", T("mw")},
             {"DEPTH_BLS", R(4)},
             {"F_CONTRACT", T("k3")},
             {"F_COMMENTS", T("clear")}});
  AddRow(5, {{"FAC_ID", T(kFac)},
             {"POINT_ID", T("w-1")},
             {"SAM_ID", T("s-1")},
             {"METHOD", T("8260b")},
             {"CAS_NUMBER", T("71-43-2")},
             {"CONT_NAME", T("Benzene")},
             {"CONC", R(0.5)},
             {"UNITS", T("ug/l")},
             {"LAB_Q", T("u")},
             {"MDL", R(0.1)},
             {"a_COMMENTS", T("diluted")},
             {"A_LABORATORY", T("ACME LAB")}});

  Xfer_to_Access(state, 0);

  EXPECT_THAT(Rows("SELECT SITE, POINT_ID, FLUW_ID, INSTALL_DATE, STATUS, TOC, MATERIAL, AQUIFER, "
                   "CONTRACT, COMMENTS FROM MT_TEMP2"),
              ElementsAre("1234567|W-1|F9|5/6/1999|ACTIVE|12|PVC|SURFICIAL|K1|new well"));
  EXPECT_THAT(Rows("SELECT SITE, POINT_ID, WL_DATE, WL, CONTRACT, COMMENTS FROM MT_TEMP3"),
              ElementsAre("1234567|W-1|1/2/2003|3.5|K2|dry"));
  EXPECT_THAT(Rows("SELECT SITE, POINT_ID, SAM_ID, SAM_DATE, MATRIX, SAM_SOURCE, DEPTH_BLS, "
                   "CONTRACT, COMMENTS FROM MT_TEMP4"),
              ElementsAre("1234567|W-1|S-1|1/2/2003|LIQUID|MW|4|K3|clear"));
  EXPECT_THAT(Rows("SELECT SITE, POINT_ID, SAM_ID, METHOD, CAS_NUMBER, CONT_NAME, CONCENTRATION, "
                   "UNITS, LAB_Q, MDL, COMMENTS, LABORATORY FROM MT_TEMP5"),
              ElementsAre("1234567|W-1|S-1|8260B|71-43-2|Benzene|0.5|UG/L|U|0.1|diluted|ACME LAB"));
  for (int n = 1; n <= 5; ++n) EXPECT_EQ(state.Tables[n].TableStatus, 6) << "table " << n;
  EXPECT_EQ(state.view.menus["mnuCancelXfer"].enabled, false);
  EXPECT_EQ(state.view.mouse_pointer, kPointerDefault);
}

TEST_F(XferTest, AquiferParametersGiveOneRowPerValuePresent) {
  AddWell("W-EMPTY", {{"TEST_METHOD", T("slug test")}});
  AddWell("W-ZERO", {{"T", R(0)}, {"TEST_METHOD", T("pump test")}});
  AddWell("W-ALL", {{"T", R(1.5)},
                    {"S", R(0.002)},
                    {"KX", R(3)},
                    {"B", R(40)},
                    {"NE", R(0.3)},
                    {"TEST_METHOD", T("model")}});

  Xfer_to_Access(state, 2);

  EXPECT_THAT(Rows("SELECT POINT_ID, A_PARAMETER, VALUE, UNITS, SOURCE, COMMENTS FROM MT_TEMP2A "
                   "ORDER BY rowid"),
              ElementsAre("W-ZERO|T|0|SQ FT/S|pump test|<null>", "W-ALL|T|1.5|SQ FT/S|model|<null>",
                          "W-ALL|S|0.002||model|<null>", "W-ALL|KX|3|FT/S|model|<null>",
                          "W-ALL|B|40|FT|model|<null>", "W-ALL|NE|0.3||model|<null>"));
  EXPECT_EQ(Count("MT_TEMP2A WHERE SITE = '1234567' AND REVIEWED = 'NEW'"), 6);
  EXPECT_EQ(state.Tables[2].TableStatus, 6);
}

TEST_F(XferTest, FieldTestsGiveOneRowPerValuePresent) {
  AddSample("MW-1", "S-NONE", "1/1/2003");
  AddSample("MW-1", "S-ALL", "1/1/2003",
            {{"FE", R(10)},
             {"DO", R(2.5)},
             {"REDOX", R(-50)},
             {"TURB", R(4)},
             {"PH", R(7)},
             {"TEMP", R(21.5)},
             {"CONDUCTIVITY", R(0)}});

  Xfer_to_Access(state, 4);

  EXPECT_THAT(
      Rows("SELECT SAM_ID, FIELDTEST, VALUE, UNITS, COMMENTS FROM MT_TEMP4A ORDER BY rowid"),
      ElementsAre("S-ALL|FE|10|UG/L|<null>", "S-ALL|DO|2.5|MG/L|<null>",
                  "S-ALL|REDOX|-50|MV|<null>", "S-ALL|TURB|4|NTU|<null>", "S-ALL|PH|7||<null>",
                  "S-ALL|TEMPERATURE|21.5|C|<null>", "S-ALL|CONDUCTIVITY|0|US/CM|<null>"));
  EXPECT_EQ(Count("MT_TEMP4"), 2);
  EXPECT_EQ(state.Tables[4].TableStatus, 6);
  EXPECT_EQ(state.StatusLabel(4).caption,
            "2 records of Table 4 transferred to temporary table in Access. ");
}

TEST_F(XferTest, CaptionsWhileAndAfterTransferring) {
  AddLevels(250);
  std::string during;
  bool menu_during = false;
  int pointer_during = 0;
  ui.on_yield = [&] {
    if (!during.empty()) return;
    during = state.StatusLabel(3).caption;
    menu_during = state.view.menus["mnuCancelXfer"].enabled;
    pointer_during = state.view.mouse_pointer;
    EXPECT_TRUE(state.StatusLabel(3).highlighted);
    EXPECT_FALSE(state.view.DataGrid1.visible);
  };
  state.view.DataGrid1.visible = true;

  Xfer_to_Access(state, 3);

  EXPECT_EQ(during, "Transferring 250 records of Table 3 to temporary table in Access ...");
  EXPECT_TRUE(menu_during);
  EXPECT_EQ(pointer_during, kPointerArrowHourglass);
  EXPECT_EQ(state.StatusLabel(3).caption,
            "250 records of Table 3 transferred to temporary table in Access. ");
  EXPECT_FALSE(state.view.menus["mnuCancelXfer"].enabled);
  EXPECT_EQ(state.view.mouse_pointer, kPointerDefault);
  EXPECT_EQ(state.view.ProgressBar.min, 1);
  EXPECT_EQ(state.view.ProgressBar.max, 251);
  EXPECT_EQ(state.view.ProgressBar.value, 251);
  EXPECT_EQ(Count("MT_TEMP3"), 250);
}

TEST_F(XferTest, Table5CaptionCarriesTheEstimateFromEarlierTables) {
  state.Tables[4].XferTime = 0.04f;
  state.Tables[3].XferTime = 9.0f;  // table 4's rate comes first
  AddResults(1200);
  std::string during;
  ui.on_yield = [&] {
    if (during.empty()) during = state.StatusLabel(5).caption;
  };

  Xfer_to_Access(state, 5);

  EXPECT_EQ(during,
            "Transferring 1200 records of Table 5 to temporary table in Access ... ~ 48 Seconds");
}

TEST_F(XferTest, Table5FirstInARunEstimatesZeroSeconds) {
  AddResults(3);
  std::string during;
  ui.on_yield = [&] { during = state.StatusLabel(5).caption; };
  Xfer_to_Access(state, 5);
  EXPECT_EQ(during,
            "Transferring 3 records of Table 5 to temporary table in Access ... ~ 0 Seconds");
}

TEST(XferEstimate, TextsAroundTwoMinutes) {
  const std::pair<int64_t, const char*> cases[] = {
      {0, " ~ 0 Seconds"},        {48, " ~ 48 Seconds"},   {119, " ~ 119 Seconds"},
      {120, " ~ 2.0 Minutes"},    {150, " ~ 2.0 Minutes"}, {210, " ~ 4.0 Minutes"},
      {50000, " ~ 833.0 Minutes"}};
  for (const auto& [seconds, text] : cases) EXPECT_EQ(XferEstimateText(seconds), text) << seconds;
}

TEST(XferEstimate, RateOfTheLatestEarlierTableAboveZero) {
  ScriptedUi ui;
  RunState state(ui, Paths{});
  EXPECT_EQ(XferEstimateSeconds(state, 1000), 0);
  state.Tables[1].XferTime = 0.5f;
  state.Tables[2].XferTime = -3.0f;                      // never used: not above zero
  EXPECT_EQ(XferEstimateSeconds(state, 100000), 50000);  // beyond a 16-bit count and result
  state.Tables[3].XferTime = 0.25f;
  EXPECT_EQ(XferEstimateSeconds(state, 10), 2);  // 2.5 to the even neighbour
  EXPECT_EQ(XferEstimateSeconds(state, 14), 4);  // 3.5 to the even neighbour
  EXPECT_EQ(XferEstimateSeconds(state, 0), 0);
}

TEST_F(XferTest, CancelDuringTable2KeepsTheFirstWellOnly) {
  AddWell("W-1", {{"T", R(1)}, {"S", R(2)}});
  AddWell("W-2", {{"T", R(3)}});
  AddWell("W-3", {{"B", R(4)}});
  state.Tables[2].XferTime = 0.5f;
  CancelAtFirstYieldOf(2);

  Xfer_to_Access(state, 2);

  EXPECT_EQ(state.Tables[2].TableStatus, 5);
  EXPECT_EQ(state.StatusLabel(2).caption, "Transfer to Access for Table 2 cancelled. ");
  EXPECT_TRUE(state.StatusLabel(2).highlighted);
  EXPECT_THAT(Rows("SELECT POINT_ID, REVIEWED FROM MT_TEMP2"), ElementsAre("W-1|<null>"));
  EXPECT_THAT(Rows("SELECT POINT_ID, A_PARAMETER, REVIEWED FROM MT_TEMP2A ORDER BY rowid"),
              ElementsAre("W-1|T|<null>", "W-1|S|<null>"));
  EXPECT_EQ(state.Tables[2].XferTime, 0.5f);  // a cancelled transfer measures nothing
  EXPECT_EQ(state.view.ProgressBar.value, state.view.ProgressBar.min);
  EXPECT_FALSE(state.view.menus["mnuCancelXfer"].enabled);
}

TEST_F(XferTest, CancelledTable3LeavesOutTheRowBeingAdded) {
  AddLevels(5);
  CancelAtFirstYieldOf(3);
  Xfer_to_Access(state, 3);
  EXPECT_EQ(state.Tables[3].TableStatus, 5);
  EXPECT_EQ(Count("MT_TEMP3"), 0);
}

TEST_F(XferTest, CancelInAnAllTablesRunCancelsEveryLaterTable) {
  AddRow(1, {{"FAC_ID", T(kFac)}, {"POINT_ID", T("mw-1")}});
  AddRow(1, {{"FAC_ID", T(kFac)}, {"POINT_ID", T("mw-2")}});
  AddWell("W-1", {{"T", R(1)}});
  AddWell("W-2", {{"T", R(2)}});
  AddLevels(3);
  AddSample("MW-1", "S1", "1/1/2003", {{"PH", R(7)}, {"TEMP", R(20)}});
  AddSample("MW-1", "S2", "1/1/2003", {{"PH", R(6)}});
  AddRow(5, {{"FAC_ID", T(kFac)},
             {"POINT_ID", T("mw-1")},
             {"SAM_ID", T("S1")},
             {"CONT_NAME", T("1,1-Dichloroethane")},
             {"A_LABORATORY", T("Acme Laboratory")}});
  AddResults(4);
  CancelAtFirstYieldOf(2);

  Xfer_to_Access(state, 0);

  EXPECT_EQ(state.Tables[1].TableStatus, 6);
  EXPECT_EQ(state.StatusLabel(1).caption,
            "2 records of Table 1 transferred to temporary table in Access. ");
  for (int n = 2; n <= 5; ++n) {
    EXPECT_EQ(state.Tables[n].TableStatus, 5) << "table " << n;
    EXPECT_EQ(state.StatusLabel(n).caption,
              "Transfer to Access for Table " + std::to_string(n) + " cancelled. ");
  }
  EXPECT_EQ(Count("MT_TEMP1"), 2);
  EXPECT_EQ(Count("MT_TEMP2"), 1);
  EXPECT_EQ(Count("MT_TEMP2A"), 1);
  EXPECT_EQ(Count("MT_TEMP3"), 0);
  EXPECT_THAT(Rows("SELECT SAM_ID, FIELDTEST FROM MT_TEMP4A ORDER BY rowid"),
              ElementsAre("S1|PH", "S1|TEMPERATURE"));
  // Not standardised: the names are still as delivered and the matching form is empty.
  EXPECT_THAT(Rows("SELECT POINT_ID, CONT_NAME_NOFORMAT, LABNOFORMAT, LAB, REVIEWED FROM MT_TEMP5"),
              ElementsAre("mw-1||<null>|<null>|<null>"));
  EXPECT_FALSE(state.view.menus["mnuCancelXfer"].enabled);
  EXPECT_EQ(state.view.mouse_pointer, kPointerDefault);
}

TEST_F(XferTest, EmptyTableTransfersToAnEmptyStandardisedTable) {
  state.WorkConn.ExecuteNative("INSERT INTO MT_TEMP5 (SITE, POINT_ID) VALUES ('7654321', 'OLD')");
  state.Tables[5].XferTime = 0.25f;

  Xfer_to_Access(state, 5);

  EXPECT_EQ(Count("MT_TEMP5"), 0);
  EXPECT_EQ(state.Tables[5].TableStatus, 6);
  EXPECT_EQ(state.StatusLabel(5).caption,
            "0 records of Table 5 transferred to temporary table in Access. ");
  EXPECT_EQ(state.Tables[5].XferTime, 0.25f);
  EXPECT_THAT(ui.messages, IsEmpty());
}

TEST_F(XferTest, RecordSetReplacedWhileYieldingIsReadToItsEnd) {
  // Closing the window during a yield shuts down, which replaces every
  // table's record set; the running transfer still owns the rows it reads.
  AddLevels(3);
  ui.on_yield = [this] { state.TempRecordset[3] = std::make_shared<RecordSet>(); };
  Xfer_to_Access(state, 3);
  EXPECT_EQ(Count("MT_TEMP3"), 3);
  EXPECT_EQ(state.Tables[3].TableStatus, 6);
}

TEST_F(XferTest, HundredThousandRowsAreCountedAndCaptionedInFull) {
  AddLevels(100000);
  std::string during;
  ui.on_yield = [&] {
    if (during.empty()) during = state.StatusLabel(3).caption;
  };

  Xfer_to_Access(state, 3);

  EXPECT_EQ(during, "Transferring 100000 records of Table 3 to temporary table in Access ...");
  EXPECT_EQ(state.StatusLabel(3).caption,
            "100000 records of Table 3 transferred to temporary table in Access. ");
  EXPECT_EQ(Count("MT_TEMP3"), 100000);
  EXPECT_EQ(state.view.ProgressBar.max, 100001);
  EXPECT_GT(state.Tables[3].XferTime, 0.0f);
  // The window is given a turn every few milliseconds, not at every record.
  EXPECT_GE(ui.yields, 1);
  EXPECT_LE(ui.yields, 100000 / 256 + 1);
}

TEST_F(XferTest, FailingDeleteIsShownAndTheTransferGoesOn) {
  state.WorkConn.ExecuteNative(
      "INSERT INTO MT_TEMP3 (SITE, POINT_ID) VALUES ('1234567', 'OLD');"
      "CREATE TRIGGER keep_levels BEFORE DELETE ON MT_TEMP3 "
      "BEGIN SELECT RAISE(ABORT, 'delete refused'); END;");
  AddLevels(2);

  Xfer_to_Access(state, 3);

  ASSERT_THAT(ui.messages, SizeIs(1));
  EXPECT_THAT(ui.messages[0], MatchesRegex("-?[0-9]+  delete refused"));
  EXPECT_EQ(Count("MT_TEMP3"), 3);
  EXPECT_EQ(state.Tables[3].TableStatus, 6);
}

TEST_F(XferTest, MissingTableIsShownAndLeavesTheStatusAtFour) {
  state.WorkConn.ExecuteNative("DROP TABLE MT_TEMP3");
  AddLevels(2);

  Xfer_to_Access(state, 3);

  // The DELETE's failure, then the failure to add the rows.
  ASSERT_THAT(ui.messages, SizeIs(2));
  EXPECT_THAT(ui.messages[0], MatchesRegex("-?[0-9]+  no such table: MT_TEMP3"));
  EXPECT_THAT(ui.messages[1], MatchesRegex("-?[0-9]+  .*MT_TEMP3.*"));
  EXPECT_EQ(state.Tables[3].TableStatus, 4);
  EXPECT_EQ(state.StatusLabel(3).caption, "Transfer to Access for Table 3 failed. ");
  EXPECT_FALSE(state.view.menus["mnuCancelXfer"].enabled);
}

TEST_F(XferTest, FailureWhileAddingRowsKeepsThePreviousRows) {
  AddLevels(2, "OLD");
  Xfer_to_Access(state, 3);
  ASSERT_EQ(state.Tables[3].TableStatus, 6);
  const float measured = state.Tables[3].XferTime;
  state.Tables[3].TableStatus = 4;  // validated again for a re-import
  state.WorkConn.ExecuteNative(
      "CREATE TRIGGER refuse BEFORE INSERT ON MT_TEMP3 WHEN NEW.POINT_ID = 'BAD' "
      "BEGIN SELECT RAISE(ABORT, 'forced failure'); END;");
  state.TempRecordset[3]->Clear();
  AddLevels(1, "NEW");
  AddLevels(1, "BAD");

  Xfer_to_Access(state, 3);

  ASSERT_THAT(ui.messages, SizeIs(1));
  EXPECT_THAT(ui.messages[0], MatchesRegex("-?[0-9]+  forced failure"));
  EXPECT_THAT(Rows("SELECT POINT_ID, REVIEWED FROM MT_TEMP3"), ElementsAre("OLD|NEW", "OLD|NEW"));
  EXPECT_EQ(state.Tables[3].TableStatus, 4);
  EXPECT_EQ(state.Tables[3].XferTime, measured);
}

TEST_F(XferTest, FailureInTheCompanionTableRollsBackTheWholeTable) {
  AddWell("OLD", {{"T", R(1)}});
  Xfer_to_Access(state, 2);
  state.Tables[2].TableStatus = 4;
  state.WorkConn.ExecuteNative("ALTER TABLE MT_TEMP2A DROP COLUMN SOURCE");
  state.TempRecordset[2]->Clear();
  AddWell("NEW", {{"T", R(2)}});

  Xfer_to_Access(state, 2);

  ASSERT_THAT(ui.messages, SizeIs(1));
  EXPECT_THAT(Rows("SELECT POINT_ID FROM MT_TEMP2"), ElementsAre("OLD"));
  EXPECT_THAT(Rows("SELECT POINT_ID FROM MT_TEMP2A"), ElementsAre("OLD"));
  EXPECT_EQ(state.Tables[2].TableStatus, 4);
}

TEST_F(XferTest, MissingWorkbookFieldIsAFailureNotACrash) {
  state.TempRecordset[3]->Reset();
  state.TempRecordset[3]->AppendField("FAC_ID", 200, 7);
  state.TempRecordset[3]->Open();
  AddRow(3, {{"FAC_ID", T(kFac)}});

  Xfer_to_Access(state, 3);

  ASSERT_THAT(ui.messages, SizeIs(1));
  EXPECT_THAT(ui.messages[0], MatchesRegex("3265  .*POINT_ID.*"));
  EXPECT_EQ(state.Tables[3].TableStatus, 4);
}

TEST_F(XferTest, TargetKeepsItsIndexesWhateverTheOutcome) {
  auto indexes = [this] {
    return Rows(
        "SELECT name, sql FROM sqlite_master WHERE type = 'index' AND tbl_name IN "
        "('MT_TEMP4', 'MT_TEMP4A') ORDER BY name");
  };
  const std::vector<std::string> before = indexes();
  ASSERT_THAT(before, Not(IsEmpty()));
  AddSample("MW-1", "S1", "1/1/2003", {{"PH", R(7)}});
  AddSample("MW-1", "S2", "1/1/2003", {{"PH", R(7)}});

  Xfer_to_Access(state, 4);
  EXPECT_EQ(indexes(), before) << "completed";

  CancelAtFirstYieldOf(4);
  Xfer_to_Access(state, 4);
  ASSERT_EQ(state.Tables[4].TableStatus, 5);
  EXPECT_EQ(indexes(), before) << "cancelled";

  ui.on_yield = nullptr;
  state.CancelRequested = false;
  state.WorkConn.ExecuteNative(
      "CREATE TRIGGER refuse BEFORE INSERT ON MT_TEMP4A "
      "BEGIN SELECT RAISE(ABORT, 'forced failure'); END;");
  Xfer_to_Access(state, 4);
  ASSERT_THAT(ui.messages, SizeIs(1));
  EXPECT_EQ(indexes(), before) << "failed";
  EXPECT_EQ(Count("MT_TEMP4"), 1);  // the cancelled transfer's rows, untouched
}

}  // namespace
}  // namespace sorvane::testing
