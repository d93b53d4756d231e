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
  if (!drive_probe_) drive_probe_ = std::make_shared<LinuxDriveProbe>();
  ::sorvane::mnuDataLoadCD_Click(state_, *drive_probe_, [this] { mnuNewSite_Click(); });
}

void frmCMain::mnuDataLoadFloppy_Click() {
  if (!drive_probe_) drive_probe_ = std::make_shared<LinuxDriveProbe>();
  ::sorvane::mnuDataLoadFloppy_Click(state_, *drive_probe_, [this] { mnuNewSite_Click(); });
}

void frmCMain::mnuRunData_Click(int index) {
  ::sorvane::mnuRunData_Click(state_, index, [this](bool reset_all) { UpdateMenus(reset_all); });
}

void frmCMain::mnuCheckTables_Click(int index) {
  if (index < 0 || index > 5) return;
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
  if (index >= 4) {
    ReferenceUpdateResult result = UpdateReferenceTables(state_);
    if (result.shut_down) Form_Unload();
  }
}

void frmCMain::mnuCancelXfer_Click() { ::sorvane::mnuCancelXfer_Click(state_); }

}  // namespace sorvane
