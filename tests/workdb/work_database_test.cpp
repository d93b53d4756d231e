// A work database built from the shipped files: every table and column the program
// addresses, the two saved queries as the checks use them, reference data that
// follows the rules the standardisation applies to the workbook rows, and an
// update database that carries the tables it names.

#include "workdb/work_database.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/text.h"
#include "support/work_db.h"
#include "workdb/connection.h"

namespace sorvane {
namespace {

// The normalised names the standardisation gives to contaminants and laboratories.
std::string NoFormat(std::string_view name) {
  std::string s(name);
  for (char c : {'-', ',', ' ', ')', '(', '&', '/', '.', '+', '*'}) s = StripChar(s, c);
  return UpperCase(s);
}

std::string LabNoFormat(std::string_view name) {
  std::string s = NoFormat(name);
  s = ReplaceAll(s, "LABORATORIES", "LAB");
  s = ReplaceAll(s, "LABORATORY", "LAB");
  return ReplaceAll(s, "INC", "");
}

bool CasCheckDigitOk(const std::string& cas) {
  // NNNNNNN-NN-N: the last digit is the sum of the others weighted 1, 2, 3 ...
  // from the right, modulo 10.
  size_t first = cas.find('-');
  size_t second = cas.rfind('-');
  if (first == std::string::npos || first == second || second + 2 != cas.size()) return false;
  if (first < 2 || first > 7 || second - first != 3) return false;
  std::string digits = cas.substr(0, first) + cas.substr(first + 1, 2);
  if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
      cas.back() < '0' || cas.back() > '9')
    return false;
  int sum = 0;
  int weight = 1;
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) sum += (*it - '0') * weight++;
  return sum % 10 == cas.back() - '0';
}

int64_t Count(Connection& conn, const std::string& sql, const std::vector<Value>& params = {}) {
  Value v = conn.QueryValue(sql, params);
  return v.IsNumber() ? static_cast<int64_t>(v.ToDouble()) : -1;
}

std::vector<std::string> Column(Connection& conn, const std::string& sql) {
  RecordSet rs = conn.QueryNative(sql);
  std::vector<std::string> out;
  for (int64_t i = 0; i < rs.RecordCount(); ++i) out.push_back(rs.At(i, 0).ToDisplay());
  return out;
}

// "NAME TYPE" of every column of a table or view, sorted (the program never
// relies on column order).
std::vector<std::string> ColumnsOf(Connection& conn, const std::string& table) {
  RecordSet rs = conn.QueryNative("SELECT name || ' ' || type FROM pragma_table_info(?1)",
                                  {Value::Text(table)});
  std::vector<std::string> out;
  for (int64_t i = 0; i < rs.RecordCount(); ++i) out.push_back(rs.At(i, 0).ToDisplay());
  std::sort(out.begin(), out.end());
  return out;
}

struct Layout {
  std::string table;
  std::vector<std::string> columns;  // "NAME TYPE"
};

// T text, R number, D date/time, I whole number.
std::vector<Layout> ExpectedLayouts() {
  auto t = [](const char* n) { return std::string(n) + " TEXT"; };
  auto r = [](const char* n) { return std::string(n) + " REAL"; };
  auto d = [](const char* n) { return std::string(n) + " DATETIME"; };
  auto i = [](const char* n) { return std::string(n) + " INTEGER"; };
  return {
      {"MT_TEMP1",
       {t("SITE"), t("POINT_ID"), r("LAT_DD"), r("LAT_MM"), r("LAT_SS"), r("LONG_DD"), r("LONG_MM"),
        r("LONG_SS"), r("NAVD"), t("COL_METHOD"), d("COL_DATE"), t("CONTRACT"), t("COMMENTS"),
        t("REVIEWED")}},
      {"MT_TEMP2",
       {t("SITE"), t("POINT_ID"), t("FLUW_ID"), d("INSTALL_DATE"), t("STATUS"), r("TOC"),
        r("TOP_SCR"), r("BOT_SCR"), r("BOC"), r("DIA"), t("MATERIAL"), t("AQUIFER"), t("CONTRACT"),
        t("COMMENTS"), t("REVIEWED")}},
      {"MT_TEMP2A",
       {t("SITE"), t("POINT_ID"), t("A_PARAMETER"), r("VALUE"), t("UNITS"), t("SOURCE"),
        t("COMMENTS"), t("REVIEWED")}},
      {"MT_TEMP3",
       {t("SITE"), t("POINT_ID"), d("WL_DATE"), r("WL"), t("CONTRACT"), t("COMMENTS"),
        t("REVIEWED")}},
      {"MT_TEMP4",
       {t("SITE"), t("POINT_ID"), t("SAM_ID"), d("SAM_DATE"), t("MATRIX"), t("SAM_SOURCE"),
        r("DEPTH_BLS"), t("CONTRACT"), t("COMMENTS"), t("REVIEWED")}},
      {"MT_TEMP4A",
       {t("SITE"), t("POINT_ID"), t("SAM_ID"), t("FIELDTEST"), r("VALUE"), t("UNITS"),
        t("COMMENTS"), t("REVIEWED")}},
      {"MT_TEMP5",
       {t("SITE"), t("POINT_ID"), t("SAM_ID"), t("METHOD"), t("CAS_NUMBER"), t("CONT_NAME"),
        r("CONCENTRATION"), t("UNITS"), t("LAB_Q"), r("MDL"), t("COMMENTS"), t("LABORATORY"),
        t("CONT_NAME_NOFORMAT"), t("LABNOFORMAT"), i("LAB"), t("REVIEWED")}},
      {"T_SITE", {t("SITE"), r("LATDD"), r("LATMM"), r("LONGDD"), r("LONGMM")}},
      {"MT_VBSTRUCTURE",
       {t("TABLE_NAME"), t("FIELD_NAME"), i("FIELD_TYPE"), i("FIELD_SIZE"), i("FIELD_ORDER")}},
      {"MT_SAMPLE_SOURCE",
       {t("SOURCE_ID"), t("SOURCE"), t("SOURCE_TYPE"), t("XY_REQ"), t("DEPTH_REQ")}},
      {"MT_ANALYTE", {t("CAS"), t("ANALYTE"), t("ANALYTENOFORMAT")}},
      {"MT_LAB", {i("LAB"), t("ALIAS"), t("NAME"), t("NOFORMAT")}},
      {"MT_CONTRACTOR", {t("CONTRACT"), t("CONTRACTOR")}},
      {"MT_WELL", {t("FIELD_NAME"), t("FIELD_VALUE")}},
  };
}

class WorkDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::OpenTestWorkDb(conn_); }

  void Exec(const std::string& sql, const std::vector<Value>& params = {}) {
    conn_.ExecuteNative(sql, params);
  }

  Connection conn_;
};

Value T(const char* s) { return Value::Text(s); }

TEST_F(WorkDatabaseTest, EveryTableHasItsColumnsOfTheirKinds) {
  for (const Layout& layout : ExpectedLayouts()) {
    std::vector<std::string> expected = layout.columns;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ColumnsOf(conn_, layout.table), expected) << layout.table;
  }
  for (const char* table : kTempTables) EXPECT_TRUE(conn_.HasTable(table)) << table;
  for (const char* table : kReferenceTables) EXPECT_TRUE(conn_.HasTable(table)) << table;
  EXPECT_FALSE(conn_.HasTable("UPDATE_LIST"));
}

TEST_F(WorkDatabaseTest, EveryTextColumnComparesWithoutRegardToCase) {
  for (const Layout& layout : ExpectedLayouts()) {
    for (const std::string& column : layout.columns) {
      if (!column.ends_with(" TEXT")) continue;
      std::string name = column.substr(0, column.find(' '));
      Transaction tx(conn_);  // rolled back: the probe row never stays
      std::string key = layout.table == "MT_LAB" ? "LAB, " : "";
      std::string key_value = layout.table == "MT_LAB" ? "999, " : "";
      Exec("INSERT INTO " + layout.table + " (" + key + name + ") VALUES (" + key_value +
           "'probe-value x')");
      EXPECT_EQ(Count(conn_, "SELECT count(*) FROM " + layout.table + " WHERE " + name +
                                 " = 'PROBE-VALUE X'"),
                1)
          << layout.table << "." << name;
    }
  }
  EXPECT_EQ(Count(conn_, "SELECT count(*) FROM MT_CONTRACTOR WHERE CONTRACT = lower(CONTRACT)"),
            10);
}

TEST_F(WorkDatabaseTest, TemporaryTablesStoreDuplicateRowsAndEmptyTexts) {
  for (int i = 0; i < 2; ++i) {
    Exec("INSERT INTO MT_TEMP1 (SITE, POINT_ID) VALUES ('1234567', 'MW-1')");
    Exec(
        "INSERT INTO MT_TEMP5 (SITE, POINT_ID, SAM_ID, CONT_NAME_NOFORMAT, LABNOFORMAT) "
        "VALUES ('1234567', 'MW-1', 'S1', '', '')");
  }
  Exec("INSERT INTO MT_TEMP2A (SITE, UNITS) VALUES ('1234567', '')");
  Exec("INSERT INTO MT_TEMP4A (SITE, UNITS) VALUES ('1234567', '')");
  EXPECT_EQ(Count(conn_, "SELECT count(*) FROM MT_TEMP1 WHERE POINT_ID = 'MW-1'"), 2);
  EXPECT_EQ(Count(conn_,
                  "SELECT count(*) FROM MT_TEMP5 WHERE LABNOFORMAT = '' AND "
                  "CONT_NAME_NOFORMAT = ''"),
            2);
  EXPECT_EQ(Count(conn_, "SELECT count(*) FROM MT_TEMP2A WHERE UNITS = ''"), 1);
  EXPECT_EQ(Count(conn_, "SELECT count(*) FROM MT_TEMP4A WHERE UNITS = ''"), 1);
}

