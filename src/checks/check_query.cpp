#include "checks/check_query.h"

#include <exception>
#include <optional>
#include <string>

#include "checks/duplicate_groups.h"
#include "checks/filtered_copy.h"
#include "checks/halved_drive.h"
#include "checks/pruned_lookup.h"
#include "checks/shared_walk.h"
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
    if (const std::optional<PrunedLookup> pruned = FindPrunedLookup(conn, sql)) {
      if (std::optional<RecordSet> rows = RunPrunedLookup(conn, *pruned)) return std::move(*rows);
    }
    if (const std::optional<FilteredCopy> filtered = FindFilteredCopy(conn, sql)) {
      if (std::optional<RecordSet> rows = RunFilteredCopy(conn, *filtered)) return std::move(*rows);
    }
    if (const std::optional<HalvedDrive> drive = FindHalvedDrive(conn, sql)) {
      if (std::optional<RecordSet> rows = RunHalvedDrive(conn, *drive)) return std::move(*rows);
    }
    // A query reading an index's stretch row by row reads it faster as a walk of its own.
    const std::vector<SharedWalk> walk = FindSharedWalks(conn, {sql}, 1);
    if (walk.size() == 1 && walk[0].scans_table) return std::move(RunSharedWalk(conn, walk[0])[0]);
  } catch (const std::exception&) {
    // The query's own run says what is wrong.
  }
  return conn.Query(jet_sql);
}

}  // namespace sorvane
