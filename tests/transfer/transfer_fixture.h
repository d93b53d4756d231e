// A run state on an in-memory work database with typed workbook rows ready to
// transfer: `TempRecordset`(n) gets the fields of table n's definition in
// MT_VBSTRUCTURE, as the data-type validation leaves them, and tests add rows
// by field name.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "core/convert.h"
#include "state/run_state.h"
#include "support/scripted_ui.h"
#include "support/work_db.h"

namespace sorvane::testing {

inline Value T(std::string s) { return Value::Text(std::move(s)); }
inline Value R(double v) { return Value::Real(v); }
inline Value D(const std::string& text) { return Value::FromDate(*ToDate(text)); }

class TransferTest : public ::testing::Test {
 protected:
  TransferTest() : state(ui, Paths{}) {
    OpenTestWorkDb(state.WorkConn);
    for (int n = 1; n <= 5; ++n) {
      DefineFields(n);
      state.Tables[n].TableStatus = 4;  // as the data-type validation leaves it
    }
  }

  // Appends a typed row to `TempRecordset`(n); fields not named stay missing.
  void AddRow(int n, std::initializer_list<std::pair<const char*, Value>> values) {
    RecordSet& rs = *state.TempRecordset[n];
    rs.AddNew();
    for (const auto& [name, v] : values) rs.SetValue(name, v);
  }

  std::vector<std::string> Rows(const std::string& sql) { return QueryLines(state.WorkConn, sql); }

  int64_t Count(const std::string& table) {
    return state.WorkConn.QueryValue("SELECT count(*) FROM " + table).AsInteger();
  }

  void FlagAfter(const std::string& review_date) {
    state.view.Option1[0].selected = false;
    state.view.Option1[1].selected = true;
    state.view.me_ReviewDate.text = review_date;
  }

  ScriptedUi ui;
  RunState state;

 private:
  void DefineFields(int n) {
    RecordSet fields = state.WorkConn.QueryNative(
        "SELECT FIELD_NAME, FIELD_TYPE, FIELD_SIZE FROM MT_VBSTRUCTURE WHERE TABLE_NAME = ?1 "
        "ORDER BY FIELD_ORDER",
        {Value::Text("TEMP_" + std::to_string(n))});
    RecordSet& rs = *state.TempRecordset[n];
    rs.Reset();
    for (int64_t r = 0; r < fields.RecordCount(); ++r) {
      rs.AppendField(std::string(fields.TextAt(r, 0)), static_cast<int>(fields.At(r, 1).ToDouble()),
                     static_cast<int>(fields.At(r, 2).ToDouble()));
    }
    rs.Open();
  }
};

}  // namespace sorvane::testing