TEST_F(WorkDatabaseTest, Query35ListsEachWaterLevelPointWithoutWellOnce) {
  Exec("INSERT INTO MT_TEMP2 (SITE, POINT_ID) VALUES ('1234567', 'MW-1'), ('7654321', 'MW-3')");
  Exec(
      "INSERT INTO MT_TEMP3 (SITE, POINT_ID, WL_DATE) VALUES "
      "('1234567', 'MW-1', '2002-01-05 00:00:00'),"
      "('1234567', 'MW-2', '2002-01-05 00:00:00'),"
      "('1234567', 'MW-2', '2002-02-05 00:00:00'),"
      "('1234567', 'MW-3', '2002-01-05 00:00:00')");  // its well is another facility's
  EXPECT_EQ(ColumnsOf(conn_, "qry_3_5"), (std::vector<std::string>{"POINT_ID TEXT", "SITE TEXT"}));
  EXPECT_EQ(Column(conn_, "SELECT SITE || '/' || POINT_ID FROM qry_3_5 ORDER BY POINT_ID"),
            (std::vector<std::string>{"1234567/MW-2", "1234567/MW-3"}));

  // The check joins the view to the samples taken from well-type sources.
  Exec(
      "INSERT INTO MT_TEMP4 (SITE, POINT_ID, SAM_ID, SAM_SOURCE) VALUES "
      "('1234567', 'MW-2', 'S1', 'mw'), ('1234567', 'MW-2', 'S2', 'MW'),"
      "('1234567', 'MW-3', 'S3', 'TRIP')");
  const std::string check_3_5 =
      "SELECT DISTINCT qry_3_5.POINT_ID FROM MT_SAMPLE_SOURCE INNER JOIN (MT_TEMP4 INNER JOIN "
      "qry_3_5 ON (MT_TEMP4.POINT_ID = qry_3_5.POINT_ID) AND (MT_TEMP4.SITE = qry_3_5.SITE)) ON "
      "MT_SAMPLE_SOURCE.SOURCE_ID = MT_TEMP4.SAM_SOURCE WHERE qry_3_5.SITE = '1234567' AND "
      "MT_SAMPLE_SOURCE.SOURCE_TYPE LIKE 'WELL%'";
  EXPECT_EQ(Column(conn_, check_3_5), std::vector<std::string>{"MW-2"});
}

TEST_F(WorkDatabaseTest, Query54ListsResultsOfUnknownContaminantsPerFacility) {
  EXPECT_EQ(ColumnsOf(conn_, "qry_5_4"),
            (std::vector<std::string>{"CAS_NUMBER TEXT", "COMMENTS TEXT", "CONT_NAME_NOFORMAT TEXT",
                                      "LABORATORY TEXT", "REVIEWED TEXT", "SITE TEXT"}));
  Exec(
      "INSERT INTO MT_TEMP5 (SITE, REVIEWED, CAS_NUMBER, CONT_NAME_NOFORMAT, LABORATORY) VALUES "
      "('1234567', 'NEW', '71-43-2', 'BENZENE', 'XYZ LABORATORIES'),"
      "('1234567', 'NEW', '75-34-3', '11DICHLOROETHANE', 'XYZ LABORATORIES'),"
      "('1234567', 'NEW', NULL, 'UNOBTAINIUM', 'XYZ LABORATORIES'),"
      "('7654321', 'NEW', NULL, 'KRYPTONITE', 'XYZ LABORATORIES')");
  EXPECT_EQ(Count(conn_, "SELECT count(*) FROM qry_5_4"), 4);
  const std::string check_5_4 =
      "SELECT DISTINCT qry_5_4.REVIEWED, qry_5_4.CAS_NUMBER, qry_5_4.CONT_NAME_NOFORMAT, "
      "qry_5_4.COMMENTS, qry_5_4.LABORATORY FROM MT_ANALYTE RIGHT JOIN qry_5_4 ON "
      "MT_ANALYTE.ANALYTENOFORMAT = qry_5_4.CONT_NAME_NOFORMAT WHERE qry_5_4.SITE = '1234567' "
      "AND [MT_ANALYTE].[ANALYTENOFORMAT] IS NULL ";
  RecordSet rs = conn_.QueryNative(check_5_4);
  ASSERT_EQ(rs.RecordCount(), 1);
  EXPECT_EQ(rs.At(0, rs.FieldIndex("CONT_NAME_NOFORMAT")).ToDisplay(), "UNOBTAINIUM");
  EXPECT_EQ(rs.At(0, rs.FieldIndex("LABORATORY")).ToDisplay(), "XYZ LABORATORIES");
}

