#include "workdb/work_database.h"

#include <algorithm>

#include "core/errors.h"
#include "workdb/embedded_data.h"

namespace sorvane {
namespace {

// Runs the embedded files whose names `pick` accepts, in name order, in one
// transaction.
template <typename Pick>
void RunFiles(Connection& conn, Pick pick) {
  std::vector<embedded::File> files;
  for (const auto& f : embedded::Files())
    if (pick(f.name)) files.push_back(f);
  std::sort(files.begin(), files.end(),
            [](const embedded::File& a, const embedded::File& b) { return a.name < b.name; });
  Transaction tx(conn);
  for (const auto& f : files) {
    try {
      conn.ExecuteScript(f.content);
    } catch (const Error& e) {
      throw DatabaseError(e.number(), std::string(f.name) + ": " + e.description());
    }
  }
  tx.Commit();
}

}  // namespace

// Pages of 16 KB (the engine's default is 4 KB): a check reads a million
// results in a quarter of the page reads, and the index builds write fewer,
// larger pages.
constexpr int64_t kPageSize = 16384;

void InstallWorkDatabase(Connection& conn) {
  // Only an empty file takes it.
  conn.ExecuteNative("PRAGMA page_size=" + std::to_string(kPageSize));
  // 1x_ files: tables, views, indexes; 2x_ files: reference data.
  RunFiles(conn,
           [](std::string_view name) { return !name.empty() && name[0] >= '0' && name[0] <= '9'; });
}

std::vector<std::string> MissingTempTables(Connection& conn) {
  std::vector<std::string> missing;
  for (const char* table : kTempTables) {
    if (conn.QueryNative("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1 COLLATE "
                         "NOCASE",
                         {Value::Text(table)})
            .RecordCount() == 0)
      missing.emplace_back(table);
  }
  return missing;
}

void UseWorkDatabasePages(Connection& conn) {
  // The rebuild copies the pages in use through memory; more than this is a
  // run that was killed with a facility's rows still in the tables.
  constexpr int64_t kMostBytes = int64_t{64} << 20;
  try {
    const int64_t page_size = conn.QueryValue("PRAGMA page_size").AsInteger();
    if (page_size == kPageSize || conn.InTransaction()) return;
    const int64_t pages = conn.QueryValue("PRAGMA page_count").AsInteger() -
                          conn.QueryValue("PRAGMA freelist_count").AsInteger();
    if (pages * page_size > kMostBytes) return;
    conn.ExecuteNative("PRAGMA page_size=" + std::to_string(kPageSize) + "; VACUUM");
  } catch (const std::exception&) {
    // Left as it is: every page size works, this one a little slower.
  }
}

void InstallUpdateDatabase(Connection& conn) {
  RunFiles(conn, [](std::string_view name) {
    return name.starts_with("10_") || name.starts_with("2") || name == "update_list.sql";
  });
  conn.ExecuteNative("PRAGMA application_id = " + std::to_string(kOwnUpdateDatabaseId));
}

}  // namespace sorvane
