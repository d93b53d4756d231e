// Work databases for tests: an in-memory database with the full schema, views
// and reference data, and a temporary folder laid out as a data folder.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "core/paths.h"
#include "workdb/connection.h"

namespace sorvane::testing {

// Opens `conn` on a fresh in-memory work database.
void OpenTestWorkDb(Connection& conn);

// A temporary data folder, removed when the object goes.
class TempDataDir {
 public:
  TempDataDir();
  ~TempDataDir();
  const Paths& paths() const { return paths_; }
  const std::filesystem::path& dir() const { return paths_.data_dir; }
  // Creates GISFile/ and GIS_WORK.db (full schema and reference data).
  void CreateWorkDb();

 private:
  Paths paths_;
};

// Schema and rows of a whole database as text, to tell whether anything changed.
std::string DumpDatabase(Connection& conn);

// Path of a file in the source tree ("tests/data/x.xls").
std::filesystem::path SourcePath(const std::string& relative);

}  // namespace sorvane::testing
