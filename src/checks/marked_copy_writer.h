// One marked copy: the first worksheet of the workbook an import read, written
// again as .xlsx with the problems marked (marked_copies.h says how they look).
// The copy is built beside its final name and moved into place when whole.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "checks/lxw_book.h"
#include "checks/marked_copies.h"
#include "state/sheet_places.h"

namespace sorvane {

// Problems sheets ("Problems", "Problems (2)", ...) hold this many lines each:
// one link a line, and a worksheet takes no more links.
inline constexpr size_t kProblemLinesPerSheet = kLinksPerWorksheet;
// The first this many marked cells carry a comment; those after, their fill
// and their line in the Problems sheets. A spreadsheet program took minutes
// and gigabytes to open a copy of 700,000 comments, and never got there.
inline constexpr size_t kCommentedCells = 65530;

// Copies the sheet read from `origin.path` (opened with its password) to
// `file`, marking `problems` (all of this workbook). `sheet_name` names the
// sheet in the copy as in the workbook. Throws FileError naming the file and the
// reason when the workbook cannot be read or the copy cannot be written.
// `stop`, when given, is asked row by row while the workbook is read: once it
// says yes, the copy is abandoned, nothing is written and false comes back.
// The copy carries its save time (workbook_stamp.h): a file at `file` that
// is not as an earlier copy left it is kept under a free name once the new
// copy is whole, and `kept_as` (when given) receives that name.
bool WriteMarkedCopy(const SheetOrigin& origin, const std::string& sheet_name,
                     const std::vector<const MarkedProblem*>& problems,
                     const std::filesystem::path& file, const std::function<bool()>& stop = nullptr,
                     std::filesystem::path* kept_as = nullptr);

}  // namespace sorvane
