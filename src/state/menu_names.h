// The control names of the main window's menus, the names a front-end gives its
// menu items and tests look them up by. A misspelt name is a compile error here
// and an exception at the lookup (MenuMap never creates an entry on the fly).
#pragma once

#include <string>

namespace sorvane::menu {

inline constexpr const char* kDataLoad = "mnuDataLoad";  // "Data Copy"
inline constexpr const char* kNewSite = "mnuNewSite";
inline constexpr const char* kDataLoadCD = "mnuDataLoadCD";
inline constexpr const char* kDataLoadFloppy = "mnuDataLoadFloppy";
// "Folder...": the workbooks from a folder the person chooses (a download, a
// network share), searched and copied as from a CD.
inline constexpr const char* kDataLoadFolder = "mnuDataLoadFolder";
// "Empty Workbooks...": the facility's five workbooks, empty, headed and
// checked as the import takes them, written into a folder the person chooses.
inline constexpr const char* kDataTemplates = "mnuDataTemplates";
// "Mended Workbooks...": the workbooks imported, with what their import found
// mended where certain, written into a folder the person chooses.
inline constexpr const char* kDataMended = "mnuDataMended";
inline constexpr const char* kExit = "mnuExit";
inline constexpr const char* kImportHeader = "mnuRunAllChecks";  // "Import Tables"
inline constexpr const char* kChecksHeader = "mnuCheckTablesHeader";
inline constexpr const char* kTableViewHeader = "mnuTabViewHeader";
inline constexpr const char* kSpace1 = "Space1";
inline constexpr const char* kCancelXfer = "mnuCancelXfer";
inline constexpr const char* kViewRefTitle = "mnuViewRefTitle";

// The control arrays, items 0..5.
std::string RunData(int index);      // "Import Tables": 0 all, 1..5 one table
std::string CheckTables(int index);  // "Data Checks": 0 all, 1..5 one table
std::string TabView(int index);      // "Table View": 0 none, 1..5
std::string ViewRef(int index);      // "View Ref Tables": 0..3 lists, 5 update

}  // namespace sorvane::menu
