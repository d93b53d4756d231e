// What a review checks of its inputs and outputs before anything runs, and
// the copy of the facility's workbooks it starts with (--workbooks). Each
// says what is wrong on `err` and returns false when the review must not run.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>

#include "commands.h"

namespace sorvane::cli {

// Replaces the workbook folder `to`'s files by the files of `from` that carry
// the Facility ID in their name and are not hidden, each copied whole; when one
// cannot be, the folder's files are put back as they were.
bool CopyWorkbooks(const std::filesystem::path& from, const std::filesystem::path& to,
                   const std::string& facility_id, std::ostream& err);
// No report, error workbook or marked copy among the workbooks under review,
// nor in each other's way.
bool OutputsAreFree(const Paths& paths, const ReviewOptions& options, std::ostream& err);
// The marked copies' folder, made before the review runs.
bool AnnotateFolderIsMade(const std::string& dir, std::ostream& err);
// --json and --xlsx naming two different files.
bool OutputsAreDistinct(const ReviewOptions& options, std::ostream& err);

}  // namespace sorvane::cli
