#include "workdb/sqlite_source.h"

#include <sqlite3.h>

#include "core/errors.h"
#include "core/text.h"
#include "workdb/connection.h"

namespace sorvane {
namespace {

using Db = std::shared_ptr<sqlite3>;

[[noreturn]] void Fail(sqlite3* db) {
  throw DatabaseError(sqlite3_errcode(db), sqlite3_errmsg(db));
}

SourceKind KindFromDecl(const char* decl) {
  const std::string d = UpperCase(decl != nullptr ? decl : "");
  if (d.find("INT") != std::string::npos) return SourceKind::kInteger;
  if (d.find("CHAR") != std::string::npos || d.find("TEXT") != std::string::npos ||
      d.find("CLOB") != std::string::npos)
    return SourceKind::kText;
  if (d.find("BLOB") != std::string::npos) return SourceKind::kBinary;
  if (d.find("DATE") != std::string::npos || d.find("TIME") != std::string::npos)
    return SourceKind::kDate;
  if (d.find("REAL") != std::string::npos || d.find("FLOA") != std::string::npos ||
      d.find("DOUB") != std::string::npos || d.find("NUM") != std::string::npos ||
      d.find("DEC") != std::string::npos)
    return SourceKind::kReal;
  return SourceKind::kText;  // no declared type: the values say what they are
}

class SqliteRows : public TableRows {
 public:
  SqliteRows(Db db, const std::string& name) : db_(std::move(db)) {
    const std::string sql = "SELECT * FROM \"" + ReplaceAll(name, "\"", "\"\"") + "\"";
    if (sqlite3_prepare_v2(db_.get(), sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK)
      Fail(db_.get());
    const int n = sqlite3_column_count(stmt_);
    for (int i = 0; i < n; ++i) {
      const char* column = sqlite3_column_name(stmt_, i);
      columns_.push_back(
          {column != nullptr ? column : "", KindFromDecl(sqlite3_column_decltype(stmt_, i))});
    }
    binary_.assign(columns_.size(), false);
  }
  ~SqliteRows() override { sqlite3_finalize(stmt_); }

  const std::vector<SourceColumn>& columns() const override { return columns_; }
  bool IsBinary(size_t column) const override { return binary_.at(column); }

  bool Next(std::vector<Value>& row) override {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_DONE) {
      // Ends the read at once, so a writer of the same file is not kept waiting.
      sqlite3_reset(stmt_);
      return false;
    }
    if (rc != SQLITE_ROW) Fail(db_.get());
    row.assign(columns_.size(), Value());
    for (size_t i = 0; i < columns_.size(); ++i) {
      const int c = static_cast<int>(i);
      binary_[i] = false;
      switch (sqlite3_column_type(stmt_, c)) {
        case SQLITE_INTEGER:
          row[i] = Value::Integer(sqlite3_column_int64(stmt_, c));
          break;
        case SQLITE_FLOAT:
          row[i] = Value::Real(sqlite3_column_double(stmt_, c));
          break;
        case SQLITE_TEXT: {
          const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, c));
          row[i] = Value::Text(std::string(p != nullptr ? p : "",
                                           static_cast<size_t>(sqlite3_column_bytes(stmt_, c))));
          break;
        }
        case SQLITE_BLOB:
          binary_[i] = true;
          break;
        default:
          break;
      }
    }
    return true;
  }

 private:
  Db db_;
  sqlite3_stmt* stmt_ = nullptr;
  std::vector<SourceColumn> columns_;
  std::vector<bool> binary_;
};

class SqliteSource : public TableSource {
 public:
  SqliteSource(Db db, std::filesystem::path file) : db_(std::move(db)), file_(std::move(file)) {}
  const std::filesystem::path& file() const override { return file_; }

  std::vector<std::string> TableNames() override {
    return Names(
        "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE "
        "'sqlite\\_%' ESCAPE '\\' ORDER BY rowid",
        "");
  }

  std::unique_ptr<TableRows> OpenTable(const std::string& name) override {
    if (LowerCase(name).starts_with("sqlite_")) return nullptr;
    std::vector<std::string> found = Names(
        "SELECT name FROM sqlite_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE", name);
    if (found.empty()) return nullptr;
    return std::make_unique<SqliteRows>(db_, found.front());
  }

 private:
  std::vector<std::string> Names(const char* sql, const std::string& param) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_.get(), sql, -1, &st, nullptr) != SQLITE_OK) Fail(db_.get());
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> guard(st, sqlite3_finalize);
    if (!param.empty()) sqlite3_bind_text(st, 1, param.c_str(), -1, SQLITE_TRANSIENT);
    std::vector<std::string> names;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
      const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
      if (p != nullptr) names.emplace_back(p);
    }
    if (rc != SQLITE_DONE) Fail(db_.get());
    return names;
  }

  Db db_;
  std::filesystem::path file_;
};

}  // namespace

std::unique_ptr<TableSource> OpenSqliteSource(const std::filesystem::path& file) {
  if (const std::string too_long = PathTooLongReason(file); !too_long.empty())
    throw DatabaseOpenError(too_long);
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
  Db db(raw, [](sqlite3* d) { sqlite3_close_v2(d); });
  if (rc != SQLITE_OK) {
    throw DatabaseOpenError(raw != nullptr ? sqlite3_errmsg(raw) : sqlite3_errstr(rc));
  }
  // The file comes from outside: its schema may not call functions or
  // modules that could act beyond reading it.
  sqlite3_db_config(raw, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  sqlite3_db_config(raw, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
  sqlite3_busy_timeout(raw, 15000);
  if (sqlite3_exec(raw, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) !=
      SQLITE_OK) {
    throw DatabaseOpenError(sqlite3_errmsg(raw));
  }
  return std::make_unique<SqliteSource>(std::move(db), file);
}

}  // namespace sorvane
