#include "transfer/standardize.h"

#include <fmt/format.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "core/convert.h"
#include "core/errors.h"
#include "core/text.h"

namespace sorvane {
namespace {

struct TableStatements {
  const char* name;
  int table;                            // the workbook table whose status label reports the work
  std::vector<const char*> upper_case;  // the columns set to UCASE(column)
  // The PRIOR statement is split around the review date: pieces[0] d pieces[1] d pieces[2].
  std::array<const char*, 3> prior;
};

constexpr const char* kPointsPrior =
    " SET REVIEWED = 'PRIOR' WHERE POINT_ID IN (SELECT DISTINCT POINT_ID FROM MT_TEMP4 WHERE "
    "SAM_DATE <= #";

const TableStatements kStatements[] = {
    {"1",
     1,
     {"POINT_ID", "COL_METHOD", "CONTRACT"},
     {nullptr, "#) OR POINT_ID IN (SELECT DISTINCT POINT_ID FROM MT_TEMP3 WHERE WL_DATE<=#",
      "#) "}},
    {"2",
     2,
     {"POINT_ID", "STATUS", "MATERIAL", "AQUIFER", "CONTRACT"},
     {nullptr, "#) OR POINT_ID IN (SELECT DISTINCT POINT_ID FROM MT_TEMP3 WHERE WL_DATE<=#",
      "#) "}},
    {"2A",
     2,
     {"POINT_ID", "A_PARAMETER", "UNITS"},
     {nullptr, "#) OR POINT_ID IN (SELECT DISTINCT POINT_ID FROM MT_TEMP3 WHERE WL_DATE<=#",
      "#) "}},
    {"3",
     3,
     {"POINT_ID", "CONTRACT"},
     {"UPDATE MT_TEMP3 SET REVIEWED = 'PRIOR' WHERE WL_DATE <= #", "# ", nullptr}},
    {"4",
     4,
     {"POINT_ID", "SAM_ID", "MATRIX", "SAM_SOURCE", "CONTRACT"},
     {"UPDATE MT_TEMP4 SET REVIEWED = 'PRIOR' WHERE SAM_DATE <= #", "# ", nullptr}},
    {"4A",
     4,
     {"POINT_ID", "SAM_ID", "FIELDTEST", "UNITS"},
     {"UPDATE MT_TEMP4 INNER JOIN MT_TEMP4A ON (MT_TEMP4.SAM_ID = MT_TEMP4A.SAM_ID) AND "
      "(MT_TEMP4.POINT_ID = MT_TEMP4A.POINT_ID) AND (MT_TEMP4.SITE = MT_TEMP4A.SITE) SET "
      "MT_TEMP4A.REVIEWED = 'PRIOR' WHERE (((MT_TEMP4.SAM_DATE)<= #",
      "# ))", nullptr}},
    {"5",
     5,
     {"POINT_ID", "SAM_ID", "METHOD", "UNITS", "LAB_Q"},
     {"UPDATE MT_TEMP5 INNER JOIN MT_TEMP4 ON (MT_TEMP5.SAM_ID = MT_TEMP4.SAM_ID) AND "
      "(MT_TEMP5.POINT_ID = MT_TEMP4.POINT_ID) AND (MT_TEMP5.SITE = MT_TEMP4.SITE) SET "
      "MT_TEMP5.REVIEWED = 'PRIOR' WHERE (((MT_TEMP4.SAM_DATE)<= #",
      "#))", nullptr}},
};

const TableStatements& StatementsOf(const std::string& name) {
  for (const auto& s : kStatements)
    if (name == s.name) return s;
  throw Error(5, "Invalid procedure call or argument: no temporary table MT_TEMP" + name + ".");
}

std::string PriorStatement(const TableStatements& s, const std::string& d) {
  if (s.prior[0] == nullptr) {
    // Points (tables 1, 2, 2A) are PRIOR through their samples or water levels.
    return std::string("UPDATE MT_TEMP") + s.name + kPointsPrior + d + s.prior[1] + d + s.prior[2];
  }
  return std::string(s.prior[0]) + d + s.prior[1];
}

void Run(RunState& state, std::string sql) { state.WorkConn.Execute(sql); }

// Upper case as the engine's case-blind comparison folds it: ASCII letters only.
std::string AsciiUpper(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

// A name's matching form, remembered on each thread: a table repeats the same
// few laboratories and contaminants a million times, and the form depends on
// the name alone.
template <std::string (*Form)(std::string_view)>
const std::string& Remembered(std::string_view name) {
  struct Slot {
    bool used = false;
    std::string name, form;
  };
  thread_local std::vector<Slot> slots(1024);
  Slot& s = slots[std::hash<std::string_view>{}(name) % slots.size()];
  if (!s.used || s.name != name) {
    s.used = true;
    s.name.assign(name);
    s.form = Form(name);
  }
  return s.form;
}

void Caption(RunState& state, int table, const char* caption) {
  state.StatusLabel(table).caption = caption;
  state.Refresh();
}

// The name normalisations as SQL functions, so that a table of a million
// results is normalised in one pass inside the engine.
void RegisterNormaliseFunctions(Connection& conn) {
  conn.RegisterTextFunction("SV_NOFORMAT", NormaliseName);
  conn.RegisterTextFunction("SV_LABNOFORMAT", NormaliseLabName);
}

void StandardizeAnalytical(RunState& state) {
  RegisterNormaliseFunctions(state.WorkConn);

  Caption(state, 5, "Normalizing Laboratory Names...");
  state.WorkConn.ExecuteNative("UPDATE MT_TEMP5 SET LABNOFORMAT = SV_LABNOFORMAT(LABORATORY)");
  Run(state,
      "UPDATE MT_TEMP5 INNER JOIN MT_LAB ON MT_TEMP5.LABNOFORMAT = MT_LAB.NOFORMAT SET "
      "MT_TEMP5.LAB =MT_LAB.LAB ");
  Run(state, "UPDATE MT_TEMP5 SET LAB = 0 WHERE LAB IS NULL");

  Caption(state, 5, "Standardizing SPLP Method...");
  Run(state, "UPDATE MT_TEMP5 SET MT_TEMP5.METHOD = '1312' WHERE UCASE(METHOD) Like 'SPLP%'");

  Caption(state, 5, "Standardizing Contaminant Names.");
  state.WorkConn.ExecuteNative("UPDATE MT_TEMP5 SET CONT_NAME_NOFORMAT = SV_NOFORMAT(CONT_NAME)");
}

}  // namespace

RowStandardizer::RowStandardizer(Connection& conn, const std::string& name,
                                 std::vector<std::string> columns)
    : conn_(&conn), name_(name), columns_(std::move(columns)) {
  const TableStatements& s = StatementsOf(name);
  const size_t given = columns_.size();
  auto find = [&](std::string_view column) -> int {
    for (size_t k = 0; k < given; ++k) {
      if (EqualsNoCase(columns_[k], column)) return static_cast<int>(k);
    }
    return -1;
  };
  // The place of a column the standardisation fills: where the transfer binds
  // it, or a further column of the insert.
  auto slot = [&](const char* column) -> int {
    if (const int k = find(column); k >= 0) return k;
    columns_.emplace_back(column);
    return static_cast<int>(columns_.size() - 1);
  };
  for (const char* column : s.upper_case) {
    if (const int k = find(column); k >= 0) upper_.push_back(static_cast<size_t>(k));
  }
  reviewed_ = slot("REVIEWED");
  if (name != "5") return;
  method_ = find("METHOD");
  laboratory_ = find("LABORATORY");
  cont_name_ = find("CONT_NAME");
  lab_form_ = slot("LABNOFORMAT");
  cont_form_ = slot("CONT_NAME_NOFORMAT");
  // The keys come from MT_LAB by the matching form, compared as the engine
  // compares that column (ASCII letter case aside). When one form has two
  // keys, or a form is not stored as text, the statement decides instead.
  RecordSet labs = conn.QueryNative("SELECT NOFORMAT, LAB FROM MT_LAB WHERE NOFORMAT IS NOT NULL");
  bool by_statement = false;
  for (int64_t r = 0; r < labs.RecordCount() && !by_statement; ++r) {
    const Value& form = labs.At(r, 0);
    by_statement = form.kind() != Value::Kind::kText ||
                   !labs_.emplace(AsciiUpper(form.AsText()), labs.At(r, 1)).second;
  }
  if (!by_statement) lab_ = slot("LAB");
}

std::string RowStandardizer::StoredText(const Value& v) const {
  if (v.kind() == Value::Kind::kText) return v.AsText();
  if (v.IsMissing()) return {};
  // A number or date in a text column is stored in the engine's own text form.
  const Value stored = conn_->QueryValue("SELECT CAST(?1 AS TEXT)", {v});
  return stored.kind() == Value::Kind::kText ? stored.AsText() : std::string();
}

void RowStandardizer::FlagPriorBy(const std::string& date) {
  if (name_ != "5" && name_ != "4A") return;
  for (size_t i = 0; i < key_columns_.size(); ++i) {
    for (size_t k = 0; k < columns_.size(); ++k) {
      if (EqualsNoCase(columns_[k], kKeyColumns[i])) key_columns_[i] = static_cast<int>(k);
    }
    if (key_columns_[i] < 0) return;
  }
  // The condition of the PRIOR statement, evaluated by the engine as there.
  const RecordSet samples = conn_->Query(
      "SELECT MT_TEMP4.SITE, MT_TEMP4.POINT_ID, MT_TEMP4.SAM_ID FROM MT_TEMP4 WHERE "
      "(((MT_TEMP4.SAM_DATE)<= #" +
      date + "#))");
  for (int64_t r = 0; r < samples.RecordCount(); ++r) {
    std::string key;
    bool matchable = true;
    for (size_t i = 0; i < key_columns_.size(); ++i) {
      const Value& v = samples.At(r, i);
      if (v.IsMissing()) matchable = false;  // NULL equals nothing
      if (!matchable) break;
      if (!PlainKey(v)) return;  // the statement decides
      key += AsciiUpper(v.AsText());
      key += '\0';
    }
    if (matchable) prior_keys_.insert(std::move(key));
  }
  prior_keys_ready_ = true;
}

bool RowStandardizer::AppliesAlone(const std::vector<Value>& row) const {
  auto alone = [&](size_t k) {
    return k >= row.size() || row[k].kind() == Value::Kind::kText || row[k].IsMissing();
  };
  for (size_t k : upper_) {
    if (!alone(k)) return false;
  }
  for (int k : {laboratory_, cont_name_}) {
    if (k >= 0 && !alone(static_cast<size_t>(k))) return false;
  }
  return true;
}

// The join of the PRIOR statement compares the keys as the columns' NOCASE
// collation does: ASCII letters folded, nothing else, so upper-cased texts
// match exactly when it matches them. Up to a NUL it compares otherwise.
bool RowStandardizer::PlainKey(const Value& v) {
  return v.kind() == Value::Kind::kText && v.AsText().find('\0') == std::string::npos;
}

void RowStandardizer::FlagPrior(std::vector<Value>& row) const {
  std::string key;
  for (int k : key_columns_) {
    const Value& v = row[static_cast<size_t>(k)];
    if (v.IsMissing()) return;  // stored as NULL, it matches no sample
    if (!PlainKey(v)) {
      prior_undecided_ = true;
      return;
    }
    key += AsciiUpper(v.AsText());
    key += '\0';
  }
  if (prior_keys_.count(key) != 0) row[static_cast<size_t>(reviewed_)] = Value::Text("PRIOR");
}

void RowStandardizer::Apply(std::vector<Value>& row) const {
  row.resize(columns_.size());
  auto at = [&](int k) -> Value& { return row[static_cast<size_t>(k)]; };
  for (size_t k : upper_) {
    if (!row[k].IsMissing()) row[k] = Value::Text(UpperCase(StoredText(row[k])));
  }
  at(reviewed_) = Value::Text("NEW");
  if (prior_keys_ready_) FlagPrior(row);
  if (name_ != "5") return;
  auto text = [&](int k) { return k >= 0 ? StoredText(at(k)) : std::string(); };
  // UCASE(METHOD) LIKE 'SPLP%': the engine's LIKE ignores the case of ASCII letters.
  if (method_ >= 0 && at(method_).kind() == Value::Kind::kText) {
    const std::string& method = at(method_).AsText();
    if (method.size() >= 4 && AsciiUpper(method.substr(0, 4)) == "SPLP") {
      at(method_) = Value::Text("1312");
    }
  }
  at(lab_form_) = Value::Text(Remembered<NormaliseLabName>(text(laboratory_)));
  if (lab_ >= 0) {
    auto it = labs_.find(AsciiUpper(at(lab_form_).AsText()));
    if (it != labs_.end()) at(lab_) = it->second;
    if (at(lab_).IsMissing()) at(lab_) = Value::Integer(0);
  }
  at(cont_form_) = Value::Text(Remembered<NormaliseName>(text(cont_name_)));
}

void FinishStandardize(RunState& state, const RowStandardizer& rows) {
  const std::string& name = rows.name();
  const TableStatements& s = StatementsOf(name);
  // The label passes through the same steps as with the statements, though
  // the rows were standardised as they went in.
  Caption(state, s.table, "Standardizing Upper Case for some fields.");
  if (state.FlagByReviewDate()) {
    Caption(state, s.table, "Flagging Prior Data.");
    if (!rows.prior_decided()) Run(state, PriorStatement(s, ReviewDateLiteral(state)));
  }
  if (name != "5") return;
  Caption(state, 5, "Normalizing Laboratory Names...");
  if (!rows.lab_keys_filled()) {
    Run(state,
        "UPDATE MT_TEMP5 INNER JOIN MT_LAB ON MT_TEMP5.LABNOFORMAT = MT_LAB.NOFORMAT SET "
        "MT_TEMP5.LAB =MT_LAB.LAB ");
    Run(state, "UPDATE MT_TEMP5 SET LAB = 0 WHERE LAB IS NULL");
  }
  Caption(state, 5, "Standardizing SPLP Method...");
  Caption(state, 5, "Standardizing Contaminant Names.");
}

std::string NormaliseName(std::string_view name) {
  std::string s(name);
  for (char c : {'-', ',', ' ', ')', '(', '&', '/', '.', '+', '*'}) {
    if (s.find(c) != std::string::npos) s = StripChar(s, c);
  }
  return UpperCase(s);
}

std::string NormaliseLabName(std::string_view name) {
  std::string s = NormaliseName(name);
  if (s.find("LABORATOR") != std::string::npos) {
    s = ReplaceAll(s, "LABORATORIES", "LAB");
    s = ReplaceAll(s, "LABORATORY", "LAB");
  }
  if (s.find("INC") != std::string::npos) s = ReplaceAll(s, "INC", "");
  return s;
}

std::string ReviewDateLiteral(const RunState& state) {
  const std::string& text = state.view.me_ReviewDate.text;
  auto d = ToDate(text);
  if (!d) {
    // The dialect's message for a criterion that is not a date, as the check
    // window shows database messages.
    throw DatabaseError(-2147217913,
                        "Data type mismatch in criteria expression (review date '" + text + "').");
  }
  // Four year digits always, so that the literal is never read as a two-digit year.
  return fmt::format("{}/{}/{:04}", d->month(), d->day(), d->year());
}

void Standardize(RunState& state, const std::string& name) {
  const TableStatements& s = StatementsOf(name);

  Caption(state, s.table, "Standardizing Upper Case for some fields.");
  std::string upper = "UPDATE MT_TEMP" + name + " SET ";
  for (const char* column : s.upper_case) {
    upper += std::string(column == s.upper_case.front() ? "" : ", ") + column + " = UCASE(" +
             column + ")";
  }
  Run(state, upper);
  Run(state, "UPDATE MT_TEMP" + name + " SET REVIEWED = 'NEW'");

  if (state.FlagByReviewDate()) {
    Caption(state, s.table, "Flagging Prior Data.");
    Run(state, PriorStatement(s, ReviewDateLiteral(state)));
  }

  if (name == "5") StandardizeAnalytical(state);
}

}  // namespace sorvane
