// A clean facility in an in-memory work database: points, wells with aquifer
// parameters, water levels, samples with field tests and analytical results
// that pass all 64 checks, built from the reference data the program ships
// (its first site, contracts, sample sources, analytes and laboratories).
// Tests break one thing with Update/Add and run one check.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/record_set.h"
#include "core/value.h"
#include "state/run_state.h"
#include "support/scripted_ui.h"
#include "workdb/connection.h"

namespace sorvane::testing {

using Row = std::vector<std::pair<std::string, Value>>;

Value T(const std::string& s);
Value N(double d);
Value D(const std::string& iso);  // "YYYY-MM-DD[ HH:MM:SS]"
inline Value Null() { return Value(); }

class FacilityTest : public ::testing::Test {
 public:  // the table-driven cases break the facility from outside
  void SetUp() override;

  // Inserts a row of `table` with SITE = `site` unless the row sets SITE.
  void Add(const std::string& table, Row row, const std::string& site = "");
  // UPDATE table SET <assignments> WHERE SITE = <facility> AND (<where>).
  void Update(const std::string& table, const std::string& assignments,
              const std::string& where = "1=1");
  void Delete(const std::string& table, const std::string& where);
  void Exec(const std::string& sql) { conn.ExecuteNative(sql); }

  // Runs check `index` of `table` built for `facility` and returns its rows.
  RecordSet RunCheck(int table, int index);
  RecordSet RunCheckFor(int table, int index, const std::string& facility_id);

  ScriptedUi ui;
  RunState state{ui, Paths{}};
  Connection& conn = state.WorkConn;  // the work database of the run
  std::string facility;               // the site of the clean facility
  std::string other_site;             // another site of the reference data
  double site_lat_dd = 0, site_lat_mm = 0, site_long_dd = 0, site_long_mm = 0;
  std::string contract;           // a contract of MT_CONTRACTOR
  std::string well_source;        // a source of type "WELL - GOOD" that needs a depth
  std::string soil_source;        // a non-well source that needs a depth
  std::string plain_source;       // a non-well source needing neither depth nor coordinates
  std::string other_well_source;  // a well source of another type, needing no depth
  std::string lab_name;           // a laboratory of MT_LAB
  int lab_key = 0;
  std::string lab_noformat;
  std::string analyte, analyte_noformat, analyte_cas;     // CAS not beginning "NA"
  std::string analyte2, analyte2_noformat, analyte2_cas;  // another one
  std::string na_analyte, na_analyte_noformat, na_cas;    // CAS beginning "NA"
};

// Field names of a record set, in order.
std::vector<std::string> Columns(const RecordSet& rs);
// Every row as the texts a person sees ("" for a missing value).
std::vector<std::vector<std::string>> Rows(const RecordSet& rs);

}  // namespace sorvane::testing
