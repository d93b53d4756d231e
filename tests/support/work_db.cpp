#include "support/work_db.h"

#include <atomic>
#include <fstream>
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

std::string DumpDatabase(Connection& conn) {
  std::string out;
  RecordSet schema = conn.QueryNative(
      "SELECT name, CAST(sql AS TEXT) FROM sqlite_master WHERE sql IS NOT NULL ORDER BY type, "
      "name");
  for (int64_t r = 0; r < schema.RecordCount(); ++r) out += schema.At(r, 1).ToDisplay() + ";\n";
  RecordSet tables = conn.QueryNative(
      "SELECT CAST(name AS TEXT) FROM sqlite_master WHERE type = 'table' ORDER BY name");
  for (int64_t t = 0; t < tables.RecordCount(); ++t) {
    const std::string name = tables.At(t, 0).ToDisplay();
    RecordSet rows = conn.QueryNative("SELECT * FROM \"" + name + "\"");
    for (int64_t r = 0; r < rows.RecordCount(); ++r) {
      out += name + ":";
      for (size_t f = 0; f < rows.FieldCount(); ++f) out += rows.At(r, f).ToDisplay() + "|";
      out += "\n";
    }
  }
  return out;
}

std::filesystem::path SourcePath(const std::string& relative) {
  return std::filesystem::path(SORVANE_SOURCE_DIR) / relative;
}

std::string ReadFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void CopySample(const std::filesystem::path& folder, std::initializer_list<int> tables) {
  std::filesystem::create_directories(folder);
  for (int n : tables) {
    const std::string name = "1234567_" + std::to_string(n) + ".xls";
    std::filesystem::copy_file(SourcePath("data/sample/" + name), folder / name,
                               std::filesystem::copy_options::overwrite_existing);
  }
}

}  // namespace sorvane::testing
