#include "shell/frmCMain.h"

#include <filesystem>
#include <system_error>

#include "acquire/folder_scan.h"
#include "core/convert.h"
#include "core/errors.h"
#include "core/text.h"
#include "import/import_problems.h"
#include "shell/data_folder_setup.h"
#include "shell/template_db.h"
#include "viewers/table_view.h"
#include "workdb/work_database.h"

namespace sorvane {
namespace fs = std::filesystem;

namespace {

const char* const kTempTableOrder[] = {"MT_TEMP1", "MT_TEMP2",  "MT_TEMP2A", "MT_TEMP3",
                                       "MT_TEMP4", "MT_TEMP4A", "MT_TEMP5"};

}  // namespace

frmCMain::frmCMain(UiPort& ui, Paths paths) : state_(ui, std::move(paths)) {}

frmCMain::~frmCMain() = default;

void frmCMain::LockDataFolder() {
  folder_lock_.Acquire(
      state_.paths.data_dir, lock_wait_, [this] { state_.DoEvents(); },
      [this](const std::string& text) {
        state_.SetStatusLine(text);
        state_.ui.Notice(text);
      });
}

void frmCMain::ShowStartupError(const std::string& number_description) {
  state_.ui.MessageBox(number_description);
}

bool frmCMain::Form_Load() {
  RunState& s = state_;
  MainView& v = s.view;
  s.ui.WindowShown("frmCMain");
  s.SetStatusLine("Connecting ...");
  v.mouse_pointer = kPointerHourglass;
  v.ProgressBar.visible = false;

  // Start-up's one handler: a work database that is missing (and not made) or
  // cannot be used ends the program, anything else is shown as "number
  // description" and start-up stops where it failed.
  try {
    s.FileList = std::make_shared<RecordSet>();
    s.FileList->AppendField("FilePath", kTypeChar, 60);
    s.FileList->AppendField("FileName", kTypeChar, 50);
    s.FileList->AppendField("FileExt", kTypeChar, 3);

    for (int n = 1; n <= 5; ++n) {
      s.Tables[n].TempName = "TEMP" + std::to_string(n);
      s.Tables[n].StageOK = true;
      s.Tables[n].TableStatus = stage::kNone;
    }
    UpdateMenus(true);
    v.menus[menu::RunData(0)].enabled = true;

    v.Option1[0].selected = true;
    v.Option1[1].selected = false;
    v.Option1[0].bold = true;
    v.Option1[1].bold = false;
    v.me_ReviewDate.enabled = false;

    // The message says why a folder could not be made (refused access, a file
    // in its place), not merely that it is not there.
    std::error_code ec;
    if (!fs::is_directory(s.paths.data_dir)) {
      if (!fs::create_directories(s.paths.data_dir, ec) && ec)
        throw ToFileError(ec, s.paths.data_dir, true);
      fs::create_directory(s.paths.WorkbookDir(), ec);
      if (ec) throw ToFileError(ec, s.paths.WorkbookDir(), true);
    }
    if (!fs::is_directory(s.paths.WorkbookDir())) {
      fs::create_directory(s.paths.WorkbookDir(), ec);
      if (ec) throw ToFileError(ec, s.paths.WorkbookDir(), true);
    }

    // Without the folder the program must end like without a database: a
    // window left open could still copy from media into the workbook folder
    // or reset the tables of the run that holds it.
    try {
      LockDataFolder();
    } catch (const Error& e) {
      ShowStartupError(e.NumberDescription());
      Form_Unload();
      return false;
    }
    s.DoEvents();
    if (!OpenWorkDatabase()) {
      Form_Unload();
      return false;
    }
    try {
      LoadStructures();
    } catch (const DatabaseError&) {
      // The database opened but lacks what start-up reads (a table or a
      // column dropped by another program, a database of some other kind).
      work_db_incomplete_ = true;
      throw;
    }
  } catch (const Error& e) {
    ShowStartupError(e.NumberDescription());
    return true;
  } catch (const std::exception& e) {
    ShowStartupError("-1 " + std::string(e.what()));
    return true;
  }
  s.SetStatusLine("");
  v.mouse_pointer = kPointerDefault;
  loaded_ok_ = true;
  s.Refresh();
  return true;
}

bool frmCMain::OpenWorkDatabase() {
  RunState& s = state_;
  const std::string file = s.paths.WorkDb().string();
  const auto lock_wait = std::chrono::duration_cast<std::chrono::milliseconds>(lock_wait_);
  try {
    s.WorkConn.Open(s.paths.WorkDb(), lock_wait);
    UseWorkDatabasePages(s.WorkConn);
    return true;
  } catch (const DatabaseMissingError&) {
    s.ui.MessageBox("The Access database is missing.  Copy it from " + EnsureTemplateDb() + " to " +
                    file);
  } catch (const DatabaseOpenError& e) {
    // Locked or refused: the message says what is wrong, and the file stays
    // as it is. A damaged one is offered anew as well, the file itself kept
    // beside the new one under another name.
    s.ui.MessageBox("The work database " + file + " cannot be used: " + e.reason() + ".");
    if (!e.damaged()) return false;
    const fs::path kept = DamagedName(s.paths.WorkDb());
    if (!s.ui.AskYesNo("Keep the damaged file as " + kept.filename().string() +
                       " and create a new work database in " + s.paths.data_dir.string() +
                       " now?  The new one holds the reference lists the program came with until "
                       "they are refreshed.")) {
      work_db_damaged_ = true;
      return false;
    }
    try {
      KeepDamaged(s.paths.WorkDb(), kept);
    } catch (const Error& failure) {
      s.ui.MessageBox(failure.NumberDescription());
      return false;
    }
    return CreateWorkDatabase();
  }
  // Only a file that is not there at all is offered anew.
  if (!s.ui.AskYesNo("Create a new work database in " + s.paths.data_dir.string() + " now?")) {
    work_db_missing_ = true;
    return false;
  }
  return CreateWorkDatabase();
}

bool frmCMain::CreateWorkDatabase() {
  RunState& s = state_;
  const auto lock_wait = std::chrono::duration_cast<std::chrono::milliseconds>(lock_wait_);
  try {
    SetUpDataFolder(s.paths, false);
    s.WorkConn.Open(s.paths.WorkDb(), lock_wait);
  } catch (const Error& e) {
    s.ui.MessageBox(e.NumberDescription());
    return false;
  }
  return true;
}

void frmCMain::UpdateMenus(bool resetAll) {
  MenuMap& m = state_.view.menus;
  m[menu::kImportHeader].enabled = true;
  m[menu::RunData(0)].enabled = true;
  m[menu::kTableViewHeader].enabled = false;
  if (resetAll) {
    for (int n = 1; n <= 5; ++n) {
      m[menu::RunData(n)].enabled = false;
      m[menu::TabView(n)].enabled = false;
    }
  } else {
    for (int n = 1; n <= 5; ++n) {
      m[menu::RunData(n)].enabled = true;
      m[menu::TabView(n)].enabled = true;
      m[menu::kTableViewHeader].enabled = true;
      m[menu::kChecksHeader].enabled = false;
      const int status = state_.Tables[n].TableStatus;
      if (status == stage::kNone) {
        m[menu::kTableViewHeader].enabled = false;
      } else if (status >= stage::kDataTypes && status <= stage::kTransferred) {
        state_.view.ProgressBar.visible = true;
      }
    }
  }
  m[menu::kChecksHeader].enabled = true;
  for (int n = 1; n <= 5; ++n) {
    if (state_.Tables[n].TableStatus < stage::kTransferred) m[menu::kChecksHeader].enabled = false;
  }
  state_.Refresh();
}

void frmCMain::ClearTempTables() {
  // All seven or none: a failure leaves the tables as they were.
  Transaction tx(state_.WorkConn);
  for (const char* table : kTempTableOrder) {
    state_.WorkConn.Execute(std::string("DELETE * FROM ") + table);
  }
  tx.Commit();
}

void frmCMain::mnuNewSite_Click() {
  if (busy_) return;  // the reset would empty the tables an import is filling
  NewSiteReset();
}

void frmCMain::NewSiteReset() {
  RunState& s = state_;
  MainView& v = s.view;
  s.SetStatusLine("Resetting system for new site ...");
  // Its verdicts and error workbook belong to the facility being dropped; left
  // open, it would pass every table of the emptied database.
  CloseCheckWindow();
  try {
    ClearTempTables();
  } catch (const Error& e) {
    // The tables could not be emptied; the reset goes on so the window is usable.
    s.ui.MessageBox(e.NumberDescription());
  }
  v.txtFacilityID.text.clear();
  v.txtFacilityID.enabled = true;
  for (auto& label : v.lblStatus) {
    SetHighlight(label, false);
    label.caption.clear();
    label.tooltip.clear();
  }
  v.DataGrid1.visible = false;
  v.ProgressBar.value = 1;
  v.lblStatusAll.caption.clear();
  v.mouse_pointer = kPointerDefault;
  for (int n = 1; n <= 5; ++n) {
    s.Tables[n].StageOK = true;
    s.Tables[n].TableStatus = stage::kNone;
    s.Tables[n].SkippedRows.clear();
    s.Tables[n].Origin = {};
  }
  s.RowSources.clear();
  UpdateMenus(true);
  v.menus[menu::RunData(0)].enabled = true;
  s.Refresh();
}

void frmCMain::Form_Unload() {
  if (unloaded_) return;
  if (busy_) {
    // Closing while an activity runs: cancel a transfer and shut down once the
    // activity has stopped, so nothing it uses is released under it.
    state_.CancelRequested = true;
    unload_pending_ = true;
    return;
  }
  RunState& s = state_;
  s.view.mouse_pointer = kPointerHourglass;
  s.SetStatusLine("Shutting Down");
  const bool folder_ours = folder_lock_.held();
  if (s.WorkConn.IsOpen()) {
    try {
      ClearTempTables();
    } catch (const Error& e) {
      // Shutdown completes whatever the database says; the next reset or
      // transfer empties the tables again. A command line says so.
      unload_problem_ = e.description();
    }
    s.WorkConn.Close();
  }
  std::error_code ec;
  if (folder_ours && fs::is_directory(s.paths.WorkbookDir(), ec)) {
    for (const auto& entry : fs::directory_iterator(s.paths.WorkbookDir(), ec)) {
      if (entry.is_regular_file(ec) && EqualsNoCase(entry.path().extension().string(), ".txt")) {
        std::error_code rm;
        fs::remove(entry.path(), rm);  // a file that cannot go is left; shutdown goes on
      }
    }
  }
  s.FileList = std::make_shared<RecordSet>();
  for (int n = 1; n <= 5; ++n) {
    s.SheetRecordset[n] = std::make_shared<RecordSet>();
    s.TempRecordset[n] = std::make_shared<RecordSet>();
  }
  s.view.DataGrid1.source.reset();
  CloseOtherWindows();
  s.view.mouse_pointer = kPointerDefault;
  folder_lock_.Release();
  unloaded_ = true;
  s.ui.WindowClosed("frmCMain");
}

void frmCMain::Option1_Click(int index) {
  MainView& v = state_.view;
  if (index == 1) {
    v.me_ReviewDate.enabled = true;
    if (v.me_ReviewDate.text.empty()) v.me_ReviewDate.text = Date::Today().ToShortDate();
    v.Option1[1].selected = true;
    v.Option1[0].selected = false;
    v.Option1[1].bold = true;
    v.Option1[0].bold = false;
  } else if (index == 0) {
    v.me_ReviewDate.enabled = false;
    v.Option1[0].selected = true;
    v.Option1[1].selected = false;
    v.Option1[0].bold = true;
    v.Option1[1].bold = false;
  } else {
    return;
  }
  state_.Refresh();
}

bool frmCMain::me_ReviewDate_Validate() {
  if (ToDate(state_.view.me_ReviewDate.text)) return true;
  state_.ui.SetFocus("me_ReviewDate");
  state_.ui.MessageBox("Please check the date.  There appears to be an error.");
  return false;
}

void frmCMain::Form_Resize(int width_twips, int height_twips) {
  MainView& v = state_.view;
  v.width = width_twips;
  v.height = height_twips;
  ResizeGrid(v.DataGrid1, width_twips, height_twips, 10005, 8340, 9495, 3615);
}

std::string frmCMain::DataGrid1_Tip(int64_t row, int column) const {
  if (busy_) return "";  // the workbook may be read again under the rows shown
  const TableViewRow at = TableViewRowAt(state_, row, column);
  const std::string tip = TableViewPlace(state_, at);
  if (tip.empty() || at.field < 0) return tip;
  const std::string why = MarkedCellProblem(state_, at.table, at.record, at.field);
  return why.empty() ? tip : tip + "\n" + why;
}

void frmCMain::DataGrid1_HeadClick(int column) {
  // The rows on show may be those an import is reading one by one while it
  // yields: sorted under it, some would go into the table twice and others not.
  if (busy_) return;
  auto& source = state_.view.DataGrid1.source;
  if (!source || column < 0 || static_cast<size_t>(column) >= source->FieldCount()) return;
  try {
    source->Sort(source->GetField(static_cast<size_t>(column)).name);
    source->MoveFirst();
  } catch (const Error&) {
    // The grid keeps what it shows.
  }
  state_.Refresh();
}

void frmCMain::txtFacilityID_KeyDown(int key_code) {
  if (key_code == 13) mnuRunData_Click(0);
}

}  // namespace sorvane
