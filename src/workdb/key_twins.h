// The rows of a query that share their key with another row, found in one
// pass over the rows with a hash of each key: a grouping that would sort every
// row to find a few keys held twice need only group those rows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "workdb/connection.h"

namespace sorvane {

// `sql` (SQLite text) gives a rowid, then the columns of a key. Returns, in
// ascending order, the rowid of every row whose key equals another row's as
// the engine groups keys whose texts compare BINARY or NOCASE: NULLs alike,
// numbers by value whatever their storage class, texts by their bytes with
// ASCII letters folded, blobs byte for byte. A few rows whose keys only hash alike may be among
// them. Throws what the engine throws (an interrupt included).
// With `table` named, `sql` reads that table's rows whose rowid lies between
// ?1 and ?2, in rowid order, and the rows are read in two halves at once
// (halved_scan.h).
std::vector<int64_t> RowidsSharingKeys(Connection& conn, std::string_view sql,
                                       std::string_view table = {});

// How `column` of `table` is declared: its type ("" when none) and its
// collating sequence ("BINARY" when it names none); nothing when the table
// has no such column.
struct ColumnDeclaration {
  std::string type, collation;
  bool operator==(const ColumnDeclaration&) const = default;
  // Whether the engine gives the column text affinity: a type naming CHAR,
  // CLOB or TEXT, and not INT.
  bool HasTextAffinity() const {
    return type.find("INT") == std::string::npos &&
           (type.find("CHAR") != std::string::npos || type.find("CLOB") != std::string::npos ||
            type.find("TEXT") != std::string::npos);
  }
};
std::optional<ColumnDeclaration> DeclaredColumn(Connection& conn, const std::string& table,
                                                const std::string& column);

}  // namespace sorvane