TEST_F(WorkDatabaseTest, ReferenceTablesHoldTheAgencysLists) {
  EXPECT_GE(Count(conn_, "SELECT count(*) FROM MT_LAB"), 15);
  EXPECT_GE(Count(conn_, "SELECT count(*) FROM MT_ANALYTE"), 150);
  EXPECT_GE(Count(conn_, "SELECT count(*) FROM MT_ANALYTE WHERE CAS LIKE 'NA%'"), 3);
  EXPECT_GE(Count(conn_, "SELECT count(*) FROM MT_SAMPLE_SOURCE"), 12);
  // "Contract should be one of 10 contracts".
  EXPECT_EQ(Count(conn_, "SELECT count(DISTINCT CONTRACT) FROM MT_CONTRACTOR"), 10);
  EXPECT_GE(Count(conn_, "SELECT count(*) FROM T_SITE"), 15);
  for (const char* field : {"MATERIAL", "STATUS", "AQUIFER"})
    EXPECT_GE(Count(conn_, "SELECT count(*) FROM MT_WELL WHERE FIELD_NAME = ?1", {T(field)}), 3)
        << field;
  EXPECT_EQ(Count(conn_,
                  "SELECT count(*) FROM MT_WELL WHERE FIELD_NAME NOT IN "
                  "('MATERIAL', 'STATUS', 'AQUIFER')"),
            0);
}

TEST_F(WorkDatabaseTest, SampleFacilityIsASiteFoundByItsIdAndJoinedByEquality) {
  RecordSet rs =
      conn_.QueryNative("SELECT LATDD, LATMM, LONGDD, LONGMM FROM T_SITE WHERE SITE = '1234567'");
  ASSERT_EQ(rs.RecordCount(), 1);
  EXPECT_EQ(rs.At(0, 0).ToDisplay(), "27");
  EXPECT_EQ(rs.At(0, 1).ToDisplay(), "50");
  EXPECT_EQ(rs.At(0, 2).ToDisplay(), "82");
  EXPECT_EQ(rs.At(0, 3).ToDisplay(), "30");
  // The import's lookup of a facility by the end of SITE.
  EXPECT_EQ(Count(conn_, "SELECT COUNT(*) FROM T_SITE WHERE SITE LIKE '%1234567'"), 1);
  // Every site ends with a 7-digit Facility ID and its minutes are real minutes.
  RecordSet sites = conn_.QueryNative("SELECT SITE, LATMM, LONGMM FROM T_SITE");
  for (int64_t i = 0; i < sites.RecordCount(); ++i) {
    std::string site = sites.At(i, 0).ToDisplay();
    ASSERT_GE(site.size(), 7u);
    EXPECT_TRUE(std::all_of(site.end() - 7, site.end(), [](char c) {
      return c >= '0' && c <= '9';
    })) << site;
    EXPECT_LT(sites.At(i, 1).ToDouble(), 60) << site;
    EXPECT_LT(sites.At(i, 2).ToDouble(), 60) << site;
  }
}

TEST_F(WorkDatabaseTest, LaboratoryNamesAreStoredInTheirNormalisedForm) {
  RecordSet rs = conn_.QueryNative("SELECT LAB, NAME, NOFORMAT FROM MT_LAB");
  std::set<std::string> seen;
  for (int64_t i = 0; i < rs.RecordCount(); ++i) {
    std::string name = rs.At(i, 1).ToDisplay();
    EXPECT_NE(rs.At(i, 0).ToDouble(), 0) << name;
    EXPECT_EQ(rs.At(i, 2).ToDisplay(), LabNoFormat(name)) << name;
    EXPECT_TRUE(seen.insert(rs.At(i, 2).ToDisplay()).second)
        << "two laboratories reduce to " << rs.At(i, 2).ToDisplay();
  }
  // Spellings a contractor uses all find the same laboratory.
  for (const char* written : {"Acme Laboratories, Inc.", "ACME LAB", "Acme Laboratory"}) {
    EXPECT_EQ(Count(conn_, "SELECT LAB FROM MT_LAB WHERE NOFORMAT = ?1",
                    {T(LabNoFormat(written).c_str())}),
              Count(conn_, "SELECT LAB FROM MT_LAB WHERE NAME = 'Acme Laboratories, Inc.'"))
        << written;
  }
  EXPECT_EQ(Count(conn_, "SELECT count(*) FROM MT_LAB WHERE NOFORMAT = 'XYZLAB'"), 1);
}

TEST_F(WorkDatabaseTest, LaboratoryKeyZeroIsRefused) {
  EXPECT_THROW(Exec("INSERT INTO MT_LAB (LAB, NAME, NOFORMAT) VALUES (0, 'Zero Lab', 'ZEROLAB')"),
               DatabaseError);
  EXPECT_EQ(Count(conn_, "SELECT count(*) FROM MT_LAB WHERE LAB = 0 OR LAB IS NULL"), 0);
}

