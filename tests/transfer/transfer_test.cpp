// The transfer of typed workbook rows into the temporary tables: companion
// rows, what the window shows while and after it runs, cancel, failures.
#include "transfer/transfer.h"

#include <gmock/gmock.h>

#include "transfer_fixture.h"

namespace sorvane::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::MatchesRegex;
using ::testing::SizeIs;

constexpr const char* kFac = "1234567";

class XferTest : public TransferTest {
 protected:
  void AddWell(const char* point, std::initializer_list<std::pair<const char*, Value>> extra = {}) {
    AddRow(2, {{"FAC_ID", T(kFac)}, {"POINT_ID", T(point)}});
    for (const auto& [name, v] : extra) state.TempRecordset[2]->SetValue(name, v);
  }
  void AddSample(const char* sample, std::initializer_list<std::pair<const char*, Value>> extra) {
    AddRow(4, {{"FAC_ID", T(kFac)},
               {"POINT_ID", T("MW-1")},
               {"SAM_ID", T(sample)},
               {"SAM_DATE", D("1/1/2003")}});
    for (const auto& [name, v] : extra) state.TempRecordset[4]->SetValue(name, v);
  }
  void AddLevels(int n, const char* point = "MW-1") {
    for (int i = 0; i < n; ++i)
      AddRow(3, {{"FAC_ID", T(kFac)}, {"POINT_ID", T(point)}, {"WL_DATE", D("1/1/2003")}});
  }
  // Clicks "Cancel Access Transfer" at the first yield of table `n`'s transfer.
  void CancelAtFirstYieldOf(int n) {
    ui.on_yield = [this, n] {
      if (state.StatusLabel(n).caption.starts_with("Transferring ")) mnuCancelXfer_Click(state);
    };
  }
};

TEST_F(XferTest, AquiferParametersAndFieldTestsGiveOneRowPerValuePresent) {
  AddWell("W-EMPTY", {{"TEST_METHOD", T("slug test")}});
  AddWell("W-ZERO", {{"T", R(0)}, {"TEST_METHOD", T("pump test")}});
  AddWell("W-ALL", {{"T", R(1.5)},
                    {"S", R(0.002)},
                    {"KX", R(3)},
                    {"B", R(40)},
                    {"NE", R(0.3)},
                    {"TEST_METHOD", T("model")}});
  AddSample("S-NONE", {});
  AddSample("S-ALL", {{"FE", R(10)},
                      {"DO", R(2.5)},
                      {"REDOX", R(-50)},
                      {"TURB", R(4)},
                      {"PH", R(7)},
                      {"TEMP", R(21.5)},
                      {"CONDUCTIVITY", R(0)}});

  EXPECT_EQ(Xfer_to_Access(state, 0), XferOutcome::kTransferred);

  EXPECT_THAT(Rows("SELECT POINT_ID, A_PARAMETER, VALUE, UNITS, SOURCE, REVIEWED FROM MT_TEMP2A "
                   "ORDER BY rowid"),
              ElementsAre("W-ZERO|T|0|SQ FT/S|pump test|NEW", "W-ALL|T|1.5|SQ FT/S|model|NEW",
                          "W-ALL|S|0.002||model|NEW", "W-ALL|KX|3|FT/S|model|NEW",
                          "W-ALL|B|40|FT|model|NEW", "W-ALL|NE|0.3||model|NEW"));
  EXPECT_THAT(
      Rows("SELECT SAM_ID, FIELDTEST, VALUE, UNITS FROM MT_TEMP4A ORDER BY rowid"),
      ElementsAre("S-ALL|FE|10|UG/L", "S-ALL|DO|2.5|MG/L", "S-ALL|REDOX|-50|MV", "S-ALL|TURB|4|NTU",
                  "S-ALL|PH|7|", "S-ALL|TEMPERATURE|21.5|C", "S-ALL|CONDUCTIVITY|0|US/CM"));
  EXPECT_EQ(state.StatusLabel(4).caption,
            "2 records of Table 4 transferred to temporary table in Access. ");
  for (int n = 1; n <= 5; ++n) EXPECT_EQ(state.Tables[n].TableStatus, 6) << "table " << n;
  EXPECT_THAT(ui.messages, IsEmpty());
}

