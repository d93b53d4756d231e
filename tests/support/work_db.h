// Work databases for tests: an in-memory database with the full schema, views
// and reference data, and a temporary folder laid out as a data folder.
#pragma once

#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

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

// A temporary data folder with its work database.
struct WorkDataDir : TempDataDir {
  WorkDataDir() { CreateWorkDb(); }
};

// Runs `script` on the database file `file`, which is created when missing.
void ExecuteIn(const std::filesystem::path& file, const std::string& script);

// Schema and rows of a whole database as text, to tell whether anything changed.
std::string DumpDatabase(Connection& conn);

// Each row of a query (SQLite's own statements) as its columns' texts joined by
// "|", "<null>" for a missing value to tell it from the empty text.
std::vector<std::string> QueryLines(Connection& conn, const std::string& sql,
                                    const std::vector<Value>& params = {});

// Path of a file in the source tree ("tests/data/x.xls").
std::filesystem::path SourcePath(const std::string& relative);

// The bytes of a file ("" when it cannot be read).
std::string ReadFile(const std::filesystem::path& file);

// Copies the sample facility's workbooks of the tables listed (1234567_n.xls of
// data/sample) into `folder`, which is created.
void CopySample(const std::filesystem::path& folder,
                std::initializer_list<int> tables = {1, 2, 3, 4, 5});

}  // namespace sorvane::testing
