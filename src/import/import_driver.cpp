#include "import/import_driver.h"

#include <exception>
#include <string>

#include "acquire/workbook_set.h"
#include "core/convert.h"
#include "core/errors.h"
#include "core/text.h"
#include "import/data_types.h"
#include "import/facility_ids.h"
#include "import/import_problems.h"
#include "import/import_workbook.h"
#include "import/mends.h"
#include "import/table_structures.h"
#include "transfer/transfer.h"
#include "viewers/table_view.h"

namespace sorvane {
namespace {

constexpr const char* kImportMenu = menu::kImportHeader;

using Run = ImportResult::Run;

void Transfer(RunState& state, int n, ImportResult& result) {
  if (Xfer_to_Access(state, n) == XferOutcome::kFailed) result.transfer_failed.push_back(n);
}

// The stages after the read, for one table, each only while the table passes.
void ValidateAndTransfer(RunState& state, int n, const std::string& facility_id,
                         ImportResult& result) {
  auto ok = [&] { return state.Tables[n].StageOK; };
  if (ok()) CheckFieldNames(state, n);
  if (ok()) CheckRowFacilityIDs(state, n, facility_id);
  if (ok()) ConvertDataTypes(state, n);
  if (ok()) Transfer(state, n, result);
}

// Index 0. Stops without a verdict when the Facility ID is refused.
Run RunAllTables(RunState& state, ImportResult& result) {
  if (!CheckFacilityID(state)) return Run::kRefused;
  if (!VerifyWorkbookSet(state)) return Run::kSetIncomplete;
  state.FacilityID = state.view.txtFacilityID.text;
  state.view.txtFacilityID.enabled = false;
  for (int n = 1; n <= 5; ++n) ResetSheetRecordset(state, n);
  // Each stage runs over all five tables before the next one starts. A cancel
  // (a close of the window, a Ctrl-C) ends the reading and checking at once;
  // the transfer marks what is left as cancelled.
  auto go = [&](int n) { return state.Tables[n].StageOK && !state.CancelRequested; };
  StageTimes& times = state.Timings;
  {
    StageTimer timer(times, "read");
    for (int n = 1; n <= 5 && !state.CancelRequested; ++n) ImportWorkbook(state, n);
  }
  {
    StageTimer timer(times, "field names");
    for (int n = 1; n <= 5; ++n)
      if (go(n)) CheckFieldNames(state, n);
  }
  {
    StageTimer timer(times, "facility IDs");
    for (int n = 1; n <= 5; ++n)
      if (go(n)) CheckRowFacilityIDs(state, n, state.FacilityID);
  }
  {
    StageTimer timer(times, "data types");
    for (int n = 1; n <= 5; ++n)
      if (go(n)) ConvertDataTypes(state, n);
  }
  // Only a table whose types were converted goes on (one a cancel left
  // unread or unchecked does not).
  StageTimer timer(times, "transfer");
  for (int n = 1; n <= 5; ++n)
    if (state.Tables[n].StageOK && state.Tables[n].TableStatus == stage::kDataTypes)
      Transfer(state, n, result);
  return Run::kRan;
}

// Index 1..5. The ID fixed by an all-tables run is used as it is; without one
// the box's text must pass the Facility ID rule first.
Run RunOneTable(RunState& state, int n, ImportResult& result) {
  std::string facility_id;
  if (!state.view.txtFacilityID.enabled && !state.FacilityID.empty()) {
    facility_id = state.FacilityID;
  } else {
    if (!CheckFacilityID(state)) return Run::kRefused;
    facility_id = state.view.txtFacilityID.text;
  }
  state.Tables[n].TableStatus = stage::kNone;
  ResetSheetRecordset(state, n);
  ImportWorkbook(state, n);
  ValidateAndTransfer(state, n, facility_id, result);
  return Run::kRan;
}

// A run stopped at the Facility ID: the box and the menu are usable again.
void StopAtFacilityID(RunState& state) {
  MainView& v = state.view;
  v.ProgressBar.visible = false;
  v.mouse_pointer = kPointerDefault;
  v.txtFacilityID.enabled = true;
  v.menus[kImportMenu].enabled = true;
  state.Refresh();
}

std::string SummaryText(int code, int n) {
  const std::string t = std::to_string(n);
  switch (code) {
    case stage::kNone:
      return "Fix table " + t + " and reimport.";
    case stage::kRead:
      return "Fix Field Names for table " + t + " and reimport.";
    case stage::kFieldNames:
      return "Fix Facility IDs for table " + t + " and reimport.";
    case stage::kFacilityIds:
      return "Fix Data Types (highlighted with **) for table " + t + " and reimport.";
    case stage::kDataTypes:
      return "Unknown problem with MS Access transfer.  Try reimporting table " + t;
    case stage::kCancelled:
      return "Reimport table " + t;
    default:
      return "All Tables transferred to Temporary tables in Oracle.\rSelect Data Checks.";
  }
}

}  // namespace

bool ReviewDateIsValid(const RunState& state) {
  return ToDate(state.view.me_ReviewDate.text).has_value();
}

void ResetSheetRecordset(RunState& state, int n) {
  state.SheetRecordset.at(static_cast<size_t>(n)) = std::make_shared<RecordSet>();
}

void ShowImportSummary(RunState& state) {
  int lowest = stage::kTransferred;
  int chosen = 5;
  for (int n = 5; n >= 1; --n) {
    int code = state.Tables[n].TableStatus;
    if (code > stage::kTransferred) code = stage::kTransferred;
    if (code < stage::kNone) code = stage::kNone;
    if (code < lowest) {
      lowest = code;
      chosen = n;
    }
  }
  LabelState& line = state.view.lblStatusAll;
  line.bold = false;
  line.caption = SummaryText(lowest, chosen);
  // Hovering a table's label says what its import found wrong, each at its
  // place, where the label has room only for the fields.
  for (int n = 1; n <= 5; ++n) {
    constexpr size_t kShown = 10;
    // A workbook saved beside the one read (an .xlsx beside the .xls) may be
    // taken for the one reviewed.
    std::string tip = UnreadWorkbooksText(state, n);
    size_t count = 0;
    const std::vector<ImportProblem> problems = ImportProblemsOf(state, n, kShown, &count);
    for (size_t i = 0; i < problems.size(); ++i) {
      tip += (tip.empty() ? "" : "\n") + ForReading(problems[i].text);
    }
    if (count > kShown) tip += "\nand " + std::to_string(count - kShown) + " more";
    if (count > 0 && HasMends(state, n)) {
      tip += "\nData Copy > Mended Workbooks... mends some of these without a doubt.";
    }
    state.StatusLabel(n).tooltip = tip;
  }
  // Rows kept out of a table are said wherever the table stands.
  for (int n = 1; n <= 5; ++n) {
    const TableInfo& table = state.Tables[n];
    if (table.SkippedRows.empty() || table.TableStatus < stage::kRead) continue;
    line.caption += "\rTable " + std::to_string(n) + ":" + SkippedRowsText(table);
  }
  if (lowest == stage::kTransferred) line.bold = true;
  state.Refresh();
  if (lowest == stage::kFacilityIds) mnuTabView_Click(state, chosen);
}

ImportResult mnuRunData_Click(RunState& state, int index, const UpdateMenusFn& update_menus) {
  ImportResult result;
  if (index < 0 || index > 5) return result;
  MainView& v = state.view;
  if (state.FlagByReviewDate() && !ReviewDateIsValid(state)) {
    state.ui.MessageBox("Please check the date.  There appears to be an error.");
    state.ui.SetFocus("me_ReviewDate");
    return result;
  }

  v.mouse_pointer = kPointerHourglass;
  state.SetStatusLine("");
  v.ProgressBar.visible = true;
  // The disabled menu keeps a second run from starting while this one yields.
  v.menus[kImportMenu].enabled = false;
  state.CancelRequested = false;
  state.DoEvents();

  try {
    result.run = index == 0 ? RunAllTables(state, result) : RunOneTable(state, index, result);
    if (result.run == Run::kRefused) {
      StopAtFacilityID(state);
      return result;
    }
  } catch (const Error& e) {
    // The workbook folder vanished or the like: say so, and still leave the
    // window usable with an up-to-date verdict.
    result.run = Run::kRan;
    result.failure = e.NumberDescription();
    state.ui.MessageBox(result.failure);
  } catch (const std::exception& e) {
    result.run = Run::kRan;
    result.failure = FailureText(e, "  ");  // memory that ran out as Error 7
    state.ui.MessageBox(result.failure);
  }

  if (update_menus) update_menus(false);
  ShowImportSummary(state);
  v.mouse_pointer = kPointerDefault;
  v.ProgressBar.visible = false;
  v.menus[kImportMenu].enabled = true;
  result.cancelled = state.CancelRequested;
  state.CancelRequested = false;
  state.Refresh();
  return result;
}

}  // namespace sorvane
