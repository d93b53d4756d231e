// Standardisation after a transfer: upper case, NEW/PRIOR by the review date,
// laboratory and contaminant names in their matching form, laboratory keys and
// SPLP methods.
#include "transfer/standardize.h"

#include <gmock/gmock.h>

#include <set>

#include "support/case_table.h"
#include "transfer/transfer.h"
#include "transfer_fixture.h"
#include "workdb/work_database.h"

namespace sorvane::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;

constexpr const char* kFac = "1234567";

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
  const std::vector<std::vector<Value>> rows = {
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
    const RowStandardizer standardizer(state.WorkConn, name, cols);
    insert(&standardizer);
    FinishStandardize(state, standardizer);
    EXPECT_EQ(Dump(state.WorkConn, table), expected) << table;
    return standardizer.lab_keys_filled();
  };
  EXPECT_TRUE(both_ways("5", columns));
  both_ways("1", {"SITE", "POINT_ID", "COL_METHOD", "CONTRACT"});
  both_ways("4A", {"SITE", "POINT_ID", "SAM_ID", "FIELDTEST", "VALUE", "UNITS"});
  state.WorkConn.ExecuteNative(
      "INSERT INTO MT_LAB (LAB, NOFORMAT) SELECT (SELECT max(LAB) + 1 FROM MT_LAB), "
      "lower(NOFORMAT) FROM MT_LAB WHERE NOFORMAT = 'ACMELAB'");
  EXPECT_FALSE(both_ways("5", columns));
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
