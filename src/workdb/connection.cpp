#include "workdb/connection.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <system_error>

#include "core/errors.h"
#include "core/text.h"
#include "workdb/jet_functions.h"
#include "workdb/jet_sql.h"
#include "workdb/nocase_collation.h"

namespace sorvane {
namespace {

[[noreturn]] void Fail(sqlite3* db, int rc) {
  const char* msg = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  throw DatabaseError(rc, msg != nullptr ? msg : "database error");
}

class Statement {
 public:
  Statement(sqlite3* db, std::string_view sql, const char** tail = nullptr) : db_(db) {
    const char* t = nullptr;
    int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, &t);
    if (rc != SQLITE_OK) Fail(db, rc);
    if (tail != nullptr) *tail = t;
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  sqlite3_stmt* get() { return stmt_; }

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

// Field type of a result column, from its declared type.
int TypeFromDecl(const char* decl) {
  if (decl == nullptr) return 0;
  std::string d = UpperCase(decl);
  if (d.find("DATE") != std::string::npos || d.find("TIME") != std::string::npos) return 7;
  if (d.find("INT") != std::string::npos) return 3;
  if (d.find("CHAR") != std::string::npos || d.find("TEXT") != std::string::npos ||
      d.find("CLOB") != std::string::npos)
    return 200;
  if (d.find("REAL") != std::string::npos || d.find("FLOA") != std::string::npos ||
      d.find("DOUB") != std::string::npos || d.find("NUM") != std::string::npos ||
      d.find("DEC") != std::string::npos)
    return 5;
  return 0;
}

Value ColumnValue(sqlite3_stmt* st, int i, int type) {
  switch (sqlite3_column_type(st, i)) {
    case SQLITE_NULL:
      return Value();
    case SQLITE_INTEGER:
      if (type == 5) return Value::Real(static_cast<double>(sqlite3_column_int64(st, i)));
      return Value::Integer(sqlite3_column_int64(st, i));
    case SQLITE_FLOAT:
      return Value::Real(sqlite3_column_double(st, i));
    default: {
      const char* p = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
      std::string_view t(p != nullptr ? p : "", static_cast<size_t>(sqlite3_column_bytes(st, i)));
      if (type == 7) {
        if (auto d = Date::FromIso(t)) return Value::FromDate(*d);
      }
      return Value::Text(std::string(t));
    }
  }
}

RecordSet RunQuery(sqlite3* db, std::string_view sql, const std::vector<Value>& params) {
  Statement st(db, sql);
  for (size_t i = 0; i < params.size(); ++i)
    BindValue(st.get(), static_cast<int>(i) + 1, params[i]);
  RecordSet rs;
  const int n = sqlite3_column_count(st.get());
  std::vector<int> types(n);
  for (int i = 0; i < n; ++i) {
    types[i] = TypeFromDecl(sqlite3_column_decltype(st.get(), i));
    const char* name = sqlite3_column_name(st.get(), i);
    std::string fname = name != nullptr ? name : "";
    // A column read through a parenthesised join comes back as "POINT_ID:1"
    // (SQLite's name inside the join's subquery); the column is POINT_ID.
    if (size_t colon = fname.rfind(':');
        colon != std::string::npos && colon > 0 && colon + 1 < fname.size() &&
        fname.find_first_not_of("0123456789", colon + 1) == std::string::npos)
      fname.resize(colon);
    // Two result columns may share a name (t1.SITE, t2.SITE); keep both.
    std::string unique = fname;
    for (int k = 1; rs.FieldIndex(unique) >= 0; ++k) unique = fname + "_" + std::to_string(k);
    rs.AppendField(unique, types[i] == 0 ? 200 : types[i], 0);  // a snapshot takes any length
  }
  rs.Open();
  while (true) {
    int rc = sqlite3_step(st.get());
    if (rc == SQLITE_DONE) break;
    if (rc != SQLITE_ROW) Fail(db, rc);
    rs.AddNew();
    for (int i = 0; i < n; ++i) {
      Value v = ColumnValue(st.get(), i, types[i]);
      rs.SetValue(static_cast<size_t>(i), v);
    }
  }
  rs.MoveFirst();
  return rs;
}

int64_t RunStatements(sqlite3* db, std::string_view sql, const std::vector<Value>& params) {
  int64_t changed = 0;
  const char* p = sql.data();
  const char* end = sql.data() + sql.size();
  while (p < end) {
    const char* tail = nullptr;
    Statement st(db, std::string_view(p, static_cast<size_t>(end - p)), &tail);
    if (st.get() == nullptr) break;  // only blanks or comments left
    for (size_t i = 0;
         i < params.size() && static_cast<int>(i) < sqlite3_bind_parameter_count(st.get()); ++i)
      BindValue(st.get(), static_cast<int>(i) + 1, params[i]);
    int rc;
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) Fail(db, rc);
    changed += sqlite3_changes64(db);
    p = tail;
  }
  return changed;
}

std::atomic<int> savepoint_counter{0};

// A connection is never used by two threads at once, so the engine need not
// lock it around every call (a bulk insert makes twenty calls a row).
constexpr int kOneThread = SQLITE_OPEN_NOMUTEX;

// Before the engine's first use: without the engine's memory statistics no
// global lock is taken at every allocation, which lets queries on two
// connections run side by side without waiting on each other.
int EngineConfigured() {
  static const int rc = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
  return rc;
}

void BindWith(sqlite3_stmt* stmt, int index, const Value& v, sqlite3_destructor_type text) {
  int rc = SQLITE_OK;
  switch (v.kind()) {
    case Value::Kind::kMissing:
      rc = sqlite3_bind_null(stmt, index);
      break;
    case Value::Kind::kInteger:
      rc = sqlite3_bind_int64(stmt, index, v.AsInteger());
      break;
    case Value::Kind::kReal:
      rc = sqlite3_bind_double(stmt, index, v.AsReal());
      break;
    case Value::Kind::kDate: {
      std::string iso = v.AsDate().ToIso();
      rc = sqlite3_bind_text(stmt, index, iso.c_str(), static_cast<int>(iso.size()),
                             SQLITE_TRANSIENT);
      break;
    }
    case Value::Kind::kText:
      rc = sqlite3_bind_text(stmt, index, v.AsText().data(), static_cast<int>(v.AsText().size()),
                             text);
      break;
  }
  if (rc != SQLITE_OK) Fail(sqlite3_db_handle(stmt), rc);
}

}  // namespace

void BindValue(sqlite3_stmt* stmt, int index, const Value& v) {
  BindWith(stmt, index, v, SQLITE_TRANSIENT);
}

std::vector<std::filesystem::path> CompanionFiles(const std::filesystem::path& file) {
  std::vector<std::filesystem::path> out;
  for (const char* suffix : {"-journal", "-wal", "-shm"}) out.emplace_back(file.string() + suffix);
  return out;
}

std::string PathTooLongReason(const std::filesystem::path& file) {
  namespace fs = std::filesystem;
  EngineConfigured();
  const sqlite3_vfs* vfs = sqlite3_vfs_find(nullptr);
  if (vfs == nullptr) return "";
  // The engine follows links and makes the path absolute, then needs room
  // for "-journal" after it.
  std::error_code ec;
  fs::path full = fs::weakly_canonical(fs::absolute(file, ec), ec);
  if (full.empty()) full = file;
  const size_t length = full.native().size();
  const size_t most = static_cast<size_t>(vfs->mxPathname) - std::string_view("-journal").size();
  if (length <= most) return "";
  return "its path is " + std::to_string(length) +
         " bytes long, and the database engine takes paths of at most " + std::to_string(most) +
         " bytes; choose a data folder with a shorter path";
}

Connection::Connection() = default;
Connection::~Connection() { Close(); }

void Connection::Open(const std::filesystem::path& file, std::chrono::milliseconds lock_wait) {
  namespace fs = std::filesystem;
  Close();
  std::error_code ec;
  const fs::file_status st = fs::status(file, ec);
  if (st.type() == fs::file_type::not_found) throw DatabaseMissingError(file);
  if (ec) throw DatabaseOpenError(file, ec.message());
  if (const std::string too_long = PathTooLongReason(file); !too_long.empty())
    throw DatabaseOpenError(file, too_long);
  if (fs::is_directory(st)) throw DatabaseOpenError(file, "it is a folder, not a file");
  if (!fs::is_regular_file(st)) throw DatabaseOpenError(file, "it is not a regular file");
  // SQLite would take an empty file (an interrupted copy, say) for an empty
  // database and let the first query fail on a missing table instead.
  if (fs::file_size(file, ec) == 0 && !ec) {
    throw DatabaseOpenError(file, "the file is empty (0 bytes)", /*damaged=*/true);
  }
  // Where the system refuses the file the engine says only "unable to open
  // database file"; the system's own reason is the one worth showing.
  if (const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC); fd >= 0) {
    ::close(fd);
  } else {
    throw DatabaseOpenError(file, std::error_code(errno, std::generic_category()).message());
  }
  sqlite3* db = nullptr;
  EngineConfigured();
  int rc = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | kOneThread, nullptr);
  if (rc != SQLITE_OK) {
    std::string msg = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close(db);
    throw DatabaseOpenError(file, msg);
  }
  db_ = db;
  file_ = file;
  try {
    // The lock time-out first: a database another program is writing to for a
    // moment is waited for, not taken for a missing one. A file that is not a
    // database fails here, not at the first real statement.
    Configure(lock_wait);
    RunStatements(db_, "SELECT count(*) FROM sqlite_master", {});
    // Damage past the schema would otherwise surface at whichever statement
    // first reads it (start-up, an import part way) as a bare error number.
    // A work database between runs holds little, so its pages in use are
    // checked while that takes some milliseconds (a run killed with a
    // facility's rows in the tables leaves more, left to their reads).
    constexpr int64_t kCheckedBytes = int64_t{64} << 20;
    auto number = [this](const char* pragma) {
      return RunQuery(db_, pragma, {}).At(0, 0).AsInteger();
    };
    const int64_t in_use = (number("PRAGMA page_count") - number("PRAGMA freelist_count")) *
                           number("PRAGMA page_size");
    if (in_use <= kCheckedBytes) {
      // The main database only: checking the temporary one would open it,
      // and where to keep temporary data may then no longer be changed inside
      // a transaction, as the index builds do (ExecuteLargeSort).
      const RecordSet verdict = RunQuery(db_, "PRAGMA main.quick_check(1)", {});
      if (verdict.RecordCount() != 1 || verdict.TextAt(0, 0) != "ok")
        throw DatabaseError(SQLITE_CORRUPT, sqlite3_errstr(SQLITE_CORRUPT));
    }
  } catch (const Error& e) {
    Close();
    const long code = e.number() & 0xff;
    throw DatabaseOpenError(file, e.description(), code == SQLITE_CORRUPT || code == SQLITE_NOTADB);
  }
  // The engine opens a file it may not write to for reading only, and every
  // import would then fail table by table on "attempt to write a readonly
  // database". A database copied from a CD keeps the disc's read-only mode.
  if (sqlite3_db_readonly(db_, "main") == 1) {
    Close();
    struct statvfs fs {};
    if (statvfs(file.c_str(), &fs) == 0 && (fs.f_flag & ST_RDONLY) != 0) {
      throw DatabaseOpenError(file,
                              "it lies on a disk mounted read-only (the program writes to it: "
                              "copy the data folder to a disk it may write to)");
    }
    throw DatabaseOpenError(file,
                            "it is read-only (the program may not write to the file; a copy "
                            "from a CD keeps the disc's read-only mode)");
  }
}

