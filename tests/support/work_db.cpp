#include "support/work_db.h"

#include <atomic>
#include <random>

#include "workdb/work_database.h"

namespace sorvane::testing {

void OpenTestWorkDb(Connection& conn) {
  conn.OpenInMemory();
  InstallWorkDatabase(conn);
}

TempDataDir::TempDataDir() {
  static std::atomic<int> counter{0};
  std::random_device rd;
  auto dir = std::filesystem::temp_directory_path() /
             ("sorvane-test-" + std::to_string(rd()) + "-" + std::to_string(++counter));
  std::filesystem::create_directories(dir);
  paths_.data_dir = dir;
}

TempDataDir::~TempDataDir() {
  std::error_code ec;
  std::filesystem::permissions(paths_.data_dir, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(paths_.data_dir, ec);
}

void TempDataDir::CreateWorkDb() {
  std::filesystem::create_directories(paths_.WorkbookDir());
  Connection conn;
  conn.Create(paths_.WorkDb());
  InstallWorkDatabase(conn);
}

std::filesystem::path SourcePath(const std::string& relative) {
  return std::filesystem::path(SORVANE_SOURCE_DIR) / relative;
}

}  // namespace sorvane::testing
