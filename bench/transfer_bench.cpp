// Transfer plus standardisation of a large Table 5, compared in the same run
// with the least any program could do: a bare SQLite prepared insert of the
// same rows into a table of the same columns without indexes, in one
// transaction. Both write to a work database file built from the shipped
// schema; the transfer fills MT_TEMP5 with its indexes.
//
//   transfer_bench [rows ...]        (default: 100000 1000000)
//
// Prints, per row count, the best of a few runs of each and their ratio.
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/convert.h"
#include "core/ui_port.h"
#include "state/run_state.h"
#include "transfer/transfer.h"
#include "workdb/work_database.h"

namespace {

using Clock = std::chrono::steady_clock;

// Notes the time at which each step's caption appears on Table 5's label, to
// show where the transfer spends its time.
class StepClock : public sorvane::SilentUi {
 public:
  void Refresh() override {
    if (state == nullptr) return;
    const std::string& c = state->StatusLabel(5).caption;
    if (steps.empty() || steps.back().first != c) steps.emplace_back(c, Clock::now());
  }
  sorvane::RunState* state = nullptr;
  std::vector<std::pair<std::string, Clock::time_point>> steps;
};

struct Row {
  std::string fac, point, sample, method, cas, name, units, lab_q, comments, lab;
  double conc, mdl;
};

const char* const kNames[] = {
    "Benzene",        "Toluene",        "Ethylbenzene", "Xylenes, total", "1,1-Dichloroethane",
    "Benzo(a)pyrene", "Naphthalene",    "Lead",         "Arsenic",        "cis-1,2-Dichloroethene",
    "Vinyl chloride", "Trichloroethene"};
const char* const kMethods[] = {"8260B", "8270C", "6010B", "SPLP 6010", "splp-8260", "7470A"};
const char* const kLabs[] = {"Acme Laboratories, Inc.",          "XYZ LABORATORIES",
                             "Gulf Coast Analytical Laboratory", "Nowhere Testing Shed",
                             "Live Oak Laboratories Inc",        ""};

std::vector<Row> MakeRows(int64_t n) {
  std::vector<Row> rows;
  rows.reserve(static_cast<size_t>(n));
  for (int64_t i = 0; i < n; ++i) {
    Row r;
    r.fac = "1234567";
    r.point = "mw-" + std::to_string(i % 300);
    r.sample = "s-" + std::to_string(i % 20000);
    r.method = kMethods[i % 6];
    r.cas = std::to_string(71 + i % 12) + "-43-2";
    r.name = kNames[i % 12];
    r.units = i % 3 == 0 ? "ug/l" : "MG/KG";
    r.lab_q = i % 4 == 0 ? "u" : "";
    r.comments = i % 10 == 0 ? "diluted x10" : "";
    r.lab = kLabs[i % 6];
    r.conc = 0.001 * static_cast<double>(i % 5000);
    r.mdl = 0.05;
    rows.push_back(std::move(r));
  }
  return rows;
}

// The typed rows as the data-type validation leaves them (empty cells missing).
void FillTempRecordset(sorvane::RunState& state, const std::vector<Row>& rows) {
  using sorvane::Value;
  sorvane::RecordSet& rs = *state.TempRecordset[5];
  rs.Reset();
  const std::pair<const char*, int> fields[] = {
      {"FAC_ID", 200},     {"POINT_ID", 200},  {"SAM_ID", 200},     {"METHOD", 200},
      {"CAS_NUMBER", 200}, {"CONT_NAME", 200}, {"CONC", 4},         {"UNITS", 200},
      {"LAB_Q", 200},      {"MDL", 4},         {"A_COMMENTS", 200}, {"A_LABORATORY", 200}};
  for (const auto& [name, type] : fields) rs.AppendField(name, type, type == 200 ? 255 : 4);
  rs.Open();
  auto text = [](const std::string& s) { return s.empty() ? Value() : Value::Text(s); };
  for (const Row& r : rows) {
    rs.AddNew();
    rs.SetValue(size_t{0}, text(r.fac));
    rs.SetValue(size_t{1}, text(r.point));
    rs.SetValue(size_t{2}, text(r.sample));
    rs.SetValue(size_t{3}, text(r.method));
    rs.SetValue(size_t{4}, text(r.cas));
    rs.SetValue(size_t{5}, text(r.name));
    rs.SetValue(size_t{6}, Value::Real(r.conc));
    rs.SetValue(size_t{7}, text(r.units));
    rs.SetValue(size_t{8}, text(r.lab_q));
    rs.SetValue(size_t{9}, Value::Real(r.mdl));
    rs.SetValue(size_t{10}, text(r.comments));
    rs.SetValue(size_t{11}, text(r.lab));
  }
}

void Check(int rc, sqlite3* db) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE) {
    std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
    std::exit(1);
  }
}

