// The clean facility of tests/data/checks/facility.sql in an in-memory work
// database: points, wells, levels, samples and results that pass all 64 checks,
// built with values picked from the reference data the program ships. Those
// values are written $NAME in the SQL and in expected texts.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/record_set.h"
#include "state/run_state.h"
#include "support/scripted_ui.h"
#include "workdb/connection.h"

namespace sorvane::testing {

class FacilityTest : public ::testing::Test {
 public:
  void SetUp() override;

  // `text` with every $NAME replaced by its value (quotes doubled in `sql`).
  std::string Expand(const std::string& text, bool sql = false) const;
  // Runs SQLite statements that may hold $NAMEs.
  void Exec(const std::string& sql) { conn.ExecuteNative(Expand(sql, true)); }
  // Runs check `index` of `table` built for the facility (or `facility_id`) as
  // a review runs it (QueryCheckRows).
  RecordSet RunCheck(int table, int index, const std::string& facility_id = "");
  // The work database copied into a file `name` of the test folder and opened
  // there, where a second connection can read it: every table is read in
  // halves (LeastRowsToHalve 0) until the test ends.
  Connection& OnFileInHalves(const std::string& name);
  void TearDown() override;

  ScriptedUi ui;
  RunState state{ui, Paths{}};
  Connection& conn = state.WorkConn;  // the work database of the run
  std::string facility;               // $SITE
  std::string other_site;             // $OTHER, another site of the reference data

 private:
  std::vector<std::pair<std::string, std::string>> values_;  // longest name first
  Connection on_file_;
  std::optional<int64_t> least_rows_;  // to restore
};

// Field names of a record set, in order.
std::vector<std::string> Columns(const RecordSet& rs);
// Every row as the texts a person sees ("" for a missing value).
std::vector<std::vector<std::string>> Rows(const RecordSet& rs);

}  // namespace sorvane::testing
