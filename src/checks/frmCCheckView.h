// The check window as a UI-free class. It runs the catalogue of one table
// against the work database, shows each check's verdict on its status label
// (pass text on button colours, fail text highlighted, bold/underline by
// severity), records the table's verdict (stage 8 passed, 7 failed) with a check
// mark on its "Run Checks" item, and lists the problem records of a failed check
// in its grid. Runs are synchronous and never yield.
//
// A query the database rejects (a missing table or view) does not stop the
// window: the check shows as failed, its grid is empty and the message box
// shows the engine's "number description" (once per run for the same error).
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "checks/check_history.h"
#include "checks/check_results.h"
#include "checks/check_view_state.h"
#include "checks/clsReviewObject.h"
#include "checks/export_result.h"
#include "checks/list_hints.h"
#include "core/record_set.h"
#include "state/run_state.h"
#include "state/sheet_places.h"

namespace sorvane {

class ErrorWorkbookExport;
class frmCMinorTableView;

class frmCCheckView {
 public:
  explicit frmCCheckView(RunState& state);
  ~frmCCheckView();
  frmCCheckView(const frmCCheckView&) = delete;
  frmCCheckView& operator=(const frmCCheckView&) = delete;

  // Loads and shows the window: every table below stage 8 goes to 7, then the
  // checks of `SelectedTable` run (0: all five tables, the window ends on
  // table 5). On a window already loaded it only brings it forward.
  void Form_Load();
  bool loaded() const { return loaded_; }

  // Runs every check of `intChkTable` (1..5); true when all passed. On a
  // failure the first failed check is opened in the grid; with `ExcelOutput`
  // every failed check is opened in turn and handed to `WriteCheckErrors`.
  // Any other table number does nothing and returns false.
  bool RunAllChecks(int intChkTable, bool ExcelOutput);
  // Tables 1 to 5 in this order.
  void mnuRunChecksAll_Click();
  // Table verdict: true = 8 and the "Run Checks" item checked, false = 7, unchecked.
  void SetTableStatus(bool Status, int intTable);
  // Runs check `index` of `CheckList` (shows its pending text first); true when
  // its query returns no row. `table` is not used.
  bool RunCheck(int table, int index);
  // Runs the queries of every check of `tables` at once, on the machine's
  // cores, so that the runs that follow find their rows ready.
  void PrefetchChecks(const std::vector<int>& tables);
  // The same for the places queries of the failed checks of `tables`
  // (problem_places.h), for a run that wants the workbook places.
  void PrefetchPlaces(const std::vector<int>& tables);
  // The rows of the queries run while this window is open.
  CheckResults& Results() { return results_; }
  // Pass or fail text and style on label `label`.
  void ShowCheckResult(int label, const clsReviewObject& check, bool failed);

  // The selection handler of check `index` (click or double click of its
  // option button, click of its label): runs it again, then shows its pass
  // text and hides the grid, or shows its fail text and its problem records
  // under "Table n: " & fail text. Neither `Status` nor the table's verdict
  // changes. Indexes outside the current catalogue are ignored.
  void SelectCheck(int index);
  // Selecting option button `index` (the others of the group clear), then the
  // selection handler.
  void optReview_Click(int index);
  void lblStatus_Click(int index) { SelectCheck(index); }

  // Sorts the problem records ascending on column `column`; errors are ignored.
  void DataGrid1_HeadClick(int column);
  // Where visible row `row` of the grid's problem records stands in the
  // workbooks, a line per place ("1234567_5.xls, Analytical Data, row 3806,
  // cells H"), at most ten and then "and 4 more rows"; "" when that is not
  // known (the rows were not imported in this run, the grid shows no check's
  // rows; a check of more than 200,000 rows says where to look instead).
  // Worked out for the check in the grid when first asked, then kept.
  std::string GridRowPlaces(int64_t row);
  // Whether visible row `row` of the grid is new since the checks of the
  // table last ran over other workbooks (check_history.h): only when the
  // run state keeps a check history, and the rows are still those compared.
  bool GridRowIsNew(int64_t row) const;