double BareInsert(sqlite3* db, const std::vector<Row>& rows) {
  const auto start = Clock::now();
  Check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
  sqlite3_stmt* st = nullptr;
  Check(sqlite3_prepare_v2(db,
                           "INSERT INTO MT_BARE5 (SITE, POINT_ID, SAM_ID, METHOD, CAS_NUMBER, "
                           "CONT_NAME, CONCENTRATION, UNITS, LAB_Q, MDL, COMMENTS, LABORATORY, "
                           "CONT_NAME_NOFORMAT) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,'')",
                           -1, &st, nullptr),
        db);
  auto text = [st](int i, const std::string& s) {
    if (s.empty())
      sqlite3_bind_null(st, i);
    else
      sqlite3_bind_text(st, i, s.data(), static_cast<int>(s.size()), SQLITE_STATIC);
  };
  for (const Row& r : rows) {
    text(1, r.fac);
    text(2, r.point);
    text(3, r.sample);
    text(4, r.method);
    text(5, r.cas);
    text(6, r.name);
    sqlite3_bind_double(st, 7, r.conc);
    text(8, r.units);
    text(9, r.lab_q);
    sqlite3_bind_double(st, 10, r.mdl);
    text(11, r.comments);
    text(12, r.lab);
    Check(sqlite3_step(st), db);
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double Transfer(sorvane::RunState& state) {
  state.Tables[5].TableStatus = 4;
  const auto start = Clock::now();
  sorvane::Xfer_to_Access(state, 5);
  const double s = std::chrono::duration<double>(Clock::now() - start).count();
  if (state.Tables[5].TableStatus != 6) {
    std::fprintf(stderr, "transfer did not complete (status %d)\n", state.Tables[5].TableStatus);
    std::exit(1);
  }
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int64_t> counts;
  for (int i = 1; i < argc; ++i) counts.push_back(std::atoll(argv[i]));
  if (counts.empty()) counts = {100000, 1000000};

  const char* where = std::getenv("SORVANE_BENCH_DIR");
  const auto dir =
      std::filesystem::path(where != nullptr ? where : "/tmp") / "sorvane-transfer-bench";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);

  StepClock ui;
  sorvane::RunState state(ui, sorvane::Paths{dir, {}});
  ui.state = &state;
  state.KeepsImportedRows = false;  // as a review from the command line
  state.WorkConn.Create(dir / "GIS_WORK.db");
  sorvane::InstallWorkDatabase(state.WorkConn);
  // Flag by a review date, against 20,000 samples in MT_TEMP4: the full work.
  state.view.Option1[1].selected = true;
  state.view.me_ReviewDate.text = "6/30/2002";
  state.WorkConn.ExecuteNative(
      "WITH RECURSIVE k(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM k WHERE i < 19999) "
      "INSERT INTO MT_TEMP4 (SITE, POINT_ID, SAM_ID, SAM_DATE) SELECT '1234567', "
      "'MW-' || (i % 300), 'S-' || i, CASE WHEN i % 2 = 0 THEN '2002-01-01 00:00:00' ELSE "
      "'2003-01-01 00:00:00' END FROM k");
  sqlite3* db = state.WorkConn.handle();
  // MT_TEMP5's columns, without its indexes.
  const std::string create =
      state.WorkConn
          .QueryValue("SELECT sql FROM sqlite_master WHERE type = 'table' AND name = 'MT_TEMP5'")
          .ToDisplay();
  state.WorkConn.ExecuteNative("CREATE TABLE MT_BARE5" + create.substr(create.find('(')));

  std::printf("%10s %12s %12s %8s\n", "rows", "bare insert", "transfer", "ratio");
  for (int64_t n : counts) {
    const std::vector<Row> rows = MakeRows(n);
    FillTempRecordset(state, rows);
    const int runs = n <= 200000 ? 3 : 1;
    double bare = 1e30, xfer = 1e30;
    std::vector<std::pair<std::string, Clock::time_point>> best_steps;
    for (int k = 0; k < runs; ++k) {
      state.WorkConn.ExecuteNative("DELETE FROM MT_BARE5");
      bare = std::min(bare, BareInsert(db, rows));
      state.WorkConn.ExecuteNative("DELETE FROM MT_TEMP5");
      ui.steps.clear();
      const double t = Transfer(state);
      if (t < xfer) {
        xfer = t;
        best_steps = ui.steps;
      }
    }
    std::printf("%10lld %11.3fs %11.3fs %7.2fx\n", static_cast<long long>(n), bare, xfer,
                xfer / bare);
    for (size_t i = 0; i + 1 < best_steps.size(); ++i) {
      std::printf(
          "    %7.3fs  %s\n",
          std::chrono::duration<double>(best_steps[i + 1].second - best_steps[i].second).count(),
          best_steps[i].first.c_str());
    }
    std::fflush(stdout);
  }
  state.WorkConn.Close();
  std::filesystem::remove_all(dir);
  return 0;
}
