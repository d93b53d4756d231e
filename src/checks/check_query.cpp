#include "checks/check_query.h"

#include <exception>
#include <optional>
#include <string>

#include "checks/duplicate_groups.h"
#include "checks/unmatched_keys.h"
#include "workdb/jet_sql.h"

namespace sorvane {

RecordSet QueryCheckRows(Connection& conn, std::string_view jet_sql) {
  try {
    const std::string sql = TranslateJet(jet_sql);
    if (const std::optional<DuplicateGroups> groups = FindDuplicateGroups(conn, sql))
      return RunDuplicateGroups(conn, *groups);
    if (const std::optional<UnmatchedKeys> unmatched = FindUnmatchedKeys(conn, sql)) {
      if (std::optional<RecordSet> rows = RunUnmatchedKeys(conn, *unmatched))
        return std::move(*rows);
    }
  } catch (const std::exception&) {
    // The query's own run says what is wrong.
  }
  return conn.Query(jet_sql);
}

}  // namespace sorvane
