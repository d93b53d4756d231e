// Reading and validating a large Table 5 workbook: the read of the .xlsx into
// the sheet rows, then the field-name, facility-ID and data-type stages, timed
// separately, and the stages alone over rows handed over from memory (what the
// validation costs without the reader).
//
//   import_bench [rows ...]        (default: 200000 1000000)
//
// Prints rows per second for each part; the target is 200,000 rows per second
// for reading and validating together.
#include <sys/resource.h>
#include <xlsxwriter.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/ui_port.h"
#include "import/data_types.h"
#include "import/facility_ids.h"
#include "import/import_workbook.h"
#include "import/table_structures.h"
#include "state/run_state.h"
#include "workdb/work_database.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

const char* const kNames[] = {"Benzene",     "Toluene", "Ethylbenzene", "Xylenes, total",
                              "Naphthalene", "Lead",    "Arsenic",      "Vinyl chloride"};

// Table 5's columns in structure order, one row of texts for row i.
std::vector<std::string> MakeRow(int64_t i) {
  return {"1234567",
          "MW-" + std::to_string(i % 97),
          "S-" + std::to_string(i / 12),
          "8260B",
          "71-43-2",
          kNames[i % 8],
          std::to_string(i % 1000) + "." + std::to_string(i % 7),
          "ug/L",
          i % 5 == 0 ? "U" : "",
          "0.5",
          i % 11 == 0 ? "diluted" : "",
          "Acme Laboratories, Inc."};
}

const std::vector<std::string> kHeader = {"FAC_ID",     "POINT_ID",  "SAM_ID",     "METHOD",
                                          "CAS_NUMBER", "CONT_NAME", "CONC",       "UNITS",
                                          "LAB_Q",      "MDL",       "A_COMMENTS", "A_LABORATORY"};

void WriteWorkbook(const fs::path& file, int64_t rows) {
  lxw_workbook_options options = {};
  options.constant_memory = LXW_TRUE;
  lxw_workbook* wb = workbook_new_opt(file.string().c_str(), &options);
  lxw_worksheet* ws = workbook_add_worksheet(wb, nullptr);
  for (size_t c = 0; c < kHeader.size(); ++c)
    worksheet_write_string(ws, 0, static_cast<lxw_col_t>(c), kHeader[c].c_str(), nullptr);
  for (int64_t r = 0; r < rows; ++r) {
    std::vector<std::string> row = MakeRow(r);
    for (size_t c = 0; c < row.size(); ++c) {
      const auto rr = static_cast<lxw_row_t>(r + 1);
      const auto cc = static_cast<lxw_col_t>(c);
      if (c == 6 || c == 9) {
        worksheet_write_number(ws, rr, cc, std::strtod(row[c].c_str(), nullptr), nullptr);
      } else if (!row[c].empty()) {
        worksheet_write_string(ws, rr, cc, row[c].c_str(), nullptr);
      }
    }
  }
  workbook_close(wb);
}

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

void Report(const char* what, int64_t rows, double seconds) {
  std::printf("  %-34s %8.3f s  %10.0f rows/s\n", what, seconds, rows / seconds);
}

// Field names, facility IDs and data types on the sheet rows of table 5.
double Validate(sorvane::RunState& state) {
  auto t0 = Clock::now();
  bool ok = sorvane::CheckFieldNames(state, 5) &&
            sorvane::CheckRowFacilityIDs(state, 5, "1234567") &&
            sorvane::ConvertDataTypes(state, 5);
  auto t1 = Clock::now();
  if (!ok) std::printf("  validation failed: %s\n", state.StatusLabel(5).caption.c_str());
  return Seconds(t0, t1);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int64_t> counts;
  for (int i = 1; i < argc; ++i) counts.push_back(std::atoll(argv[i]));
  if (counts.empty()) counts = {200000, 1000000};

  const fs::path dir = fs::temp_directory_path() / "sorvane-import-bench";
  fs::create_directories(dir);
  sorvane::SilentUi ui;
  sorvane::RunState state(ui, sorvane::Paths{dir, {}});
  state.WorkConn.OpenInMemory();
  sorvane::InstallWorkDatabase(state.WorkConn);
  sorvane::LoadTableStructures(state);

  for (int64_t rows : counts) {
    std::printf("%lld rows of Table 5\n", static_cast<long long>(rows));
    const fs::path file = dir / "1234567_5.xlsx";
    WriteWorkbook(file, rows);

    // The reader alone, then the reader and the reading stage.
    auto tr = Clock::now();
    sorvane::ReadFirstWorksheet(file,
                                [](int64_t, const std::vector<std::string>&) { return true; });
    Report("reader alone", rows, Seconds(tr, Clock::now()));
    auto t0 = Clock::now();
    bool read = sorvane::ImportRows(
        state, 5,
        [&](const sorvane::ShownRowCallback& on_row, const sorvane::ShapeCallback& on_shape) {
          sorvane::ReadWorkbook(file, on_row, {}, on_shape);
        });
    auto t1 = Clock::now();
    if (!read) std::printf("  read failed: %s\n", state.StatusLabel(5).caption.c_str());
    const double read_s = Seconds(t0, t1);
    const double validate_s = Validate(state);
    Report("read .xlsx into sheet rows", rows, read_s);
    Report("validate (names, IDs, types)", rows, validate_s);
    Report("read and validate", rows, read_s + validate_s);
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    std::printf("  peak memory so far (read and validate)  %.1f MB\n", ru.ru_maxrss / 1024.0);

    // The stages alone, over rows from memory.
    std::vector<std::vector<std::string>> memory;
    memory.reserve(static_cast<size_t>(rows) + 1);
    memory.push_back(kHeader);
    for (int64_t r = 0; r < rows; ++r) memory.push_back(MakeRow(r));
    auto t2 = Clock::now();
    sorvane::ImportRows(
        state, 5, [&](const sorvane::ShownRowCallback& on_row, const sorvane::ShapeCallback&) {
          const sorvane::RowFormats none;
          for (size_t i = 0; i < memory.size(); ++i) {
            if (!on_row(static_cast<int64_t>(i) + 1, memory[i], none)) return;
          }
        });
    auto t3 = Clock::now();
    const double stages_validate_s = Validate(state);
    Report("reading stage from memory", rows, Seconds(t2, t3));
    Report("stages from memory, read+validate", rows, Seconds(t2, t3) + stages_validate_s);
    std::printf("  sheet %.1f MB, typed rows %.1f MB\n", state.SheetRecordset[5]->MemoryUse() / 1e6,
                state.TempRecordset[5]->MemoryUse() / 1e6);
  }
  fs::remove_all(dir);
  return 0;
}
