// What `sorvane review` found: per table its stage code and status-label text
// after the import and, when the checks ran, every check's verdict with its
// problem records. Written as JSON (--json) and as the verdict lines the command
// prints after the checks.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "checks/clsReviewObject.h"
#include "checks/list_hints.h"
#include "checks/mended_copies.h"
#include "core/record_set.h"
#include "core/value.h"
#include "import/import_problems.h"
#include "state/sheet_places.h"

namespace sorvane::cli {

class JsonWriter;

struct CheckReport {
  int index = 0;
  int severity = 0;
  bool passed = true;
  std::string text;  // the pass or the fail text
  std::string rule;
  std::vector<std::string> columns;
  // Every problem record, in the query's order (null when the check passed):
  // the check window's own record set, shared, never copied row by row.
  std::shared_ptr<const RecordSet> rows;
  int64_t RowCount() const { return rows ? rows->RecordCount() : 0; }
  // The workbook places each row stands for, aligned with `rows`.
  PlaceLists sources;
  // What the agency's lists hold near each row's value, aligned with `rows`
  // (empty for a check of no list).
  std::vector<ListHint> hints;
};

using Place = SheetPlace;

struct TableReport {
  int table = 0;
  std::string title;
  int status = 0;
  std::string label;  // the status label after the import
  std::vector<ImportProblem> import_problems;
  bool checked = false;
  std::vector<CheckReport> checks;  // empty when the checks did not run
  int FailedCount() const;
};

struct ReviewReport {
  std::string facility_id;
  std::optional<std::string> review_date;
  std::string summary;
  std::vector<std::string> messages;
  std::vector<TableReport> tables;
};

// The verdict of one check; `problems` holds its records when it failed.
CheckReport ReportCheck(int index, const clsReviewObject& check,
                        std::shared_ptr<const RecordSet> problems);

// A JSON array of places.
void WritePlaces(JsonWriter& json, std::span<const Place> places);

// One JSON object: facility_id, review_date, summary, messages, tables (with
// table, title, status, label, checks). Values keep their kind: texts as
// strings, numbers as numbers, dates as "YYYY-MM-DDTHH:MM:SS", missing as null.
void WriteReportJson(const ReviewReport& report, std::ostream& out);

// Per checked table a heading and one line per failed check: the fail text with
// its severity wording and the number of problem records.
void PrintCheckVerdicts(const ReviewReport& report, std::ostream& out);
// The mended workbooks (--mend): each mended one with its first mends, then
// the names of those copied as they are, and whether a stop cut the set short.
void PrintMended(const MendedCopiesResult& mended, const std::string& dir, std::ostream& out);
// Under a table's label, the first few things its import found wrong, each
// at its place ("Row 9, PH: "seven" is not a number."); skipped rows, which
// the label names, are left out.
void PrintImportProblems(const std::vector<ImportProblem>& problems, std::ostream& out);

}  // namespace sorvane::cli
