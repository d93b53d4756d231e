// The main window's menu handlers that hand over to the other subsystems.
#include <memory>

#include "acquire/linux_drive_probe.h"
#include "acquire/media_copy.h"
#include "acquire/reference_update.h"
#include "checks/frmCCheckView.h"
#include "core/errors.h"
#include "import/import_driver.h"
#include "import/table_structures.h"
#include "shell/frmCMain.h"
#include "transfer/transfer.h"
#include "viewers/frmCMinorTableView.h"
#include "viewers/table_view.h"

namespace sorvane {

void frmCMain::LoadStructures() { LoadTableStructures(state_); }

void frmCMain::CloseOtherWindows() {
  if (check_view_ && check_view_->loaded()) check_view_->Form_Unload();
  if (reference_view_) reference_view_->Form_Unload();
}

frmCMinorTableView& frmCMain::ReferenceView() {
  if (!reference_view_) reference_view_ = std::make_shared<frmCMinorTableView>(state_);
  return *reference_view_;
}

void frmCMain::SetDriveProbe(std::shared_ptr<DriveProbe> probe) { drive_probe_ = std::move(probe); }

void frmCMain::mnuDataLoadCD_Click() {
  if (busy_) return;
  if (!drive_probe_) drive_probe_ = std::make_shared<LinuxDriveProbe>();
  ::sorvane::mnuDataLoadCD_Click(state_, *drive_probe_, [this] { mnuNewSite_Click(); });
}

void frmCMain::mnuDataLoadFloppy_Click() {
  if (busy_) return;
  if (!drive_probe_) drive_probe_ = std::make_shared<LinuxDriveProbe>();
  ::sorvane::mnuDataLoadFloppy_Click(state_, *drive_probe_, [this] { mnuNewSite_Click(); });
}

namespace {

// Menus that must wait while an import runs: they would reset the tables,
// replace the workbooks or the reference tables under it, or check half-filled
// tables.
const char* const kBlockedWhileImporting[] = {"mnuNewSite", "mnuDataLoadCD", "mnuDataLoadFloppy",
                                              "mnuCheckTablesHeader", "mnuViewRef(5)"};

}  // namespace

void frmCMain::mnuRunData_Click(int index) {
  if (busy_ || unloaded_) return;
  busy_ = true;
  MenuMap& m = state_.view.menus;
  for (const char* name : kBlockedWhileImporting) m[name].enabled = false;
  try {
    ::sorvane::mnuRunData_Click(state_, index, [this](bool reset_all) { UpdateMenus(reset_all); });
  } catch (...) {
    busy_ = false;
    for (const char* name : kBlockedWhileImporting) m[name].enabled = true;
    UpdateMenus(false);
    throw;
  }
  busy_ = false;
  for (const char* name : kBlockedWhileImporting) m[name].enabled = true;
  // "Data Checks" follows the stage codes again, as UpdateMenus sets it.
  bool all_transferred = true;
  for (int n = 1; n <= 5; ++n) all_transferred &= state_.Tables[n].TableStatus >= 6;
  m["mnuCheckTablesHeader"].enabled = all_transferred;
  state_.Refresh();
  if (unload_pending_) Form_Unload();
}

void frmCMain::mnuCheckTables_Click(int index) {
  if (index < 0 || index > 5 || busy_) return;
  state_.SelectedTable = index;
  // A window that was closed is built afresh; an open one is only brought forward.
  if (!check_view_ || !check_view_->loaded()) {
    check_view_ = std::make_shared<frmCCheckView>(state_);
    check_view_->ReferenceWindow = [this]() -> frmCMinorTableView& { return ReferenceView(); };
    if (on_check_view_created_) on_check_view_created_(*check_view_);
  }
  check_view_->Form_Load();
}

void frmCMain::mnuTabView_Click(int index) { ::sorvane::mnuTabView_Click(state_, index); }

void frmCMain::mnuViewRef_Click(int index) {
  if (index >= 0 && index <= 3) {
    ReferenceView().ShowReferenceList(index);
    return;
  }
  if (index >= 4 && !busy_) {
    ReferenceUpdateResult result = UpdateReferenceTables(state_);
    if (result.shut_down) Form_Unload();
  }
}

void frmCMain::mnuCancelXfer_Click() { ::sorvane::mnuCancelXfer_Click(state_); }

}  // namespace sorvane
