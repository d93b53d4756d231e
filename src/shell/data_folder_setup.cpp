#include "shell/data_folder_setup.h"

#include <system_error>

#include "core/errors.h"
#include "workdb/connection.h"
#include "workdb/work_database.h"

namespace sorvane {
namespace fs = std::filesystem;

namespace {

// What the engine left of an earlier database of that name (a journal of a run
// killed in a transaction) goes before a new file takes the name: its first
// opening would otherwise play the old file's pages back into it.
void RemoveCompanions(const fs::path& file) {
  for (const fs::path& companion : CompanionFiles(file)) {
    std::error_code ec;
    fs::remove(companion, ec);
    if (ec) throw ToFileError(ec, companion);
  }
}

}  // namespace

void BuildDatabase(const fs::path& file, const std::function<void(Connection&)>& install) {
  fs::path tmp = file;
  tmp += ".partial";
  std::error_code ec;
  try {
    fs::remove(tmp, ec);
    RemoveCompanions(tmp);
    {
      Connection conn;
      conn.Create(tmp);
      install(conn);
    }
    RemoveCompanions(file);
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

fs::path DamagedName(const fs::path& file) {
  std::error_code ec;
  for (int n = 1;; ++n) {
    const fs::path kept = file.parent_path() / (file.stem().string() + " (damaged" +
                                                (n == 1 ? std::string() : " " + std::to_string(n)) +
                                                ")" + file.extension().string());
    bool taken = fs::exists(kept, ec);
    for (const fs::path& companion : CompanionFiles(kept))
      taken = taken || fs::exists(companion, ec);
    if (!taken) return kept;
  }
}

void KeepDamaged(const fs::path& file, const fs::path& kept) {
  std::error_code ec;
  // A journal beside the file belongs to it: it goes along.
  const std::vector<fs::path> from = CompanionFiles(file), to = CompanionFiles(kept);
  for (size_t i = 0; i < from.size(); ++i) {
    if (!fs::exists(from[i], ec)) continue;
    fs::rename(from[i], to[i], ec);
    if (ec) throw ToFileError(ec, from[i]);
  }
  fs::rename(file, kept, ec);
  if (ec) throw ToFileError(ec, file);
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
