#include <csignal>
#include <iostream>

#include "cli_app.h"

int main(int argc, char** argv) {
  // A reader that goes away early (`sorvane review ... --json - | head`) makes
  // a write fail, said and ended with status 2 as a full disk is, instead of
  // ending the program unseen before it has emptied the work database.
  std::signal(SIGPIPE, SIG_IGN);
  return sorvane::cli::RunCli(argc, argv, std::cout, std::cerr);
}
