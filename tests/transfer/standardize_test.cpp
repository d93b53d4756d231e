// Standardisation after a transfer: upper case, NEW/PRIOR by the review date,
// laboratory and contaminant names in their matching form, laboratory keys and
// SPLP methods.
#include "transfer/standardize.h"

#include <gmock/gmock.h>

#include "core/errors.h"
#include "transfer/transfer.h"
#include "transfer_fixture.h"

namespace sorvane::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;

constexpr const char* kFac = "1234567";

TEST(NormaliseLabName, MatchingForms) {
  const std::pair<const char*, const char*> cases[] = {
      {"Acme Laboratories, Inc.", "ACMELAB"},
      {"ACME LAB", "ACMELAB"},
      {"Acme Laboratory", "ACMELAB"},
      {"XYZ LABORATORIES", "XYZLAB"},           // LABORATORIES before LABORATORY: not XYZLABIES
      {"Zinc Analytics Lab", "ZANALYTICSLAB"},  // INC goes inside words too
      {"Tri-State (Env.) & Sons + Co/Lab *", "TRISTATEENVSONSCOLAB"},
      {"", ""},
  };
  for (const auto& [name, expected] : cases) EXPECT_EQ(NormaliseLabName(name), expected) << name;
}

TEST(NormaliseName, ContaminantsKeepTheirWords) {
  const std::pair<const char*, const char*> cases[] = {
      {"1,1-Dichloroethane", "11DICHLOROETHANE"},
      {"Benzo(a)pyrene", "BENZOAPYRENE"},
      {"Zinc, total", "ZINCTOTAL"},  // no word replacement for contaminants
      {"cis-1,2-Dichloroethene", "CIS12DICHLOROETHENE"},
      {"", ""},
  };
  for (const auto& [name, expected] : cases) EXPECT_EQ(NormaliseName(name), expected) << name;
}

class StandardizeTest : public TransferTest {
 protected:
  void AddResult(const char* sample, std::initializer_list<std::pair<const char*, Value>> extra) {
    AddRow(5, {{"FAC_ID", T(kFac)}, {"POINT_ID", T("mw-1")}, {"SAM_ID", T(sample)}});
    for (const auto& [name, v] : extra) state.TempRecordset[5]->SetValue(name, v);
  }
  int64_t LabKey(const char* noformat) {
    return static_cast<int64_t>(
        state.WorkConn
            .QueryValue("SELECT LAB FROM MT_LAB WHERE NOFORMAT = ?1", {Value::Text(noformat)})
            .ToDouble());
  }
};

TEST_F(StandardizeTest, LaboratoriesGetTheirMatchingFormAndKey) {
  AddResult("S1", {{"A_LABORATORY", T("Acme Laboratories, Inc.")}});
  AddResult("S2", {{"A_LABORATORY", T("ACME LAB")}});
  AddResult("S3", {{"A_LABORATORY", T("XYZ LABORATORIES")}});
  AddResult("S4", {{"A_LABORATORY", T("Nowhere Testing Shed")}});
  AddResult("S5", {});

  Xfer_to_Access(state, 5);

  ASSERT_THAT(ui.messages, IsEmpty());
  const int64_t acme = LabKey("ACMELAB");
  const int64_t xyz = LabKey("XYZLAB");
  ASSERT_GT(acme, 0);
  ASSERT_GT(xyz, 0);
  EXPECT_THAT(
      Rows("SELECT SAM_ID, LABNOFORMAT, LAB FROM MT_TEMP5 ORDER BY SAM_ID"),
      ElementsAre("S1|ACMELAB|" + std::to_string(acme), "S2|ACMELAB|" + std::to_string(acme),
                  "S3|XYZLAB|" + std::to_string(xyz), "S4|NOWHERETESTINGSHED|0", "S5||0"));
}

TEST_F(StandardizeTest, ContaminantNamesAndMethods) {
  AddResult("S1", {{"CONT_NAME", T("1,1-Dichloroethane")}, {"METHOD", T("SPLP 6010")}});
  AddResult("S2", {{"CONT_NAME", T("Benzo(a)pyrene")}, {"METHOD", T("splp-8260")}});
  AddResult("S3", {{"METHOD", T("SPLP")}});
  AddResult("S4", {{"CONT_NAME", T("Zinc")}, {"METHOD", T("6010 SPLP")}});
  AddResult("S5", {{"METHOD", T("8260b")}, {"UNITS", T("ug/l")}, {"LAB_Q", T("uj")}});

  Xfer_to_Access(state, 5);

  EXPECT_THAT(
      Rows("SELECT SAM_ID, CONT_NAME, CONT_NAME_NOFORMAT, METHOD, UNITS, LAB_Q FROM MT_TEMP5 "
           "ORDER BY SAM_ID"),
      ElementsAre("S1|1,1-Dichloroethane|11DICHLOROETHANE|1312|<null>|<null>",
                  "S2|Benzo(a)pyrene|BENZOAPYRENE|1312|<null>|<null>",
                  "S3|<null>||1312|<null>|<null>", "S4|Zinc|ZINC|6010 SPLP|<null>|<null>",
                  "S5|<null>||8260B|UG/L|UJ"));
  EXPECT_EQ(Count("MT_TEMP5 WHERE POINT_ID = 'MW-1' COLLATE BINARY"), 5);
}