void Connection::Create(const std::filesystem::path& file) {
  Close();
  if (const std::string too_long = PathTooLongReason(file); !too_long.empty())
    throw DatabaseOpenError("Could not create file '" + file.string() + "': " + too_long);
  sqlite3* db = nullptr;
  EngineConfigured();
  int rc = sqlite3_open_v2(file.c_str(), &db,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | kOneThread, nullptr);
  if (rc != SQLITE_OK) {
    std::string msg = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close(db);
    throw DatabaseOpenError("Could not create file '" + file.string() + "': " + msg);
  }
  db_ = db;
  file_ = file;
  Configure();
}

void Connection::OpenInMemory() {
  Close();
  EngineConfigured();
  int rc = sqlite3_open_v2(":memory:", &db_,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | kOneThread, nullptr);
  if (rc != SQLITE_OK) Fail(db_, rc);
  file_ = ":memory:";
  Configure();
}

void Connection::OpenReaderOf(const Connection& other, std::chrono::milliseconds lock_wait) {
  Close();
  EngineConfigured();
  int rc = sqlite3_open_v2(other.file_.c_str(), &db_, SQLITE_OPEN_READONLY | kOneThread, nullptr);
  if (rc != SQLITE_OK) {
    const std::string msg = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    Close();
    throw DatabaseOpenError(other.file_, msg);
  }
  file_ = other.file_;
  Configure(lock_wait);
  RunStatements(db_, "PRAGMA cache_size=-8192;", {});
}

