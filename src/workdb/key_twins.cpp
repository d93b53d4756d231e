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

// The rowids of the rows of `halves` whose hash another row shares, of the
// parts [first, last) of the rows dealt by their hash's top `bits`. The rows
// are dealt into parts of about a hundred, each then sorted where it fits
// the cache: a table of every hash would be read at random, a miss per row.
std::vector<int64_t> TwinsInParts(const std::vector<Keyed> (&halves)[2], int bits, size_t first,
                                  size_t last) {
  auto part_of = [&](uint64_t h) {
    return bits == 0 ? size_t{0} : static_cast<size_t>(h >> (64 - bits));
  };
  std::vector<size_t> starts(last - first + 1, 0);
  for (const std::vector<Keyed>& rows : halves) {
    for (const Keyed& r : rows) {
      const size_t p = part_of(r.hash);
      if (p >= first && p < last) ++starts[p - first + 1];
    }
  }
  for (size_t p = 1; p < starts.size(); ++p) starts[p] += starts[p - 1];
  std::vector<Keyed> dealt(starts.back());
  {
    std::vector<size_t> next(starts.begin(), starts.end() - 1);
    for (const std::vector<Keyed>& rows : halves) {
      for (const Keyed& r : rows) {
        const size_t p = part_of(r.hash);
        if (p >= first && p < last) dealt[next[p - first]++] = r;
      }
    }
  }
  std::vector<int64_t> twins;
  for (size_t p = 0; p + 1 < starts.size(); ++p) {
    const auto begin = dealt.begin() + static_cast<std::ptrdiff_t>(starts[p]);
    const auto end = dealt.begin() + static_cast<std::ptrdiff_t>(starts[p + 1]);
    std::sort(begin, end, [](const Keyed& a, const Keyed& b) { return a.hash < b.hash; });
    for (auto at = begin; at != end;) {
      auto same = at + 1;
      while (same != end && same->hash == at->hash) ++same;
      if (same - at > 1) {
        for (; at != same; ++at) twins.push_back(at->rowid);
      }
      at = same;
    }
  }
  return twins;
}

}  // namespace

std::vector<int64_t> RowidsSharingKeys(Connection& conn, std::string_view sql,
                                       std::string_view table) {
  std::vector<Keyed> halves[2];
  if (table.empty()) {
    const Connection::PreparedStatement statement = conn.PrepareNative(sql);
    sqlite3_stmt* st = statement.get();
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) AddRow(st, halves[0]);
    if (rc != SQLITE_DONE) conn.ThrowLastError();
  } else {
    ScanInHalves(conn, table, sql, [&](int half, sqlite3_stmt* st) {
      AddRow(st, halves[half]);
      return true;
    });
  }

  const int bits = std::bit_width((halves[0].size() + halves[1].size()) / 128);
  const size_t parts = size_t{1} << bits;
  std::vector<int64_t> twins;
  if (halves[1].empty() || !CoreToSpare()) {
    twins = TwinsInParts(halves, bits, 0, parts);
  } else {
    // The parts in two halves too, the upper beside.
    std::vector<int64_t> upper;
    RunBeside([&] { upper = TwinsInParts(halves, bits, parts / 2, parts); },
              [&] { twins = TwinsInParts(halves, bits, 0, parts / 2); });
    twins.insert(twins.end(), upper.begin(), upper.end());
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
