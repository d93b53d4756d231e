#include <csignal>
#include <exception>
#include <iostream>
#include <new>

#include "cli_app.h"
#include "core/errors.h"

// The spreadsheet library loses a few bytes for each drop-down list of the
// empty workbooks (`sorvane template`: a copy of the list's range that it
// never frees), which a sanitized build's leak checker would report.
extern "C" const char* __lsan_default_suppressions() { return "leak:lxw_strdup\n"; }

int main(int argc, char** argv) {
  // A reader that goes away early (`sorvane review ... --json - | head`) makes
  // a write fail, said and ended with status 2 as a full disk is, instead of
  // ending the program unseen before it has emptied the work database.
  std::signal(SIGPIPE, SIG_IGN);
  // What no command caught still ends the program in order (its transaction
  // rolled back, its temporary tables emptied by their owners), with a word.
  try {
    return sorvane::cli::RunCli(argc, argv, std::cout, std::cerr);
  } catch (const std::exception& e) {
    std::cerr << sorvane::FailureText(e) << '\n';
  }
  return 2;
}
