#include "transfer/xfer_routines.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/errors.h"
#include "core/text.h"
#include "state/second_core.h"
#include "state/yield_pacer.h"
#include "transfer/row_pipeline.h"
#include "transfer/standardize.h"
#include "transfer/transfer.h"
#include "workdb/connection.h"

namespace sorvane {
namespace {

// A main routine: one target row per source record. `sources` names, for each
// column of the SELECT in turn, the field of `TempRecordset`(table) that fills
// it; nullptr writes the empty text.
struct MainRoutine {
  int table;
  const char* name;  // the temporary table's suffix, also Standardize's argument
  const char* delete_sql;
  const char* select_sql;  // the target's columns, in the order they are assigned
  std::vector<const char*> sources;
  bool saves_row_seen_at_cancel;  // Xfer3 leaves that row out
  bool sets_status;               // Xfer4 leaves table 4's status to Xfer4A
};

struct Parameter {
  const char* code;
  const char* field;
  const char* units;
};

// A companion routine: one target row per parameter value present in a source
// record (a value of 0 is present; only a missing value is skipped).
struct CompanionRoutine {
  int table;
  const char* name;
  const char* delete_sql;
  const char* select_sql;
  std::vector<const char*> key_fields;  // copied into SITE, POINT_ID[, SAM_ID]
  const char* code_column;              // A_PARAMETER or FIELDTEST
  const char* source_field;             // TEST_METHOD into SOURCE, or nullptr
  std::vector<Parameter> parameters;
};

const MainRoutine kXfer1{
    1,
    "1",
    "DELETE * FROM MT_TEMP1",
    "SELECT SITE, POINT_ID, LAT_DD, LAT_MM, LAT_SS, LONG_DD, LONG_MM, LONG_SS, NAVD, COL_METHOD, "
    "COL_DATE, CONTRACT, COMMENTS FROM MT_TEMP1 WHERE SITE IS NULL",
    {"FAC_ID", "POINT_ID", "LAT_DD", "LAT_MM", "LAT_SS", "LONG_DD", "LONG_MM", "LONG_SS", "NAVD",
     "SL_METHOD", "SL_COL_DATE", "SL_CONTRACT", "SL_COMMENTS"},
    true,
    true};

const MainRoutine kXfer2{
    2,
    "2",
    "DELETE * FROM MT_TEMP2",
    "SELECT SITE, POINT_ID, FLUW_ID, INSTALL_DATE, STATUS, TOC, TOP_SCR, BOT_SCR, BOC, DIA, "
    "MATERIAL, AQUIFER, CONTRACT, COMMENTS FROM MT_TEMP2 WHERE SITE IS NULL",
    {"FAC_ID", "POINT_ID", "FLUW_ID", "INSTALL_DATE", "STATUS", "TOC", "TOP_SCR", "BOT_SCR", "BOC",
     "DIA", "MATERIAL", "AQUIFER", "W_CONTRACT", "W_COMMENTS"},
    true,
    true};

const MainRoutine kXfer3{
    3,
    "3",
    "DELETE * FROM MT_TEMP3",
    "SELECT SITE, POINT_ID, WL_DATE, WL, CONTRACT, COMMENTS FROM MT_TEMP3 WHERE SITE IS NULL",
    {"FAC_ID", "POINT_ID", "WL_DATE", "WL", "WL_CONTRACT", "WL_COMMENTS"},
    false,
    true};

const MainRoutine kXfer4{
    4,
    "4",
    "DELETE * FROM MT_TEMP4",
    "SELECT SITE, POINT_ID, SAM_ID, SAM_DATE, MATRIX, SAM_SOURCE, DEPTH_BLS, CONTRACT, COMMENTS "
    "FROM MT_TEMP4 WHERE SITE IS NULL",
    {"FAC_ID", "POINT_ID", "SAM_ID", "SAM_DATE", "MATRIX", "SAM_SOURCE", "DEPTH_BLS", "F_CONTRACT",
     "F_COMMENTS"},
    true,
    false};

const MainRoutine kXfer5{
    5,
    "5",
    "DELETE * FROM MT_TEMP5",
    "SELECT SITE, POINT_ID, SAM_ID, METHOD, CAS_NUMBER, CONT_NAME, CONCENTRATION, UNITS, LAB_Q, "
    "MDL, Comments, LABORATORY,  CONT_NAME_NOFORMAT FROM MT_TEMP5 WHERE SITE IS NULL",
    {"FAC_ID", "POINT_ID", "SAM_ID", "METHOD", "CAS_NUMBER", "CONT_NAME", "CONC", "UNITS", "LAB_Q",
     "MDL", "a_COMMENTS", "A_LABORATORY", nullptr},
    true,
    true};

const CompanionRoutine kXfer2A{
    2,
    "2A",
    "DELETE * FROM MT_TEMP2A",
    "SELECT SITE, POINT_ID, A_PARAMETER, VALUE, UNITS, SOURCE, COMMENTS FROM MT_TEMP2A WHERE SITE "
    "IS NULL",
    {"FAC_ID", "POINT_ID"},
    "A_PARAMETER",
    "TEST_METHOD",
    {{"T", "T", "SQ FT/S"},
     {"S", "S", ""},
     {"KX", "KX", "FT/S"},
     {"B", "B", "FT"},
     {"NE", "NE", ""}}};

const CompanionRoutine kXfer4A{
    4,
    "4A",
    "DELETE * FROM MT_TEMP4A",
    "SELECT SITE, POINT_ID, SAM_ID, FIELDTEST, VALUE, UNITS, COMMENTS FROM MT_TEMP4A WHERE SITE IS "
    "NULL",
    {"FAC_ID", "POINT_ID", "SAM_ID"},
    "FIELDTEST",
    nullptr,
    {{"FE", "FE", "UG/L"},
     {"DO", "DO", "MG/L"},
     {"REDOX", "REDOX", "MV"},
     {"TURB", "TURB", "NTU"},
     {"PH", "PH", ""},
     {"TEMPERATURE", "TEMP", "C"},
     {"CONDUCTIVITY", "CONDUCTIVITY", "US/CM"}}};

// The columns a "SELECT a, b, ... FROM t WHERE ..." names, and its table.
std::vector<std::string> SelectColumns(std::string_view select, std::string* table) {
  const size_t from = select.find(" FROM ");
  std::string_view list = select.substr(7, from - 7);  // after "SELECT "
  std::vector<std::string> columns;
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = list.find(',', start);
    if (comma == std::string_view::npos) comma = list.size();
    columns.emplace_back(TrimWhitespace(list.substr(start, comma - start)));
    start = comma + 1;
  }
  std::string_view rest = select.substr(from + 6);
  *table = std::string(rest.substr(0, rest.find(' ')));
  return columns;
}

// The target's indexes are set aside while it is filled and standardised and
// rebuilt once at the end: one sort per index instead of a b-tree update per
// row and per UPDATE pass. Used inside the routine's transaction, so a failure
// puts them back with the rows.
class DeferredIndexes {
 public:
  DeferredIndexes(Connection& conn, const std::string& table) : conn_(conn) {
    RecordSet rs = conn_.QueryNative(
        "SELECT name, sql FROM sqlite_master WHERE type = 'index' AND tbl_name = ?1 COLLATE "
        "NOCASE AND sql IS NOT NULL",
        {Value::Text(table)});
    for (int64_t r = 0; r < rs.RecordCount(); ++r) {
      create_.emplace_back(rs.TextAt(r, 1));
      conn_.ExecuteNative("DROP INDEX \"" + ReplaceAll(rs.TextAt(r, 0), "\"", "\"\"") + "\"");
    }
  }
  // `between` runs after each index but the last (the window's turn: each
  // build is one statement that cannot yield).
  void Rebuild(const std::function<void()>& between = {}) {
    for (size_t i = 0; i < create_.size(); ++i) {
      if (i > 0 && between) between();
      conn_.ExecuteLargeSort(create_[i]);
    }
    create_.clear();
  }

