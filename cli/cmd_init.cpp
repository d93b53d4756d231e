// `sorvane init`: the data folder, its workbook folder, the work database and
// the update database, built from the files that ship with the program.
#include <filesystem>
#include <ostream>

#include "commands.h"
#include "core/errors.h"
#include "shell/data_folder_lock.h"
#include "workdb/connection.h"
#include "workdb/work_database.h"

namespace sorvane::cli {
namespace fs = std::filesystem;

namespace {

// Builds the database next to its final name and moves it into place, so an
// interrupted init never leaves half a database behind.
template <typename Install>
void BuildDatabase(const fs::path& file, Install install) {
  fs::path tmp = file;
  tmp += ".partial";
  std::error_code ec;
  fs::remove(tmp, ec);
  try {
    {
      Connection conn;
      conn.Create(tmp);
      install(conn);
    }
    fs::rename(tmp, file);
  } catch (const Error& e) {
    fs::remove(tmp, ec);
    throw Error(e.number(), e.description() + " (" + file.string() + ")");
  } catch (...) {
    fs::remove(tmp, ec);
    throw;
  }
}

}  // namespace

int RunInit(const Paths& paths, bool force, Streams io,
            std::chrono::steady_clock::duration lock_wait) {
  try {
    fs::create_directories(paths.WorkbookDir());
    DataFolderLock lock;  // never replace the database under a running review
    lock.Acquire(paths.data_dir, lock_wait);
    if (fs::exists(paths.WorkDb()) && !force) {
      io.err << "The work database " << paths.WorkDb().string()
             << " already exists; it was left as it is (use --force to replace it).\n";
      return 2;
    }
    BuildDatabase(paths.WorkDb(), [](Connection& c) { InstallWorkDatabase(c); });
    io.out << "Work database: " << paths.WorkDb().string() << '\n';
    if (force || !fs::exists(paths.UpdateDb())) {
      BuildDatabase(paths.UpdateDb(), [](Connection& c) { InstallUpdateDatabase(c); });
    }
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
