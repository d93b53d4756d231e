// The connection to a work database file (SQLite). Statements are given in the
// program's SQL dialect (Jet: UCASE, #date#, DELETE * FROM, UPDATE ... INNER JOIN
// ... SET, [names]) and translated by TranslateJet before they run; the *Native
// calls take SQLite text as it is. Queries return client-side snapshots as
// RecordSets whose field types follow the declared column types, so date
// columns come back as dates.
//
// Failures throw: DatabaseOpenError when the file cannot be opened as a
// database, DatabaseError (engine result code, engine message) for the rest.
//
// A connection, and every statement of it, is used by one thread at a time
// (the engine does not lock it): a second thread opens a connection of its own.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/record_set.h"
#include "core/value.h"

struct sqlite3;
struct sqlite3_stmt;

namespace sorvane {

// The files the engine keeps beside the database `file` while it writes to
// it: its rollback journal, a write-ahead log and that log's index. A run
// killed in a transaction leaves its journal there, and the next opening of
// `file` plays it back into whatever file then has that name.
std::vector<std::filesystem::path> CompanionFiles(const std::filesystem::path& file);

// Why the engine cannot use a database at `file` because of the length of
// its full path (it takes so many bytes, its journal's name included), or ""
// when it can. The engine itself would say only "unable to open database
// file".
std::string PathTooLongReason(const std::filesystem::path& file);

class Connection {
 public:
  Connection();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Opens an existing database file for reading and writing; never creates one.
  // A file another program holds locked is waited for up to `lock_wait` (for
  // this and every later statement). Throws DatabaseMissingError when nothing
  // is there, DatabaseOpenError saying what is wrong with anything else (a
  // file it may only read included).
  void Open(const std::filesystem::path& file,
            std::chrono::milliseconds lock_wait = std::chrono::seconds(15));
  // Creates (or opens) a database file; for building the work database.
  void Create(const std::filesystem::path& file);
  // A private in-memory database (tests).
  void OpenInMemory();
  // A second, read-only connection to the file of `other`, for queries run
  // beside it on another thread; a small page cache of its own.
  void OpenReaderOf(const Connection& other,
                    std::chrono::milliseconds lock_wait = std::chrono::seconds(15));
  // Whether the data live in a file other connections can open (not memory).
  bool IsFile() const { return !file_.empty() && file_ != ":memory:"; }
  // Whether a transaction is open on this connection (its writes, if any, are
  // not yet seen by other connections).
  bool InTransaction() const;
  // Changes whenever the rows or the schema of the database may have changed:
  // through this connection (committed or not) or through another. Rows
  // written by ExecuteScratch do not count.
  std::string DataStamp();
  // Runs `sql` on the connection's own temporary tables, scratch space of a
  // query: what it writes there is no change of the data.
  // A transaction begun when none is open lets go of the space they took.
  void ExecuteScratch(std::string_view sql, const std::vector<Value>& params = {});
  // Something worked out from the data as `stamp` (a DataStamp taken before
  // reading them) shows them, kept under `key` while the data stay so: Recall
  // gives it back until DataStamp changes. One thing is kept, the last.
  void Remember(const std::string& key, const std::string& stamp,
                std::shared_ptr<const void> value);
  std::shared_ptr<const void> Recall(const std::string& key);
  bool IsOpen() const { return db_ != nullptr; }
  // While set (until Close), a statement running on this connection ends with
  // DatabaseError (the engine's SQLITE_INTERRUPT) soon after `stop` says yes:
  // it is asked every few thousand of the engine's steps, on the thread
  // running the statement, so it must be safe there. An interrupted write
  // inside a transaction takes the whole transaction back. Empty: statements
  // run to their end.
  void SetStopCheck(std::function<bool()> stop);
  const std::function<bool()>& StopCheck() const { return stop_; }
  void Close();
  const std::filesystem::path& file() const { return file_; }