bool Connection::InTransaction() const {
  return db_ != nullptr && sqlite3_get_autocommit(db_) == 0;
}

std::string Connection::DataStamp() {
  if (db_ == nullptr) return {};
  return std::to_string(sqlite3_total_changes64(db_) - scratch_changes_) + "/" +
         QueryValue("PRAGMA data_version").ToDisplay() + "/" +
         QueryValue("PRAGMA schema_version").ToDisplay();
}

void Connection::Configure(std::chrono::milliseconds lock_wait) {
  sqlite3_busy_timeout(db_, static_cast<int>(lock_wait.count()));
  RegisterJetFunctions(db_);
  RegisterNoCase(db_);
  // A larger page cache keeps bulk inserts into indexed tables from thrashing.
  RunStatements(db_,
                "PRAGMA foreign_keys=OFF; PRAGMA temp_store=MEMORY; PRAGMA cache_size=-65536; "
                "PRAGMA secure_delete=FAST;",
                {});
}

void Connection::SetStopCheck(std::function<bool()> stop) {
  stop_ = std::move(stop);
  if (db_ == nullptr) return;
  // About a millisecond of the engine's work between two looks.
  constexpr int kStepsBetweenLooks = 10000;
  if (!stop_) {
    sqlite3_progress_handler(db_, 0, nullptr, nullptr);
    return;
  }
  sqlite3_progress_handler(
      db_, kStepsBetweenLooks,
      [](void* self) { return static_cast<Connection*>(self)->stop_() ? 1 : 0; }, this);
}