// A hundred thousand rows also shows that counts and captions go past 16 bits.
TEST_F(XferTest, WindowShowsTheTransferWhileAndAfterItRuns) {
  AddLevels(100000);
  std::string during;
  bool menu_during = false;
  int pointer_during = 0, table = 3;
  ui.on_yield = [&] {
    if (!during.empty()) return;
    during = state.StatusLabel(table).caption;
    menu_during = state.view.menus[menu::kCancelXfer].enabled;
    pointer_during = state.view.mouse_pointer;
    EXPECT_TRUE(state.StatusLabel(table).highlighted);
  };

  Xfer_to_Access(state, 3);

  EXPECT_EQ(during, "Transferring 100000 records of Table 3 to temporary table in Access ...");
  EXPECT_TRUE(menu_during);
  EXPECT_EQ(pointer_during, kPointerArrowHourglass);
  EXPECT_EQ(state.StatusLabel(3).caption,
            "100000 records of Table 3 transferred to temporary table in Access. ");
  EXPECT_FALSE(state.view.menus[menu::kCancelXfer].enabled);
  EXPECT_EQ(state.view.mouse_pointer, kPointerDefault);
  EXPECT_EQ(state.view.ProgressBar.max, 100001);
  EXPECT_EQ(state.view.ProgressBar.value, 100001);
  EXPECT_EQ(Count("MT_TEMP3"), 100000);
  // The window is given a turn every few milliseconds, not at every record.
  EXPECT_LE(ui.yields, 100000 / 256 + 1);

  // Table 5 is estimated from the rate of the latest earlier table.
  state.Tables[4].XferTime = 0.04f;
  for (int i = 0; i < 1200; ++i) AddRow(5, {{"FAC_ID", T(kFac)}, {"POINT_ID", T("MW-1")}});
  during.clear();
  table = 5;
  Xfer_to_Access(state, 5);
  EXPECT_EQ(during,
            "Transferring 1200 records of Table 5 to temporary table in Access ... ~ 48 Seconds");
}

TEST(XferEstimate, RateOfTheLatestEarlierTableAndItsText) {
  ScriptedUi ui;
  RunState state(ui, Paths{});
  EXPECT_EQ(XferEstimateSeconds(state, 1000), 0);
  state.Tables[1].XferTime = 0.5f;
  state.Tables[2].XferTime = -3.0f;                      // never used: not above zero
  EXPECT_EQ(XferEstimateSeconds(state, 100000), 50000);  // beyond a 16-bit count and result
  state.Tables[3].XferTime = 0.25f;
  EXPECT_EQ(XferEstimateSeconds(state, 10), 2);  // 2.5 to the even neighbour
  EXPECT_EQ(XferEstimateSeconds(state, 14), 4);  // 3.5 to the even neighbour
  const std::pair<int64_t, const char*> texts[] = {
      {0, " ~ 0 Seconds"},     {119, " ~ 119 Seconds"}, {120, " ~ 2.0 Minutes"},
      {150, " ~ 2.0 Minutes"}, {210, " ~ 4.0 Minutes"}, {50000, " ~ 833.0 Minutes"}};
  for (const auto& [seconds, text] : texts) EXPECT_EQ(XferEstimateText(seconds), text) << seconds;
}

TEST_F(XferTest, CancelKeepsTheRowsSoFarAndCancelsEveryLaterTable) {
  AddRow(1, {{"FAC_ID", T(kFac)}, {"POINT_ID", T("mw-1")}});
  AddWell("W-1", {{"T", R(1)}, {"S", R(2)}});
  AddWell("W-2", {{"T", R(3)}});
  AddLevels(3);
  AddSample("S1", {{"PH", R(7)}});
  AddRow(5, {{"FAC_ID", T(kFac)}, {"POINT_ID", T("mw-1")}, {"CONT_NAME", T("Benzene")}});
  state.Tables[2].XferTime = 0.5f;
  CancelAtFirstYieldOf(2);

  EXPECT_EQ(Xfer_to_Access(state, 0), XferOutcome::kCancelled);

  EXPECT_EQ(state.Tables[1].TableStatus, 6);
  for (int n = 2; n <= 5; ++n) {
    EXPECT_EQ(state.Tables[n].TableStatus, 5) << "table " << n;
    EXPECT_EQ(state.StatusLabel(n).caption,
              "Transfer to Access for Table " + std::to_string(n) + " cancelled. ");
  }
  EXPECT_THAT(Rows("SELECT POINT_ID, REVIEWED FROM MT_TEMP2"), ElementsAre("W-1|<null>"));
  EXPECT_THAT(Rows("SELECT POINT_ID, A_PARAMETER FROM MT_TEMP2A"), ElementsAre("W-1|T", "W-1|S"));
  EXPECT_EQ(Count("MT_TEMP3"), 0);
  // Not standardised: the names are still as delivered.
  EXPECT_THAT(Rows("SELECT POINT_ID, CONT_NAME_NOFORMAT, LAB FROM MT_TEMP5"),
              ElementsAre("mw-1||<null>"));
  EXPECT_EQ(state.Tables[2].XferTime, 0.5f);  // a cancelled transfer measures nothing
  EXPECT_FALSE(state.view.menus[menu::kCancelXfer].enabled);
}