TEST_F(WorkDatabaseTest, AnalyteNamesAreNormalisedAndCasNumbersCorrect) {
  RecordSet rs = conn_.QueryNative("SELECT CAS, ANALYTE, ANALYTENOFORMAT FROM MT_ANALYTE");
  std::set<std::string> seen;
  for (int64_t i = 0; i < rs.RecordCount(); ++i) {
    std::string cas = rs.At(i, 0).ToDisplay();
    std::string name = rs.At(i, 1).ToDisplay();
    EXPECT_EQ(rs.At(i, 2).ToDisplay(), NoFormat(name)) << name;
    // A name given twice with different CAS numbers would make every result of it
    // look wrong to the CAS check.
    EXPECT_TRUE(seen.insert(rs.At(i, 2).ToDisplay()).second) << "two analytes reduce to " << name;
    if (!cas.starts_with("NA")) {
      EXPECT_TRUE(CasCheckDigitOk(cas)) << name << " " << cas;
    }
  }
  struct Known {
    const char* written;
    const char* cas;
  };
  for (const Known& k :
       {Known{"1,1-Dichloroethane", "75-34-3"}, Known{"Benzo(a)pyrene", "50-32-8"},
        Known{"BENZENE", "71-43-2"}, Known{"Arsenic", "7440-38-2"}, Known{"Lead", "7439-92-1"}}) {
    EXPECT_EQ(conn_
                  .QueryValue("SELECT CAS FROM MT_ANALYTE WHERE ANALYTENOFORMAT = ?1",
                              {T(NoFormat(k.written).c_str())})
                  .ToDisplay(),
              k.cas)
        << k.written;
  }
}

TEST(CasCheckDigitTest, AcceptsOnlyWellFormedNumbersWithTheirCheckDigit) {
  EXPECT_TRUE(CasCheckDigitOk("71-43-2"));
  EXPECT_TRUE(CasCheckDigitOk("7440-38-2"));
  EXPECT_FALSE(CasCheckDigitOk("71-43-3"));
  EXPECT_FALSE(CasCheckDigitOk("7143-2"));
  EXPECT_FALSE(CasCheckDigitOk("71-4a-2"));
  EXPECT_FALSE(CasCheckDigitOk(""));
}

TEST_F(WorkDatabaseTest, SampleSourcesCarryWhatTheChecksCompare) {
  // Codes are compared with the upper-cased SAM_SOURCE: stored in upper case.
  EXPECT_EQ(Count(conn_,
                  "SELECT count(*) FROM MT_SAMPLE_SOURCE WHERE SOURCE_ID <> "
                  "upper(SOURCE_ID) COLLATE BINARY"),
            0);
  EXPECT_EQ(Count(conn_, "SELECT count(*) FROM MT_SAMPLE_SOURCE WHERE SOURCE_TYPE = 'WELL - GOOD'"),
            1);
  EXPECT_GE(Count(conn_,
                  "SELECT count(*) FROM MT_SAMPLE_SOURCE WHERE SOURCE_TYPE LIKE 'WELL%' "
                  "AND SOURCE_TYPE <> 'WELL - GOOD'"),
            1);
  EXPECT_GE(
      Count(conn_, "SELECT count(*) FROM MT_SAMPLE_SOURCE WHERE SOURCE_TYPE NOT LIKE 'WELL%'"), 1);
  EXPECT_EQ(Count(conn_,
                  "SELECT count(*) FROM MT_SAMPLE_SOURCE WHERE XY_REQ NOT IN ('Y', 'N') "
                  "OR DEPTH_REQ NOT IN ('Y', 'N') OR XY_REQ IS NULL OR DEPTH_REQ IS NULL"),
            0);
  // Blanks are located nowhere and have no depth; the depth checks leave them out.
  for (const char* blank : {"TRIP", "EQUIPMENT"}) {
    EXPECT_EQ(Count(conn_,
                    "SELECT count(*) FROM MT_SAMPLE_SOURCE WHERE SOURCE_ID = ?1 AND "
                    "XY_REQ = 'N' AND DEPTH_REQ = 'N'",
                    {T(blank)}),
              1)
        << blank;
  }
  EXPECT_EQ(Count(conn_,
                  "SELECT count(*) FROM MT_SAMPLE_SOURCE WHERE SOURCE_ID = 'MW' AND "
                  "SOURCE_TYPE = 'WELL - GOOD' AND XY_REQ = 'Y'"),
            1);
}

TEST_F(WorkDatabaseTest, WellValuesNamedByTheCheckRulesArePermitted) {
  EXPECT_EQ(Count(conn_,
                  "SELECT count(*) FROM MT_WELL WHERE FIELD_VALUE <> upper(FIELD_VALUE) "
                  "COLLATE BINARY"),
            0);
  struct Permitted {
    const char* field;
    const char* value;
  };
  for (const Permitted& p :
       {Permitted{"MATERIAL", "PVC"}, Permitted{"MATERIAL", "SS"}, Permitted{"STATUS", "ACTIVE"},
        Permitted{"STATUS", "DESTROYED"}, Permitted{"STATUS", "ABANDONED"},
        Permitted{"AQUIFER", "SURFICIAL"}, Permitted{"AQUIFER", "INTERMEDIATE"},
        Permitted{"AQUIFER", "SAND AND GRAVEL"}}) {
    EXPECT_EQ(
        Count(conn_, "SELECT count(*) FROM MT_WELL WHERE FIELD_NAME = ?1 AND FIELD_VALUE = ?2",
              {T(p.field), T(p.value)}),
        1)
        << p.field << " " << p.value;
  }
}

