// The problem rows of the check queries, each query run once while the work
// database stays as it is: the window's verdict, its grid, the error workbook
// and the marked copies read the same rows instead of running the query again.
// Rows are dropped as soon as the data or the schema may have changed, and
// after a few minutes (some checks compare dates with the present moment).
//
// A query may be answered by a carrier: a query whose rows are its rows, in
// the same order, with one more column at the end (a check's places query).
// Running the carrier alone then holds the rows of both.
//
// Prefetch runs the queries of several checks at once on the machine's cores,
// each on a read-only connection of its own; those that read one table
// through the same stretch of an index share that read (shared_walk.h). A
// query that fails there is left for Get to run again on the window's
// connection, which reports the failure.
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
  // what Connection::Query throws (nothing is held then), and Error 7 where
  // memory ran out.
  std::shared_ptr<RecordSet> Get(const std::string& jet_sql);
  // Runs those of `queries` not held yet, in parallel where the database is a
  // file and no transaction of the window's connection is open. `then`, when
  // given, names a further query for the rows of query i (on the connection
  // that ran it), which runs next on the same core.
  using FollowUp =
      std::function<std::optional<std::string>(size_t i, const RecordSet& rows, Connection& conn)>;
  // `stop`, when given, is asked (on every core) before each query: once it
  // says yes, no further query starts.
  void Prefetch(const std::vector<std::string>& queries, const FollowUp& then = nullptr,
                const std::function<bool()>& stop = nullptr);
  void Clear() { rows_.clear(); }
  // From now on `jet_sql` is answered by running `carrier` (see above), or
  // by itself when there is none.
  void Carry(const std::string& jet_sql, std::optional<std::string> carrier) {
    carriers_[jet_sql] = std::move(carrier);
  }
  // Whether Carry was told about `jet_sql`, with a carrier or without.
  bool Examined(const std::string& jet_sql) const { return carriers_.count(jet_sql) > 0; }

 private:
  // Drops what may be out of date.
  void Validate();
  // The rows of `jet_sql` on `conn`, through its carrier when it has one
  // (whose rows are then put in `carried`); the query itself when the carrier
  // fails, so that its own failure is what is reported.
  RecordSet Run(Connection& conn, const std::string& jet_sql,
                std::shared_ptr<RecordSet>* carried) const;

  Connection& conn_;
  std::string stamp_;
  std::chrono::steady_clock::time_point since_;
  std::unordered_map<std::string, std::shared_ptr<RecordSet>> rows_;
  std::unordered_map<std::string, std::optional<std::string>> carriers_;
};

}  // namespace sorvane
