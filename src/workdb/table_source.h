// Tables of another database file (an update database, the agency's own work
// database) read one row at a time as the work database's values. SQLite files
// (workdb/sqlite_source.h) and Access files (accessfile/access_source.h) both
// offer their tables through this interface, so the reference tables are
// replaced by one routine whatever the file.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/value.h"

namespace sorvane {

// What a column of the file holds. Binary columns (pictures, OLE objects,
// attachments) are listed but their values are never read.
enum class SourceKind { kText, kInteger, kReal, kDate, kBinary };

struct SourceColumn {
  std::string name;
  SourceKind kind = SourceKind::kText;
};

// The rows of one table, in the file's order. Failures while reading (a
// damaged page, a reader that was stopped) throw Error with the reason.
class TableRows {
 public:
  virtual ~TableRows() = default;
  virtual const std::vector<SourceColumn>& columns() const = 0;
  // Fills `row` with one value per column and returns true, or returns false
  // after the last row. Binary data comes as a missing value; IsBinary tells it
  // from a truly empty cell.
  virtual bool Next(std::vector<Value>& row) = 0;
  // Whether the last row's value in `column` was binary data.
  virtual bool IsBinary(size_t column) const {
    return columns().at(column).kind == SourceKind::kBinary;
  }
};

// A database file whose tables can be read. Opening one that is not a
// readable database throws DatabaseOpenError with the reason.
class TableSource {
 public:
  virtual ~TableSource() = default;
  virtual const std::filesystem::path& file() const = 0;
  // The file's own tables (not the engine's), in the file's order.
  virtual std::vector<std::string> TableNames() = 0;
  // The table of that name, letter case ignored; nullptr when the file has none.
  virtual std::unique_ptr<TableRows> OpenTable(const std::string& name) = 0;
};

}  // namespace sorvane
