// "Output to Excel" of the check window: writes the problem records of every
// failed check into the error workbook, one sheet per table ("1" to "5"), one
// block per failed check (a green bold title with the severity wording, the
// field names, the records). After every export the workbook is saved as
// `Errors - <FacilityID>.xlsx` in the data folder (or the file chosen with
// set_output_path) and handed to the UI port to open.
//
// The workbook lives while the check window is open: a later export of a table
// replaces that table's sheet and keeps the others.
//
// Failures stay quiet: a failure while writing a
// check (for instance an answer to the record-count question that is not a
// number) sets the check window's ExportStopped, the run goes on with the next
// failed check and an all-tables export stops before the next table.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "checks/error_workbook.h"
#include "checks/export_result.h"
#include "state/run_state.h"

namespace sorvane {

class frmCCheckView;

class ErrorWorkbookExport {
 public:
  ErrorWorkbookExport(RunState& state, frmCCheckView& view);

  // 1..5: the errors of that table; 7: of all tables in order, stopping before
  // a table once ExportStopped is set. Any other index does nothing. Then the
  // workbook is saved and opened. Once the run's StopRequested says yes
  // (before a table, at a row of the save), no further table is exported and
  // nothing is saved.
  ExportResult mnuExcelChecks_Click(int index);

  // Makes the sheet of table `n` ready: a new five-sheet workbook at the first
  // export, otherwise sheet n emptied, with "No Problems for Table n" in A1,
  // and the sheets "n (2)", ... an earlier export continued on deleted.
  void PrepareErrorSheet(int n);
  // Writes the block of check `i` of table `n` from the check window's
  // problem records; asks how many to write when there are more than 100. A
  // block that would pass the sheet's last row goes on, under its title marked
  // "(continued)", on a further sheet "n (2)", "n (3)", ... placed after it.
  void WriteCheckErrors(int n, int i);
  // The rows a sheet may hold (all of a worksheet's 1,048,576 unless a test
  // asks for fewer; at least 4).
  void set_sheet_rows(int64_t rows);

  // Where the workbook is saved; by default `Errors - <FacilityID>.xlsx` in the
  // data folder, with characters a file name cannot hold replaced by "_".
  std::filesystem::path output_path() const;
  void set_output_path(std::filesystem::path path) { output_path_ = std::move(path); }
  // The file written by the last save (empty before). A file in the way that an
  // earlier export did not leave as it is (notes a person saved into it, or a
  // workbook of another program) is not overwritten: it is kept as
  // "<name> (n).xlsx" before the new save.
  const std::filesystem::path& last_saved() const { return last_saved_; }

  // Called after the checks of a table ran for an export, with the table.
  std::function<void(int table)> TableExported;

 private:
  // Saves the workbook and hands it to the UI port; a failure is shown and
  // nothing comes back.
  std::filesystem::path Save();
  static std::string ContinuationName(int n, int k);
  // Adds the next sheet table n continues on, with its title, and makes it
  // the one written.
  ErrorSheet& NextSheet(int n);

  RunState& state_;
  frmCCheckView& view_;
  std::unique_ptr<ErrorWorkbook> workbook_;
  std::string title_;  // "Errors - " & FacilityID at the first export
  std::filesystem::path output_path_;
  std::filesystem::path last_saved_;
  int64_t sheet_rows_ = kSheetRows;
  int sheet_ = 0;         // the sheet being written (index)
  int continuation_ = 1;  // 1 on sheet "n", k on sheet "n (k)"
};

// Parses an answer to the record-count question: a number (blanks around it
// allowed, decimals rounded half to even); nothing when it is not a number.
std::optional<double> ParseRecordCount(const std::string& answer);

}  // namespace sorvane