void Connection::Close() {
  stop_ = nullptr;
  if (db_ != nullptr) {
    sqlite3_close_v2(db_);
    db_ = nullptr;
  }
  open_transactions_ = 0;
  scratch_changes_ = 0;
  scratch_store_open_ = false;
  memo_ = nullptr;
}

void Connection::CheckTransactionAlive() {
  // After a full disk or an I/O error the engine may have rolled back the whole
  // transaction; the statements after it would each commit on their own, and
  // the guard meant to undo them could no longer.
  if (open_transactions_ > 0 && sqlite3_get_autocommit(db_) != 0) {
    throw DatabaseError(SQLITE_ABORT,
                        "The transaction was rolled back after an earlier error; nothing more is "
                        "written in it.");
  }
}

int64_t Connection::Execute(std::string_view jet_sql) {
  return ExecuteNative(TranslateJet(jet_sql));
}

int64_t Connection::ExecuteNative(std::string_view sql, const std::vector<Value>& params) {
  if (db_ == nullptr)
    throw DatabaseError(3704, "Operation is not allowed when the object is closed.");
  CheckTransactionAlive();
  return RunStatements(db_, sql, params);
}

void Connection::ExecuteScript(std::string_view sql) { ExecuteNative(sql); }

void Connection::StatementFinalizer::operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }

Connection::PreparedStatement Connection::PrepareNative(std::string_view sql) {
  if (db_ == nullptr)
    throw DatabaseError(3704, "Operation is not allowed when the object is closed.");
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &st, nullptr) != SQLITE_OK)
    ThrowLastError();
  return PreparedStatement(st);
}

void Connection::ThrowLastError() {
  const char* msg = db_ != nullptr ? sqlite3_errmsg(db_) : nullptr;
  throw DatabaseError(db_ != nullptr ? sqlite3_extended_errcode(db_) : SQLITE_MISUSE,
                      msg != nullptr ? msg : "database error");
}

