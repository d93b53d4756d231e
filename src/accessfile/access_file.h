// Reading an Access database file (.mdb of Jet 3 and Jet 4, .accdb of ACE 12
// and later) with libmdb, in the calling process. The library follows the
// file's page pointers without much checking and can crash, loop or grow on
// a damaged file, so only the child process of access_source.h uses this.
//
// Values come as the work database's: text and memo as text (UTF-8), whole
// numbers and yes/no (1 or 0) as integers, floating numbers and currency (its
// four decimals kept) as reals, dates decoded from the stored number of days.
// Binary columns (OLE objects, binary data, attachments) are listed with the
// binary kind and their values are not read.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/date.h"
#include "core/value.h"
#include "workdb/table_source.h"

namespace sorvane {

class AccessFile {
 public:
  // Throws DatabaseOpenError when the file is not an Access database or its
  // list of tables cannot be read.
  static std::unique_ptr<AccessFile> Open(const std::filesystem::path& file);
  ~AccessFile();
  AccessFile(const AccessFile&) = delete;
  AccessFile& operator=(const AccessFile&) = delete;

  // The user tables, in the catalog's order.
  std::vector<std::string> TableNames() const;
  // Reads the table of that name (letter case ignored): `columns` once, then
  // `row` for every row. False when the file has no such table; Error when
  // the table cannot be read.
  bool ReadTable(const std::string& name,
                 const std::function<void(const std::vector<SourceColumn>&)>& columns,
                 const std::function<void(const std::vector<Value>&)>& row);

 private:
  explicit AccessFile(void* handle) : mdb_(handle) {}
  void* mdb_;  // MdbHandle*; libmdb's header stays out of this one
};

// A stored Access date: days since 1899-12-30, the fraction being the time of
// day. Before that day the whole days count backwards while the fraction still
// counts the time forwards (-1.25 is 1899-12-29 06:00). Nothing outside the
// years 100 to 9999.
std::optional<Date> AccessDate(double stored);

}  // namespace sorvane