 private:
  Connection& conn_;
  std::vector<std::string> create_;
};

int SourceField(const RecordSet& source, const char* name) {
  int i = source.FieldIndex(name);
  if (i < 0) {
    throw Error(3265, std::string("Item cannot be found in the collection corresponding to the "
                                  "requested name or ordinal. (") +
                          name + ")");
  }
  return i;
}

// The rowid the engine gives the next row added to `table`: one past the
// largest left in it (1 once it is empty). Rows added one by one without a
// delete between them are numbered on from there without gaps.
int64_t NextRowid(Connection& conn, const std::string& table) {
  return static_cast<int64_t>(
      conn.QueryValue("SELECT COALESCE(MAX(rowid), 0) + 1 FROM \"" + table + "\"").ToDouble());
}

// Columns that standardisation fills from a column of the workbook's.
void AddDerivedColumns(const std::string& name, TempRowSources& sources) {
  if (name != "5") return;
  sources.column_fields.insert(sources.column_fields.end(), {{"CONT_NAME_NOFORMAT", "CONT_NAME"},
                                                             {"LABNOFORMAT", "A_LABORATORY"},
                                                             {"LAB", "A_LABORATORY"}});
}

// The routine holds its own share of the rows: closing the window while the
// transfer yields replaces every table's record set.
// The typed rows in the order they were read, every one of them: a row's
// place in the workbook is known by that order, so a sort or filter a grid
// put on them must not reorder or drop what goes over.
std::shared_ptr<const RecordSet> Source(RunState& state, int table) {
  const std::shared_ptr<RecordSet>& rows = state.TempRecordset[table];
  if (!rows) throw Error(91, "Object variable or With block variable not set");
  if (rows->InOrderAdded()) return rows;
  return std::make_shared<RecordSet>(rows->AllInOrderAdded());
}

// Binds a row's values; the row stays as it is until the insert's Step.
void Bind(Inserter& insert, const std::vector<Value>& row) {
  for (size_t k = 0; k < row.size(); ++k) insert.BindKept(static_cast<int>(k), row[k]);
}

// Ends a table's transfer and commits it; true when a cancel was seen. A
// cancel seen from here on (the window has its turn between the steps below)
// leaves the table whole and stops the next one. A cancelled table keeps the
// rows added so far as they were read, never standardised: they go in again
// without it (`read_kept`(k) gives the k-th of `kept`, in `columns`).
bool FinishTransfer(RunState& state, Transaction& tx, const std::string& target,
                    const std::vector<std::string>& columns, TempRowSources& sources, int64_t kept,
                    const std::function<void(int64_t, std::vector<Value>&)>& read_kept,
                    const RowStandardizer& standardizer, DeferredIndexes& indexes) {
  const bool cancelled = state.CancelRequested;
  if (cancelled) {
    state.WorkConn.ExecuteNative("DELETE FROM \"" + target + "\" WHERE rowid >= ?1",
                                 {Value::Integer(sources.first_rowid)});
    Inserter insert(state.WorkConn, target, columns);
    std::vector<Value> row;
    for (int64_t k = 0; k < kept; ++k) {
      read_kept(k, row);
      Bind(insert, row);
      insert.Step();
    }
    indexes.Rebuild();
    state.view.ProgressBar.value = state.view.ProgressBar.min;
  } else {
    StageTimer timer(state.Timings, "standardisation");
    FinishStandardize(state, standardizer);
    state.DoEvents();
    indexes.Rebuild([&] { state.DoEvents(); });
  }
  tx.Commit();
  state.RowSources[standardizer.name()] = std::move(sources);
  return cancelled;
}

void RunMain(RunState& state, const MainRoutine& r) {
  Transaction tx(state.WorkConn);
  state.view.DataGrid1.visible = false;
  ExecSql(state, r.delete_sql);

  const std::shared_ptr<const RecordSet> source_rows = Source(state, r.table);
  const RecordSet& source = *source_rows;
  const int64_t count = source.RecordCount();
  ProgressState& progress = state.view.ProgressBar;
  progress.min = 1;
  progress.max = count + 1;
  progress.value = 1;
  progress.visible = true;

  std::string target;
  const std::vector<std::string> columns = SelectColumns(r.select_sql, &target);
  std::vector<int> fields;
  for (const char* s : r.sources) fields.push_back(s != nullptr ? SourceField(source, s) : -1);
  const Value empty_text = Value::Text("");

  state.RowSources.erase(r.name);
  TempRowSources sources;
  sources.table = r.table;
  sources.first_rowid = NextRowid(state.WorkConn, target);
  for (size_t k = 0; k < columns.size(); ++k) {
    if (r.sources[k] != nullptr) sources.column_fields.emplace_back(columns[k], r.sources[k]);
  }
  AddDerivedColumns(r.name, sources);

  // Each row is standardised as it is bound, so the table is written once.
  RowStandardizer standardizer(state.WorkConn, r.name, columns);
  if (state.FlagByReviewDate()) standardizer.FlagPriorBy(ReviewDateLiteral(state));
  auto read_row = [&](int64_t i, std::vector<Value>& row) {
    row.clear();
    for (size_t k = 0; k < fields.size(); ++k) {
      row.push_back(fields[k] >= 0 ? source.At(i, static_cast<size_t>(fields[k])) : empty_text);
    }
  };
  DeferredIndexes indexes(state.WorkConn, target);
  {
    Inserter insert(state.WorkConn, target, standardizer.columns());
    // The rows are read and standardised a block ahead on the second core.
    RowPipeline<PreparedRow> rows(
        count,
        [&](int64_t i, PreparedRow& row) {
          read_row(i, row.values);
          row.done = standardizer.AppliesAlone(row.values);
          if (row.done) standardizer.Apply(row.values);
        },
        UsesSecondCore(state, count));
    YieldPacer pacer;
    for (int64_t i = 0; i < count; ++i) {
      if (pacer.Due(i)) state.DoEvents();
      PreparedRow& row = rows.Take(i);
      if (!row.done) standardizer.Apply(row.values);
      Bind(insert, row.values);
      const bool cancel = state.CancelRequested;
      if (!cancel || r.saves_row_seen_at_cancel) {
        insert.Step();
        ++sources.rows;
      }
      ++progress.value;
      if (cancel) break;
    }
  }

  const bool cancelled = FinishTransfer(state, tx, target, columns, sources, sources.rows, read_row,
                                        standardizer, indexes);
  if (cancelled)
    state.Tables[r.table].TableStatus = stage::kCancelled;
  else if (r.sets_status)
    state.Tables[r.table].TableStatus = stage::kTransferred;
}

void RunCompanion(RunState& state, const CompanionRoutine& r) {
  Transaction tx(state.WorkConn);
  state.view.DataGrid1.visible = false;
  ExecSql(state, r.delete_sql);

  std::string target;
  SelectColumns(r.select_sql, &target);
  const std::shared_ptr<const RecordSet> source_rows = Source(state, r.table);
  const RecordSet& source = *source_rows;

  std::vector<std::string> columns = {"SITE", "POINT_ID"};
  if (r.key_fields.size() > 2) columns.push_back("SAM_ID");
  columns.insert(columns.end(), {r.code_column, "VALUE", "UNITS"});
  if (r.source_field != nullptr) columns.push_back("SOURCE");

  std::vector<int> keys;
  for (const char* k : r.key_fields) keys.push_back(SourceField(source, k));
  const int source_field = r.source_field != nullptr ? SourceField(source, r.source_field) : -1;
  std::vector<int> values;
  std::vector<Value> codes, units;
  for (const Parameter& p : r.parameters) {
    values.push_back(SourceField(source, p.field));
    codes.push_back(Value::Text(p.code));
    units.push_back(Value::Text(p.units));
  }

  state.RowSources.erase(r.name);
  TempRowSources sources;
  sources.table = r.table;
  sources.companion = true;
  sources.first_rowid = NextRowid(state.WorkConn, target);
  for (size_t k = 0; k < r.key_fields.size(); ++k) {
    sources.column_fields.emplace_back(columns[k], r.key_fields[k]);
  }
  if (r.source_field != nullptr) sources.column_fields.emplace_back("SOURCE", r.source_field);
  for (const Parameter& p : r.parameters) sources.parameter_fields.emplace_back(p.field);

  RowStandardizer standardizer(state.WorkConn, r.name, columns);
  if (state.FlagByReviewDate()) standardizer.FlagPriorBy(ReviewDateLiteral(state));
  auto read_row = [&](int64_t i, size_t p, std::vector<Value>& row) {
    row.clear();
    for (int k : keys) row.push_back(source.At(i, static_cast<size_t>(k)));
    row.push_back(codes[p]);
    row.push_back(source.At(i, static_cast<size_t>(values[p])));
    row.push_back(units[p]);
    if (source_field >= 0) row.push_back(source.At(i, static_cast<size_t>(source_field)));
  };
  DeferredIndexes indexes(state.WorkConn, target);
  {
    Inserter insert(state.WorkConn, target, standardizer.columns());
    const int64_t count = source.RecordCount();
    RowPipeline<PreparedRecord> records(
        count,
        [&](int64_t i, PreparedRecord& record) {
          record.count = 0;
          record.parameters.clear();
          record.done = true;
          for (size_t p = 0; p < values.size(); ++p) {
            if (source.At(i, static_cast<size_t>(values[p])).IsMissing()) continue;
            if (record.rows.size() == record.count) record.rows.emplace_back();
            std::vector<Value>& row = record.rows[record.count++];
            read_row(i, p, row);
            record.parameters.push_back(static_cast<uint8_t>(p));
            record.done = record.done && standardizer.AppliesAlone(row);
          }
          if (!record.done) return;
          for (size_t k = 0; k < record.count; ++k) standardizer.Apply(record.rows[k]);
        },
        UsesSecondCore(state, count));
    YieldPacer pacer;
    for (int64_t i = 0; i < count; ++i) {
      if (pacer.Due(i)) state.DoEvents();
      PreparedRecord& record = records.Take(i);
      for (size_t k = 0; k < record.count; ++k) {
        if (!record.done) standardizer.Apply(record.rows[k]);
        Bind(insert, record.rows[k]);
        insert.Step();
        sources.records.push_back(static_cast<int32_t>(i));
        sources.parameters.push_back(record.parameters[k]);
        ++sources.rows;
      }
      if (state.CancelRequested) break;
    }
  }

  const auto read_kept = [&](int64_t k, std::vector<Value>& row) {
    const auto at = static_cast<size_t>(k);
    read_row(sources.records[at], sources.parameters[at], row);
  };
  const bool cancelled = FinishTransfer(state, tx, target, columns, sources,
                                        static_cast<int64_t>(sources.records.size()), read_kept,
                                        standardizer, indexes);
  state.Tables[r.table].TableStatus = cancelled ? stage::kCancelled : stage::kTransferred;
}

}  // namespace

void Xfer1(RunState& state) { RunMain(state, kXfer1); }
void Xfer2(RunState& state) { RunMain(state, kXfer2); }
void Xfer2A(RunState& state) { RunCompanion(state, kXfer2A); }
void Xfer3(RunState& state) { RunMain(state, kXfer3); }
void Xfer4(RunState& state) { RunMain(state, kXfer4); }
void Xfer4A(RunState& state) { RunCompanion(state, kXfer4A); }
void Xfer5(RunState& state) { RunMain(state, kXfer5); }

}  // namespace sorvane