TEST_F(XferTest, RecordSetReplacedWhileYieldingIsReadToItsEnd) {
  // Closing the window during a yield shuts down, which replaces every
  // table's record set; the running transfer still owns the rows it reads.
  AddLevels(3);
  ui.on_yield = [this] { state.TempRecordset[3] = std::make_shared<RecordSet>(); };
  Xfer_to_Access(state, 3);
  EXPECT_EQ(Count("MT_TEMP3"), 3);
}

TEST_F(XferTest, FailureRollsTheTableBackToItsPreviousRowsAndIndexes) {
  AddWell("OLD", {{"T", R(1)}});
  AddLevels(2, "OLD");
  Xfer_to_Access(state, 0);
  const std::string indexes = "SELECT name, sql FROM sqlite_master WHERE type = 'index'";
  const std::vector<std::string> before = Rows(indexes);
  const float measured = state.Tables[3].XferTime;
  state.WorkConn.ExecuteNative(
      "CREATE TRIGGER refuse BEFORE INSERT ON MT_TEMP3 WHEN NEW.POINT_ID = 'BAD' "
      "BEGIN SELECT RAISE(ABORT, 'forced failure'); END;"
      "ALTER TABLE MT_TEMP2A DROP COLUMN SOURCE");
  for (int n : {2, 3}) {
    state.Tables[n].TableStatus = 4;  // validated again for a re-import
    state.TempRecordset[n]->Clear();
  }
  AddWell("NEW", {{"T", R(2)}});
  AddLevels(1, "NEW");
  AddLevels(1, "BAD");

  EXPECT_EQ(Xfer_to_Access(state, 2), XferOutcome::kFailed);
  EXPECT_EQ(Xfer_to_Access(state, 3), XferOutcome::kFailed);

  ASSERT_THAT(ui.messages, SizeIs(2));
  EXPECT_THAT(ui.messages[1], MatchesRegex("-?[0-9]+  forced failure"));
  EXPECT_THAT(Rows("SELECT POINT_ID FROM MT_TEMP2"), ElementsAre("OLD"));
  EXPECT_THAT(Rows("SELECT POINT_ID FROM MT_TEMP2A"), ElementsAre("OLD"));
  EXPECT_THAT(Rows("SELECT POINT_ID, REVIEWED FROM MT_TEMP3"), ElementsAre("OLD|NEW", "OLD|NEW"));
  EXPECT_EQ(state.Tables[3].TableStatus, 4);
  EXPECT_EQ(state.StatusLabel(3).caption, "Transfer to Access for Table 3 failed. ");
  EXPECT_EQ(state.Tables[3].XferTime, measured);
  EXPECT_EQ(Rows(indexes), before);
}

TEST_F(XferTest, MissingTableOrWorkbookFieldIsShownNotACrash) {
  state.WorkConn.ExecuteNative("DROP TABLE MT_TEMP3");
  AddLevels(2);
  EXPECT_EQ(Xfer_to_Access(state, 3), XferOutcome::kFailed);
  // The DELETE's failure, then the failure to add the rows.
  ASSERT_THAT(ui.messages, SizeIs(2));
  EXPECT_THAT(ui.messages[0], MatchesRegex("-?[0-9]+  no such table: MT_TEMP3"));
  EXPECT_EQ(state.Tables[3].TableStatus, 4);

  state.TempRecordset[1]->Reset();
  state.TempRecordset[1]->AppendField("FAC_ID", 200, 7);
  state.TempRecordset[1]->Open();
  AddRow(1, {{"FAC_ID", T(kFac)}});
  EXPECT_EQ(Xfer_to_Access(state, 1), XferOutcome::kFailed);
  ASSERT_THAT(ui.messages, SizeIs(3));
  EXPECT_THAT(ui.messages[2], MatchesRegex("3265  .*POINT_ID.*"));
}

}  // namespace
}  // namespace sorvane::testing
