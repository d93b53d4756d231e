// Files of reference tables: the agency's update database and its own work
// database, as SQLite files or Access files (.mdb, .accdb), told apart by
// their content rather than their name.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "accessfile/limited_child.h"
#include "core/paths.h"
#include "workdb/table_source.h"

namespace sorvane {

// Opens a file of reference tables. Throws DatabaseOpenError saying what is
// wrong when it is not one: a folder, an empty file, a workbook, a truncated
// Access file, another format, or the reading engine's own reason.
std::unique_ptr<TableSource> OpenReferenceFile(const std::filesystem::path& file,
                                               const ChildLimits& limits = {});

struct UpdateFileChoice {
  std::filesystem::path file;  // the file to read; may not exist
  std::string note;            // when several stood in the data folder: which one was taken
};

// The update database of a refresh: the one named by `update_db_override`, or
// else GIS_UPDATE.mdb, GIS_UPDATE.accdb or GIS_UPDATE.db of the data folder.
// When more than one of these stands there, the most recently changed is
// taken, but the program's own update database (kOwnUpdateDatabaseId) only
// when no other is there: it holds the lists the program came with, and an
// agency's file copied with its own (older) time must not lose to it. When
// none is there, `file` is GIS_UPDATE.mdb, the name the agency sends.
UpdateFileChoice ChooseUpdateFile(const Paths& paths);

}  // namespace sorvane
