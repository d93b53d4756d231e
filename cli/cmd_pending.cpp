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
int RunRead(const std::string&, Streams io) {
  io.err << "read: not available in this build\n";
  return 2;
}
int RunCopy(const Paths&, const std::string&, const std::string&, const std::string&, Streams io) {
  io.err << "copy: not available in this build\n";
  return 2;
}
int RunUpdateRefs(const Paths&, const std::string&, Streams io) {
  io.err << "update-refs: not available in this build\n";
  return 2;
}

}  // namespace sorvane::cli
