#include "workdb/exact_keys.h"

#include <sqlite3.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <optional>
#include <string>

#include "workdb/halved_scan.h"
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

// The groups of one half of the rows, as they are read.
class Grouper {
 public:
  Grouper(size_t most_groups, int key_columns)
      : most_(most_groups), values_(static_cast<size_t>(std::max(key_columns, 0))) {}

  // Adds the statement's row; false once the groups are too many.
  bool Add(sqlite3_stmt* st) {
    uint64_t h = 0;
    for (size_t c = 0; c < values_.size(); ++c) {
      values_[c] = sqlite3_column_value(st, static_cast<int>(c) + 1);
      h = ExactValueHash(h, values_[c]);
    }
    h = MixHash(h);
    const int64_t rowid = sqlite3_column_int64(st, 0);
    uint32_t group = Slot(h, [&](uint32_t k) { return SameKey(values_, keys_[k]); });
    if (group == 0) {
      std::string key;
      Encode(values_, key);
      if (!NewGroup(h, std::move(key), rowid, group)) return false;
    }
    g_.rowids.push_back(rowid);
    g_.group.push_back(group - 1);
    return true;
  }

  // Adds the rows of `later`, read after these: its groups of keys found here
  // join these, the others follow in their order. False once too many.
  bool Absorb(Grouper&& later) {
    std::vector<uint32_t> joins(later.keys_.size());
    for (size_t k = 0; k < later.keys_.size(); ++k) {
      const std::string& key = later.keys_[k];
      const uint64_t h = later.hashes_[k];
      uint32_t group = Slot(h, [&](uint32_t m) { return keys_[m] == key; });
      if (group == 0 && !NewGroup(h, std::move(later.keys_[k]), later.g_.first[k], group))
        return false;
      joins[k] = group - 1;
    }
    g_.rowids.insert(g_.rowids.end(), later.g_.rowids.begin(), later.g_.rowids.end());
    for (uint32_t k : later.g_.group) g_.group.push_back(joins[k]);
    return true;
  }

  ExactKeyGroups& groups() { return g_; }

 private:
  // The number + 1 of the group whose key is `same`, found by its hash `h`; 0
  // when there is none.
  template <typename Same>
  uint32_t Slot(uint64_t h, const Same& same) const {
    const size_t mask = slots_.size() - 1;
    for (size_t at = h & mask; slots_[at] != 0; at = (at + 1) & mask) {
      const uint32_t k = slots_[at] - 1;
      if (hashes_[k] == h && same(k)) return k + 1;
    }
    return 0;
  }

  void Place(uint64_t h, uint32_t group) {
    const size_t mask = slots_.size() - 1;
    size_t at = h & mask;
    while (slots_[at] != 0) at = (at + 1) & mask;
    slots_[at] = group;
  }

  bool NewGroup(uint64_t h, std::string&& key, int64_t first, uint32_t& group) {
    if (keys_.size() == most_) return false;
    keys_.push_back(std::move(key));
    hashes_.push_back(h);
    g_.first.push_back(first);
    group = static_cast<uint32_t>(keys_.size());
    if (keys_.size() * 2 > slots_.size()) {  // kept at most half full
      slots_.assign(slots_.size() * 2, 0);
      for (uint32_t k = 0; k < keys_.size(); ++k) Place(hashes_[k], k + 1);
    } else {
      Place(h, group);
    }
    return true;
  }

  size_t most_;
  std::vector<sqlite3_value*> values_;
  std::vector<std::string> keys_;                            // each group's key
  std::vector<uint64_t> hashes_;                             // each group's key's hash
  std::vector<uint32_t> slots_ = std::vector<uint32_t>(64);  // a group's number + 1 by hash
  ExactKeyGroups g_;
};

}  // namespace

ExactKeyScan GroupRowsByExactKey(Connection& conn, std::string_view sql, size_t most_groups,
                                 std::string_view table) {
  ExactKeyScan scan;
  const auto too_many = [&] {
    scan.too_many = true;
    return scan;
  };
  if (table.empty()) {
    const Connection::PreparedStatement statement = conn.PrepareNative(sql);
    sqlite3_stmt* st = statement.get();
    Grouper grouper(most_groups, sqlite3_column_count(st) - 1);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
      if (!grouper.Add(st)) return too_many();
    }
    if (rc != SQLITE_DONE) conn.ThrowLastError();
    scan.groups = std::move(grouper.groups());
    return scan;
  }
  std::optional<Grouper> halves[2];
  bool over[2] = {false, false};
  ScanInHalves(conn, table, sql, [&](int half, sqlite3_stmt* st) {
    if (!halves[half]) halves[half].emplace(most_groups, sqlite3_column_count(st) - 1);
    over[half] = !halves[half]->Add(st);
    return !over[half];
  });
  if (over[0] || over[1]) return too_many();
  if (!halves[0]) std::swap(halves[0], halves[1]);
  if (!halves[0]) return scan;
  if (halves[1] && !halves[0]->Absorb(std::move(*halves[1]))) return too_many();
  scan.groups = std::move(halves[0]->groups());
  return scan;
}

}  // namespace sorvane
