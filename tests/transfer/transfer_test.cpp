// The transfer of typed workbook rows into the temporary tables and the
// standardisation after it (upper case, NEW/PRIOR, matching names, laboratory
// keys, SPLP methods).
#include "transfer/transfer.h"

#include <gmock/gmock.h>

#include <array>
#include <random>
#include <set>

#include "core/errors.h"
#include "support/case_table.h"
#include "transfer/row_pipeline.h"
#include "transfer/standardize.h"
#include "transfer_fixture.h"
#include "workdb/work_database.h"

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
// Table 5 is estimated from the rate of the latest earlier table.
TEST_F(XferTest, WindowShowsTheTransferWhileAndAfterItRuns) {
  for (int i = 0; i < 100000; ++i) AddRow(5, {{"FAC_ID", T(kFac)}, {"POINT_ID", T("MW-1")}});
  state.Tables[4].XferTime = 0.0004f;
  std::string during;
  bool menu_during = false;
  int pointer_during = 0;
  ui.on_yield = [&] {
    if (!during.empty()) return;
    during = state.StatusLabel(5).caption;
    menu_during = state.view.menus[menu::kCancelXfer].enabled;
    pointer_during = state.view.mouse_pointer;
    EXPECT_TRUE(state.StatusLabel(5).highlighted);
  };

  Xfer_to_Access(state, 5);

  EXPECT_EQ(during,
            "Transferring 100000 records of Table 5 to temporary table in Access ... ~ 40 Seconds");
  EXPECT_TRUE(menu_during);
  EXPECT_EQ(pointer_during, kPointerArrowHourglass);
  EXPECT_EQ(state.StatusLabel(5).caption,
            "100000 records of Table 5 transferred to temporary table in Access. ");
  EXPECT_FALSE(state.view.menus[menu::kCancelXfer].enabled);
  EXPECT_EQ(state.view.mouse_pointer, kPointerDefault);
  EXPECT_EQ(state.view.ProgressBar.max, 100001);
  EXPECT_EQ(state.view.ProgressBar.value, 100001);
  EXPECT_EQ(Count("MT_TEMP5"), 100000);
  // The window is given a turn every few milliseconds, not at every record.
  EXPECT_LE(ui.yields, 100000 / 256 + 1);
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

TEST_F(XferTest, CancelSeenOnceTheRowsAreInLeavesThatTableWholeAndStopsTheNext) {
  AddRow(1, {{"FAC_ID", T(kFac)}, {"POINT_ID", T("mw-1")}});
  AddWell("W-1");
  ui.on_yield = [this] {
    if (state.StatusLabel(1).caption.starts_with("Standardizing")) mnuCancelXfer_Click(state);
  };

  EXPECT_EQ(Xfer_to_Access(state, 0), XferOutcome::kCancelled);

  EXPECT_EQ(state.Tables[1].TableStatus, 6);
  EXPECT_THAT(state.StatusLabel(1).caption,
              ::testing::StartsWith("1 records of Table 1 transferred"));
  EXPECT_THAT(Rows("SELECT POINT_ID, REVIEWED FROM MT_TEMP1"), ElementsAre("MW-1|NEW"));
  EXPECT_EQ(state.Tables[2].TableStatus, 5);
  EXPECT_THAT(Rows("SELECT POINT_ID, REVIEWED FROM MT_TEMP2"), ElementsAre("W-1|<null>"));
}

TEST_F(XferTest, RecordSetReplacedWhileYieldingIsReadToItsEnd) {
  // Closing the window during a yield shuts down, which replaces every
  // table's record set; the running transfer still owns the rows it reads.
  AddLevels(3);
  ui.on_yield = [this] { state.TempRecordset[3] = std::make_shared<RecordSet>(); };
  Xfer_to_Access(state, 3);
  EXPECT_EQ(Count("MT_TEMP3"), 3);
}

TEST_F(XferTest, RowsGoOverAsReadAndAllOfThemWhateverTheGridsSortAndFilter) {
  // Places in the workbook follow the order read: a sorted or filtered grid
  // must not reorder or drop what goes over.
  AddWell("W-B");
  AddWell("W-A");
  AddWell("W-C");
  state.TempRecordset[2]->Sort("POINT_ID");
  state.TempRecordset[2]->SetFilter("POINT_ID = 'W-A'");
  Xfer_to_Access(state, 2);
  EXPECT_THAT(Rows("SELECT POINT_ID FROM MT_TEMP2 ORDER BY rowid"),
              ElementsAre("W-B", "W-A", "W-C"));
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

TEST(NormaliseName, MatchingFormsOfLaboratoriesAndContaminants) {
  for (const auto& c : CaseTable("matching_names.txt"))
    EXPECT_EQ(c[0] == "lab" ? NormaliseLabName(c[1]) : NormaliseName(c[1]), c[2]) << c[1];
}

// The shipped lists hold the matching form of every name, one name per form:
// otherwise a laboratory or contaminant written correctly is never found.
TEST(NormaliseName, ShippedListsHoldTheMatchingFormOfEachName) {
  Connection conn;
  OpenTestWorkDb(conn);
  for (const auto& [sql, normalise] :
       {std::pair{"SELECT NAME, NOFORMAT FROM MT_LAB", &NormaliseLabName},
        std::pair{"SELECT ANALYTE, ANALYTENOFORMAT FROM MT_ANALYTE", &NormaliseName}}) {
    RecordSet rs = conn.QueryNative(sql);
    std::set<std::string> seen;
    for (int64_t i = 0; i < rs.RecordCount(); ++i) {
      const std::string name = rs.At(i, 0).ToDisplay(), form = rs.At(i, 1).ToDisplay();
      EXPECT_EQ(form, normalise(name)) << name;
      EXPECT_TRUE(seen.insert(form).second) << "two names reduce to " << form;
    }
  }
}

class StandardizeTest : public TransferTest {
 protected:
  void AddResult(const char* sample, std::initializer_list<std::pair<const char*, Value>> extra) {
    AddRow(5, {{"FAC_ID", T(kFac)}, {"POINT_ID", T("mw-1")}, {"SAM_ID", T(sample)}});
    for (const auto& [name, v] : extra) state.TempRecordset[5]->SetValue(name, v);
  }
  std::string LabKey(const char* noformat) {
    return state.WorkConn
        .QueryValue("SELECT LAB FROM MT_LAB WHERE NOFORMAT = ?1", {Value::Text(noformat)})
        .ToDisplay();
  }
};

TEST_F(StandardizeTest, ResultsGetMatchingNamesLaboratoryKeysAndMethods) {
  AddResult("S1", {{"A_LABORATORY", T("Acme Laboratories, Inc.")},
                   {"CONT_NAME", T("1,1-Dichloroethane")},
                   {"METHOD", T("SPLP 6010")}});
  AddResult("S2", {{"A_LABORATORY", T("XYZ LABORATORIES")}, {"METHOD", T("splp-8260")}});
  AddResult("S3", {{"A_LABORATORY", T("Nowhere Testing Shed")}, {"METHOD", T("6010 SPLP")}});
  AddResult("S4", {{"METHOD", T("8260b")}, {"UNITS", T("ug/l")}, {"LAB_Q", T("uj")}});

  Xfer_to_Access(state, 5);

  ASSERT_THAT(ui.messages, IsEmpty());
  EXPECT_THAT(
      Rows("SELECT SAM_ID, POINT_ID, LABNOFORMAT, LAB, CONT_NAME_NOFORMAT, METHOD, UNITS, "
           "LAB_Q FROM MT_TEMP5 ORDER BY SAM_ID"),
      ElementsAre("S1|MW-1|ACMELAB|" + LabKey("ACMELAB") + "|11DICHLOROETHANE|1312|<null>|<null>",
                  "S2|MW-1|XYZLAB|" + LabKey("XYZLAB") + "||1312|<null>|<null>",
                  "S3|MW-1|NOWHERETESTINGSHED|0||6010 SPLP|<null>|<null>",
                  "S4|MW-1||0||8260B|UG/L|UJ"));
}

// Every value of a table with its kind, row by row, as the engine quotes it.
std::vector<std::string> Dump(Connection& conn, const std::string& table) {
  RecordSet cols = conn.QueryNative("SELECT name FROM pragma_table_info('" + table + "')");
  std::string sql = "SELECT ''";
  for (int64_t c = 0; c < cols.RecordCount(); ++c)
    sql += "||quote(" + cols.At(c, 0).AsText() + ")||'|'";
  RecordSet rs = conn.QueryNative(sql + " FROM " + table + " ORDER BY rowid");
  std::vector<std::string> out;
  for (int64_t r = 0; r < rs.RecordCount(); ++r) out.push_back(rs.At(r, 0).AsText());
  return out;
}

// Rows standardised as they are bound end exactly as the statements leave
// them: letters beyond ASCII, numbers and dates in text columns, missing
// values, SPLP in any case, laboratory names in any case; with MT_LAB's
// matching forms unique, and with one form given two keys.
TEST_F(StandardizeTest, RowsStandardisedAsBoundEqualTheStatements) {
  const Value I = Value::Integer(42), M;
  std::vector<std::vector<Value>> rows = {
      {T("x"), T("mw-é1ß"), T("s-1"), T("splp 6010"), I, T("1,1-dichloroethane"), R(2.5), T("ug/l"),
       T("uj"), M, T("c"), T("acme laboratories, inc."), T("old")},
      {M, R(1e20), D("6/30/2002"), T("ſplp"), M, R(0.1), M, R(-0.0), I, R(1), M, R(12.5), M},
      {T(""), T("Ünï"), I, T("SpL"), M, M, M, M, M, M, M, T("ACME LAB"), T("")},
      {T("a"), T("b"), T("c"), T("SPLPx"), M, T("Zinc (total)"), M, M, T("j"), M, M,
       T("Acme Laboratory"), M},
  };
  const std::vector<std::string> columns = {
      "SITE",  "POINT_ID", "SAM_ID", "METHOD",   "CAS_NUMBER", "CONT_NAME",         "CONCENTRATION",
      "UNITS", "LAB_Q",    "MDL",    "COMMENTS", "LABORATORY", "CONT_NAME_NOFORMAT"};
  bool prior_decided = false;
  auto both_ways = [&](const std::string& name, const std::vector<std::string>& cols) {
    const std::string table = "MT_TEMP" + name;
    auto insert = [&](const RowStandardizer* standardizer) {
      state.WorkConn.ExecuteNative("DELETE FROM " + table);
      Inserter insert(state.WorkConn, table, standardizer ? standardizer->columns() : cols);
      for (std::vector<Value> row : rows) {
        row.resize(cols.size());
        if (standardizer) standardizer->Apply(row);
        for (size_t k = 0; k < row.size(); ++k) insert.Bind(static_cast<int>(k), row[k]);
        insert.Step();
      }
    };
    insert(nullptr);
    Standardize(state, name);
    const std::vector<std::string> expected = Dump(state.WorkConn, table);
    RowStandardizer standardizer(state.WorkConn, name, cols);
    if (state.FlagByReviewDate()) standardizer.FlagPriorBy(ReviewDateLiteral(state));
    insert(&standardizer);
    FinishStandardize(state, standardizer);
    EXPECT_EQ(Dump(state.WorkConn, table), expected) << table;
    prior_decided = standardizer.prior_decided();
    return standardizer.lab_keys_filled();
  };
  EXPECT_TRUE(both_ways("5", columns));
  both_ways("1", {"SITE", "POINT_ID", "COL_METHOD", "CONTRACT"});
  both_ways("4A", {"SITE", "POINT_ID", "SAM_ID", "FIELDTEST", "VALUE", "UNITS"});
  state.WorkConn.ExecuteNative(
      "INSERT INTO MT_LAB (LAB, NOFORMAT) SELECT (SELECT max(LAB) + 1 FROM MT_LAB), "
      "lower(NOFORMAT) FROM MT_LAB WHERE NOFORMAT = 'ACMELAB'");
  EXPECT_FALSE(both_ways("5", columns));

  // PRIOR through the samples: keys that differ in ASCII case only, letters
  // beyond ASCII, missing keys, a sample after the review date; then a key
  // holding a NUL, which leaves the flags to the statement.
  FlagAfter("6/30/2002");
  state.WorkConn.ExecuteNative(
      "INSERT INTO MT_TEMP4 (SITE, POINT_ID, SAM_ID, SAM_DATE) VALUES "
      "('X', 'MW-é1ß', 'S-1', '2002-01-01 00:00:00'), ('', 'ÜNÏ', '42', '2002-06-30 00:00:00'), "
      "('', 'Ünï', '42', '2002-06-30 00:00:00'), ('A', 'B', 'C', '2002-07-01 00:00:00'), "
      "(NULL, '1.0E+20', '2002-06-30 00:00:00', '2001-01-01 00:00:00')");
  const std::vector<std::string> fields = {"SITE", "POINT_ID", "SAM_ID", "FIELDTEST", "VALUE"};
  for (const std::string name : {"5", "4A"}) {
    both_ways(name, name == "5" ? columns : fields);
    EXPECT_TRUE(prior_decided) << name;
    // Only ASCII letters fold: "MW-é1ß" upper-cased is another key than the sample's.
    EXPECT_THAT(Rows("SELECT POINT_ID FROM MT_TEMP" + name + " WHERE REVIEWED = 'PRIOR'"),
                ElementsAre("ÜNÏ"))
        << name;
  }
  // Rows drawn at random from such pieces, in every column, some keys shared
  // with the samples above, the laboratories' keys unambiguous again: the two
  // ways still agree.
  state.WorkConn.ExecuteNative("DELETE FROM MT_LAB WHERE LAB = (SELECT max(LAB) FROM MT_LAB)");
  std::mt19937 random(12);
  const std::vector<std::string> pieces = {"a",    "A",     "é",       "É",
                                           "ß",    "ſ",     "ı",       "Ü",
                                           " ",    "-",     ",",       ".",
                                           "0",    "1",     "e",       "+",
                                           "splp", "SPLP ", "Acme",    "acme laboratories, inc.",
                                           "Lab",  "1e5",   "(total)", "MW-é1ß",
                                           "S-1",  "ÜNÏ",   "42"};
  auto any_value = [&]() -> Value {
    switch (random() % 6) {
      case 0:
        return M;
      case 1:
        return I;
      case 2:
        return R(std::array{0.0, -0.0, 1e20, 2.5, -7.0}[random() % 5]);
      case 3:
        return D("6/30/2002");
      default: {
        std::string s;
        for (unsigned k = random() % 4; k > 0; --k) s += pieces[random() % pieces.size()];
        return T(s);
      }
    }
  };
  rows.assign(400, {});
  for (std::vector<Value>& row : rows) {
    for (size_t c = 0; c < columns.size(); ++c) row.push_back(any_value());
    // The samples' keys as texts, so that the rows' flags are decided as bound.
    for (size_t c = 0; c < 3; ++c) row[c] = T(row[c].IsMissing() ? "" : row[c].ToDisplay());
  }
  EXPECT_TRUE(both_ways("5", columns));
  EXPECT_TRUE(prior_decided);
  both_ways("4A", fields);
  EXPECT_TRUE(prior_decided);
  both_ways("1", {"SITE", "POINT_ID", "COL_METHOD", "CONTRACT"});
  rows.push_back({T("A"), T("b"), T(std::string("c\0d", 3))});
  both_ways("5", columns);
  EXPECT_FALSE(prior_decided);
}

// Where no window shows the rows, a large table is read and standardised on a
// second core: the database gets the same rows as on one (field tests too, one
// row per value present), numbers in text columns (which the engine converts)
// included. A cancel at the first row
// stops the second core and keeps that row.
TEST_F(StandardizeTest, SecondCoreWritesTheSameRowsAndStopsAtACancel) {
  for (int i = 0; i < 9000; ++i) {
    AddResult(("S" + std::to_string(i)).c_str(),
              {{"POINT_ID", i % 7 ? T("mw-" + std::to_string(i % 50)) : R(i)},
               {"CONT_NAME", T("1,1-dichloroethane")},
               {"A_LABORATORY", T(i % 3 ? "acme laboratories, inc." : "Elsewhere")},
               {"METHOD", T(i % 5 ? "splp 6010" : "8260")}});
    AddRow(4, {{"FAC_ID", T(kFac)},
               {"POINT_ID", i % 11 ? T("mw-1") : R(i)},
               {"SAM_ID", T("S" + std::to_string(i))},
               {"PH", i % 3 ? R(7) : Value()},
               {"TEMP", i % 2 ? R(i) : Value()}});
  }
  std::vector<std::string> dumps[2];
  for (bool keeps : {true, false}) {
    state.KeepsImportedRows = keeps;
    for (int n : {4, 5}) {
      state.Tables[n].TableStatus = 4;
      ASSERT_EQ(Xfer_to_Access(state, n), XferOutcome::kTransferred);
    }
    dumps[keeps] = Dump(state.WorkConn, "MT_TEMP5");
    for (const std::string& row : Dump(state.WorkConn, "MT_TEMP4A")) dumps[keeps].push_back(row);
  }
  EXPECT_THAT(dumps[false], SizeIs(9000 + 6000 + 4500));
  EXPECT_EQ(dumps[false], dumps[true]);

  state.Tables[5].TableStatus = 4;
  ui.on_yield = [this] { mnuCancelXfer_Click(state); };
  EXPECT_EQ(Xfer_to_Access(state, 5), XferOutcome::kCancelled);
  EXPECT_EQ(Count("MT_TEMP5"), 1);
}

TEST(RowPipeline, FailureComesWithItsRowAndAnEarlyEndStopsTheThread) {
  for (bool second_thread : {false, true}) {
    RowPipeline<PreparedRow> rows(
        5000,
        [](int64_t i, PreparedRow& row) {
          if (i == 3000) throw Error(5, "bad row");
          row.values = {Value::Integer(i)};
        },
        second_thread);
    for (int64_t i = 0; i < 3000; ++i) ASSERT_EQ(rows.Take(i).values[0].AsInteger(), i);
    EXPECT_THROW(rows.Take(3000), Error);
  }
  RowPipeline<PreparedRow> early(
      100000, [](int64_t, PreparedRow&) {}, true);
  early.Take(0);  // and gone, with most of the table never prepared
}

// MW-1: sampled on the review date 6/30/02. MW-2: sampled the day after.
// MW-3: water levels before and after the review date. MW-4: nothing dated.
class PriorFlagTest : public StandardizeTest {
 protected:
  void SetUp() override {
    for (const char* p : {"MW-1", "MW-2", "MW-3", "MW-4"}) {
      AddRow(1, {{"FAC_ID", T(kFac)}, {"POINT_ID", T(p)}});
      AddRow(2, {{"FAC_ID", T(kFac)}, {"POINT_ID", T(p)}, {"T", R(1)}});
    }
    AddRow(3, {{"FAC_ID", T(kFac)}, {"POINT_ID", T("MW-3")}, {"WL_DATE", D("6/1/2002")}});
    AddRow(3, {{"FAC_ID", T(kFac)}, {"POINT_ID", T("MW-3")}, {"WL_DATE", D("7/15/2002")}});
    for (const auto& [point, sample, date] :
         {std::tuple{"MW-1", "S1", "6/30/2002"}, std::tuple{"MW-2", "S2", "7/1/2002"}}) {
      AddRow(4, {{"FAC_ID", T(kFac)},
                 {"POINT_ID", T(point)},
                 {"SAM_ID", T(sample)},
                 {"SAM_DATE", D(date)},
                 {"PH", R(7)}});
      AddRow(5, {{"FAC_ID", T(kFac)}, {"POINT_ID", T(point)}, {"SAM_ID", T(sample)}});
    }
  }

  std::vector<std::string> Flags(const std::string& table, const std::string& key) {
    return Rows("SELECT " + key + ", REVIEWED FROM " + table + " ORDER BY " + key);
  }
};

TEST_F(PriorFlagTest, FlagsFollowTheReviewDateAcrossAllTables) {
  // Directly after a new site, tables 3 and 4 are still empty when tables 1,
  // 2 and 2A are flagged, so none of their points is PRIOR yet.
  FlagAfter("6/30/02");
  Xfer_to_Access(state, 0);
  EXPECT_THAT(Flags("MT_TEMP1", "POINT_ID"),
              ElementsAre("MW-1|NEW", "MW-2|NEW", "MW-3|NEW", "MW-4|NEW"));

  for (int n = 1; n <= 5; ++n) state.Tables[n].TableStatus = 4;
  Xfer_to_Access(state, 0);
  ASSERT_THAT(ui.messages, IsEmpty());
  const auto points = ElementsAre("MW-1|PRIOR", "MW-2|NEW", "MW-3|PRIOR", "MW-4|NEW");
  EXPECT_THAT(Flags("MT_TEMP1", "POINT_ID"), points);
  EXPECT_THAT(Flags("MT_TEMP2", "POINT_ID"), points);
  EXPECT_THAT(Flags("MT_TEMP2A", "POINT_ID"), points);
  EXPECT_THAT(Flags("MT_TEMP3", "WL_DATE"), ElementsAre("6/1/2002|PRIOR", "7/15/2002|NEW"));
  for (const char* table : {"MT_TEMP4", "MT_TEMP4A", "MT_TEMP5"})
    EXPECT_THAT(Flags(table, "SAM_ID"), ElementsAre("S1|PRIOR", "S2|NEW")) << table;

  // "All Data" flags every row NEW, whatever date is typed.
  state.view.Option1[0].selected = true;
  state.view.Option1[1].selected = false;
  for (int n = 1; n <= 5; ++n) state.Tables[n].TableStatus = 4;
  Xfer_to_Access(state, 0);
  for (const char* t : kTempTables)
    EXPECT_EQ(Count(std::string(t) + " WHERE REVIEWED <> 'NEW'"), 0) << t;
}

TEST_F(PriorFlagTest, ReviewDateIsTheDateTypedInAnyFormAndNothingElse) {
  for (const char* typed : {"6/30/2002", "2002-06-30", "30-JUN-02", " 06/30/02 "}) {
    FlagAfter(typed);
    state.Tables[4].TableStatus = 4;
    Xfer_to_Access(state, 4);
    EXPECT_THAT(Flags("MT_TEMP4", "SAM_ID"), ElementsAre("S1|PRIOR", "S2|NEW")) << typed;
    EXPECT_EQ(ReviewDateLiteral(state), "6/30/2002");
  }
  EXPECT_THAT(ui.messages, IsEmpty());

  state.Tables[4].TableStatus = 4;
  FlagAfter("13/45/2002' OR 1=1 --");
  EXPECT_EQ(Xfer_to_Access(state, 4), XferOutcome::kFailed);
  ASSERT_THAT(ui.messages, SizeIs(1));
  EXPECT_EQ(state.Tables[4].TableStatus, 4);
  EXPECT_THAT(Flags("MT_TEMP4", "SAM_ID"), ElementsAre("S1|PRIOR", "S2|NEW"));  // kept
  EXPECT_EQ(Count("MT_TEMP4A"), 2);
}

}  // namespace
}  // namespace sorvane::testing
