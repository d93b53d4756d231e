// The main window's menu handlers that hand over to the other subsystems.
#include "shell/frmCMain.h"

#include "core/errors.h"

namespace sorvane {

void frmCMain::LoadStructures() {}

void frmCMain::CloseOtherWindows() {}

void frmCMain::mnuDataLoadCD_Click() {}
void frmCMain::mnuDataLoadFloppy_Click() {}
void frmCMain::mnuRunData_Click(int) {}
void frmCMain::mnuCheckTables_Click(int) {}
void frmCMain::mnuTabView_Click(int) {}
void frmCMain::mnuViewRef_Click(int) {}
void frmCMain::mnuCancelXfer_Click() {}
void frmCMain::SetDriveProbe(std::shared_ptr<DriveProbe> probe) { drive_probe_ = std::move(probe); }

}  // namespace sorvane
