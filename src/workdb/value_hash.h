// Hashes of the values of a row's key, a step of a few instructions per
// eight bytes: for grouping a million rows by their keys in one pass.
#pragma once

#include <cstdint>

struct sqlite3_value;

namespace sorvane {

// Adds a value to a key's hash `h` (0 for a new key), as the engine groups
// values whose texts compare BINARY or NOCASE: NULLs alike, numbers by value
// whatever their storage class, texts by their length and their bytes up to
// the first NUL with ASCII letters folded, blobs byte for byte. Values the
// engine groups together hash alike.
uint64_t FoldedValueHash(uint64_t h, sqlite3_value* v);

// Adds a value to a key's hash as it is stored: its class and its bytes (a
// number's exact value). Values stored alike hash alike.
uint64_t ExactValueHash(uint64_t h, sqlite3_value* v);

// A key's hash with every bit of it mixed into every other: for its high bits.
uint64_t MixHash(uint64_t h);

}  // namespace sorvane
