// An Access database file (.mdb, .accdb) read as a TableSource. Every read
// runs in a child process under time and memory limits (accessfile/
// limited_child.h): a damaged file that would crash, hang or exhaust the
// reading library only ends that child, and the program gets an Error saying
// the file could not be read, and why.
#pragma once

#include <filesystem>
#include <memory>

#include "accessfile/limited_child.h"
#include "workdb/table_source.h"

namespace sorvane {

// Lists the file's tables once to make sure it can be read; throws
// DatabaseOpenError with the reason when it cannot.
std::unique_ptr<TableSource> OpenAccessSource(const std::filesystem::path& file,
                                              const ChildLimits& limits = {});

}  // namespace sorvane
