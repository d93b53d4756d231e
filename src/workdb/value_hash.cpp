#include "workdb/value_hash.h"

#include <sqlite3.h>

#include <algorithm>
#include <bit>
#include <cstring>

namespace sorvane {
namespace {

uint64_t Mix(uint64_t h) {  // the finaliser of splitmix64
  h ^= h >> 30;
  h *= 0xbf58476d1ce4e5b9ull;
  h ^= h >> 27;
  h *= 0x94d049bb133111ebull;
  return h ^ (h >> 31);
}

// One word more of a key's hash: a step that maps distinct words to distinct
// results, cheap enough for every eight bytes of every row. The whole key is
// mixed once at its end.
uint64_t Add(uint64_t h, uint64_t part) {
  return std::rotl((h ^ part) * 0x9e3779b97f4a7c15ull, 29);
}

constexpr uint64_t kOnes = 0x0101010101010101ull, kHigh = 0x8080808080808080ull;

// 0x80 in each byte of `word` that is 0 (and perhaps in a higher one: only
// the lowest counts).
uint64_t ZeroBytes(uint64_t word) { return (word - kOnes) & ~word & kHigh; }

// 'A'..'Z' as 'a'..'z', byte by byte.
uint64_t FoldAscii(uint64_t word) {
  const uint64_t low7 = word & ~kHigh;
  const uint64_t at_least_a = low7 + (0x80 - 'A') * kOnes;
  const uint64_t above_z = low7 + (0x80 - 'Z' - 1) * kOnes;
  const uint64_t upper = at_least_a & ~above_z & ~word & kHigh;
  return word | (upper >> 2);
}

// The first `n` (1 to 8) bytes at `p`, as a little-endian word filled out
// with zeros. Read in whole loads: a word copied byte by byte through memory
// and read back at once stalls on every row.
uint64_t Load(const unsigned char* p, size_t n) {
  uint64_t word = 0;
  if (n == 8) {
    std::memcpy(&word, p, 8);
  } else if (n >= 4) {
    uint32_t low = 0, high = 0;
    std::memcpy(&low, p, 4);
    std::memcpy(&high, p + n - 4, 4);  // overlaps `low` by 8 - n bytes, alike
    word = low | uint64_t{high} << (8 * (n - 4));
  } else {
    word = p[0] | uint64_t{p[n / 2]} << (8 * (n / 2)) | uint64_t{p[n - 1]} << (8 * (n - 1));
  }
  return word;
}
static_assert(std::endian::native == std::endian::little, "words are read little-endian");

// A hash of `n` bytes, eight at a time. A text (`fold`) has its ASCII letters
// folded and is read no further than its first NUL; a blob is read whole.
uint64_t Bytes(uint64_t h, const unsigned char* p, size_t n, bool fold) {
  while (n > 0) {
    const size_t take = std::min<size_t>(n, 8);
    uint64_t word = Load(p, take);
    if (fold) {
      if (const uint64_t zeros = ZeroBytes(word); zeros != 0) {
        const int at = std::countr_zero(zeros) / 8;  // little-endian: the first NUL
        if (static_cast<size_t>(at) < take) {
          word &= at == 0 ? 0 : ~uint64_t{0} >> (64 - 8 * at);
          return Add(h, FoldAscii(word));
        }
      }
      word = FoldAscii(word);
    }
    h = Add(h, word);
    p += take;
    n -= take;
  }
  return h;
}

}  // namespace

uint64_t MixHash(uint64_t h) { return Mix(h); }

uint64_t FoldedValueHash(uint64_t h, sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
      return Add(h, 1);
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: {
      // Equal numbers are equal doubles; 0.0 stands for -0.0 as well.
      const double d = sqlite3_value_double(v);
      return Add(Add(h, 2), std::bit_cast<uint64_t>(d == 0 ? 0.0 : d));
    }
    case SQLITE_TEXT: {
      // Texts compare BINARY or NOCASE, and NOCASE reads two texts of one length no further than a
      // NUL they share: the length counts, and the bytes up to the first NUL.
      const auto* p = sqlite3_value_text(v);
      const auto n = static_cast<size_t>(sqlite3_value_bytes(v));
      return Bytes(Add(h, n << 3 | 3), p, n, true);
    }
    default: {
      const auto* p = static_cast<const unsigned char*>(sqlite3_value_blob(v));
      const auto n = static_cast<size_t>(sqlite3_value_bytes(v));
      return Bytes(Add(h, n << 3 | 4), p, n, false);  // byte for byte
    }
  }
}

uint64_t ExactValueHash(uint64_t h, sqlite3_value* v) {
  const int type = sqlite3_value_type(v);
  switch (type) {
    case SQLITE_NULL:
      return Add(h, 1);
    case SQLITE_INTEGER:
      return Add(Add(h, 2), static_cast<uint64_t>(sqlite3_value_int64(v)));
    case SQLITE_FLOAT:
      return Add(Add(h, 5), std::bit_cast<uint64_t>(sqlite3_value_double(v)));
    default: {
      const void* p = type == SQLITE_TEXT ? static_cast<const void*>(sqlite3_value_text(v))
                                          : sqlite3_value_blob(v);
      const auto n = static_cast<size_t>(sqlite3_value_bytes(v));
      return Bytes(Add(h, n << 3 | static_cast<size_t>(type)), static_cast<const unsigned char*>(p),
                   n, false);
    }
  }
}

}  // namespace sorvane