TEST_F(WorkDatabaseTest, WorkbookStructuresListTheExpectedColumnsInOrder) {
  struct Expected {
    const char* table;
    std::vector<std::string> fields;
  };
  const std::vector<Expected> expected = {
      {"TEMP_1",
       {"FAC_ID", "POINT_ID", "LAT_DD", "LAT_MM", "LAT_SS", "LONG_DD", "LONG_MM", "LONG_SS", "NAVD",
        "SL_METHOD", "SL_COL_DATE", "SL_CONTRACT", "SL_COMMENTS"}},
      {"TEMP_2", {"FAC_ID",   "POINT_ID", "FLUW_ID",    "INSTALL_DATE", "STATUS",
                  "TOC",      "TOP_SCR",  "BOT_SCR",    "BOC",          "DIA",
                  "MATERIAL", "AQUIFER",  "W_CONTRACT", "W_COMMENTS",   "T",
                  "S",        "KX",       "B",          "NE",           "TEST_METHOD"}},
      {"TEMP_3", {"FAC_ID", "POINT_ID", "WL_DATE", "WL", "WL_CONTRACT", "WL_COMMENTS"}},
      {"TEMP_4",
       {"FAC_ID", "POINT_ID", "SAM_ID", "SAM_DATE", "MATRIX", "SAM_SOURCE", "DEPTH_BLS",
        "F_CONTRACT", "F_COMMENTS", "FE", "DO", "REDOX", "TURB", "PH", "TEMP", "CONDUCTIVITY"}},
      {"TEMP_5",
       {"FAC_ID", "POINT_ID", "SAM_ID", "METHOD", "CAS_NUMBER", "CONT_NAME", "CONC", "UNITS",
        "LAB_Q", "MDL", "A_COMMENTS", "A_LABORATORY"}},
  };
  for (const Expected& e : expected) {
    // The query the program loads the structures with.
    RecordSet rs = conn_.QueryNative(
        "SELECT * FROM MT_VBSTRUCTURE WHERE TABLE_NAME = ?1 ORDER BY FIELD_ORDER", {T(e.table)});
    std::vector<std::string> names;
    for (int64_t i = 0; i < rs.RecordCount(); ++i)
      names.push_back(rs.At(i, rs.FieldIndex("FIELD_NAME")).ToDisplay());
    // Names are compared exactly with the upper-cased workbook headers.
    EXPECT_EQ(names, e.fields) << e.table;
    EXPECT_EQ(Count(conn_,
                    "SELECT count(DISTINCT FIELD_ORDER) FROM MT_VBSTRUCTURE WHERE "
                    "TABLE_NAME = ?1",
                    {T(e.table)}),
              static_cast<int64_t>(e.fields.size()))
        << e.table;
    EXPECT_EQ(Count(conn_,
                    "SELECT FIELD_SIZE FROM MT_VBSTRUCTURE WHERE TABLE_NAME = ?1 AND "
                    "FIELD_NAME = 'FAC_ID' AND FIELD_TYPE = 200",
                    {T(e.table)}),
              7)
        << e.table;
  }
  EXPECT_EQ(
      Count(conn_, "SELECT count(*) FROM MT_VBSTRUCTURE WHERE FIELD_TYPE NOT IN (3, 4, 7, 200)"),
      0);
  EXPECT_EQ(Count(conn_,
                  "SELECT count(*) FROM MT_VBSTRUCTURE WHERE FIELD_TYPE = 7 AND FIELD_NAME "
                  "NOT IN ('SL_COL_DATE', 'INSTALL_DATE', 'WL_DATE', 'SAM_DATE')"),
            0);
}

