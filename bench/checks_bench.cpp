// All 64 data checks over a large facility: 100,000 analytical results on
// 30,000 samples, with points, wells, water levels and field tests in
// proportion and about one row in a hundred broken, in a work database file
// built from the shipped schema (same tables, same indexes).
//
//   checks_bench [results samples]     (default: 100000 30000)
//   checks_bench --db FILE             a work database a review left behind
//   checks_bench --db FILE --only 5.13 one check's query, timed five times
//
// With SORVANE_BENCH_KEEP set, the database file is kept for a closer look.
//
// Prints the time of every check's full query (every problem row read) with
// the tables its query plan scans whole, the slowest checks, and the time of
// the check window running all five tables ("Run Checks" / "All Tables":
// verdicts plus the grid of each table's first failed check). Best of three
// runs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "checks/ModChecks.h"
#include "checks/check_query.h"
#include "checks/frmCCheckView.h"
#include "checks/problem_places.h"
#include "core/date.h"
#include "core/ui_port.h"
#include "state/run_state.h"
#include "workdb/jet_sql.h"
#include "workdb/work_database.h"

namespace {

using sorvane::Connection;
using sorvane::Inserter;
using sorvane::Value;
using Clock = std::chrono::steady_clock;

const std::string kSite = "1234567";

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

std::vector<std::string> Column(Connection& conn, const std::string& sql) {
  std::vector<std::string> out;
  sorvane::RecordSet rs = conn.QueryNative(sql);
  for (int64_t r = 0; r < rs.RecordCount(); ++r) out.push_back(rs.At(r, 0).ToDisplay());
  return out;
}

Value T(const std::string& s) { return Value::Text(s); }
Value N(double d) { return Value::Real(d); }
Value D(int year, int month, int day) {
  return T(sorvane::Date::FromParts(year, month, day)->ToIso());
}

// Deterministic pseudo-random numbers, so every run checks the same data.
struct Rng {
  uint64_t s = 0x9E3779B97F4A7C15ull;
  uint64_t Next() {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return s;
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }
  bool OneIn(int n) { return Below(n) == 0; }
};

void Fill(Connection& conn, int64_t results, int64_t samples) {
  const auto contracts = Column(conn, "SELECT CONTRACT FROM MT_CONTRACTOR");
  const auto sources = Column(conn, "SELECT SOURCE_ID FROM MT_SAMPLE_SOURCE");
  // One order for the columns of a table: rowid, whatever index a query might use.
  const auto analytes = Column(conn, "SELECT ANALYTE FROM MT_ANALYTE ORDER BY rowid");
  const auto noformats = Column(conn, "SELECT ANALYTENOFORMAT FROM MT_ANALYTE ORDER BY rowid");
  const auto cas = Column(conn, "SELECT CAS FROM MT_ANALYTE ORDER BY rowid");
  const auto labs = Column(conn, "SELECT NAME FROM MT_LAB ORDER BY rowid");
  const auto lab_keys = Column(conn, "SELECT LAB FROM MT_LAB ORDER BY rowid");
  const int64_t points = std::max<int64_t>(samples / 10, 10);
  const int64_t wells = points / 2;
  Rng rng;
  auto point = [](int64_t p) { return "P-" + std::to_string(p); };
  auto contract = [&]() {
    return rng.OneIn(100) ? Value() : T(contracts[rng.Below(contracts.size())]);
  };

  sorvane::Transaction tx(conn);
  {
    Inserter ins(conn, "MT_TEMP1",
                 {"SITE", "POINT_ID", "LAT_DD", "LAT_MM", "LAT_SS", "LONG_DD", "LONG_MM", "LONG_SS",
                  "NAVD", "COL_METHOD", "CONTRACT", "COMMENTS", "REVIEWED"});
    for (int64_t p = 0; p < points; ++p) {
      const Value v[] = {T(kSite),
                         T(point(p)),
                         N(27),
                         N(49 + rng.Below(3)),
                         N(rng.Below(60)),
                         N(82),
                         N(29 + rng.Below(3)),
                         N(rng.Below(61)),
                         rng.OneIn(100) ? Value() : N(99 + rng.Below(4)),
                         T(std::string(1, "ABCDE"[rng.Below(5)])),
                         contract(),
                         T("survey"),
                         T(rng.OneIn(4) ? "PRIOR" : "NEW")};
      for (int i = 0; i < 13; ++i) ins.Bind(i, v[i]);
      ins.Step();
    }
  }
  {
    Inserter w(conn, "MT_TEMP2",
               {"SITE", "POINT_ID", "INSTALL_DATE", "STATUS", "TOC", "TOP_SCR", "BOT_SCR", "BOC",
                "DIA", "MATERIAL", "AQUIFER", "CONTRACT", "COMMENTS", "REVIEWED"});
    Inserter a(conn, "MT_TEMP2A",
               {"SITE", "POINT_ID", "A_PARAMETER", "VALUE", "UNITS", "REVIEWED"});
    for (int64_t p = 0; p < wells; ++p) {
      const Value v[] = {T(kSite),
                         T(point(p)),
                         D(1995 + rng.Below(8), 1 + rng.Below(12), 1),
                         T(rng.OneIn(100) ? "BROKEN" : "ACTIVE"),
                         N(100 + rng.Below(3)),
                         N(10),
                         N(20),
                         N(rng.OneIn(100) ? 19 : 25),
                         N(2),
                         T("PVC"),
                         T("SURFICIAL"),
                         contract(),
                         T("driller"),
                         T("NEW")};
      for (int i = 0; i < 14; ++i) w.Bind(i, v[i]);
      w.Step();
      const std::pair<const char*, double> params[] = {
          {"NE", rng.OneIn(50) ? 5 : 20}, {"KX", 0.01}, {"T", 0.1}, {"S", 0.22}, {"B", 15}};
      for (const auto& [code, value] : params) {
        const Value pv[] = {T(kSite), T(point(p)), T(code), N(value), T(""), T("NEW")};
        for (int i = 0; i < 6; ++i) a.Bind(i, pv[i]);
        a.Step();
      }
    }
  }
  {
    Inserter ins(conn, "MT_TEMP3",
                 {"SITE", "POINT_ID", "WL_DATE", "WL", "CONTRACT", "COMMENTS", "REVIEWED"});
    for (int64_t i = 0; i < samples / 3; ++i) {
      const int64_t p = rng.Below(static_cast<int>(wells + wells / 50));  // a few without well
      const Value v[] = {T(kSite),
                         T(point(p)),
                         D(2002 + static_cast<int>(i % 20), 1 + static_cast<int>(i / 20 % 12),
                           1 + static_cast<int>(i / 240 % 28)),
                         rng.OneIn(100) ? Value() : N(80 + rng.Below(20)),
                         contract(),
                         T("level"),
                         T("NEW")};
      for (int k = 0; k < 7; ++k) ins.Bind(k, v[k]);
      ins.Step();
    }
  }
  {
    Inserter s(conn, "MT_TEMP4",
               {"SITE", "POINT_ID", "SAM_ID", "SAM_DATE", "MATRIX", "SAM_SOURCE", "DEPTH_BLS",
                "CONTRACT", "COMMENTS", "REVIEWED"});
    Inserter f(conn, "MT_TEMP4A",
               {"SITE", "POINT_ID", "SAM_ID", "FIELDTEST", "VALUE", "UNITS", "REVIEWED"});
    for (int64_t i = 0; i < samples; ++i) {
      const std::string p = point(i % points);
      const std::string id = "S-" + std::to_string(i);
      const bool solid = rng.OneIn(5);
      const Value v[] = {T(kSite),
                         T(p),
                         T(id),
                         D(2002 + rng.Below(20), 1 + rng.Below(12), 1 + rng.Below(28)),
                         T(solid ? "SOLID" : "LIQUID"),
                         T(sources[rng.Below(sources.size())]),
                         rng.OneIn(100) ? Value() : N(10 + rng.Below(11)),
                         contract(),
                         T("sampling"),
                         T(rng.OneIn(4) ? "PRIOR" : "NEW")};
      for (int k = 0; k < 10; ++k) s.Bind(k, v[k]);
      s.Step();
      if (solid) continue;
      const std::pair<const char*, double> tests[] = {{"PH", 4 + rng.Below(6)},
                                                      {"TEMPERATURE", 14 + rng.Below(18)},
                                                      {"DO", rng.Below(12)},
                                                      {"TURB", rng.Below(320)}};
      for (const auto& [code, value] : tests) {
        const Value tv[] = {T(kSite), T(p), T(id), T(code), N(value), T(""), T("NEW")};
        for (int k = 0; k < 7; ++k) f.Bind(k, tv[k]);
        f.Step();
      }
    }
  }
  {
    Inserter r(conn, "MT_TEMP5",
               {"SITE", "POINT_ID", "SAM_ID", "METHOD", "CAS_NUMBER", "CONT_NAME", "CONCENTRATION",
                "UNITS", "LAB_Q", "MDL", "COMMENTS", "LABORATORY", "CONT_NAME_NOFORMAT",
                "LABNOFORMAT", "LAB", "REVIEWED"});
    for (int64_t i = 0; i < results; ++i) {
      const int64_t sample = rng.Below(static_cast<int>(samples + samples / 100));
      const int a = rng.Below(static_cast<int>(analytes.size()));
      const int l = rng.Below(static_cast<int>(labs.size()));
      const bool unknown = rng.OneIn(100);
      const Value v[] = {T(kSite),
                         T(point(sample % points)),
                         T("S-" + std::to_string(sample)),
                         T(rng.OneIn(100) ? "  " : "8260"),
                         T(rng.OneIn(100) ? "0-0-0" : cas[a]),
                         T(analytes[a]),
                         N(1 + rng.Below(50)),
                         T(rng.OneIn(100) ? "ug/kg" : "ug/l"),
                         T(rng.OneIn(3) ? "U" : "J"),
                         N(1),
                         T("report"),
                         unknown ? T("Nowhere Lab") : T(labs[l]),
                         T(noformats[a]),
                         T(""),
                         unknown ? N(0) : N(std::stod(lab_keys[l])),
                         T(rng.OneIn(4) ? "PRIOR" : "NEW")};
      for (int k = 0; k < 16; ++k) r.Bind(k, v[k]);
      r.Step();
    }
  }
  tx.Commit();
  // No ANALYZE: a review's transfer leaves the engine no statistics, and with
  // them it plans some checks differently (5.5 took 5 s instead of 0.5 s at
  // 1,000,000 results on 300,000 samples).
}

}  // namespace

