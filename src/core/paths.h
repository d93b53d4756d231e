// The program's fixed folders and files: the data folder (SORVANE_HOME, or
// $HOME/Sorvane), its workbook folder GISFile, the work database GIS_WORK.db and
// the update database GIS_UPDATE.db.
#pragma once

#include <filesystem>
#include <string>

namespace sorvane {

struct Paths {
  std::filesystem::path data_dir;
  // Another update database than the data folder's (`sorvane update-refs --from`).
  std::filesystem::path update_db_override;

  std::filesystem::path WorkbookDir() const { return data_dir / "GISFile"; }
  std::filesystem::path WorkDb() const { return data_dir / "GIS_WORK.db"; }
  // Where the check window writes the marked copies of the workbooks.
  std::filesystem::path MarkedCopiesDir() const { return data_dir / "Checked"; }
  // What the desktop window's checks found the last times (check_history.h).
  std::filesystem::path CheckHistoryDb() const { return data_dir / "Check history.db"; }
  std::filesystem::path UpdateDb() const {
    return update_db_override.empty() ? data_dir / "GIS_UPDATE.db" : update_db_override;
  }

  // SORVANE_HOME when set, otherwise HomeDir()/Sorvane (C:\Sorvane on Windows).
  static Paths Default();
  // `dir` when not empty, otherwise Default().
  static Paths FromOption(const std::string& dir);
};

// The person's home folder: $HOME, or where the system's user database puts it
// when HOME is not set (a job started by cron or a service manager), so that
// such a run works in the same data folder as one from a terminal; empty when
// neither says.
std::filesystem::path HomeDir();

}  // namespace sorvane
