#include "workdb/halved_scan.h"

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <limits>
#include <optional>
#include <system_error>
#include <thread>

#include "core/text.h"

namespace sorvane {
namespace {

std::atomic<unsigned> working{0};  // threads at work on queries (QueryWorker)

using RowFn = std::function<bool(int, sqlite3_stmt*)>;

// Steps `st` over rowids first..last, handing each row to `row` as `half`'s;
// gives up quietly once `abandon` is set (the other half failed).
void Read(Connection& conn, sqlite3_stmt* st, int64_t first, int64_t last, int half,
          const RowFn& row, const std::atomic<bool>* abandon = nullptr) {
  sqlite3_bind_int64(st, 1, first);
  sqlite3_bind_int64(st, 2, last);
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    if ((abandon != nullptr && abandon->load(std::memory_order_relaxed)) || !row(half, st)) break;
  }
  if (rc != SQLITE_DONE && rc != SQLITE_ROW) conn.ThrowLastError();
  sqlite3_reset(st);
}

std::optional<int64_t> EndRowid(Connection& conn, const std::string& table, const char* order) {
  const Value v =
      conn.QueryValue("SELECT rowid FROM main." + table + " ORDER BY rowid " + order + " LIMIT 1");
  if (v.IsMissing()) return std::nullopt;
  return v.AsInteger();
}

// How many rowids lie from `low` to `high`, at most the largest count there
// is (rowids may be any whole numbers, negative ones too).
int64_t Span(int64_t low, int64_t high) {
  const uint64_t gap = static_cast<uint64_t>(high) - static_cast<uint64_t>(low);
  return gap >= static_cast<uint64_t>(std::numeric_limits<int64_t>::max())
             ? std::numeric_limits<int64_t>::max()
             : static_cast<int64_t>(gap) + 1;
}

// Whether a second connection reading the file sees what `conn` sees of
// `table`.
bool OthersSeeAlike(Connection& conn, const std::string& table) {
  if (!conn.IsFile() || sqlite3_txn_state(conn.handle(), "main") == SQLITE_TXN_WRITE) return false;
  // A log written ahead lets a reader start on a later commit than ours.
  const std::string journal = conn.QueryValue("PRAGMA main.journal_mode").ToDisplay();
  if (!EqualsNoCase(journal, "delete") && !EqualsNoCase(journal, "truncate") &&
      !EqualsNoCase(journal, "persist"))
    return false;
  // A temporary table of that name would be what the connection reads.
  return conn.QueryValue("SELECT count(*) FROM temp.sqlite_master WHERE name = ?1 COLLATE NOCASE",
                         {Value::Text(table)})
             .AsInteger() == 0;
}

}  // namespace

int64_t& LeastRowsToHalve() {
  static int64_t least = 100'000;
  return least;
}

bool CoreToSpare() {
  static const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  return std::max(working.load(), 1u) < cores;
}

QueryWorker::QueryWorker() { ++working; }
QueryWorker::~QueryWorker() { --working; }

int64_t RowidSpan(Connection& conn, std::string_view table) {
  const std::optional<int64_t> low = EndRowid(conn, std::string(table), "ASC");
  return low ? Span(*low, *EndRowid(conn, std::string(table), "DESC")) : 0;
}

void RunBeside(const std::function<void()>& beside, const std::function<void()>& here) {
  std::exception_ptr beside_failed, here_failed;
  std::thread helper;
  try {
    helper = std::thread([&] {
      const QueryWorker busy;
      try {
        beside();
      } catch (...) {
        beside_failed = std::current_exception();
      }
    });
  } catch (const std::system_error&) {
    // No second thread to be had: both here, below.
  }
  try {
    here();
  } catch (...) {
    here_failed = std::current_exception();
  }
  if (helper.joinable()) {
    helper.join();
  } else if (!here_failed) {
    beside();
  }
  if (here_failed) std::rethrow_exception(here_failed);
  if (beside_failed) std::rethrow_exception(beside_failed);
}

std::vector<std::string> RowidRangePlan(const std::string& table) {
  return {"0 SEARCH " + table + " USING INTEGER PRIMARY KEY (rowid>? AND rowid<?)"};
}

void ScanInHalves(Connection& conn, std::string_view table_name, std::string_view sql,
                  const RowFn& row, int64_t least_rows) {
  const std::string table(table_name);
  const Connection::PreparedStatement own = conn.PrepareNative(sql);
  // Held from here to the end, so that no change is committed between the
  // two halves' reads.
  Transaction read(conn);
  const std::optional<int64_t> low = EndRowid(conn, table, "ASC"),
                               high = EndRowid(conn, table, "DESC");
  if (least_rows < 0) least_rows = LeastRowsToHalve();
  if (!low || Span(*low, *high) < std::max<int64_t>(least_rows, 2) || !CoreToSpare() ||
      !OthersSeeAlike(conn, table)) {
    Read(conn, own.get(), std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max(),
         0, row);
    read.Commit();
    return;
  }
  // Below `high`, so that the upper half is never empty.
  const int64_t middle =
      static_cast<int64_t>(static_cast<uint64_t>(*low) +
                           (static_cast<uint64_t>(*high) - static_cast<uint64_t>(*low)) / 2);

  std::atomic<bool> abandon{false}, opened{false};
  RunBeside(
      [&] {
        Connection reader;
        std::optional<Transaction> held;
        Connection::PreparedStatement st;
        try {
          // The file is read from here to the end. Another program waiting
          // to commit to it holds new readers off until the caller's read
          // ends, and that waits for this half: this half does not wait.
          reader.OpenReaderOf(conn, std::chrono::milliseconds(0));
          held.emplace(reader);
          reader.QueryValue("PRAGMA schema_version");
          reader.SetStopCheck(conn.StopCheck());
          st = reader.PrepareNative(sql);
        } catch (const std::exception&) {
          return;  // the caller's connection reads this half too
        }
        opened = true;
        Read(reader, st.get(), middle + 1, std::numeric_limits<int64_t>::max(), 1, row, &abandon);
      },
      [&] {
        try {
          Read(conn, own.get(), std::numeric_limits<int64_t>::min(), middle, 0, row);
        } catch (...) {
          abandon = true;
          throw;
        }
      });
  if (!opened) Read(conn, own.get(), middle + 1, std::numeric_limits<int64_t>::max(), 1, row);
  read.Commit();
}

}  // namespace sorvane
