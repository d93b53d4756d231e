// Standardisation of a freshly filled temporary table: key text columns in
// upper case, every row flagged "NEW", rows on or before the review date
// flagged "PRIOR" when the user asked for it, and for the analytical results
// the laboratory and contaminant names reduced to the punctuation-free
// upper-case form the reference tables are matched on, the laboratory keys
// (0 for a laboratory MT_LAB lacks) and the SPLP methods rewritten to "1312".
//
// Statements are sent through `WorkConn` in the program's dialect and are not
// caught here: a rejected statement throws (sorvane::Error) to the caller,
// which runs the whole table inside one transaction and rolls it back.
#pragma once

#include <array>
#include <atomic>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "state/run_state.h"

namespace sorvane {

// Standardises the temporary table "MT_TEMP" + name; name is "1", "2", "2A",
// "3", "4", "4A" or "5". Writes its progress on the table's status label.
// Throws Error for an unknown name, a review date that is not a date, or a
// statement the database rejects.
void Standardize(RunState& state, const std::string& name);

// The standardisation of each row of "MT_TEMP" + name done as the transfer
// binds it, instead of by Standardize's statements over the filled table: the
// same columns upper-cased, REVIEWED "NEW" and, for the analytical results,
// the matching forms of the laboratory and contaminant names, the laboratory
// key (0 for one MT_LAB lacks) and the SPLP methods as "1312" — the outcome of
// the statements, value for value (the tests hold the two side by side). What
// needs other tables' rows is left to FinishStandardize: the laboratory keys
// when MT_LAB gives one matching form two keys, and the PRIOR flags unless
// FlagPriorBy could decide them for every row.
class RowStandardizer {
 public:
  // `columns`: the target columns the transfer binds, in order. Reads MT_LAB
  // for the analytical results; throws Error for an unknown name.
  RowStandardizer(Connection& conn, const std::string& name, std::vector<std::string> columns);
  // The columns to insert: the given ones, then those the standardiser fills.
  const std::vector<std::string>& columns() const { return columns_; }
  // `row` holds the given columns' values; they are standardised in place and
  // the filled ones follow.
  void Apply(std::vector<Value>& row) const;
  // Whether Apply works on `row` without asking the database: every value it
  // reads as text is text already (or missing). Such an Apply may run on
  // another thread beside the connection's own work.
  bool AppliesAlone(const std::vector<Value>& row) const;
  // For the results and the field tests, flagged through their samples: reads
  // the keys of MT_TEMP4's samples on or before the review date (`date` as
  // ReviewDateLiteral gives it), so that Apply flags each row PRIOR or NEW as
  // the statement would. A row Apply cannot decide alone (a key that is not
  // text, or holds a NUL, which the engine compares in its own way) is left
  // NEW, and the statement runs after all (see prior_decided).
  void FlagPriorBy(const std::string& date);
  // Whether Apply flagged every row as the PRIOR statement would have.
  bool prior_decided() const { return prior_keys_ready_ && !prior_undecided_; }
  const std::string& name() const { return name_; }
  bool lab_keys_filled() const { return lab_ >= 0; }

 private:
  std::string StoredText(const Value& v) const;
  static bool PlainKey(const Value& v);
  void FlagPrior(std::vector<Value>& row) const;
  static constexpr const char* kKeyColumns[3] = {"SITE", "POINT_ID", "SAM_ID"};

  Connection* conn_;
  std::string name_;
  std::vector<std::string> columns_;
  std::vector<size_t> upper_;  // the given columns to upper-case
  // Positions in the insert's columns (-1: none).
  int reviewed_ = -1, method_ = -1, laboratory_ = -1, cont_name_ = -1, lab_form_ = -1,
      cont_form_ = -1, lab_ = -1;
  std::unordered_map<std::string, Value> labs_;  // MT_LAB by its matching form, upper-cased
  // The keys (SITE, POINT_ID, SAM_ID) of samples on or before the review date,
  // upper-cased, joined by NULs; their positions in the insert's columns.
  std::unordered_set<std::string> prior_keys_;
  std::array<int, 3> key_columns_{-1, -1, -1};
  bool prior_keys_ready_ = false;
  mutable std::atomic<bool> prior_undecided_{false};  // set from the preparing thread too
};

// The rest of Standardize for a table whose rows a RowStandardizer prepared.
void FinishStandardize(RunState& state, const RowStandardizer& rows);

// The review date as the PRIOR statements carry it between # signs: the date
// the user typed (any accepted text form), written month first as M/D/YYYY.
// Throws Error when the review-date box does not hold a date.
std::string ReviewDateLiteral(const RunState& state);

// A contaminant (or any) name in its matching form: the ten characters
// - , blank ) ( & / . + * removed, then upper case.
std::string NormaliseName(std::string_view name);
// A laboratory name in its matching form: NormaliseName, then every
// "LABORATORIES" and then every "LABORATORY" replaced by "LAB", then every
// "INC" removed (left to right, without rescanning).
std::string NormaliseLabName(std::string_view name);

}  // namespace sorvane
