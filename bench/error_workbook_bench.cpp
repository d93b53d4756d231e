// The error workbook of a check with more problem records than a worksheet
// holds: effective-porosity values out of range on every row of a large
// Table 2A (check 2.0 lists each one), exported as the check window's
// Output to Excel > Table 2 does, with the real worksheet size: the records
// past row 1,048,576 go on "2 (2)". Prints the time of the export, the size of
// the file and the peak resident size of the process.
//
//   error_workbook_bench [records]        (default: 1100000)
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "checks/error_workbook_export.h"
#include "checks/frmCCheckView.h"
#include "core/ui_port.h"
#include "state/run_state.h"
#include "workdb/work_database.h"

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  const long long records = argc > 1 ? std::atoll(argv[1]) : 1100000;
  const fs::path dir = fs::temp_directory_path() / "sorvane-error-workbook-bench";
  fs::remove_all(dir);
  fs::create_directories(dir);

  sorvane::SilentUi ui;
  sorvane::Paths paths;
  paths.data_dir = dir;
  sorvane::RunState state(ui, paths);
  state.WorkConn.Create(dir / "GIS_WORK.db");
  sorvane::InstallWorkDatabase(state.WorkConn);
  state.WorkConn.ExecuteNative(
      "WITH RECURSIVE k(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM k WHERE i < ?1 - 1) "
      "INSERT INTO MT_TEMP2A (SITE, POINT_ID, A_PARAMETER, VALUE, REVIEWED) "
      "SELECT '1234567', 'MW-' || i, 'NE', 5, 'NEW' FROM k",
      {sorvane::Value::Integer(records)});
  state.FacilityID = "1234567";
  for (int t = 1; t <= 5; ++t) state.Tables[t].TableStatus = 6;
  state.SelectedTable = 3;

  sorvane::frmCCheckView view(state);
  view.Form_Load();
  const fs::path file = dir / "errors.xlsx";
  view.ErrorExport().set_output_path(file);
  const auto start = std::chrono::steady_clock::now();
  const sorvane::ExportResult result = view.mnuExcelChecks_Click(2);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%lld problem records of one check: exported in %.2f s, %s, %.1f MB\n", records,
              seconds, result.whole ? "whole" : "NOT whole",
              result.saved ? static_cast<double>(fs::file_size(result.file)) / 1e6 : 0.0);
  std::printf("peak resident size of the process: %ld MB\n", usage.ru_maxrss / 1024);
  view.Form_Unload();
  state.WorkConn.Close();
  fs::remove_all(dir);
  return result.whole ? 0 : 1;
}
