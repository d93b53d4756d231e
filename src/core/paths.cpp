#include "core/paths.h"

#include <cstdlib>

namespace sorvane {

Paths Paths::Default() {
  if (const char* home = std::getenv("SORVANE_HOME"); home != nullptr && *home != '\0') {
    return Paths{home, {}};
  }
#ifdef _WIN32
  return Paths{"C:\\Sorvane", {}};
#else
  const char* home = std::getenv("HOME");
  return Paths{std::filesystem::path(home != nullptr && *home != '\0' ? home : ".") / "Sorvane",
               {}};
#endif
}

Paths Paths::FromOption(const std::string& dir) {
  if (!dir.empty()) return Paths{dir, {}};
  return Default();
}

}  // namespace sorvane
