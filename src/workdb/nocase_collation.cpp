#include "workdb/nocase_collation.h"

#include <sqlite3.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace sorvane {
namespace {

static_assert(std::endian::native == std::endian::little, "bytes are found from the low end");

inline int Folded(unsigned char c) {
  return static_cast<unsigned>(c - 'A') < 26u ? c + ('a' - 'A') : c;
}

// The index of the first byte of the word `x` that is NUL or differs from the
// same byte of `y`, or the word's width when there is none. (The NUL test may
// also flag bytes after a real NUL, never one before it.)
template <typename Word>
int FirstStop(const unsigned char* x, const unsigned char* y) {
  constexpr Word kOnes = static_cast<Word>(~Word{0}) / 0xFF;
  constexpr Word kHigh = kOnes * 0x80;
  constexpr Word kLow = ~kHigh;
  Word wx, wy;
  std::memcpy(&wx, x, sizeof wx);
  std::memcpy(&wy, y, sizeof wy);
  const Word d = wx ^ wy;
  const Word stops = ((((d & kLow) + kLow) | d) & kHigh) | ((wx - kOnes) & ~wx & kHigh);
  return stops == 0 ? static_cast<int>(sizeof(Word)) : std::countr_zero(stops) / 8;
}

}  // namespace

int NoCaseCompare(void* /*unused*/, int size_a, const void* a, int size_b, const void* b) {
  // The engine's answer for a text without a buffer.
  if (a == nullptr) return b != nullptr ? -1 : size_a - size_b;
  if (b == nullptr) return 1;
  const auto* x = static_cast<const unsigned char*>(a);
  const auto* y = static_cast<const unsigned char*>(b);
  const int n = std::min(size_a, size_b);
  int i = 0;
  while (i < n) {
    // The next byte to look at: a NUL of the first text or a difference.
    int p;
    if (n - i >= 8) {
      const int stop = FirstStop<uint64_t>(x + i, y + i);
      if (stop == 8) {
        i += 8;
        continue;
      }
      p = i + stop;
    } else if (n - i >= 4) {
      // The last four bytes overlap the first four where fewer than eight are left.
      const int stop = FirstStop<uint32_t>(x + i, y + i);
      if (stop < 4) {
        p = i + stop;
      } else {
        const int last = FirstStop<uint32_t>(x + n - 4, y + n - 4);
        if (last == 4) break;
        p = n - 4 + last;
      }
    } else {
      p = i;
      while (p < n && x[p] == y[p] && x[p] != 0) ++p;
      if (p == n) break;
    }
    const unsigned char cx = x[p], cy = y[p];
    if (cx == 0) {
      // The engine stops at a NUL of the first text; when the second has one
      // there too, the lengths decide, whatever follows.
      const int r = -Folded(cy);
      return r != 0 ? r : size_a - size_b;
    }
    const int r = Folded(cx) - Folded(cy);
    if (r != 0) return r;
    i = p + 1;  // the same letter in the other case
  }
  return size_a - size_b;
}

bool RegisterNoCase(sqlite3* db) {
  return sqlite3_create_collation_v2(db, "NOCASE", SQLITE_UTF8, nullptr, NoCaseCompare, nullptr) ==
         SQLITE_OK;
}

}  // namespace sorvane
