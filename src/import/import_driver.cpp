#include "import/import_driver.h"

#include <exception>
#include <string>

#include "acquire/workbook_set.h"
#include "core/convert.h"
#include "core/errors.h"
#include "import/data_types.h"
#include "import/facility_ids.h"
#include "import/import_workbook.h"
#include "import/table_structures.h"
#include "transfer/transfer.h"
#include "viewers/table_view.h"

namespace sorvane {
namespace {

constexpr const char* kImportMenu = "mnuRunAllChecks";

// The stages after the read, for one table, each only while the table passes.
void ValidateAndTransfer(RunState& state, int n, const std::string& facility_id) {
  auto ok = [&] { return state.Tables[n].StageOK; };
  if (ok()) CheckFieldNames(state, n);
  if (ok()) CheckRowFacilityIDs(state, n, facility_id);
  if (ok()) ConvertDataTypes(state, n);
  if (ok()) Xfer_to_Access(state, n);
}

// Index 0. False when the Facility ID was refused (the run stops without a
// verdict); true when the run went as far as it could.
bool RunAllTables(RunState& state) {
  if (!CheckFacilityID(state)) return false;
  if (!VerifyWorkbookSet(state)) return true;
  state.FacilityID = state.view.txtFacilityID.text;
  state.view.txtFacilityID.enabled = false;
  for (int n = 1; n <= 5; ++n) ResetSheetRecordset(state, n);
  for (int n = 1; n <= 5; ++n) ImportWorkbook(state, n);
  // Each stage runs over all five tables before the next one starts.
  for (int n = 1; n <= 5; ++n)
    if (state.Tables[n].StageOK) CheckFieldNames(state, n);
  for (int n = 1; n <= 5; ++n)
    if (state.Tables[n].StageOK) CheckRowFacilityIDs(state, n, state.FacilityID);
  for (int n = 1; n <= 5; ++n)
    if (state.Tables[n].StageOK) ConvertDataTypes(state, n);
  for (int n = 1; n <= 5; ++n)
    if (state.Tables[n].StageOK) Xfer_to_Access(state, n);
  return true;
}

// Index 1..5. The ID fixed by an all-tables run is used as it is; without one
// the box's text must pass the Facility ID rule first. False when it does not.
bool RunOneTable(RunState& state, int n) {
  std::string facility_id;
  if (!state.view.txtFacilityID.enabled && !state.FacilityID.empty()) {
    facility_id = state.FacilityID;
  } else {
    if (!CheckFacilityID(state)) return false;
    facility_id = state.view.txtFacilityID.text;
  }
  state.Tables[n].TableStatus = 0;
  ResetSheetRecordset(state, n);
  ImportWorkbook(state, n);
  ValidateAndTransfer(state, n, facility_id);
  return true;
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
    case 0:
      return "Fix table " + t + " and reimport.";
    case 1:
      return "Fix Field Names for table " + t + " and reimport.";
    case 2:
      return "Fix Facility IDs for table " + t + " and reimport.";
    case 3:
      return "Fix Data Types (highlighted with **) for table " + t + " and reimport.";
    case 4:
      return "Unknown problem with MS Access transfer.  Try reimporting table " + t;
    case 5:
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
  int lowest = 6;
  int chosen = 5;
  for (int n = 5; n >= 1; --n) {
    int code = state.Tables[n].TableStatus;
    if (code > 6) code = 6;
    if (code < 0) code = 0;
    if (code < lowest) {
      lowest = code;
      chosen = n;
    }
  }
  LabelState& line = state.view.lblStatusAll;
  line.bold = false;
  line.caption = SummaryText(lowest, chosen);
  if (lowest == 6) line.bold = true;
  state.Refresh();
  if (lowest == 3) mnuTabView_Click(state, chosen);
}

void mnuRunData_Click(RunState& state, int index, const UpdateMenusFn& update_menus) {
  if (index < 0 || index > 5) return;
  MainView& v = state.view;
  if (state.FlagByReviewDate() && !ReviewDateIsValid(state)) {
    state.ui.MessageBox("Please check the date.  There appears to be an error.");
    state.ui.SetFocus("me_ReviewDate");
    return;
  }

  v.mouse_pointer = kPointerHourglass;
  state.SetStatusLine("");
  v.ProgressBar.visible = true;
  // The disabled menu keeps a second run from starting while this one yields.
  v.menus[kImportMenu].enabled = false;
  state.CancelRequested = false;
  state.DoEvents();

  try {
    const bool went_on = index == 0 ? RunAllTables(state) : RunOneTable(state, index);
    if (!went_on) {
      StopAtFacilityID(state);
      return;
    }
  } catch (const Error& e) {
    // The workbook folder vanished or the like: say so, and still leave the
    // window usable with an up-to-date verdict.
    state.ui.MessageBox(e.NumberDescription());
  } catch (const std::exception& e) {
    state.ui.MessageBox(e.what());
  }

  if (update_menus) update_menus(false);
  ShowImportSummary(state);
  v.mouse_pointer = kPointerDefault;
  v.ProgressBar.visible = false;
  v.menus[kImportMenu].enabled = true;
  state.CancelRequested = false;
  state.Refresh();
}

}  // namespace sorvane
