// What an "Output to Excel" came to, for the front-end that asked for it.
#pragma once

#include <filesystem>
#include <string>

namespace sorvane {

struct ExportResult {
  bool saved = false;          // the workbook was written to `file`
  bool whole = false;          // and holds every failed check the export ran
  std::filesystem::path file;  // empty when nothing was written
  std::string stopped_by;      // a failure that left checks out of a saved one
};

}  // namespace sorvane
