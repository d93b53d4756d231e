// The engine's NOCASE collation, compared a machine word at a time where the
// texts agree, registered on every connection under the same name. Every
// column of the work database compares without regard to case, so its index
// builds, sorts and groupings spend much of their time here.
//
// The answers are the engine's own, value for value: ASCII letters folded,
// every other byte as it is, the comparison ending at a NUL byte of the first
// text, a shorter text before a longer one it begins. An index built with it
// is the one the engine would build, so other programs reading the file find
// it in order.
#pragma once

struct sqlite3;

namespace sorvane {

int NoCaseCompare(void* unused, int size_a, const void* a, int size_b, const void* b);
// False when the engine refused it (the built-in one then stays).
bool RegisterNoCase(sqlite3* db);

}  // namespace sorvane
