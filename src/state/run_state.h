// The run state of the program, owned by the main window for the whole run and
// shared by every subsystem: the work-database connection, the per-table
// records and their stage codes, the record sets of each table, the Facility ID,
// the cancel flag, and the main window's visible state.
//
// Stage codes (`TableStatus`): see state/stage.h.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/paths.h"
#include "core/record_set.h"
#include "core/ui_port.h"
#include "state/menu_names.h"
#include "state/sheet_places.h"
#include "state/stage.h"
#include "state/stage_times.h"
#include "state/view_state.h"
#include "state/yield_pacer.h"
#include "workdb/connection.h"

namespace sorvane {

struct TableInfo {
  std::string TempName;                // "TEMP1".."TEMP5"
  std::string Title;                   // "Sample Location" ...
  int32_t TableStatus = stage::kNone;  // a stage::Code
  bool StageOK = true;                 // whether the stage last run passed
  float XferTime = 0;                  // seconds per record of the last transfer
  // Where the last read took the table from: the workbook's file name and its
  // first worksheet's name.
  std::string WorkbookName;
  std::string SheetName;
  // Rows of the workbook (numbered as the spreadsheet shows them) that hold
  // data but were skipped because their first cell is empty.
  std::vector<int64_t> SkippedRows;
  // The workbook row of every record, the columns of the fields and the cells
  // the stages found wrong.
  SheetOrigin Origin;
};

// " 3 rows skipped, first cell empty: rows 5, 6 and 9." naming the first few
// rows and how many more; empty when no row was skipped. Labels and the
// summary end with it.
std::string SkippedRowsText(const TableInfo& table);

// The main window's controls (`frmCMain`).
struct MainView {
  std::string caption = "Sorvane Tables";
  TextBoxState txtFacilityID;
  std::array<OptionState, 2> Option1;   // "Flag as new: All Data" / "... collected after:"
  TextBoxState me_ReviewDate;           // short-date text; enabled with Option1(1)
  LabelState lblStatusAll;              // the status line
  std::array<LabelState, 5> lblStatus;  // index n-1 belongs to table n
  ProgressState ProgressBar;
  GridState DataGrid1;
  MenuMap menus;
  int mouse_pointer = kPointerDefault;
  int width = 10005;  // twips
  int height = 8340;
};

// A table's title ("Analytical Data" for 5); "" outside 1..5.
const char* TableTitle(int table);

struct RunState {
  RunState(UiPort& ui_port, Paths data_paths);

  UiPort& ui;
  Paths paths;

  Connection WorkConn;
  std::array<TableInfo, 7> Tables;  // 1..5 used
  std::shared_ptr<RecordSet> FileList;
  std::array<std::shared_ptr<RecordSet>, 6> SheetRecordset;  // 1..5 used
  std::array<std::shared_ptr<RecordSet>, 6> TempRecordset;   // 1..5 used
  // The sheet record behind every row of the temporary tables, by their
  // names' suffix ("1", "2", "2A", ... "5"), as the last transfer left them.
  std::map<std::string, TempRowSources> RowSources;
  bool CancelRequested = false;
  // The run wants the workbook places of the failed checks (a report, marked
  // copies): the check window works them out together with the checks.
  bool WantsPlaces = false;
  // The window shows a table's rows as read and as typed. A review from the
  // command line needs the rows as read only until they are typed, and the
  // typed ones only until they are in the work database: it lets them go
  // then, so that a large facility fits in less memory.
  bool KeepsImportedRows = true;
  // Whether the check window keeps what each table's checks found in the data
  // folder's check history, to say what changed since the checks of other
  // workbooks (the desktop window does; a review has `compare`).
  bool KeepsCheckHistory = false;
  // Whether the run was asked to stop after its import (Ctrl-C of a review
  // from the command line; the system asking the desktop window to end, which
  // no person in the window can do). The checks look at
  // it between queries, on their threads too, so it must be safe to call
  // there; the error workbook's export between tables and rows, the marked
  // copies between rows. A stopped run leaves no verdict and saves nothing.
  std::function<bool()> StopRequested;
  bool Stopped() const { return StopRequested && StopRequested(); }
  StageTimes Timings;  // wall time per stage of this run
  // The password for encrypted workbooks. Unset: the person is asked for it
  // when a workbook needs one (desktop); set, even empty: never asked (batch).
  std::optional<std::string> WorkbookPassword;
  std::string FacilityID;  // fixed by the all-tables import
  int SelectedTable = 0;   // table chosen for the check window; 0 all
  // Removable-media copy.
  std::string MediaDriveType;
  std::string MediaDrive;
  std::string SourcePattern;

  MainView view;

  // The status label of table n (1..5).
  LabelState& StatusLabel(int n) { return view.lblStatus.at(static_cast<size_t>(n - 1)); }
  // Caption and highlight of table n's label in one step, then a repaint.
  void SetTableLabel(int n, const std::string& caption, bool highlighted);
  // The status line; an activity is worded with a trailing " ...".
  void SetStatusLine(const std::string& caption);
  // Whether `Option1(1)` ("Data for samples collected after:") is selected.
  bool FlagByReviewDate() const { return view.Option1[1].selected; }
  void Refresh() { ui.Refresh(); }
  void DoEvents() {
    Timings.Yielded();
    ui.DoEvents();
  }
  // For a reader that goes through a sheet without delivering rows (an .ods
  // sheet's first pass), which asks every 256 rows whether to go on: the
  // window is served now and then, and a cancel says no.
  std::function<bool()> KeepGoing();
};

}  // namespace sorvane
