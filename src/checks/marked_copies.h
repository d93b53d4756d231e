// Marked copies of the facility's workbooks: for each workbook a table was read
// from, "<name> (checked).xlsx" holding the first worksheet's cells with their
// values and kinds, every problem row filled in its severity's colour (2 red,
// 1 orange, 0 yellow), every problem cell (the first 65,530) with a comment
// giving the check's failure text and rule (all of them where several checks
// meet on a cell), and in front a sheet "Problems" listing each problem with a
// link to its cell.
// The workbooks themselves are only read.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "checks/list_hints.h"
#include "state/run_state.h"

namespace sorvane {

// One problem at one place of a workbook.
struct MarkedProblem {
  int table = 0;
  std::string check;  // "1.9", or what the import found ("Data type")
  int severity = 2;
  std::string text;
  std::string rule;
  SheetPlace place;
  std::string hint = {};  // what the agency's lists hold near the value (list_hints.h)
};

// Appends the import findings of table n (1..5).
void AddImportProblems(const RunState& state, int n, std::vector<MarkedProblem>& out);
// Appends the problem rows of failed check `index` of `table` (severity, fail
// text and rule as the check has them) at their places, one list per row,
// each with its hint where `hints` (aligned with the rows, or empty) has one.
void AddCheckProblems(int table, int index, int severity, const std::string& text,
                      const std::string& rule, const PlaceLists& sources,
                      const std::vector<ListHint>& hints, std::vector<MarkedProblem>& out);

// Why `dir` may not receive the copies (`copies` names them), or "" when it
// may: it is the workbook folder or the folder a workbook was read from.
std::string MarkedCopiesDirRefusal(const RunState& state, const std::filesystem::path& dir,
                                   const std::string& copies = "the marked copies");

// Makes `dir` for the copies: "" when it is there, or why it is not (it exists
// and is no folder, or none can be made there).
std::string MakeMarkedCopiesDir(const std::filesystem::path& dir);

// "1234567_2 (checked).xlsx" for the workbook "1234567_2.xls"; the name of a
// workbook already as long as a name may be is shortened (NameWithin).
std::string MarkedCopyName(const std::string& workbook_name);

struct MarkedCopiesResult {
  std::vector<std::filesystem::path> written;
  // A copy written over a file there that was not as an earlier copy left it
  // (saved over in a spreadsheet program): the name that file is kept under.
  std::map<std::filesystem::path, std::filesystem::path> kept;
  // " (the file there before, changed since it was written, is kept as NAME)"
  // for such a copy, else "".
  std::string KeptNote(const std::filesystem::path& written_file) const;
  std::vector<std::string> failures;  // one message per copy not written
  bool stopped = false;  // the run's StopRequested said so: the copies after are not written
};

// Writes the copies of the workbooks of `tables` (those read from a workbook)
// into `dir`, creating it, each with the problems of its table; a file a
// person changed is never written over (WriteMarkedCopy). A copy is made
// only of the very file the import read: one changed since is refused with a
// message, as is one that cannot be read or written; the others are written.
// The run's StopRequested may end the writing between rows.
MarkedCopiesResult WriteMarkedCopies(const RunState& state, const std::vector<int>& tables,
                                     const std::vector<MarkedProblem>& problems,
                                     const std::filesystem::path& dir);

}  // namespace sorvane
