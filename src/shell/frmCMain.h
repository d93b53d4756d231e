// The main window as a UI-free class: it owns the run state, starts the program
// (folders, work database, table structures), keeps the menus in step with the
// tables' stage codes, resets the program for a new site and shuts it down.
// A front-end renders `state().view` and calls the handlers below.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "acquire/media_copy.h"
#include "acquire/workbook_stamps.h"
#include "checks/mended_copies.h"
#include "core/paths.h"
#include "core/ui_port.h"
#include "import/import_driver.h"
#include "shell/data_folder_lock.h"
#include "state/run_state.h"

namespace sorvane {

class frmCCheckView;
class frmCMinorTableView;
class DriveProbe;

class frmCMain {
 public:
  frmCMain(UiPort& ui, Paths paths);
  ~frmCMain();

  RunState& state() { return state_; }
  const RunState& state() const { return state_; }

  // Start-up. False when the program must end (no work database was there and
  // none was made, the work database cannot be used, or another run holds the
  // data folder past the lock wait: the message was shown and the shutdown has
  // run, touching nothing of the folder). Other failures show "number
  // description" and leave the window as far as start-up got.
  bool Form_Load();
  // Start-up ended because no work database was there and the person chose
  // not to have one made.
  bool work_db_missing() const { return work_db_missing_; }
  // Start-up ended because the work database is damaged and the person chose
  // not to have it set aside for a new one.
  bool work_db_damaged() const { return work_db_damaged_; }
  // Start-up stopped because the work database lacks what it reads (its
  // "number description" was shown).
  bool work_db_incomplete() const { return work_db_incomplete_; }
  // Shutdown: empties the temporary tables, closes the database, removes the
  // import's text files, closes every window. Runs once.
  void Form_Unload();
  bool unloaded() const { return unloaded_; }
  // Why the work database's temporary tables were left unemptied at
  // shutdown (a full disk), "" where they were emptied.
  const std::string& unload_problem() const { return unload_problem_; }
  // True while an activity that yields to the window runs (an import, the copy
  // from media, the reference update).
  bool busy() const { return busy_; }
  bool loaded_ok() const { return loaded_ok_; }

  void UpdateMenus(bool resetAll);
  void ClearTempTables();

  // Menu "Data Copy".
  void mnuNewSite_Click();
  // "CD" and "Floppy"; kStopped also when another activity runs.
  CopyOutcome mnuDataLoadCD_Click();
  CopyOutcome mnuDataLoadFloppy_Click();
  // Asks for a folder and copies the facility's workbooks from it as from a CD.
  CopyOutcome mnuDataLoadFolder_Click();
  // Workbooks or a folder dropped onto the window: the facility's workbooks
  // are copied from the folder they lie in (the folder itself, when one folder
  // is dropped), as "Folder..." copies them. Things from several folders are
  // refused with a word. Nothing happens while the "Folder..." item is off.
  CopyOutcome DropOnWindow(const std::vector<std::filesystem::path>& dropped);
  // "Empty Workbooks...": asks for a folder and writes the typed facility's
  // five empty workbooks there (templates/workbook_templates.h), then says
  // where they are; the folder when written.
  std::optional<std::filesystem::path> mnuDataTemplates_Click();
  // "Mended Workbooks...": asks for a folder and writes the facility's
  // workbooks as last imported there, with what their import found mended
  // where there is no doubt how (checks/mended_copies.h), then says what was
  // mended and where; the result when anything was written.
  std::optional<MendedCopiesResult> mnuDataMended_Click();
  void mnuExit_Click() { Form_Unload(); }
  // Menu "Import Tables" (0 all tables, 1..5 one table); refused (nothing ran)
  // also while another activity runs.
  ImportResult mnuRunData_Click(int index);
  // Menu "Data Checks" (0 all tables, 1..5 one table).
  void mnuCheckTables_Click(int index);
  // The same, as the window's menu offers it: when a workbook of the facility
  // was saved (or copied, added, removed) in the workbook folder since the
  // tables were imported, the person is asked first whether to import them
  // again ("1234567_5.xls changed since the tables were imported at
  // 10:42:07.  Import them again before the checks?"). Yes closes an open
  // check window, imports all five, then checks when every table is
  // transferred; No checks what was imported.
  void mnuCheckTables_ClickAskingFirst(int index);
  // What changed in the workbook folder since the last import read it ("" when
  // nothing, or before any import).
  std::string WorkbooksChangedSinceImport() const;
  // Menu "Table View" (0 none, 1..5).
  void mnuTabView_Click(int index);
  // Menu "View Ref Tables" (0..3 lists, 5 update).
  void mnuViewRef_Click(int index);
  void mnuCancelXfer_Click();

