// The main window's menu handlers that hand over to the other subsystems.
#include <memory>

#include "acquire/folder_scan.h"
#include "acquire/linux_drive_probe.h"
#include "acquire/media_copy.h"
#include "acquire/reference_update.h"
#include "acquire/workbook_set.h"
#include "checks/frmCCheckView.h"
#include "core/beside_window.h"
#include "core/date.h"
#include "core/errors.h"
#include "core/text.h"
#include "import/import_driver.h"
#include "import/table_structures.h"
#include "shell/frmCMain.h"
#include "templates/workbook_templates.h"
#include "transfer/transfer.h"
#include "viewers/frmCMinorTableView.h"
#include "viewers/table_view.h"

namespace sorvane {

void frmCMain::LoadStructures() { LoadTableStructures(state_); }

void frmCMain::CloseOtherWindows() {
  CloseCheckWindow();
  if (reference_view_) reference_view_->Form_Unload();
}

void frmCMain::CloseCheckWindow() {
  if (check_view_ && check_view_->loaded()) check_view_->Form_Unload();
}

frmCMinorTableView& frmCMain::ReferenceView() {
  if (!reference_view_) reference_view_ = std::make_shared<frmCMinorTableView>(state_);
  return *reference_view_;
}

void frmCMain::SetDriveProbe(std::shared_ptr<DriveProbe> probe) { drive_probe_ = std::move(probe); }

namespace {

// What may not start while another activity runs: the import, the reset, the
// copy, the checks and the reference update.
const std::vector<std::string> kImportMenus = {
    menu::kImportHeader, menu::RunData(0), menu::RunData(1), menu::RunData(2),
    menu::RunData(3),    menu::RunData(4), menu::RunData(5)};
const std::vector<std::string> kOtherActivities = {
    menu::kNewSite,       menu::kDataLoadCD, menu::kDataLoadFloppy, menu::kDataLoadFolder,
    menu::kDataTemplates, menu::kDataMended, menu::kChecksHeader,   menu::ViewRef(5)};

// The check window's items that run checks or write the error workbook ("Exit"
// and the reference lists stay usable).
const std::vector<std::string> kCheckWindowActivities = {
    RunChecksItem(1),   RunChecksItem(2),   RunChecksItem(3),   RunChecksItem(4),
    RunChecksItem(5),   RunChecksItem(7),   ExcelChecksItem(1), ExcelChecksItem(2),
    ExcelChecksItem(3), ExcelChecksItem(4), ExcelChecksItem(5), ExcelChecksItem(7)};

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

}  // namespace

void frmCMain::RunBusy(const std::vector<std::string>& blocked, const std::function<void()>& work) {
  MenuMap& m = state_.view.menus;
  std::vector<std::pair<std::string, bool>> before;
  for (const auto& name : blocked) before.emplace_back(name, m[name].enabled);
  // An open check window would otherwise query, and export, the tables the
  // activity is emptying and filling while it yields.
  std::shared_ptr<frmCCheckView> checks = check_view_;
  std::vector<std::pair<std::string, bool>> checks_before;
  if (checks && checks->loaded()) {
    MenuMap& cm = checks->view().menus;
    for (const auto& name : kCheckWindowActivities) {
      checks_before.emplace_back(name, cm[name].enabled);
      cm[name].enabled = false;
    }
  }
  busy_ = true;
  auto block = [&] {
    for (const auto& name : blocked) m[name].enabled = false;
  };
  block();
  // Whatever the activity sets on these menus itself (the import updates them
  // at its end) wins over what they were before.
  auto restore = [&] {
    busy_ = false;
    for (const auto& [name, enabled] : before) {
      if (!m[name].enabled) m[name].enabled = enabled;
    }
    for (const auto& [name, enabled] : checks_before) checks->view().menus[name].enabled = enabled;
  };
  try {
    work();
  } catch (...) {
    restore();
    if (unload_pending_) Form_Unload();  // the person asked to close meanwhile
    throw;
  }
  restore();
  state_.Refresh();
  if (unload_pending_) Form_Unload();
}

void frmCMain::AfterCopy() {
  if (unloaded_) return;
  // The copy began with the new-site reset: the menus are the reset's.
  UpdateMenus(true);
  state_.view.menus[menu::RunData(0)].enabled = true;
}

CopyOutcome frmCMain::CopyFromDrive(CopyMenu menu, DriveProbe* probe) {
  if (busy_ || unloaded_) return CopyOutcome::kStopped;
  CopyOutcome outcome = CopyOutcome::kStopped;
  if (probe == nullptr) {
    if (!drive_probe_) drive_probe_ = std::make_shared<LinuxDriveProbe>();
    probe = drive_probe_.get();
  }
  const auto blocked = Join(kImportMenus, kOtherActivities);
  RunBusy(blocked, [&] {
    outcome = menu(
        state_, *probe,
        [&] {
          NewSiteReset();
          for (const auto& name : blocked) state_.view.menus[name].enabled = false;
        },
        CopyOptions{media_wait_});
  });
  AfterCopy();
  return outcome;
}

CopyOutcome frmCMain::mnuDataLoadCD_Click() {
  return CopyFromDrive(&::sorvane::mnuDataLoadCD_Click);
}

CopyOutcome frmCMain::mnuDataLoadFloppy_Click() {
  return CopyFromDrive(&::sorvane::mnuDataLoadFloppy_Click);
}

CopyOutcome frmCMain::mnuDataLoadFolder_Click() {
  if (busy_ || unloaded_) return CopyOutcome::kStopped;
  // A missing or mistyped ID is said before the person looks for a folder.
  if (!CheckFacilityIDForm(state_)) return CopyOutcome::kStopped;
  const std::optional<std::string> folder =
      state_.ui.ChooseFolder("Copy the facility's workbooks from");
  if (!folder || unloaded_) return CopyOutcome::kStopped;
  return CopyFromFolder(*folder);
}

std::optional<std::filesystem::path> frmCMain::mnuDataTemplates_Click() {
  if (busy_ || unloaded_ || !CheckFacilityIDForm(state_)) return std::nullopt;
  const std::optional<std::string> folder =
      state_.ui.ChooseFolder("Write the facility's empty workbooks into");
  if (!folder || unloaded_) return std::nullopt;
  const std::string id = state_.view.txtFacilityID.text;
  try {
    WriteWorkbookTemplates(state_, id, *folder);
  } catch (const Error& e) {
    state_.ui.MessageBox(e.NumberDescription("  "));
    return std::nullopt;
  }
  state_.ui.MessageBox("The five empty workbooks of " + id + " are in " + *folder + ".");
  return std::filesystem::path(*folder);
}

std::optional<MendedCopiesResult> frmCMain::mnuDataMended_Click() {
  if (busy_ || unloaded_) return std::nullopt;
  bool imported = false;
  for (int n = 1; n <= 5; ++n) imported = imported || !state_.Tables[n].Origin.path.empty();
  if (!imported) {
    state_.ui.MessageBox("No workbook has been imported yet: import the facility's tables first.");
    return std::nullopt;
  }
  const std::optional<std::string> folder =
      state_.ui.ChooseFolder("Write the facility's workbooks, mended, into");
  if (!folder || unloaded_) return std::nullopt;
  MendedCopiesResult result;
  state_.view.mouse_pointer = kPointerHourglass;
  state_.ui.Refresh();
  try {
    RunBesideWindow(state_.ui, [&] { result = WriteMendedCopies(state_, *folder); });
  } catch (const Error& e) {
    result.failures.push_back(e.NumberDescription("  "));
  }
  state_.view.mouse_pointer = kPointerDefault;
  std::string text, mended, copied;
  size_t cells = 0;
  for (const MendedCopiesResult::Copy& copy : result.written) {
    std::string& list = copy.mends.empty() ? copied : mended;
    list += (list.empty() ? "" : ", ") + copy.file.filename().string();
    cells += copy.mends.size();
  }
  if (!result.written.empty()) {
    text = "The workbooks were written to " + *folder + ".";
    if (cells > 0) {
      text += "\n" + std::to_string(cells) + (cells == 1 ? " cell was" : " cells were") +
              " mended in " + mended + " (the sheet Mends of each lists them).";
    } else {
      text += "\nNothing the import found could be mended without a doubt.";
    }
    if (!copied.empty()) text += "\nCopied as they are: " + copied + ".";
  }
  for (const std::string& failure : result.failures) text += (text.empty() ? "" : "\n") + failure;
  state_.ui.MessageBox(text);
  if (result.written.empty()) return std::nullopt;
  return result;
}

CopyOutcome frmCMain::DropOnWindow(const std::vector<std::filesystem::path>& dropped) {
  if (busy_ || unloaded_ || dropped.empty() || !state_.view.menus[menu::kDataLoadFolder].enabled)
    return CopyOutcome::kStopped;
  if (!CheckFacilityIDForm(state_)) return CopyOutcome::kStopped;
  std::error_code ec;
  const bool one_folder = dropped.size() == 1 && std::filesystem::is_directory(dropped[0], ec);
  const std::filesystem::path folder = one_folder ? dropped[0] : dropped[0].parent_path();
  for (const auto& path : dropped) {
    if (one_folder || path.parent_path() == folder) continue;
    state_.ui.MessageBox(
        "The workbooks are copied from one folder: drop that folder, or workbooks of one folder.");
    return CopyOutcome::kStopped;
  }
  return CopyFromFolder(folder);
}

CopyOutcome frmCMain::CopyFromFolder(const std::filesystem::path& folder) {
  // A folder that cannot be listed (a share without the right to, one gone
  // since it was chosen) is named with the reason; a CD that cannot be read is
  // passed over in silence, but a person who chose a folder waits for a word.
  try {
    ListFiles(folder);
  } catch (const Error& e) {
    state_.ui.MessageBox(e.NumberDescription("  "));
    return CopyOutcome::kStopped;
  }
  // The folder stands for a ready drive of either kind.
  FolderDriveProbe chosen(folder);
  return CopyFromDrive(&::sorvane::mnuDataLoadCD_Click, &chosen);
}

ImportResult frmCMain::mnuRunData_Click(int index) {
  ImportResult result;
  if (busy_ || unloaded_) return result;
  // Taken before the import reads them, so that a save while it reads is a
  // change afterwards.
  const std::string id = state_.view.txtFacilityID.text;
  FileStamps found = StampFacilityFiles(state_.paths.WorkbookDir(), id);
  const std::string at = Date::Now().ToIso().substr(11);
  RunBusy(kOtherActivities, [&] {
    result = ::sorvane::mnuRunData_Click(state_, index,
                                         [this](bool reset_all) { UpdateMenus(reset_all); });
  });
  // A refused Facility ID imported nothing. One table's import takes in only
  // its own workbook.
  if (result.run != ImportResult::Run::kRefused) {
    if (index == 0 || id != imported_id_) {
      imported_files_ = std::move(found);
      imported_id_ = id;
    } else {
      const std::string suffix = "_" + std::to_string(index) + ".";
      std::erase_if(imported_files_,
                    [&](const auto& file) { return file.first.find(suffix) != std::string::npos; });
      for (const auto& [name, stamp] : found)
        if (name.find(suffix) != std::string::npos) imported_files_[name] = stamp;
    }
    imported_at_ = at;
  }
  // "Data Checks" follows the stage codes again, as UpdateMenus sets it.
  bool all_transferred = true;
  for (int n = 1; n <= 5; ++n)
    all_transferred &= state_.Tables[n].TableStatus >= stage::kTransferred;
  if (unloaded_) return result;
  state_.view.menus[menu::kChecksHeader].enabled = all_transferred;
  // A table imported again has lost the verdict an open check window marked.
  if (check_view_ && check_view_->loaded()) {
    for (int n = 1; n <= 5; ++n) {
      if (state_.Tables[n].TableStatus != stage::kChecksPassed)
        check_view_->view().menus[RunChecksItem(n)].checked = false;
    }
  }
  state_.Refresh();
  return result;
}

void frmCMain::mnuCheckTables_Click(int index) {
  if (index < 0 || index > 5 || busy_) return;
  state_.SelectedTable = index;
  // A window that was closed is built afresh; an open one is only brought forward.
  if (!check_view_ || !check_view_->loaded()) {
    check_view_ = std::make_shared<frmCCheckView>(state_);
    check_view_->ReferenceWindow = [this]() -> frmCMinorTableView& { return ReferenceView(); };
  }
  check_view_->Form_Load();
}

std::string frmCMain::WorkbooksChangedSinceImport() const {
  if (imported_id_.empty()) return {};
  return DescribeFileChanges(imported_files_,
                             StampFacilityFiles(state_.paths.WorkbookDir(), imported_id_));
}

void frmCMain::mnuCheckTables_ClickAskingFirst(int index) {
  if (index < 0 || index > 5 || busy_ || unloaded_) return;
  const std::string changed = WorkbooksChangedSinceImport();
  if (!changed.empty() &&
      state_.ui.AskYesNo(changed + " since the tables were imported at " + imported_at_ +
                         ".  Import them again before the checks?")) {
    // An open check window shows the checks of the rows imported before: it
    // is built afresh, and checks the new ones.
    CloseCheckWindow();
    mnuRunData_Click(0);
    if (unloaded_ || !state_.view.menus[menu::kChecksHeader].enabled) return;
  }
  mnuCheckTables_Click(index);
}

void frmCMain::mnuTabView_Click(int index) { ::sorvane::mnuTabView_Click(state_, index); }

void frmCMain::mnuViewRef_Click(int index) {
  if (index >= 0 && index <= 3) {
    ReferenceView().ShowReferenceList(index);
    return;
  }
  if (index == 5 && !busy_ && !unloaded_) {
    ReferenceUpdateResult result;
    RunBusy(Join(kImportMenus, kOtherActivities), [&] { result = UpdateReferenceTables(state_); });
    if (result.shut_down) {
      Form_Unload();
      return;
    }
    // The tables' expected fields are read at start-up; when the refresh
    // replaced them, the next import checks against the new ones, not only
    // those of the next start.
    for (const std::string& table : result.replaced) {
      if (UpperCase(table) != "MT_VBSTRUCTURE") continue;
      try {
        LoadStructures();
      } catch (const Error& e) {
        state_.ui.MessageBox(e.NumberDescription());
      }
    }
    if (const std::string kept = KeptTablesMessage(result); !kept.empty()) {
      state_.ui.MessageBox(kept);
    }
  }
}

void frmCMain::mnuCancelXfer_Click() { ::sorvane::mnuCancelXfer_Click(state_); }

}  // namespace sorvane
