#include "workdb/exact_keys.h"

#include <sqlite3.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>

#include "workdb/value_hash.h"

namespace sorvane {
namespace {

template <typename T>
void Append(std::string& out, const T& v) {
  out.append(reinterpret_cast<const char*>(&v), sizeof v);
}

// The key's values as bytes two keys share only when their values are the
// same: each value's class, then its number or its length and bytes.
void Encode(const std::vector<sqlite3_value*>& values, std::string& out) {
  out.clear();
  for (sqlite3_value* v : values) {
    const int type = sqlite3_value_type(v);
    out.push_back(static_cast<char>(type));
    switch (type) {
      case SQLITE_NULL:
        break;
      case SQLITE_INTEGER:
        Append(out, static_cast<int64_t>(sqlite3_value_int64(v)));
        break;
      case SQLITE_FLOAT:
        Append(out, std::bit_cast<uint64_t>(sqlite3_value_double(v)));
        break;
      default: {
        const void* p = type == SQLITE_TEXT ? static_cast<const void*>(sqlite3_value_text(v))
                                            : sqlite3_value_blob(v);
        const int n = sqlite3_value_bytes(v);
        Append(out, static_cast<int32_t>(n));
        if (n > 0) out.append(static_cast<const char*>(p), static_cast<size_t>(n));
      }
    }
  }
}

// Whether `values` are those `encoded` holds, read in place.
bool SameKey(const std::vector<sqlite3_value*>& values, std::string_view encoded) {
  auto take = [&](const void* p, size_t n) {
    if (encoded.size() < n || (n > 0 && std::memcmp(encoded.data(), p, n) != 0)) return false;
    encoded.remove_prefix(n);
    return true;
  };
  for (sqlite3_value* v : values) {
    const char type = static_cast<char>(sqlite3_value_type(v));
    if (!take(&type, 1)) return false;
    switch (type) {
      case SQLITE_NULL:
        break;
      case SQLITE_INTEGER: {
        const int64_t i = sqlite3_value_int64(v);
        if (!take(&i, sizeof i)) return false;
        break;
      }
      case SQLITE_FLOAT: {
        const uint64_t bits = std::bit_cast<uint64_t>(sqlite3_value_double(v));
        if (!take(&bits, sizeof bits)) return false;
        break;
      }
      default: {
        const void* p = type == SQLITE_TEXT ? static_cast<const void*>(sqlite3_value_text(v))
                                            : sqlite3_value_blob(v);
        const int32_t n = sqlite3_value_bytes(v);
        if (!take(&n, sizeof n) || !take(p, static_cast<size_t>(n))) return false;
      }
    }
  }
  return encoded.empty();
}

}  // namespace

ExactKeyScan GroupRowsByExactKey(Connection& conn, std::string_view sql, size_t most_groups) {
  const Connection::PreparedStatement statement = conn.PrepareNative(sql);
  sqlite3_stmt* st = statement.get();
  ExactKeyScan scan;
  ExactKeyGroups& g = scan.groups;
  std::vector<std::string> keys;    // each group's key
  std::vector<uint64_t> hashes;     // each group's key's hash
  std::vector<uint32_t> slots(64);  // a group's number + 1 by its key's hash, 0 when free
  std::vector<sqlite3_value*> values(
      static_cast<size_t>(std::max(sqlite3_column_count(st) - 1, 0)));
  // The slot of the row's key's group, or the free one where it would go.
  auto slot_of = [&](uint64_t h, bool free_one) -> uint32_t& {
    const size_t mask = slots.size() - 1;
    size_t at = h & mask;
    while (slots[at] != 0 &&
           (free_one || hashes[slots[at] - 1] != h || !SameKey(values, keys[slots[at] - 1])))
      at = (at + 1) & mask;
    return slots[at];
  };
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    uint64_t h = 0;
    for (size_t c = 0; c < values.size(); ++c) {
      values[c] = sqlite3_column_value(st, static_cast<int>(c) + 1);
      h = ExactValueHash(h, values[c]);
    }
    h = MixHash(h);
    uint32_t group = slot_of(h, false);
    if (group == 0) {
      if (keys.size() == most_groups) {
        scan.too_many = true;
        break;
      }
      keys.emplace_back();
      Encode(values, keys.back());
      hashes.push_back(h);
      g.first.push_back(sqlite3_column_int64(st, 0));
      group = static_cast<uint32_t>(keys.size());
      if (keys.size() * 2 > slots.size()) {  // kept at most half full
        slots.assign(slots.size() * 2, 0);
        for (uint32_t k = 0; k < keys.size(); ++k) slot_of(hashes[k], true) = k + 1;
      } else {
        slot_of(h, true) = group;
      }
    }
    g.rowids.push_back(sqlite3_column_int64(st, 0));
    g.group.push_back(group - 1);
  }
  if (rc != SQLITE_DONE && rc != SQLITE_ROW) conn.ThrowLastError();
  if (scan.too_many) scan.groups = {};
  return scan;
}

}  // namespace sorvane
