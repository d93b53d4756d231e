// The desktop program's options, the ones the command line takes for the same
// things: --data-dir DIR, --help, --version. They are read before any window
// exists, so help and version work without a display; anything else is
// refused with the reason and the usage.
#pragma once

#include <QStringList>
#include <string>

namespace sorvane::gui {

struct CommandLine {
  // Start the program; otherwise end at once with `exit_code`, after writing
  // `out` to standard output and `err` to standard error.
  bool run = false;
  int exit_code = 0;
  std::string out, err;
  // The data folder given; empty for the default one.
  std::string data_dir;
};

// `args` as the process received them, the program's name first.
CommandLine ParseCommandLine(const QStringList& args);

}  // namespace sorvane::gui