  // Controls.
  void Option1_Click(int index);
  // The review-date box lost the focus; false (and the message) when its text
  // is not a date.
  bool me_ReviewDate_Validate();
  void Form_Resize(int width_twips, int height_twips);
  void DataGrid1_HeadClick(int column);
  // What hovering row `row` of the grid says (column -1: its number): where it
  // stands in its workbook and, for a cell the data types marked, why; "" while
  // an import runs.
  std::string DataGrid1_Tip(int64_t row, int column) const;
  void txtFacilityID_KeyDown(int key_code);

  // The other windows, when open.
  frmCCheckView* check_view() { return check_view_.get(); }
  frmCMinorTableView* reference_view() { return reference_view_.get(); }
  // Replaces the drive probe used by "CD" and "Floppy" (tests, `sorvane copy --from`).
  void SetDriveProbe(std::shared_ptr<DriveProbe> probe);
  // How long "CD" and "Floppy" wait for a medium that is not ready (10 seconds).
  void SetMediaWait(std::chrono::steady_clock::duration wait) { media_wait_ = wait; }
  // How long start-up waits for another run to release the data folder, and
  // the work database for another program to release its lock (15 seconds).
  void SetLockWait(std::chrono::steady_clock::duration wait) { lock_wait_ = wait; }

 private:
  void ShowStartupError(const std::string& number_description);
  // Takes the data folder for this run, waiting up to lock_wait_ for another
  // run to release it; throws when it does not.
  void LockDataFolder();
  // Opens the work database (start-up step 8). When no file is there: the
  // missing-database message, then the offer to make a new one as `sorvane
  // init` does; when the file is damaged, the offer to keep it under another
  // name and make a new one. False, after saying why, when the program must
  // end.
  bool OpenWorkDatabase();
  // Builds the work database (and an update database where none is) and
  // opens it; false after saying why not.
  bool CreateWorkDatabase();
  // Loads the expected table structures (start-up step 9).
  void LoadStructures();
  // Unloads the check window and the reference-list window.
  void CloseOtherWindows();
  // Unloads the check window (with the reference list it shows) when open.
  void CloseCheckWindow();
  // The "New Site" reset itself (the copy from media runs it too).
  void NewSiteReset();
  // Runs `work` as the one activity of the moment: the menus in `blocked` are
  // disabled meanwhile and enabled again after it, and a close requested
  // meanwhile is carried out once it has ended.
  void RunBusy(const std::vector<std::string>& blocked, const std::function<void()>& work);
  // "CD" or "Floppy": the copy routine of that menu, run as a busy activity.
  using CopyMenu = CopyOutcome (*)(RunState&, DriveProbe&, const std::function<void()>&,
                                   const CopyOptions&);
  // `probe` is the machine's drives when null.
  CopyOutcome CopyFromFolder(const std::filesystem::path& folder);
  CopyOutcome CopyFromDrive(CopyMenu menu, DriveProbe* probe = nullptr);
  // The menus after a copy from media, which always starts with the reset.
  void AfterCopy();
  frmCMinorTableView& ReferenceView();

  RunState state_;
  bool unloaded_ = false;
  std::string unload_problem_;
  // An activity is running: others that would pull its tables, record sets or
  // files away are refused, and closing the window waits until it ends.
  bool busy_ = false;
  bool unload_pending_ = false;
  bool loaded_ok_ = false;
  bool work_db_missing_ = false;
  bool work_db_damaged_ = false;
  bool work_db_incomplete_ = false;
  std::shared_ptr<frmCCheckView> check_view_;
  std::shared_ptr<frmCMinorTableView> reference_view_;
  std::shared_ptr<DriveProbe> drive_probe_;
  std::chrono::steady_clock::duration media_wait_ = std::chrono::seconds(10);
  std::chrono::steady_clock::duration lock_wait_ = std::chrono::seconds(15);
  // The facility's workbooks as the last import found them, and when.
  FileStamps imported_files_;
  std::string imported_id_, imported_at_;
  // This run's hold on its data folder.
  DataFolderLock folder_lock_;
};

}  // namespace sorvane
