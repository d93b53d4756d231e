// A workbook this program writes carries its save time twice: inside, as a
// document property, and as the file's modification time. A later save can so
// tell a file it may replace (left as it was written) from one a person saved
// over (notes added, problems fixed in it) or another program wrote, which it
// keeps aside under a free name instead.
#pragma once

#include <cstdint>
#include <filesystem>

struct lxw_workbook;

namespace sorvane {

// Puts the present second into `book`'s properties and returns it, for
// SetStampTime once the file is written.
int64_t StampWorkbook(lxw_workbook* book);
// Gives `file` the modification time `stamp` names; a file system that keeps
// no such times is left as it is (a later save then keeps the file aside).
void SetStampTime(const std::filesystem::path& file, int64_t stamp);

// Whether `file` is as a save of this program left it: its stamp is there and
// its modification time is still the stamp's. False for a file any other
// program wrote or saved over, and for one that cannot be read.
bool IsUntouchedWorkbook(const std::filesystem::path& file);

// Makes way for a save to `file`: a file there that is not untouched is
// renamed to the first free "<stem> (n)<ext>" beside it. Returns that name,
// or an empty path when nothing needed keeping. Throws FileError (75, naming
// the file) when it cannot be renamed.
std::filesystem::path KeepChangedFile(const std::filesystem::path& file);

}  // namespace sorvane