TEST_F(WorkDatabaseTest, ReferenceValuesFitTheWorkbookColumnsThatCarryThem) {
  // A value copied from a reference list into a workbook must pass the data-type
  // stage, or the check that compares it could never be satisfied.
  struct Carried {
    const char* values;  // SELECT of the reference values
    const char* table;
    const char* field;
  };
  const Carried carried[] = {
      {"SELECT CONTRACT FROM MT_CONTRACTOR", "TEMP_1", "SL_CONTRACT"},
      {"SELECT CONTRACT FROM MT_CONTRACTOR", "TEMP_2", "W_CONTRACT"},
      {"SELECT CONTRACT FROM MT_CONTRACTOR", "TEMP_3", "WL_CONTRACT"},
      {"SELECT CONTRACT FROM MT_CONTRACTOR", "TEMP_4", "F_CONTRACT"},
      {"SELECT SOURCE_ID FROM MT_SAMPLE_SOURCE", "TEMP_4", "SAM_SOURCE"},
      {"SELECT 'SEDIMENT'", "TEMP_4", "MATRIX"},
      {"SELECT CAS FROM MT_ANALYTE", "TEMP_5", "CAS_NUMBER"},
      {"SELECT ANALYTE FROM MT_ANALYTE", "TEMP_5", "CONT_NAME"},
      {"SELECT NAME FROM MT_LAB", "TEMP_5", "A_LABORATORY"},
      {"SELECT FIELD_VALUE FROM MT_WELL WHERE FIELD_NAME = 'MATERIAL'", "TEMP_2", "MATERIAL"},
      {"SELECT FIELD_VALUE FROM MT_WELL WHERE FIELD_NAME = 'STATUS'", "TEMP_2", "STATUS"},
      {"SELECT FIELD_VALUE FROM MT_WELL WHERE FIELD_NAME = 'AQUIFER'", "TEMP_2", "AQUIFER"},
      {"SELECT '1234567'", "TEMP_5", "FAC_ID"},
  };
  for (const Carried& c : carried) {
    int64_t size = Count(conn_,
                         "SELECT FIELD_SIZE FROM MT_VBSTRUCTURE WHERE TABLE_NAME = ?1 AND "
                         "FIELD_NAME = ?2 AND FIELD_TYPE = 200",
                         {T(c.table), T(c.field)});
    ASSERT_GT(size, 0) << c.table << "." << c.field;
    for (const std::string& v : Column(conn_, c.values))
      EXPECT_LE(static_cast<int64_t>(Utf8Length(v)), size) << c.field << ": " << v;
  }
}

// The plan of a check's join must look rows up through an index, not scan the
// inner table once per outer row or build a throw-away index on every run.
std::string PlanOf(Connection& conn, const std::string& sql) {
  RecordSet rs = conn.QueryNative("EXPLAIN QUERY PLAN " + sql);
  std::string plan;
  int detail = rs.FieldIndex("detail");
  for (int64_t i = 0; i < rs.RecordCount(); ++i) plan += rs.At(i, detail).ToDisplay() + "\n";
  return plan;
}

TEST_F(WorkDatabaseTest, JoinsOfTheChecksUseIndexes) {
  struct Join {
    const char* what;
    std::string sql;
    const char* inner;  // the table that must be searched through an index
  };
  const std::vector<Join> joins = {
      {"results to samples",
       "SELECT DISTINCT MT_TEMP5.REVIEWED, MT_TEMP5.POINT_ID, MT_TEMP5.SAM_ID FROM MT_TEMP5 LEFT "
       "JOIN MT_TEMP4 ON (MT_TEMP5.SITE = MT_TEMP4.SITE) AND (MT_TEMP5.POINT_ID = "
       "MT_TEMP4.POINT_ID) AND (MT_TEMP5.SAM_ID = MT_TEMP4.SAM_ID) WHERE MT_TEMP5.SITE = "
       "'1234567' AND MT_TEMP4.SITE IS NULL ORDER BY MT_TEMP5.REVIEWED",
       "MT_TEMP4"},
      {"field tests to samples",
       "SELECT DISTINCT MT_TEMP4A.REVIEWED, MT_TEMP4A.POINT_ID FROM MT_TEMP4A, MT_TEMP4 WHERE "
       "MT_TEMP4A.SITE = '1234567' AND MT_TEMP4A.SITE = MT_TEMP4.SITE AND MT_TEMP4A.POINT_ID = "
       "MT_TEMP4.POINT_ID AND MT_TEMP4A.SAM_ID = MT_TEMP4.SAM_ID",
       "MT_TEMP4"},
      // SQLite cannot merge a view that is the right operand of a RIGHT JOIN and
      // scans it once per analyte; the results must drive the join.
      {"results to analytes",
       "SELECT DISTINCT qry_5_4.REVIEWED, qry_5_4.CONT_NAME_NOFORMAT FROM qry_5_4 LEFT JOIN "
       "MT_ANALYTE ON MT_ANALYTE.ANALYTENOFORMAT = qry_5_4.CONT_NAME_NOFORMAT WHERE qry_5_4.SITE "
       "= '1234567' AND [MT_ANALYTE].[ANALYTENOFORMAT] IS NULL",
       "MT_ANALYTE"},
      {"results to analytes for the CAS check",
       "SELECT DISTINCT MT_TEMP5.REVIEWED, CONT_NAME, CAS_NUMBER, CAS AS SHOULDBE FROM MT_TEMP5, "
       "MT_ANALYTE, MT_TEMP4 WHERE MT_TEMP5.SITE = '1234567' AND MT_TEMP5.SITE = MT_TEMP4.SITE AND "
       "MT_TEMP5.POINT_ID = MT_TEMP4.POINT_ID AND MT_TEMP5.SAM_ID = MT_TEMP4.SAM_ID AND "
       "MT_TEMP4.SAM_DATE > '2000-08-31 00:00:00' AND MT_TEMP5.CONT_NAME_NOFORMAT = "
       "MT_ANALYTE.ANALYTENOFORMAT AND MT_TEMP5.CAS_NUMBER <> MT_ANALYTE.CAS AND "
       "[MT_ANALYTE].[CAS] NOT LIKE 'NA%'",
       "MT_TEMP4"},
      {"samples to wells by point",
       "SELECT MT_TEMP4.POINT_ID FROM MT_TEMP4, MT_TEMP2 WHERE MT_TEMP4.SITE = '1234567' AND "
       "MT_TEMP4.POINT_ID = MT_TEMP2.POINT_ID AND MT_TEMP2.INSTALL_DATE > MT_TEMP4.SAM_DATE",
       "MT_TEMP2"},
      {"samples to sources",
       "SELECT MT_TEMP4.SAM_ID FROM MT_TEMP4 LEFT JOIN MT_SAMPLE_SOURCE ON "
       "(upper(MT_TEMP4.SAM_SOURCE) = MT_SAMPLE_SOURCE.SOURCE_ID) WHERE MT_TEMP4.SITE = "
       "'1234567' AND MT_SAMPLE_SOURCE.SOURCE_ID IS NULL",
       "MT_SAMPLE_SOURCE"},
  };
  for (const Join& j : joins) {
    std::string plan = PlanOf(conn_, j.sql);
    EXPECT_NE(plan.find(std::string("SEARCH ") + j.inner + " USING"), std::string::npos)
        << j.what << "\n"
        << plan;
    EXPECT_EQ(plan.find("AUTOMATIC"), std::string::npos) << j.what << "\n" << plan;
  }
}

