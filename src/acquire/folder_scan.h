// Listing folders the way the acquisition routines need them: files and
// sub-folders of one folder, sorted by name so that every search and copy is
// repeatable, and the name tests for spreadsheet workbooks.
//
// A folder that cannot be listed raises FileError (76 when it does not exist,
// 70 when access is refused, 75 otherwise), carrying the path in its
// description, so the caller's handler can show "number description".
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "core/errors.h"

namespace sorvane {

// The files of `folder` (not its sub-folders), sorted by name. Symbolic links to
// files count as files. Hidden entries (IsHiddenName) are left out of both lists.
std::vector<std::filesystem::path> ListFiles(const std::filesystem::path& folder);
// The same with the hidden files, for clearing what this program left.
std::vector<std::filesystem::path> ListFilesWithHidden(const std::filesystem::path& folder);
// The sub-folders of `folder`, sorted by name. Links to folders are left out so
// that a search of a medium cannot run in circles.
std::vector<std::filesystem::path> ListSubfolders(const std::filesystem::path& folder);

// The name of a file as the user sees it (no folder).
std::string NameOf(const std::filesystem::path& file);

// A hidden file or folder: its name starts with a dot, or with "~$" (the
// owner file an office program keeps beside a workbook it has open, hidden
// where it is written and left behind when the program or the stick goes
// away first: "~$34567_1.xls" of 165 bytes beside "1234567_1.xls"). Such
// names are never a facility's workbooks or the folder to copy them from, and
// a file browser does not show them: the "._" companions and ".Trashes" that
// a Mac writes onto a memory stick (a "._1234567_1.xls" of 4 KB beside each
// workbook), or the ".~lock.1234567_5.xls#" a spreadsheet program keeps
// beside a workbook it has open.
bool IsHiddenName(std::string_view name);
// The hidden name "." + `name` + `suffix` that this program gives a file it
// keeps beside `name` for a while. A name too long for the file system
// (255 bytes) keeps its start, cut at a character, and a hash of the whole
// name, so two such names of one folder stay apart.
std::string HiddenName(std::string_view name, std::string_view suffix);

// Whether a name is that of a spreadsheet workbook for the copy: it ends, ignoring
// case, in "xls", "xlsx", "xlsm", "xlsb" or "ods" (".xls" as older programs
// save, ".xlsx" as current ones do, ".xlsm" with macros, ".xlsb" in binary,
// ".ods" as LibreOffice does).
bool HasWorkbookSuffix(std::string_view name);
// A facility workbook: a workbook name that contains the Facility ID (a plain,
// case-sensitive substring test).
bool IsFacilityWorkbook(std::string_view name, std::string_view facility_id);
// Whether a copy pattern such as "*.xls" or "*.XLS" takes a file of this name:
// a workbook's extension (see IsWorkbookExtension), ignoring case.
bool MatchesWorkbookPattern(std::string_view name);
// Whether `extension` (with its dot) is one a workbook has, ignoring case:
// ".xls", ".xlsx", ".xlsm", ".xlsb" or ".ods".
bool IsWorkbookExtension(std::string_view extension);

}  // namespace sorvane
