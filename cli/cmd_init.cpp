// `sorvane init`: the data folder, its workbook folder, the work database and
// the update database, built from the files that ship with the program; with
// --reference, the reference tables come from the agency's own file instead.
#include <filesystem>
#include <ostream>

#include "acquire/reference_file.h"
#include "acquire/reference_update.h"
#include "commands.h"
#include "core/errors.h"
#include "shell/data_folder_lock.h"
#include "shell/data_folder_setup.h"
#include "workdb/connection.h"
#include "workdb/work_database.h"

namespace sorvane::cli {
namespace fs = std::filesystem;

int RunInit(const Paths& paths, bool force, Streams io,
            std::chrono::steady_clock::duration lock_wait, const std::string& reference) {
  std::unique_ptr<TableSource> agency;
  if (!reference.empty()) {
    try {
      agency = OpenReferenceFile(reference);
    } catch (const Error& e) {
      io.err << "The reference file " << reference << " could not be read: " << e.description()
             << ". No work database was built.\n";
      return 2;
    }
  }
  try {
    fs::create_directories(paths.data_dir);
    DataFolderLock lock;  // never replace the database under a running review
    lock.Acquire(paths.data_dir, lock_wait, {},
                 [&](const std::string& text) { io.err << text << std::endl; });
    // Already there is what init is for: `init && review` goes on.
    if (fs::exists(paths.WorkDb()) && !force) {
      io.err << "The work database " << paths.WorkDb().string()
             << " already exists; it was left as it is (use --force to replace it).\n";
      return 0;
    }
    std::vector<ReferenceLoad> loads;
    if (!agency) {
      SetUpDataFolder(paths, force);
    } else {
      fs::create_directories(paths.WorkbookDir());
      BuildDatabase(paths.WorkDb(), [&](Connection& c) {
        InstallWorkDatabase(c);
        loads = LoadReferenceTables(c, *agency);
      });
    }
    io.out << "Work database: " << paths.WorkDb().string() << '\n';
    bool all_loaded = true;
    for (const ReferenceLoad& load : loads) {
      if (load.loaded) {
        io.out << "Reference table " << load.table << ": " << load.rows
               << (load.rows == 1 ? " row" : " rows") << " from " << reference << '\n';
      } else {
        all_loaded = false;
        io.err << "Reference table " << load.table << ": the shipped one was kept (" << load.why
               << ")\n";
      }
    }
    if (agency) {
      // An update database of the shipped tables would undo the agency's on
      // the next refresh; the agency sends its own.
      io.out << "Update database: none built; put the agency's GIS_UPDATE.mdb in "
             << paths.data_dir.string() << '\n';
    } else {
      io.out << "Update database: " << paths.UpdateDb().string() << '\n';
    }
    io.out << "Workbook folder: " << paths.WorkbookDir().string() << '\n';
    return all_loaded ? 0 : 1;
  } catch (const Error& e) {
    io.err << e.NumberDescription() << '\n';
  } catch (const fs::filesystem_error& e) {
    io.err << e.what() << '\n';
  }
  return 2;
}

}  // namespace sorvane::cli