  // Runs one statement of the program's dialect; returns the rows it changed.
  int64_t Execute(std::string_view jet_sql);
  // Runs SQLite text (one or more statements), binding `params` to ?1, ?2, ...
  int64_t ExecuteNative(std::string_view sql, const std::vector<Value>& params = {});
  // Runs a script of several SQLite statements (schema files).
  void ExecuteScript(std::string_view sql);
  // Runs SQLite text that sorts many rows (index builds) with the engine's
  // sorter spread over two threads, in runs held in temporary files. Should
  // those files be refused (no space, no writable folder), the statement runs
  // again sorting in memory, as every other statement does, provided the open
  // transaction lived through the failure. A transaction that made scratch
  // tables (ExecuteScratch) sorts in memory from the start.
  void ExecuteLargeSort(std::string_view sql);

  // A snapshot of a query of the program's dialect.
  RecordSet Query(std::string_view jet_sql);
  RecordSet QueryNative(std::string_view sql, const std::vector<Value>& params = {});
  // The first column of the first row, or a missing value.
  Value QueryValue(std::string_view sql, const std::vector<Value>& params = {});

  // For each result column of a query of the program's dialect, its name and
  // the table and column its values are taken from, through views and
  // subqueries (empty for a column computed by an expression). The query is
  // compiled, not run.
  struct ColumnOrigin {
    std::string name;
    std::string table;
    std::string column;
  };
  std::vector<ColumnOrigin> ColumnOrigins(std::string_view jet_sql);
  // The engine's plan for a query in the program's dialect, a text per step
  // with its depth in the plan's tree ("1 SCAN T"); compiled, not run.
  std::vector<std::string> QueryPlan(std::string_view jet_sql);
  std::vector<std::string> QueryPlanNative(std::string_view sql);

  // Makes `fn` callable from SQL as NAME(text) on this connection: a
  // deterministic function of one text argument (NULL arrives as ""). Registering
  // a name again replaces it. Throws DatabaseError when the engine refuses.
  using TextFunction = std::string (*)(std::string_view);
  void RegisterTextFunction(const std::string& name, TextFunction fn);

  // The engine's handle, for the benchmarks' bare-insert baseline only.
  sqlite3* handle() { return db_; }
  // A prepared statement of `sql` (SQLite text), for code that steps through
  // rows itself; finalized when let go. Throws what the engine says.
  struct StatementFinalizer {
    void operator()(sqlite3_stmt* st) const;
  };
  using PreparedStatement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;
  PreparedStatement PrepareNative(std::string_view sql);
  // Throws the engine's last error on this connection.
  [[noreturn]] void ThrowLastError();

 private:
  friend class Transaction;
  friend class Inserter;
  void Configure(std::chrono::milliseconds lock_wait = std::chrono::seconds(15));
  // Throws when a transaction guard is open but its transaction is gone.
  void CheckTransactionAlive();
  void CloseScratchStore();
  sqlite3* db_ = nullptr;
  int open_transactions_ = 0;
  int64_t scratch_changes_ = 0;      // rows written by ExecuteScratch
  bool scratch_store_open_ = false;  // ExecuteScratch may have opened the temporary database
  std::string memo_key_, memo_stamp_;
  std::shared_ptr<const void> memo_;
  std::filesystem::path file_;
  std::function<bool()> stop_;
};

// A prepared INSERT of the given columns into one table, for bulk writes.
// Bind values 0..n-1 then Step(); dates are stored as "YYYY-MM-DD HH:MM:SS".
class Inserter {
 public:
  Inserter(Connection& conn, std::string_view table, const std::vector<std::string>& columns);
  ~Inserter();
  Inserter(const Inserter&) = delete;
  Inserter& operator=(const Inserter&) = delete;

  void Bind(int index, const Value& v);
  // Bind without a copy of a text: `v` must stay as it is until Step.
  void BindKept(int index, const Value& v);
  void Step();  // runs the insert and clears the bindings

 private:
  Connection& conn_;
  sqlite3_stmt* stmt_ = nullptr;
  int columns_ = 0;
};

// Groups statements: rolls back in its destructor unless committed, and never
// throws from there. Guards nest (savepoints). When the engine has rolled the
// whole transaction back on its own (a full disk, an I/O error), every later
// write through the connection fails until the guards are gone, rather than
// being committed outside them.
class Transaction {
 public:
  explicit Transaction(Connection& conn);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  void Commit();

 private:
  Connection& conn_;
  std::string name_;
  bool done_ = false;
};

// Binds a value to a prepared statement (1-based index); shared by the writers.
void BindValue(sqlite3_stmt* stmt, int index, const Value& v);

}  // namespace sorvane
