#include "core/paths.h"

#include <cstdlib>
#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>

#include <vector>
#endif

namespace sorvane {

Paths Paths::Default() {
  if (const char* home = std::getenv("SORVANE_HOME"); home != nullptr && *home != '\0') {
    return Paths{home, {}};
  }
#ifdef _WIN32
  return Paths{"C:\\Sorvane", {}};
#else
  const std::filesystem::path home = HomeDir();
  return Paths{(home.empty() ? std::filesystem::path(".") : home) / "Sorvane", {}};
#endif
}

std::filesystem::path HomeDir() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
#ifndef _WIN32
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(static_cast<size_t>(size > 0 ? size : 16384));
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr && *found->pw_dir != '\0') {
    return found->pw_dir;
  }
#endif
  return {};
}

Paths Paths::FromOption(const std::string& dir) {
  if (!dir.empty()) return Paths{dir, {}};
  return Default();
}

}  // namespace sorvane
