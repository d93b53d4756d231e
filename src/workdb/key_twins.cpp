#include "workdb/key_twins.h"

#include <sqlite3.h>

#include <algorithm>
#include <bit>
#include <cstring>

#include "core/errors.h"
#include "core/text.h"

namespace sorvane {
namespace {

uint64_t Mix(uint64_t h) {  // the finaliser of splitmix64
  h ^= h >> 30;
  h *= 0xbf58476d1ce4e5b9ull;
  h ^= h >> 27;
  h *= 0x94d049bb133111ebull;
  return h ^ (h >> 31);
}

uint64_t Add(uint64_t h, uint64_t part) { return Mix(h ^ (part + 0x9e3779b97f4a7c15ull)); }

// A hash of `n` bytes, eight at a time, 'A'..'Z' read as 'a'..'z' if `fold`.
uint64_t Bytes(uint64_t h, const unsigned char* p, size_t n, bool fold) {
  while (n > 0) {
    uint64_t word = 0;
    const size_t take = std::min<size_t>(n, 8);
    std::memcpy(&word, p, take);
    // Per byte: 0x80 where it lies in 'A'..'Z', moved onto the 0x20 bit.
    constexpr uint64_t kOnes = 0x0101010101010101ull, kHigh = 0x8080808080808080ull;
    const uint64_t low7 = word & ~kHigh;
    const uint64_t at_least_a = low7 + (0x80 - 'A') * kOnes;
    const uint64_t above_z = low7 + (0x80 - 'Z' - 1) * kOnes;
    const uint64_t upper = at_least_a & ~above_z & ~word & kHigh;
    h = Add(h, fold ? word | (upper >> 2) : word);
    p += take;
    n -= take;
  }
  return h;
}

uint64_t ValueHash(uint64_t h, sqlite3_stmt* st, int i) {
  switch (sqlite3_column_type(st, i)) {
    case SQLITE_NULL:
      return Add(h, 1);
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: {
      // Equal numbers are equal doubles; 0.0 stands for -0.0 as well.
      const double d = sqlite3_column_double(st, i);
      return Add(Add(h, 2), std::bit_cast<uint64_t>(d == 0 ? 0.0 : d));
    }
    case SQLITE_TEXT: {
      // Texts compare BINARY or NOCASE, and NOCASE reads two texts of one length no further than a
      // NUL they share.
      const auto* p = sqlite3_column_text(st, i);
      const auto n = static_cast<size_t>(sqlite3_column_bytes(st, i));
      const void* nul = n > 0 ? std::memchr(p, 0, n) : nullptr;
      const size_t read =
          nul != nullptr ? static_cast<size_t>(static_cast<const unsigned char*>(nul) - p) : n;
      return Bytes(Add(Add(h, 3), n), p, read, true);
    }
    default: {
      const auto* p = static_cast<const unsigned char*>(sqlite3_column_blob(st, i));
      const auto n = static_cast<size_t>(sqlite3_column_bytes(st, i));
      return Bytes(Add(Add(h, 4), n), p, n, false);  // byte for byte
    }
  }
}

[[noreturn]] void Fail(sqlite3* db) {
  const char* msg = sqlite3_errmsg(db);
  throw DatabaseError(sqlite3_extended_errcode(db), msg != nullptr ? msg : "database error");
}

}  // namespace

std::vector<int64_t> RowidsSharingKeys(Connection& conn, std::string_view sql) {
  sqlite3* db = conn.handle();
  if (db == nullptr)
    throw DatabaseError(3704, "Operation is not allowed when the object is closed.");
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &st, nullptr) != SQLITE_OK)
    Fail(db);
  std::vector<int64_t> rowids;
  std::vector<uint64_t> hashes;
  const int columns = sqlite3_column_count(st);
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    uint64_t h = 0;
    for (int c = 1; c < columns; ++c) h = ValueHash(h, st, c);
    rowids.push_back(sqlite3_column_int64(st, 0));
    hashes.push_back(h | 1);  // 0 marks a free slot below
  }
  sqlite3_finalize(st);
  if (rc != SQLITE_DONE) Fail(db);

  // Each hash once, with whether a second row had it (the low bit, cleared).
  std::vector<uint64_t> slots(std::bit_ceil(hashes.size() * 2 + 2), 0);
  const size_t mask = slots.size() - 1;
  auto find = [&](uint64_t h) -> uint64_t& {
    for (size_t at = Mix(h) & mask;; at = (at + 1) & mask) {
      if (slots[at] == 0 || (slots[at] | 1) == h) return slots[at];
    }
  };
  for (uint64_t h : hashes) {
    uint64_t& slot = find(h);
    slot = slot == 0 ? h : h & ~uint64_t{1};
  }
  std::vector<int64_t> twins;
  for (size_t r = 0; r < rowids.size(); ++r) {
    if ((find(hashes[r]) & 1) == 0) twins.push_back(rowids[r]);
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
