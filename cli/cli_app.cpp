#include "cli_app.h"

#include <ostream>

namespace sorvane::cli {

int RunCli(int, const char* const*, std::ostream&, std::ostream& err) {
  err << "not yet\n";
  return 2;
}

}  // namespace sorvane::cli
