#include "workdb/key_twins.h"

#include <sqlite3.h>

#include <algorithm>
#include <bit>

#include "core/text.h"
#include "workdb/halved_scan.h"
#include "workdb/value_hash.h"

namespace sorvane {

namespace {

struct Keyed {
  uint64_t hash;
  int64_t rowid;
};

void AddRow(sqlite3_stmt* st, std::vector<Keyed>& rows) {
  uint64_t h = 0;
  const int columns = sqlite3_column_count(st);
  for (int c = 1; c < columns; ++c) h = FoldedValueHash(h, sqlite3_column_value(st, c));
  rows.push_back({MixHash(h), sqlite3_column_int64(st, 0)});
}

}  // namespace

std::vector<int64_t> RowidsSharingKeys(Connection& conn, std::string_view sql,
                                       std::string_view table) {
  std::vector<Keyed> rows;
  if (table.empty()) {
    const Connection::PreparedStatement statement = conn.PrepareNative(sql);
    sqlite3_stmt* st = statement.get();
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) AddRow(st, rows);
    if (rc != SQLITE_DONE) conn.ThrowLastError();
  } else {
    std::vector<Keyed> upper;
    ScanInHalves(conn, table, sql, [&](int half, sqlite3_stmt* st) {
      AddRow(st, half == 0 ? rows : upper);
      return true;
    });
    rows.insert(rows.end(), upper.begin(), upper.end());
  }

  // The rows are dealt by their hash's top bits into parts of about a hundred,
  // each then sorted where it fits the cache: a table of every hash would be
  // read at random, a miss per row.
  const int bits = std::bit_width(rows.size() / 128);
  const int shift = 64 - bits;
  auto part_of = [&](uint64_t h) {
    return bits == 0 ? size_t{0} : static_cast<size_t>(h >> shift);
  };
  std::vector<size_t> starts((size_t{1} << bits) + 1, 0);
  for (const Keyed& r : rows) ++starts[part_of(r.hash) + 1];
  for (size_t p = 1; p < starts.size(); ++p) starts[p] += starts[p - 1];
  std::vector<Keyed> dealt(rows.size());
  {
    std::vector<size_t> next(starts.begin(), starts.end() - 1);
    for (const Keyed& r : rows) dealt[next[part_of(r.hash)]++] = r;
  }
  rows = {};

  std::vector<int64_t> twins;
  for (size_t p = 0; p + 1 < starts.size(); ++p) {
    const auto first = dealt.begin() + static_cast<std::ptrdiff_t>(starts[p]);
    const auto last = dealt.begin() + static_cast<std::ptrdiff_t>(starts[p + 1]);
    std::sort(first, last, [](const Keyed& a, const Keyed& b) { return a.hash < b.hash; });
    for (auto at = first; at != last;) {
      auto end = at + 1;
      while (end != last && end->hash == at->hash) ++end;
      if (end - at > 1) {
        for (; at != end; ++at) twins.push_back(at->rowid);
      }
      at = end;
    }
  }
  std::sort(twins.begin(), twins.end());
  return twins;
}

std::optional<ColumnDeclaration> DeclaredColumn(Connection& conn, const std::string& table,
                                                const std::string& column) {
  const char *type = nullptr, *collation = nullptr;
  if (conn.handle() == nullptr ||
      sqlite3_table_column_metadata(conn.handle(), nullptr, table.c_str(), column.c_str(), &type,
                                    &collation, nullptr, nullptr, nullptr) != SQLITE_OK)
    return std::nullopt;
  return ColumnDeclaration{type != nullptr ? UpperCase(type) : "",
                           UpperCase(collation != nullptr ? collation : "BINARY")};
}

}  // namespace sorvane
