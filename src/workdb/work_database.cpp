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

void InstallWorkDatabase(Connection& conn) {
  // Pages of 16 KB (the engine's default is 4 KB): a check reads a million
  // results in a quarter of the page reads, and the transfer and the index
  // builds write fewer, larger pages. Only an empty file takes it.
  conn.ExecuteNative("PRAGMA page_size=16384");
  // 1x_ files: tables, views, indexes; 2x_ files: reference data.
  RunFiles(conn,
           [](std::string_view name) { return !name.empty() && name[0] >= '0' && name[0] <= '9'; });
}

void InstallUpdateDatabase(Connection& conn) {
  RunFiles(conn, [](std::string_view name) {
    return name.starts_with("10_") || name.starts_with("2") || name == "update_list.sql";
  });
}

}  // namespace sorvane
