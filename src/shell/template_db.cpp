#include "shell/template_db.h"

#include <cstdlib>
#include <filesystem>

#include "core/errors.h"
#include "core/paths.h"
#include "shell/data_folder_setup.h"
#include "workdb/connection.h"
#include "workdb/work_database.h"

namespace sorvane {
namespace fs = std::filesystem;

std::string EnsureTemplateDb() {
  fs::path dir;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && *xdg != '\0') {
    dir = fs::path(xdg) / "sorvane";
  } else if (const fs::path home = HomeDir(); !home.empty()) {
    dir = home / ".local" / "share" / "sorvane";
  } else {
    dir = fs::temp_directory_path() / "sorvane";
  }
  fs::path file = dir / "GIS_WORK.db";
  std::error_code ec;
  if (fs::is_regular_file(file, ec)) return file.string();
  try {
    fs::create_directories(dir, ec);
    BuildDatabase(file, [](Connection& c) { InstallWorkDatabase(c); });
  } catch (const Error&) {
    // The message still tells where the template belongs.
  }
  return file.string();
}

}  // namespace sorvane
