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
  for (const std::string& sql : QueryLines(
           conn,
           "SELECT CAST(sql AS TEXT) FROM sqlite_master WHERE sql IS NOT NULL ORDER BY type, name"))
    out += sql + ";\n";
  for (const std::string& table : QueryLines(
           conn,
           "SELECT CAST(name AS TEXT) FROM sqlite_master WHERE type = 'table' ORDER BY name")) {
    for (const std::string& row : QueryLines(conn, "SELECT * FROM \"" + table + "\""))
      out += table + ":" + row + "\n";
  }
  return out;
}

std::vector<std::string> QueryLines(Connection& conn, const std::string& sql,
                                    const std::vector<Value>& params) {
  RecordSet rs = conn.QueryNative(sql, params);
  std::vector<std::string> out;
  for (int64_t r = 0; r < rs.RecordCount(); ++r) {
    std::string line;
    for (size_t f = 0; f < rs.FieldCount(); ++f) {
      const Value v = rs.At(r, f);
      line += (f > 0 ? "|" : "") + (v.IsMissing() ? std::string("<null>") : v.ToDisplay());
    }
    out.push_back(std::move(line));
  }
  return out;
}

void ExecuteIn(const std::filesystem::path& file, const std::string& script) {
  Connection c;
  if (std::filesystem::exists(file)) {
    c.Open(file);
  } else {
    c.Create(file);
  }
  c.ExecuteScript(script);
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
