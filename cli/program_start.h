// The program's start-up for a command, exactly as the window runs it. The
// command line never makes a work database unasked: where the window would
// offer to, it names the `sorvane init` command that does.
#pragma once

#include <iosfwd>

namespace sorvane {
class frmCMain;
}

namespace sorvane::cli {

// True when the program is ready for the command. Otherwise it has been shut
// down again after saying why (exit status 2 for the command).
bool StartProgram(frmCMain& main, std::ostream& err);

// Whether the work database has every temporary table a review fills. When it
// lacks some (dropped by another program), says so after `command: ` and how to
// replace the database, and returns false.
bool TempTablesPresent(frmCMain& main, const char* command, std::ostream& err);

}  // namespace sorvane::cli
