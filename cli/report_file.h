// Where `sorvane review` writes its outputs. A report path that names a
// workbook or a database is refused before anything runs; a report is written
// beside its place and moved over it only when whole, so a full disk leaves the
// previous report; through a link it goes where the link points.
#pragma once

#include <iosfwd>
#include <string>

#include "commands.h"
#include "review_report.h"

namespace sorvane::cli {

// False, with the reason on `err`, when --xlsx names a file that is not an
// error workbook or --json names a workbook or a database.
bool OutputPathsAreFree(const ReviewOptions& options, std::ostream& err);

// Writes the report to `file` ("-": io.out); false, with the reason on io.err,
// when it could not be written whole.
bool WriteJsonFile(const std::string& file, const ReviewReport& report, Streams io);

}  // namespace sorvane::cli