  // "Run Checks": 1..5 a table, 7 all tables, 9 Exit; others do nothing.
  void mnuRunChecks_Click(int index);
  // "View Reference Tables": 0..3, the list of that index in the one
  // reference-list window.
  void mnuRef_Click(int index);
  // "Output to Excel": 1..5 the errors of a table, 7 of all tables
  // (error_workbook_export.h).
  ExportResult mnuExcelChecks_Click(int index);
  // How many check queries could not run since the window was built.
  int failed_queries() const { return failed_queries_; }
  // "Marked Copies of the Workbooks": runs the checks of all five tables and
  // writes a copy of each workbook with its problems marked (marked_copies.h)
  // into the data folder's "Checked" folder, then says where.
  void mnuMarkedCopies_Click();
  // The error workbook of this window, made at its first use; it installs
  // WriteCheckErrors.
  ErrorWorkbookExport& ErrorExport();

  // Grid height = height - 5325 and width = width - 510, each only when > 100.
  void Form_Resize(int width_twips, int height_twips);
  // Unload (close box or "Exit"): closes the reference-list window if open,
  // shows the main window, default mouse pointer, unloads this window.
  void Form_Unload();

  CheckViewState& view() { return view_; }
  const CheckViewState& view() const { return view_; }

  // The catalogue of the table run last.
  std::vector<clsReviewObject> CheckList;
  // The record set that feeds the grid: after a failed check was opened it
  // holds that check's problem records (what the error workbook writes).
  std::shared_ptr<RecordSet> adoProblemRS;
  // Stop flag of an all-tables export to the error workbook, and the failure
  // that set it (for a front-end that says why the workbook is not whole).
  bool ExportStopped = false;
  std::string ExportStopReason;
  // Writes the problem records of check `index` of `table` to the error
  // workbook; called by RunAllChecks(table, true) for every failed check, with
  // `adoProblemRS` holding its records. A failure it throws sets ExportStopped.
  std::function<void(int table, int index)> WriteCheckErrors;
  // The program's one reference-list window. When not set, the check window
  // keeps a window of its own.
  std::function<frmCMinorTableView&()> ReferenceWindow;

 private:
  frmCMinorTableView& References();
  // Shows a database error unless the same text was shown during this run, or
  // the run was asked to stop (a query cut short then is no fault to tell).
  void ReportError(const std::string& number_description);
  int failed_queries_ = 0;
  void FillGrid(int index, const clsReviewObject& check);
  // Keeps what the checks of `table` just found in the data folder's check
  // history and says on each check's label what changed since the checks of
  // other workbooks.
  void RecordHistory(int table);
  // The check whose problem records the grid shows, for GridRowPlaces: its
  // rows as the query gave them, and the record set shown for them (they
  // themselves, or a sorted copy).
  struct GridCheck {
    int table = 0;
    clsReviewObject check;
    std::shared_ptr<const RecordSet> rows;
    const RecordSet* shown = nullptr;
    std::optional<PlaceLists> places;
    const std::vector<bool>* is_new = nullptr;  // by the order the query gave the rows
    int index = -1;
    std::optional<ListHints> hints = std::nullopt;  // read afresh for each check shown
  } grid_check_;
  // What the last recorded run of `changes_table_` found changed, while the
  // work database is as it was then (`changes_stamp_`).
  std::optional<TableChanges> changes_;
  int changes_table_ = 0;
  std::string changes_stamp_;

  RunState& state_;
  CheckResults results_;
  CheckViewState view_;
  bool loaded_ = false;
  int current_table_ = 0;
  int last_check_ = -1;
  int run_depth_ = 0;               // > 0 while a table's checks run
  std::set<std::string> reported_;  // errors shown during the current run
  std::unique_ptr<frmCMinorTableView> own_references_;
  std::shared_ptr<ErrorWorkbookExport> error_workbook_;  // held while the window is open
};

}  // namespace sorvane