void Connection::Remember(const std::string& key, const std::string& stamp,
                          std::shared_ptr<const void> value) {
  memo_key_ = key;
  memo_stamp_ = stamp;
  memo_ = std::move(value);
}

std::shared_ptr<const void> Connection::Recall(const std::string& key) {
  if (memo_ == nullptr || key != memo_key_ || DataStamp() != memo_stamp_) return nullptr;
  return memo_;
}

void Connection::ExecuteScratch(std::string_view sql, const std::vector<Value>& params) {
  const int64_t before = db_ != nullptr ? sqlite3_total_changes64(db_) : 0;
  struct Count {  // also when the statement fails part way
    Connection& conn;
    int64_t before;
    ~Count() {
      if (conn.db_ != nullptr) conn.scratch_changes_ += sqlite3_total_changes64(conn.db_) - before;
    }
  } count{*this, before};
  scratch_store_open_ = true;
  ExecuteNative(sql, params);
}

void Connection::CloseScratchStore() {
  // Scratch tables open the engine's temporary database, and while it is
  // open, where temporary data go may not change inside a transaction, which
  // the index builds of an import do (ExecuteLargeSort). The tables went with
  // the transactions they were made in; switching the setting there and back
  // outside one closes that database. Should it fail, the builds sort in memory.
  if (!scratch_store_open_ || db_ == nullptr || sqlite3_get_autocommit(db_) == 0) return;
  sqlite3_exec(db_, "PRAGMA temp_store=FILE; PRAGMA temp_store=MEMORY;", nullptr, nullptr, nullptr);
  scratch_store_open_ = false;
}

void Connection::ExecuteLargeSort(std::string_view sql) {
  // The sorter writes runs to files (and sorts them on worker threads) only
  // when temporary data go to files; its runs are as large as the page cache.
  auto restore = [this] {
    RunStatements(db_, "PRAGMA temp_store=MEMORY; PRAGMA threads=0; PRAGMA cache_size=-65536;", {});
  };
  try {
    RunStatements(db_, "PRAGMA temp_store=FILE; PRAGMA threads=2; PRAGMA cache_size=-4096;", {});
  } catch (const DatabaseError&) {
    // The transaction has opened the temporary database (CloseScratchStore):
    // sorted in memory, as every other statement is.
    restore();
    ExecuteNative(sql);
    return;
  }
  try {
    ExecuteNative(sql);
  } catch (const DatabaseError& e) {
    restore();
    const int primary = static_cast<int>(e.number() & 0xff);
    if (primary != SQLITE_FULL && primary != SQLITE_IOERR && primary != SQLITE_CANTOPEN) throw;
    // The sorter's files may have found no room; a sort in memory may then
    // still succeed. But when the engine could not write the transaction's own
    // pages it rolled the transaction back, and this error says why.
    if (open_transactions_ > 0 && sqlite3_get_autocommit(db_) != 0) throw;
    ExecuteNative(sql);
    return;
  }
  restore();
}

RecordSet Connection::Query(std::string_view jet_sql) { return QueryNative(TranslateJet(jet_sql)); }

RecordSet Connection::QueryNative(std::string_view sql, const std::vector<Value>& params) {
  if (db_ == nullptr)
    throw DatabaseError(3704, "Operation is not allowed when the object is closed.");
  return RunQuery(db_, sql, params);
}

Value Connection::QueryValue(std::string_view sql, const std::vector<Value>& params) {
  RecordSet rs = QueryNative(sql, params);
  if (rs.RecordCount() == 0 || rs.FieldCount() == 0) return Value();
  return rs.At(0, 0);
}

std::vector<Connection::ColumnOrigin> Connection::ColumnOrigins(std::string_view jet_sql) {
  if (db_ == nullptr)
    throw DatabaseError(3704, "Operation is not allowed when the object is closed.");
  const std::string sql = TranslateJet(jet_sql);
  Statement st(db_, sql);
  std::vector<ColumnOrigin> origins;
  const int n = st.get() != nullptr ? sqlite3_column_count(st.get()) : 0;
  for (int i = 0; i < n; ++i) {
    const char* name = sqlite3_column_name(st.get(), i);
    const char* table = sqlite3_column_table_name(st.get(), i);
    const char* column = sqlite3_column_origin_name(st.get(), i);
    origins.push_back({name != nullptr ? name : "", table != nullptr ? table : "",
                       column != nullptr ? column : ""});
  }
  return origins;
}

