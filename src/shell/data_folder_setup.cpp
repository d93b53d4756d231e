#include "shell/data_folder_setup.h"

#include <system_error>

#include "core/errors.h"
#include "workdb/connection.h"
#include "workdb/work_database.h"

namespace sorvane {
namespace fs = std::filesystem;

void BuildDatabase(const fs::path& file, const std::function<void(Connection&)>& install) {
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
    fs::rename(tmp, file, ec);
    if (ec) throw ToFileError(ec, file);
  } catch (const Error& e) {
    fs::remove(tmp, ec);
    throw Error(e.number(), e.description() + " (" + file.string() + ")");
  } catch (...) {
    fs::remove(tmp, ec);
    throw;
  }
}

void SetUpDataFolder(const Paths& paths, bool replace_update_db) {
  std::error_code ec;
  fs::create_directories(paths.WorkbookDir(), ec);
  if (ec) throw ToFileError(ec, paths.WorkbookDir(), true);
  BuildDatabase(paths.WorkDb(), [](Connection& c) { InstallWorkDatabase(c); });
  if (replace_update_db || !fs::exists(paths.UpdateDb(), ec)) {
    BuildDatabase(paths.UpdateDb(), [](Connection& c) { InstallUpdateDatabase(c); });
  }
}

}  // namespace sorvane
