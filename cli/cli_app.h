// The command-line front-end: parses the arguments and runs one command over
// the same core as the desktop window. Output goes to `out`, messages to `err`.
#pragma once

#include <iosfwd>

namespace sorvane::cli {

// Returns the process exit status: 0 success, 1 problems found, 2 could not run.
int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace sorvane::cli
