// Test helper: a zip package (an .xlsx or .ods) built part by part in memory.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace sorvane::testing {

// A zip package of the given parts (name, content), deflated or stored.
std::string ZipFile(const std::vector<std::pair<std::string, std::string>>& parts,
                    bool deflate = true);

}  // namespace sorvane::testing
