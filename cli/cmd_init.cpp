// `sorvane init`: the data folder, its workbook folder, the work database and
// the update database, built from the files that ship with the program.
#include <filesystem>
#include <ostream>

#include "commands.h"
#include "core/errors.h"
#include "shell/data_folder_lock.h"
#include "shell/data_folder_setup.h"

namespace sorvane::cli {
namespace fs = std::filesystem;

int RunInit(const Paths& paths, bool force, Streams io,
            std::chrono::steady_clock::duration lock_wait) {
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
    SetUpDataFolder(paths, force);
    io.out << "Work database: " << paths.WorkDb().string() << '\n';
    io.out << "Update database: " << paths.UpdateDb().string() << '\n';
    io.out << "Workbook folder: " << paths.WorkbookDir().string() << '\n';
    return 0;
  } catch (const Error& e) {
    io.err << e.NumberDescription() << '\n';
  } catch (const fs::filesystem_error& e) {
    io.err << e.what() << '\n';
  }
  return 2;
}

}  // namespace sorvane::cli
