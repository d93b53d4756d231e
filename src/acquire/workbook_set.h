// The Facility ID rule and the verification of the workbook set in the workbook
// folder (state.paths.WorkbookDir()).
//
// Both routines read the Facility ID from the main window's box as typed and show
// their own messages (OK button only). A file-system failure (the workbook
// folder missing, a text file that cannot be deleted) is not reported here: it
// raises FileError for the caller's handler.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "state/run_state.h"

namespace sorvane {

// Enables the Facility ID box and tests the ID: it must be 7 characters long and
// every file of the workbook folder must hold it in its name. Messages: "Please
// Enter a Facility ID", "Facility ID must be 7 digits.", "Facility ID does not
// match copied files.". True when the ID may be used.
bool CheckFacilityID(RunState& state);
// Only the first two rules (and their messages): the ID typed is a Facility ID.
bool CheckFacilityIDForm(RunState& state);

// Deletes the import's text files (.txt) from the workbook folder, lists the
// remaining files in `state.FileList` sorted by FileName (record n is table n's
// workbook) and checks the set: at least five files, the first five ending in
// "1.xls" .. "5.xls" (or another workbook's extension, .xlsx or .ods say,
// ignoring case), every name holding the Facility
// ID. Every broken rule shows its message; true when none is broken.
bool VerifyWorkbookSet(RunState& state);

// The Facility IDs whose five workbooks `folder` holds, ascending: each a run
// of exactly seven digits in the names of workbooks of all five tables
// (before the table's number: "1234567_1.xls", "12345671.xls", "Site 1234567
// wells 2.xlsx"). A name's other digits, a date say, name no facility. Raises
// FileError where the folder cannot be listed.
std::vector<std::string> FacilityIdsOfSets(const std::filesystem::path& folder);

// The names in the list VerifyWorkbookSet made, past its first five, that end
// as table `table`'s workbook does (an .xlsx saved beside the .xls that was
// read, say). A set that passes can hold such a workbook only where it sorts
// after the five, and it is never read.
std::vector<std::string> UnreadWorkbooksOf(const RunState& state, int table);
// The same said in a sentence: "1234567_5.xlsx was not read: Table 5 was read
// from 1234567_5.xls."; empty when there is none or the table read no workbook.
std::string UnreadWorkbooksText(const RunState& state, int table);

}  // namespace sorvane