std::vector<std::string> Connection::QueryPlan(std::string_view jet_sql) {
  return QueryPlanNative(TranslateJet(jet_sql));
}

std::vector<std::string> Connection::QueryPlanNative(std::string_view sql) {
  const RecordSet plan = QueryNative("EXPLAIN QUERY PLAN " + std::string(sql));
  // Rows are (id, parent, -, detail); ids are program addresses, which differ
  // between two queries of the same plan, so a step is told by its depth.
  std::vector<std::string> steps;
  std::vector<std::pair<double, size_t>> depth_of;  // id, depth
  for (int64_t r = 0; r < plan.RecordCount() && plan.FieldCount() >= 4; ++r) {
    const double id = plan.At(r, 0).ToDouble(), parent = plan.At(r, 1).ToDouble();
    size_t depth = 0;
    for (const auto& [known, d] : depth_of) {
      if (known == parent) depth = d + 1;
    }
    depth_of.emplace_back(id, depth);
    steps.push_back(std::to_string(depth) + " " + plan.At(r, 3).ToDisplay());
  }
  return steps;
}

Inserter::Inserter(Connection& conn, std::string_view table,
                   const std::vector<std::string>& columns)
    : conn_(conn), columns_(static_cast<int>(columns.size())) {
  std::string sql = "INSERT INTO \"" + std::string(table) + "\" (";
  std::string qs;
  for (size_t i = 0; i < columns.size(); ++i) {
    if (i > 0) {
      sql += ", ";
      qs += ", ";
    }
    sql += "\"" + columns[i] + "\"";
    qs += "?";
  }
  sql += ") VALUES (" + qs + ")";
  int rc = sqlite3_prepare_v2(conn_.handle(), sql.c_str(), -1, &stmt_, nullptr);
  if (rc != SQLITE_OK) Fail(conn_.handle(), rc);
}

Inserter::~Inserter() { sqlite3_finalize(stmt_); }

void Inserter::Bind(int index, const Value& v) { BindValue(stmt_, index + 1, v); }

void Inserter::BindKept(int index, const Value& v) { BindWith(stmt_, index + 1, v, SQLITE_STATIC); }

void Inserter::Step() {
  conn_.CheckTransactionAlive();
  int rc = sqlite3_step(stmt_);
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
  if (rc != SQLITE_DONE) Fail(conn_.handle(), rc);
}

Transaction::Transaction(Connection& conn)
    : conn_(conn), name_("sv_" + std::to_string(++savepoint_counter)) {
  if (conn_.open_transactions_ == 0) conn_.CloseScratchStore();
  conn_.ExecuteNative("SAVEPOINT " + name_);
  ++conn_.open_transactions_;
}

Transaction::~Transaction() {
  if (done_) return;
  if (conn_.open_transactions_ > 0) --conn_.open_transactions_;
  if (!conn_.IsOpen()) return;
  std::string sql = "ROLLBACK TO " + name_ + "; RELEASE " + name_;
  sqlite3_exec(conn_.handle(), sql.c_str(), nullptr, nullptr, nullptr);
}

void Transaction::Commit() {
  conn_.ExecuteNative("RELEASE " + name_);
  done_ = true;
  if (conn_.open_transactions_ > 0) --conn_.open_transactions_;
}

namespace {
void CallTextFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  auto fn = reinterpret_cast<Connection::TextFunction>(sqlite3_user_data(ctx));
  std::string_view text;
  if (sqlite3_value_type(argv[0]) != SQLITE_NULL) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    if (p != nullptr) text = std::string_view(p, static_cast<size_t>(sqlite3_value_bytes(argv[0])));
  }
  std::string out = fn(text);
  sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}
}  // namespace

void Connection::RegisterTextFunction(const std::string& name, TextFunction fn) {
  constexpr int kFlags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
  const int rc =
      sqlite3_create_function_v2(db_, name.c_str(), 1, kFlags, reinterpret_cast<void*>(fn),
                                 CallTextFunction, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) Fail(db_, rc);
}

}  // namespace sorvane
