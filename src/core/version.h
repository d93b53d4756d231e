// The program's version, as `--version` of both front-ends prints it.
#pragma once

namespace sorvane {

inline constexpr const char* kVersion = SORVANE_VERSION;

}  // namespace sorvane
