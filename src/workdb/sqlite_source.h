// A SQLite file read as a TableSource: opened read-only, its schema never
// trusted to run anything in the program's own database.
#pragma once

#include <filesystem>
#include <memory>

#include "workdb/table_source.h"

namespace sorvane {

// Throws DatabaseOpenError with the engine's reason when the file cannot be
// opened or is not a database.
std::unique_ptr<TableSource> OpenSqliteSource(const std::filesystem::path& file);

}  // namespace sorvane
