// What comparing two review reports needs of one (the JSON `review --json`
// writes), read as a stream: a report of a million problem rows is hundreds of
// megabytes, and none of it is held but the problem rows themselves. Each row
// and place is kept as compact JSON, written the same way whatever the file's
// own spacing, so that equal rows have equal texts.
#pragma once

#include <string>
#include <vector>

namespace sorvane::cli {

struct CheckDigest {
  int index = -1;
  int severity = 0;
  bool passed = true;
  std::string text;
  std::vector<std::string> rows;    // each problem row, a JSON array
  std::vector<std::string> places;  // each row's first workbook place, a JSON object or ""
};

struct TableDigest {
  int table = 0;
  std::vector<CheckDigest> checks;  // empty when the table's checks did not run
  CheckDigest import_problems;      // rows ["kind", "text"], places the first of each
};

struct ReportDigest {
  std::string facility_id;
  std::vector<TableDigest> tables;
};

// Reads the report at `file`; throws sorvane::Error saying what is wrong with
// it when it cannot be read, is not JSON, or lists no tables.
ReportDigest ReadReportDigest(const std::string& file);

}  // namespace sorvane::cli
