// A read of a large table in rowid order, in two halves at once: the lower
// half on the caller's connection, the upper on a second, read-only one on a
// thread of its own, both seeing the same rows. A check that must look at
// every result of a facility then takes about half the time on two cores.
//
// The halves see the same rows because the caller's connection holds its
// read of the file from before the second one starts until both are done: no
// other connection can commit a change meanwhile. Where that cannot be had
// (a database in memory, a table of the connection's own temporary schema,
// changes the connection has not committed, a journal written ahead) or no
// thread or connection can be started, both halves are read on the caller's
// connection, one after the other. So are they where every core is already
// at work on queries (the checks run on one connection a core): a second
// thread would only take turns with the others.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "workdb/connection.h"

struct sqlite3_stmt;

namespace sorvane {

// Tables of fewer rows (100,000 unless set otherwise, as the tests do to
// halve small ones) are read in one go: a second connection costs more than
// it saves.
int64_t& LeastRowsToHalve();

// `sql` (SQLite text) reads rows of `table`, those whose rowid lies between
// ?1 and ?2 (in rowid order, where a caller needs the halves' rows in the
// table's order). Runs it over every rowid of the table,
// calling `row(half, statement)` for each row it gives, on the thread that
// reads that half (0 the lower, 1 the upper): a caller keeps each half's
// findings apart and joins them after, the lower half's first. A half's read
// ends early where `row` gives false. The stop check
// of `conn` is asked on both threads. Throws what the engine throws on
// either connection, once both are done. `least_rows` < 0: LeastRowsToHalve.
void ScanInHalves(Connection& conn, std::string_view table, std::string_view sql,
                  const std::function<bool(int half, sqlite3_stmt* statement)>& row,
                  int64_t least_rows = -1);

// How many rowids lie between the table's first and its last (as many as it
// has rows where none was deleted): whether a read of it is worth halving.
int64_t RowidSpan(Connection& conn, std::string_view table);

// Whether a core is free for a second thread beside the calling one.
bool CoreToSpare();

// Counts the calling thread as at work on queries while it lives.
class QueryWorker {
 public:
  QueryWorker();
  ~QueryWorker();
  QueryWorker(const QueryWorker&) = delete;
  QueryWorker& operator=(const QueryWorker&) = delete;
};

// Runs `beside` on a second thread, counted as at work, while `here` runs on
// the calling one; where no thread can be had, one after the other. Throws
// what either threw, once both are done.
void RunBeside(const std::function<void()>& beside, const std::function<void()>& here);

// The plan of such a read of `table` without an index, as the engine gives
// it: what a caller compares the plan of `sql` with.
std::vector<std::string> RowidRangePlan(const std::string& table);

}  // namespace sorvane