// Records the label of one table at every repaint, to follow the steps.
class CaptionLog : public ScriptedUi {
 public:
  void Refresh() override {
    ScriptedUi::Refresh();
    if (state == nullptr) return;
    const std::string& c = state->StatusLabel(table).caption;
    if (captions.empty() || captions.back() != c) captions.push_back(c);
  }
  RunState* state = nullptr;
  int table = 5;
  std::vector<std::string> captions;
};

TEST(StandardizeCaptions, Table5ReportsEachStep) {
  CaptionLog ui;
  RunState state(ui, Paths{});
  OpenTestWorkDb(state.WorkConn);
  state.view.Option1[1].selected = true;
  state.view.me_ReviewDate.text = "6/30/02";
  ui.state = &state;

  Standardize(state, "5");

  EXPECT_THAT(ui.captions,
              ElementsAre("Standardizing Upper Case for some fields.", "Flagging Prior Data.",
                          "Normalizing Laboratory Names...", "Standardizing SPLP Method...",
                          "Standardizing Contaminant Names."));
}

TEST(StandardizeCaptions, FlaggingIsShownBeforeAnUnreadableDateFails) {
  CaptionLog ui;
  RunState state(ui, Paths{});
  OpenTestWorkDb(state.WorkConn);
  state.view.Option1[1].selected = true;
  state.view.me_ReviewDate.text = "13/45/02";
  ui.state = &state;
  ui.table = 3;

  EXPECT_THROW(Standardize(state, "3"), sorvane::Error);
  EXPECT_THAT(ui.captions,
              ElementsAre("Standardizing Upper Case for some fields.", "Flagging Prior Data."));
}

TEST_F(StandardizeTest, AllDataFlagsEveryRowNew) {
  AddRow(1, {{"FAC_ID", T(kFac)}, {"POINT_ID", T("MW-1")}});
  AddRow(2, {{"FAC_ID", T(kFac)}, {"POINT_ID", T("MW-1")}, {"T", R(1)}});
  AddRow(3, {{"FAC_ID", T(kFac)}, {"POINT_ID", T("MW-1")}, {"WL_DATE", D("1/1/1990")}});
  AddRow(4, {{"FAC_ID", T(kFac)},
             {"POINT_ID", T("MW-1")},
             {"SAM_ID", T("S1")},
             {"SAM_DATE", D("1/1/1990")},
             {"PH", R(7)}});
  AddResult("S1", {});
  state.view.me_ReviewDate.text = "6/30/02";  // typed, but "All Data" is selected

  Xfer_to_Access(state, 0);

  for (const char* t :
       {"MT_TEMP1", "MT_TEMP2", "MT_TEMP2A", "MT_TEMP3", "MT_TEMP4", "MT_TEMP4A", "MT_TEMP5"}) {
    EXPECT_EQ(Count(t), 1) << t;
    EXPECT_EQ(Count(std::string(t) + " WHERE REVIEWED = 'NEW'"), 1) << t;
  }
}

// One facility transferred twice: tables 3 and 4 first (an earlier import),
// then all tables, with the review date 6/30/02.
class PriorFlagTest : public StandardizeTest {
 protected:
  void SetUp() override {
    // MW-1: sampled on the review date. MW-2: sampled the day after.
    // MW-3: water levels before and after the review date. MW-4: nothing dated.
    for (const char* p : {"MW-1", "MW-2", "MW-3", "MW-4"}) {
      AddRow(1, {{"FAC_ID", T(kFac)}, {"POINT_ID", T(p)}});
      AddRow(2, {{"FAC_ID", T(kFac)}, {"POINT_ID", T(p)}, {"T", R(1)}});
    }
    AddRow(3, {{"FAC_ID", T(kFac)}, {"POINT_ID", T("MW-3")}, {"WL_DATE", D("6/1/2002")}});
    AddRow(3, {{"FAC_ID", T(kFac)}, {"POINT_ID", T("MW-3")}, {"WL_DATE", D("7/15/2002")}});
    AddRow(4, {{"FAC_ID", T(kFac)},
               {"POINT_ID", T("MW-1")},
               {"SAM_ID", T("S1")},
               {"SAM_DATE", D("6/30/2002")},
               {"PH", R(7)}});
    AddRow(4, {{"FAC_ID", T(kFac)},
               {"POINT_ID", T("MW-2")},
               {"SAM_ID", T("S2")},
               {"SAM_DATE", D("7/1/2002")},
               {"PH", R(6)}});
    AddRow(5, {{"FAC_ID", T(kFac)}, {"POINT_ID", T("MW-1")}, {"SAM_ID", T("S1")}});
    AddRow(5, {{"FAC_ID", T(kFac)}, {"POINT_ID", T("MW-2")}, {"SAM_ID", T("S2")}});
  }

