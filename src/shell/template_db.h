// The pristine work database a person can copy into the data folder when theirs
// is missing. It lives in the user's data folder for programs
// ($XDG_DATA_HOME/sorvane or ~/.local/share/sorvane) and is written on demand
// from the schema and reference data built into the program.
#pragma once

#include <string>

namespace sorvane {

// Returns the template's path, creating the file when it is missing. If it
// cannot be written, the path is still returned (the message names it).
std::string EnsureTemplateDb();

}  // namespace sorvane
