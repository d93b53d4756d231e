// The problem rows of the check queries, each query run once while the work
// database stays as it is: the window's verdict, its grid, the error workbook
// and the marked copies read the same rows instead of running the query again.
// Rows are dropped as soon as the data or the schema may have changed, and
// after a few minutes (some checks compare dates with the present moment).
//
// Prefetch runs the queries of several checks at once on the machine's cores,
// each on a read-only connection of its own; a query that fails there is left
// for Get to run again on the window's connection, which reports the failure.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/record_set.h"
#include "workdb/connection.h"

namespace sorvane {

class CheckResults {
 public:
  explicit CheckResults(Connection& conn) : conn_(conn) {}

  // The rows of `jet_sql`: held ones while still valid, else run now. Throws
  // what Connection::Query throws (nothing is held then).
  std::shared_ptr<RecordSet> Get(const std::string& jet_sql);
  // Runs those of `queries` not held yet, in parallel where the database is a
  // file and no transaction of the window's connection is open. `then`, when
  // given, names a further query for the rows of query i (on the connection
  // that ran it), which runs next on the same core.
  using FollowUp =
      std::function<std::optional<std::string>(size_t i, const RecordSet& rows, Connection& conn)>;
  void Prefetch(const std::vector<std::string>& queries, const FollowUp& then = nullptr);
  void Clear() { rows_.clear(); }

 private:
  // Drops what may be out of date.
  void Validate();

  Connection& conn_;
  std::string stamp_;
  std::chrono::steady_clock::time_point since_;
  std::unordered_map<std::string, std::shared_ptr<RecordSet>> rows_;
};

}  // namespace sorvane
