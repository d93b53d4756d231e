#include "facility_fixture.h"

#include "checks/ModChecks.h"
#include "core/date.h"
#include "support/work_db.h"

namespace sorvane::testing {

Value T(const std::string& s) { return Value::Text(s); }
Value N(double d) { return Value::Real(d); }
Value D(const std::string& iso) { return Value::FromDate(*Date::FromIso(iso)); }

namespace {

std::string Text(Connection& conn, const std::string& sql) {
  Value v = conn.QueryValue(sql);
  return v.kind() == Value::Kind::kText ? v.AsText() : v.ToDisplay();
}

}  // namespace

void FacilityTest::SetUp() {
  OpenTestWorkDb(conn);
  RecordSet sites = conn.QueryNative(
      "SELECT SITE, LATDD, LATMM, LONGDD, LONGMM FROM T_SITE WHERE LATMM BETWEEN 5 AND 55 AND "
      "LONGMM BETWEEN 5 AND 55 "
      "ORDER BY rowid");
  ASSERT_GE(sites.RecordCount(), 2) << "the reference data needs two sites";
  facility = std::string(sites.TextAt(0, 0));
  site_lat_dd = sites.At(0, 1).ToDouble();
  site_lat_mm = sites.At(0, 2).ToDouble();
  site_long_dd = sites.At(0, 3).ToDouble();
  site_long_mm = sites.At(0, 4).ToDouble();
  other_site = std::string(sites.TextAt(1, 0));

  contract = Text(conn, "SELECT CONTRACT FROM MT_CONTRACTOR ORDER BY CONTRACT LIMIT 1");
  well_source = Text(conn,
                     "SELECT SOURCE_ID FROM MT_SAMPLE_SOURCE WHERE upper(SOURCE_TYPE) = "
                     "'WELL - GOOD' AND DEPTH_REQ = 'Y' ORDER BY SOURCE_ID LIMIT 1");
  soil_source = Text(conn,
                     "SELECT SOURCE_ID FROM MT_SAMPLE_SOURCE WHERE SOURCE_TYPE NOT LIKE 'WELL%' "
                     "AND DEPTH_REQ = 'Y' AND XY_REQ = 'Y' ORDER BY SOURCE_ID LIMIT 1");
  plain_source = Text(conn,
                      "SELECT SOURCE_ID FROM MT_SAMPLE_SOURCE WHERE SOURCE_TYPE NOT LIKE 'WELL%' "
                      "AND DEPTH_REQ = 'N' AND XY_REQ = 'N' AND SOURCE_ID NOT IN ('TRIP', "
                      "'EQUIPMENT') ORDER BY SOURCE_ID LIMIT 1");
  other_well_source = Text(conn,
                           "SELECT SOURCE_ID FROM MT_SAMPLE_SOURCE WHERE SOURCE_TYPE LIKE 'WELL%' "
                           "AND upper(SOURCE_TYPE) <> 'WELL - GOOD' AND DEPTH_REQ = 'N' "
                           "ORDER BY SOURCE_ID LIMIT 1");
  RecordSet lab = conn.QueryNative("SELECT NAME, LAB, NOFORMAT FROM MT_LAB ORDER BY LAB LIMIT 1");
  ASSERT_EQ(lab.RecordCount(), 1);
  lab_name = std::string(lab.TextAt(0, 0));
  lab_key = static_cast<int>(lab.At(0, 1).ToDouble());
  lab_noformat = std::string(lab.TextAt(0, 2));
  RecordSet an = conn.QueryNative(
      "SELECT ANALYTE, ANALYTENOFORMAT, CAS FROM MT_ANALYTE WHERE CAS NOT LIKE 'NA%' "
      "ORDER BY rowid LIMIT 2");
  ASSERT_EQ(an.RecordCount(), 2);
  analyte = std::string(an.TextAt(0, 0));
  analyte_noformat = std::string(an.TextAt(0, 1));
  analyte_cas = std::string(an.TextAt(0, 2));
  analyte2 = std::string(an.TextAt(1, 0));
  analyte2_noformat = std::string(an.TextAt(1, 1));
  analyte2_cas = std::string(an.TextAt(1, 2));
  RecordSet na = conn.QueryNative(
      "SELECT ANALYTE, ANALYTENOFORMAT, CAS FROM MT_ANALYTE WHERE CAS LIKE 'NA%' "
      "ORDER BY rowid LIMIT 1");
  ASSERT_EQ(na.RecordCount(), 1);
  na_analyte = std::string(na.TextAt(0, 0));
  na_analyte_noformat = std::string(na.TextAt(0, 1));
  na_cas = std::string(na.TextAt(0, 2));
  ASSERT_FALSE(contract.empty());
  ASSERT_FALSE(well_source.empty());
  ASSERT_FALSE(soil_source.empty());
  ASSERT_FALSE(plain_source.empty());
  ASSERT_FALSE(other_well_source.empty());

  const Value c = T(contract), nu = T("NEW");
  // Table 1: three located points close to the site record.
  const Value located = T("Located by survey");
  Add("MT_TEMP1", {{"POINT_ID", T("MW-1")},
                   {"LAT_DD", N(site_lat_dd)},
                   {"LAT_MM", N(site_lat_mm)},
                   {"LAT_SS", N(10)},
                   {"LONG_DD", N(site_long_dd)},
                   {"LONG_MM", N(site_long_mm)},
                   {"LONG_SS", N(20)},
                   {"NAVD", N(100)},
                   {"COL_METHOD", T("A")},
                   {"CONTRACT", c},
                   {"COMMENTS", located},
                   {"REVIEWED", nu}});
  Add("MT_TEMP1", {{"POINT_ID", T("MW-2")},
                   {"LAT_DD", N(site_lat_dd)},
                   {"LAT_MM", N(site_lat_mm + 1)},
                   {"LAT_SS", N(15)},
                   {"LONG_DD", N(site_long_dd)},
                   {"LONG_MM", N(site_long_mm - 1)},
                   {"LONG_SS", N(40)},
                   {"NAVD", N(101)},
                   {"COL_METHOD", T("B")},
                   {"CONTRACT", c},
                   {"COMMENTS", located},
                   {"REVIEWED", nu}});
  Add("MT_TEMP1", {{"POINT_ID", T("SB-1")},
                   {"LAT_DD", N(site_lat_dd)},
                   {"LAT_MM", N(site_lat_mm)},
                   {"LAT_SS", N(30)},
                   {"LONG_DD", N(site_long_dd)},
                   {"LONG_MM", N(site_long_mm + 1)},
                   {"LONG_SS", N(0)},
                   {"NAVD", N(99.5)},
                   {"COL_METHOD", T("C")},
                   {"CONTRACT", c},
                   {"COMMENTS", T("Hand auger at the tank pit")},
                   {"REVIEWED", nu}});

  // Table 2: two wells with their aquifer parameters.
  for (const auto& [point, toc] : {std::pair{"MW-1", 100.5}, std::pair{"MW-2", 101.2}}) {
    Add("MT_TEMP2", {{"POINT_ID", T(point)},
                     {"FLUW_ID", T(std::string("F") + point)},
                     {"INSTALL_DATE", D("2001-03-01")},
                     {"STATUS", T("ACTIVE")},
                     {"TOC", N(toc)},
                     {"TOP_SCR", N(10)},
                     {"BOT_SCR", N(20)},
                     {"BOC", N(25)},
                     {"DIA", N(2)},
                     {"MATERIAL", T("PVC")},
                     {"AQUIFER", T("SURFICIAL")},
                     {"CONTRACT", c},
                     {"COMMENTS", T("Installed by driller")},
                     {"REVIEWED", nu}});
  }
  auto param = [&](const char* point, const char* code, double v, const char* units) {
    Add("MT_TEMP2A", {{"POINT_ID", T(point)},
                      {"A_PARAMETER", T(code)},
                      {"VALUE", N(v)},
                      {"UNITS", T(units)},
                      {"SOURCE", T("SLUG TEST")},
                      {"REVIEWED", nu}});
  };
  param("MW-1", "NE", 20, "");
  param("MW-1", "KX", 0.01, "FT/S");
  param("MW-1", "T", 0.1, "SQ FT/S");
  param("MW-1", "S", 0.22, "");
  param("MW-1", "B", 15, "FT");
  param("MW-2", "NE", 25, "");
  param("MW-2", "B", 12, "FT");

  // Table 3: water levels inside the wells' casings.
  auto level = [&](const char* point, const char* date, double wl) {
    Add("MT_TEMP3", {{"POINT_ID", T(point)},
                     {"WL_DATE", D(date)},
                     {"WL", N(wl)},
                     {"CONTRACT", c},
                     {"COMMENTS", T("Static level")},
                     {"REVIEWED", nu}});
  };
  level("MW-1", "2002-06-01", 90);
  level("MW-1", "2002-07-01", 89.5);
  level("MW-2", "2002-06-01", 91);

  // Table 4: two well samples and a soil sample, with field tests.
  auto sample = [&](const char* point, const char* id, const char* date, const char* matrix,
                    const std::string& source, double depth) {
    Add("MT_TEMP4", {{"POINT_ID", T(point)},
                     {"SAM_ID", T(id)},
                     {"SAM_DATE", D(date)},
                     {"MATRIX", T(matrix)},
                     {"SAM_SOURCE", T(source)},
                     {"DEPTH_BLS", N(depth)},
                     {"CONTRACT", c},
                     {"COMMENTS", T("Routine sampling")},
                     {"REVIEWED", nu}});
  };
  sample("MW-1", "S-1", "2002-06-01", "LIQUID", well_source, 15);
  sample("MW-2", "S-2", "2002-06-02", "LIQUID", well_source, 12);
  sample("SB-1", "S-3", "2002-06-03", "SOLID", soil_source, 2);
  auto test = [&](const char* point, const char* id, const char* code, double v,
                  const char* units) {
    Add("MT_TEMP4A", {{"POINT_ID", T(point)},
                      {"SAM_ID", T(id)},
                      {"FIELDTEST", T(code)},
                      {"VALUE", N(v)},
                      {"UNITS", T(units)},
                      {"REVIEWED", nu}});
  };
  test("MW-1", "S-1", "PH", 7, "");
  test("MW-1", "S-1", "TEMPERATURE", 22, "C");
  test("MW-1", "S-1", "DO", 5, "MG/L");
  test("MW-1", "S-1", "TURB", 10, "NTU");
  test("MW-1", "S-1", "CONDUCTIVITY", 500, "US/CM");
  test("MW-2", "S-2", "PH", 6.5, "");
  test("MW-2", "S-2", "TEMPERATURE", 24, "C");
  test("MW-2", "S-2", "TURB", 250, "NTU");

  // Table 5: results of known contaminants from a known laboratory.
  auto result = [&](const char* point, const char* id, const char* method, const std::string& name,
                    const std::string& noformat, const std::string& cas, double conc, double mdl,
                    const char* q, const char* units) {
    Add("MT_TEMP5", {{"POINT_ID", T(point)},
                     {"SAM_ID", T(id)},
                     {"METHOD", T(method)},
                     {"CAS_NUMBER", T(cas)},
                     {"CONT_NAME", T(name)},
                     {"CONCENTRATION", N(conc)},
                     {"UNITS", T(units)},
                     {"LAB_Q", T(q)},
                     {"MDL", N(mdl)},
                     {"COMMENTS", T("Report 12")},
                     {"LABORATORY", T(lab_name)},
                     {"CONT_NAME_NOFORMAT", T(noformat)},
                     {"LABNOFORMAT", T(lab_noformat)},
                     {"LAB", Value::Integer(lab_key)},
                     {"REVIEWED", nu}});
  };
  result("MW-1", "S-1", "8260", analyte, analyte_noformat, analyte_cas, 5, 1, "D", "ug/l");
  result("MW-1", "S-1", "8260", analyte2, analyte2_noformat, analyte2_cas, 3, 1, "J", "ug/l");
  result("MW-2", "S-2", "8260", analyte, analyte_noformat, analyte_cas, 1, 1, "U", "ug/l");
  result("MW-2", "S-2", "418.1", na_analyte, na_analyte_noformat, na_cas, 2, 0.5, "D", "mg/l");
  result("SB-1", "S-3", "8260", analyte, analyte_noformat, analyte_cas, 40, 2, "D", "ug/kg");
}

void FacilityTest::Add(const std::string& table, Row row, const std::string& site) {
  bool has_site = false;
  for (const auto& [name, v] : row) has_site = has_site || name == "SITE";
  if (!has_site) row.insert(row.begin(), {"SITE", T(site.empty() ? facility : site)});
  std::string cols, marks;
  std::vector<Value> params;
  for (const auto& [name, v] : row) {
    cols += (cols.empty() ? "" : ", ") + name;
    marks += marks.empty() ? "?" : ", ?";
    params.push_back(v.kind() == Value::Kind::kDate ? T(v.AsDate().ToIso()) : v);
  }
  conn.ExecuteNative("INSERT INTO " + table + " (" + cols + ") VALUES (" + marks + ")", params);
}

void FacilityTest::Update(const std::string& table, const std::string& assignments,
                          const std::string& where) {
  conn.ExecuteNative(
      "UPDATE " + table + " SET " + assignments + " WHERE SITE = ?1 AND (" + where + ")",
      {T(facility)});
}

void FacilityTest::Delete(const std::string& table, const std::string& where) {
  conn.ExecuteNative("DELETE FROM " + table + " WHERE SITE = ?1 AND (" + where + ")",
                     {T(facility)});
}

RecordSet FacilityTest::RunCheck(int table, int index) {
  return RunCheckFor(table, index, facility);
}

RecordSet FacilityTest::RunCheckFor(int table, int index, const std::string& facility_id) {
  std::vector<clsReviewObject> list;
  BuildChecks(table, facility_id, list);
  return conn.Query(list.at(static_cast<size_t>(index)).qryProblems);
}

std::vector<std::string> Columns(const RecordSet& rs) {
  std::vector<std::string> out;
  for (const Field& f : rs.fields()) out.push_back(f.name);
  return out;
}

std::vector<std::vector<std::string>> Rows(const RecordSet& rs) {
  std::vector<std::vector<std::string>> out;
  for (int64_t r = 0; r < rs.RecordCount(); ++r) {
    std::vector<std::string> row;
    for (size_t f = 0; f < rs.FieldCount(); ++f) row.push_back(rs.At(r, f).ToDisplay());
    out.push_back(std::move(row));
  }
  return out;
}

}  // namespace sorvane::testing