  std::vector<std::string> Flags(const std::string& table, const std::string& key) {
    return Rows("SELECT " + key + ", REVIEWED FROM " + table + " ORDER BY " + key);
  }
};

TEST_F(PriorFlagTest, FlagsFollowTheReviewDateAcrossAllTables) {
  FlagAfter("6/30/02");
  Xfer_to_Access(state, 3);
  Xfer_to_Access(state, 4);
  Xfer_to_Access(state, 0);

  ASSERT_THAT(ui.messages, IsEmpty());
  const auto points = ElementsAre("MW-1|PRIOR", "MW-2|NEW", "MW-3|PRIOR", "MW-4|NEW");
  EXPECT_THAT(Flags("MT_TEMP1", "POINT_ID"), points);
  EXPECT_THAT(Flags("MT_TEMP2", "POINT_ID"), points);
  EXPECT_THAT(Flags("MT_TEMP2A", "POINT_ID"), points);
  EXPECT_THAT(Flags("MT_TEMP3", "WL_DATE"), ElementsAre("6/1/2002|PRIOR", "7/15/2002|NEW"));
  EXPECT_THAT(Flags("MT_TEMP4", "SAM_ID"), ElementsAre("S1|PRIOR", "S2|NEW"));
  EXPECT_THAT(Flags("MT_TEMP4A", "SAM_ID"), ElementsAre("S1|PRIOR", "S2|NEW"));
  EXPECT_THAT(Flags("MT_TEMP5", "SAM_ID"), ElementsAre("S1|PRIOR", "S2|NEW"));
}

TEST_F(PriorFlagTest, PointsFollowTheSamplesAndLevelsTransferredBefore) {
  // Directly after a new site, tables 3 and 4 are still empty when tables 1,
  // 2 and 2A are flagged, so none of their points is PRIOR yet.
  FlagAfter("6/30/02");
  Xfer_to_Access(state, 0);

  EXPECT_EQ(Count("MT_TEMP1 WHERE REVIEWED = 'PRIOR'"), 0);
  EXPECT_EQ(Count("MT_TEMP2 WHERE REVIEWED = 'PRIOR'"), 0);
  EXPECT_EQ(Count("MT_TEMP2A WHERE REVIEWED = 'PRIOR'"), 0);
  EXPECT_THAT(Flags("MT_TEMP4", "SAM_ID"), ElementsAre("S1|PRIOR", "S2|NEW"));
  EXPECT_THAT(Flags("MT_TEMP5", "SAM_ID"), ElementsAre("S1|PRIOR", "S2|NEW"));
}

TEST_F(PriorFlagTest, ReviewDateIsTheDateTypedInAnyForm) {
  for (const char* typed : {"6/30/2002", "2002-06-30", "30-JUN-02", " 06/30/02 "}) {
    SCOPED_TRACE(typed);
    FlagAfter(typed);
    Xfer_to_Access(state, 4);
    EXPECT_THAT(Flags("MT_TEMP4", "SAM_ID"), ElementsAre("S1|PRIOR", "S2|NEW"));
    EXPECT_EQ(ReviewDateLiteral(state), "6/30/2002");
  }
  EXPECT_THAT(ui.messages, IsEmpty());
}

TEST_F(PriorFlagTest, ReviewDateThatIsNotADateFailsTheTableWithoutLosingIt) {
  Xfer_to_Access(state, 4);
  ASSERT_EQ(state.Tables[4].TableStatus, 6);
  state.Tables[4].TableStatus = 4;
  FlagAfter("13/45/2002' OR 1=1 --");

  Xfer_to_Access(state, 4);

  ASSERT_THAT(ui.messages, SizeIs(1));
  EXPECT_EQ(state.Tables[4].TableStatus, 4);
  EXPECT_THAT(Flags("MT_TEMP4", "SAM_ID"), ElementsAre("S1|NEW", "S2|NEW"));
  EXPECT_EQ(Count("MT_TEMP4A"), 2);
}

}  // namespace
}  // namespace sorvane::testing