// The steps of a query's plan that read a table whole ("SCAN MT_TEMP5"),
// joined by "; ".
std::string FullScans(Connection& conn, const std::string& jet_sql) {
  sorvane::RecordSet plan =
      conn.QueryNative("EXPLAIN QUERY PLAN " + sorvane::TranslateJet(jet_sql));
  std::string scans;
  for (int64_t r = 0; r < plan.RecordCount(); ++r) {
    const std::string detail = plan.At(r, 3).ToDisplay();
    if (detail.rfind("SCAN ", 0) != 0 || detail.find("USING COVERING INDEX") != std::string::npos)
      continue;
    if (!scans.empty()) scans += "; ";
    scans += detail;
  }
  return scans;
}

int Run(int argc, char** argv) {
  const bool existing = argc > 2 && std::string(argv[1]) == "--db";
  const int64_t results = !existing && argc > 1 ? std::atoll(argv[1]) : 100000;
  const int64_t samples = !existing && argc > 2 ? std::atoll(argv[2]) : 30000;
  const auto file = existing ? std::filesystem::path(argv[2])
                             : std::filesystem::temp_directory_path() / "sorvane_checks_bench.db";

  sorvane::SilentUi ui;
  sorvane::RunState state(ui, sorvane::Paths{});
  if (existing) {
    state.WorkConn.Open(file);
    std::printf("facility: the work database %s\n", file.c_str());
  } else {
    std::filesystem::remove(file);
    state.WorkConn.Create(file);
    sorvane::InstallWorkDatabase(state.WorkConn);
    auto t0 = Clock::now();
    Fill(state.WorkConn, results, samples);
    std::printf("facility: %lld results, %lld samples (built in %.1f s)\n",
                static_cast<long long>(results), static_cast<long long>(samples),
                Seconds(Clock::now() - t0));
  }

  if (existing && argc > 4 && std::string(argv[3]) == "--only") {
    const std::string only = argv[4];
    const size_t dot = only.find('.');
    const int t = std::atoi(only.c_str()), i = std::atoi(only.c_str() + dot + 1);
    std::vector<sorvane::clsReviewObject> list;
    sorvane::BuildChecks(t, kSite, list);
    if (dot == std::string::npos || t < 1 || t > 5 || i < 0 || i >= static_cast<int>(list.size())) {
      std::fprintf(stderr, "no check %s\n", only.c_str());
      return 2;
    }
    for (int run = 0; run < 5; ++run) {
      state.WorkConn.Remember("", "", nullptr);  // each run finds its rows anew
      auto s = Clock::now();
      const sorvane::RecordSet rs =
          sorvane::QueryCheckRows(state.WorkConn, list[static_cast<size_t>(i)].qryProblems);
      std::printf("  %s %8.3f s  %7lld rows\n", only.c_str(), Seconds(Clock::now() - s),
                  static_cast<long long>(rs.RecordCount()));
    }
    return 0;
  }

  // Every check's full query, reading all its problem rows.
  struct Timing {
    int table, index;
    double seconds;
    int64_t rows;
    std::string scans;
  };
  std::vector<Timing> timings;
  double best_total = 1e9;
  for (int run = 0; run < 3; ++run) {
    std::vector<Timing> this_run;
    double total = 0;
    for (int t = 1; t <= 5; ++t) {
      std::vector<sorvane::clsReviewObject> list;
      sorvane::BuildChecks(t, kSite, list);
      for (size_t i = 0; i < list.size(); ++i) {
        state.WorkConn.Remember("", "", nullptr);  // as in a review, where each runs once
        auto s = Clock::now();
        sorvane::RecordSet rs = sorvane::QueryCheckRows(state.WorkConn, list[i].qryProblems);
        double sec = Seconds(Clock::now() - s);
        total += sec;
        this_run.push_back({t, static_cast<int>(i), sec, rs.RecordCount(), ""});
      }
    }
    if (total < best_total) {
      best_total = total;
      timings = this_run;
    }
  }
  std::printf("every check's query, every problem row read (best of 3), and its full scans:\n");
  for (Timing& t : timings) {
    std::vector<sorvane::clsReviewObject> list;
    sorvane::BuildChecks(t.table, kSite, list);
    t.scans = FullScans(state.WorkConn, list[static_cast<size_t>(t.index)].qryProblems);
    std::printf("  %d.%-2d %8.3f s  %7lld rows  %s\n", t.table, t.index, t.seconds,
                static_cast<long long>(t.rows), t.scans.c_str());
    if (t.rows == 0) continue;
    // A failed check's places cost one more query (problem_places.h), run right after the check
    // on the same connection, as in a review.
    const std::string& sql = list[static_cast<size_t>(t.index)].qryProblems;
    state.WorkConn.Remember("", "", nullptr);
    const sorvane::PlacesQuery q = sorvane::MakePlacesQuery(
        state.WorkConn, t.table, sql, kSite, sorvane::QueryCheckRows(state.WorkConn, sql));
    if (q.own_table.empty()) continue;
    const auto s = Clock::now();
    const int64_t rows = sorvane::QueryCheckRows(state.WorkConn, q.sql).RecordCount();
    std::printf("        places %8.3f s  %7lld rows  %s\n", Seconds(Clock::now() - s),
                static_cast<long long>(rows), FullScans(state.WorkConn, q.sql).c_str());
  }
  std::printf("all 64 check queries, every problem row read: %.3f s\n", best_total);
  std::sort(timings.begin(), timings.end(),
            [](const Timing& a, const Timing& b) { return a.seconds > b.seconds; });
  std::printf("slowest checks:\n");
  for (size_t i = 0; i < 8 && i < timings.size(); ++i)
    std::printf("  %d.%-2d %8.3f s  %7lld rows\n", timings[i].table, timings[i].index,
                timings[i].seconds, static_cast<long long>(timings[i].rows));

  // The check window running all five tables.
  state.FacilityID = kSite;
  double best_window = 1e9;
  for (int run = 0; run < 3; ++run) {
    sorvane::frmCCheckView view(state);
    state.SelectedTable = 0;
    auto s = Clock::now();
    view.Form_Load();
    best_window = std::min(best_window, Seconds(Clock::now() - s));
    view.Form_Unload();
  }
  std::printf("check window, all tables (verdicts and first failed grids): %.3f s\n", best_window);
  std::printf("table statuses:");
  for (int t = 1; t <= 5; ++t) std::printf(" %d", state.Tables[t].TableStatus);
  std::printf("\n");
  state.WorkConn.Close();
  if (existing) {
    // Not ours to remove.
  } else if (std::getenv("SORVANE_BENCH_KEEP") != nullptr) {
    std::printf("database kept: %s\n", file.c_str());
  } else {
    std::filesystem::remove(file);
  }
  return 0;
}

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "checks_bench: %s\n", e.what());
    return 1;
  }
}
