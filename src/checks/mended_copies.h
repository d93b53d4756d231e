// The facility's workbooks with what their import found mended (mends.h), in
// a folder of their own that a review can read again: each workbook an import
// read is copied there as it is when nothing in it is mended, and otherwise
// written as "<name>.xlsx": its first sheet's cells as read, the mends written
// into theirs (each filled green, the first 65,530 with a comment saying what
// it held and why),
// and after it a sheet "Mends" listing them with a link to each (going on in
// "Mends (2)" and so on past a worksheet's rows; links for the first 65,530 of
// each, as many as a worksheet takes). The folder may
// not be the workbook folder or one a workbook was read from, and may hold no
// workbook of the facility yet: none is ever written over.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "import/mends.h"
#include "state/run_state.h"

namespace sorvane {

inline constexpr const char* kMendsSheet = "Mends";

// "Mends", "Mends (2)", ...: the sheets `mends` mends fill.
std::vector<std::string> MendsSheetNames(size_t mends);

struct MendedCopiesResult {
  struct Copy {
    int table = 0;
    std::filesystem::path file;
    std::vector<CellMend> mends;  // none: copied as it is
  };
  std::vector<Copy> written;
  std::vector<std::string> failures;  // one message per workbook not written, or why none was
  bool stopped = false;  // the run's StopRequested said so: the copies after are not written
};

MendedCopiesResult WriteMendedCopies(const RunState& state, const std::filesystem::path& dir);

// Why `dir` may not receive the mended workbooks of facility `facility_id`
// ("" when it may, or is not there yet): it is a file, cannot be listed, or
// holds a workbook of the facility already.
std::string MendedFolderRefusal(const std::filesystem::path& dir, const std::string& facility_id);

// The mended copy of the sheet read from `origin.path` (opened with its
// password), named `sheet_name` as in the workbook, with `mends` (in the
// order of their cells, as MendsOf gives them) written in, to `file`. Throws FileError naming the
// file and the reason when the workbook cannot be read or the copy cannot be written; false when
// `stop` said so while the rows were read (nothing written).
bool WriteMendedCopy(const SheetOrigin& origin, const std::string& sheet_name,
                     const std::vector<CellMend>& mends, const std::filesystem::path& file,
                     const std::function<bool()>& stop = nullptr);

}  // namespace sorvane
