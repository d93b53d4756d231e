// A data folder made ready for work, the one way both `sorvane init` and the
// desktop program's first start make it: the workbook folder, the work
// database and the update database, built from the schema and reference data
// inside the program.
#pragma once

#include <filesystem>
#include <functional>

#include "core/paths.h"

namespace sorvane {

class Connection;

// Builds a database at `file` with `install`: the new database is made beside
// it and moved over `file` only once whole, so an interruption or a full disk
// never leaves half a database under that name. Throws Error naming `file`.
void BuildDatabase(const std::filesystem::path& file,
                   const std::function<void(Connection&)>& install);

// Makes the data folder and its workbook folder, builds a new work database
// (over one that is there) and the update database when it is absent or
// `replace_update_db`. The caller holds the folder (DataFolderLock). Throws
// Error naming the folder or file that could not be made.
void SetUpDataFolder(const Paths& paths, bool replace_update_db);

// The name a damaged database `file` is kept under beside it: "GIS_WORK
// (damaged).db", or "GIS_WORK (damaged 2).db" … when that is taken.
std::filesystem::path DamagedName(const std::filesystem::path& file);
// Renames `file` to `kept`, with the journal the engine may have left beside
// it (which goes with the file it belongs to). Throws FileError naming what
// could not be renamed; what was renamed before stays so.
void KeepDamaged(const std::filesystem::path& file, const std::filesystem::path& kept);

}  // namespace sorvane
