// The files of data/workdb (schema, views, reference data), built into the
// program by the build system, by file name.
#pragma once

#include <string_view>
#include <vector>

namespace sorvane::embedded {

struct File {
  std::string_view name;
  std::string_view content;
};

const std::vector<File>& Files();

}  // namespace sorvane::embedded
