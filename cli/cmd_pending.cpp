// Commands whose subsystems are being wired in.
#include <ostream>

#include "commands.h"

namespace sorvane::cli {

int RunReview(const Paths&, const ReviewOptions&, Streams io) {
  io.err << "review: not available in this build\n";
  return 2;
}
int RunRefs(const Paths&, const std::string&, bool, Streams io) {
  io.err << "refs: not available in this build\n";
  return 2;
}

}  // namespace sorvane::cli