// A full disk makes the engine roll the whole transaction back by itself (for a
// statement it keeps no undo record of its own); a page limit stands in for
// the disk here.
TEST_F(WorkDatabaseTest, WritesAfterTheEngineRolledBackTheTransactionFailAndLeaveNothing) {
  Exec("CREATE TABLE scratch (v TEXT)");
  {
    Transaction tx(conn_);
    Exec("INSERT INTO MT_TEMP5 (SITE) VALUES ('1234567')");
    conn_.QueryValue("PRAGMA max_page_count=" + conn_.QueryValue("PRAGMA page_count").ToDisplay());
    EXPECT_THROW(Exec("INSERT INTO scratch VALUES (?1)", {Value::Text(std::string(200000, 'x'))}),
                 DatabaseError);
    conn_.QueryValue("PRAGMA max_page_count=1073741823");  // room again
    EXPECT_THROW(Exec("INSERT INTO MT_TEMP5 (SITE) VALUES ('1234567')"), DatabaseError);
    Inserter insert(conn_, "MT_TEMP5", {"SITE"});
    insert.Bind(0, Value::Text("1234567"));
    EXPECT_THROW(insert.Step(), DatabaseError);
  }
  EXPECT_EQ(Count(conn_, "SELECT count(*) FROM MT_TEMP5"), 0);
  Transaction next(conn_);  // usable again once the guards are gone
  Exec("INSERT INTO MT_TEMP5 (SITE) VALUES ('1234567')");
  next.Commit();
  EXPECT_EQ(Count(conn_, "SELECT count(*) FROM MT_TEMP5"), 1);
}

TEST(UpdateDatabaseTest, HoldsTheListedReferenceTablesAndTheirRows) {
  Connection update;
  update.OpenInMemory();
  InstallUpdateDatabase(update);
  ASSERT_TRUE(update.HasTable("UPDATE_LIST"));
  std::vector<std::string> listed = Column(update, "SELECT TABLE_NAME FROM UPDATE_LIST ");
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, (std::vector<std::string>{"MT_ANALYTE", "MT_CONTRACTOR", "MT_LAB",
                                              "MT_SAMPLE_SOURCE", "MT_WELL", "T_SITE"}));

  Connection work;
  testing::OpenTestWorkDb(work);
  for (const std::string& table : listed) {
    ASSERT_TRUE(update.HasTable(table)) << table;
    // A refresh replaces the work table by this one: same columns, same rows.
    EXPECT_EQ(ColumnsOf(update, table), ColumnsOf(work, table)) << table;
    EXPECT_GT(Count(update, "SELECT count(*) FROM " + table), 0) << table;
    EXPECT_EQ(Count(update, "SELECT count(*) FROM " + table),
              Count(work, "SELECT count(*) FROM " + table))
        << table;
  }
  // Only reference data travels: no facility's rows, no saved queries.
  for (const char* table : kTempTables) EXPECT_FALSE(update.HasTable(table)) << table;
  EXPECT_FALSE(update.HasTable("qry_3_5"));
  EXPECT_FALSE(update.HasTable("qry_5_4"));
}

}  // namespace
}  // namespace sorvane
