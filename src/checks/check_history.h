// What the checks of a table found the last time they ran over other
// workbooks, kept in the data folder, so that a run over mended workbooks can
// say of each check how many problem rows were fixed and which rows are new.
//
// A problem row is known by its check and its values, not by its place: a
// row added above it in the workbook does not make it new. Equal rows pair in
// order (of two equal rows before, one left now is one fixed). Two generations
// are kept per facility and table: the latest run and the run before it over
// other workbooks, which is what a run over the latest's workbooks again (the
// checks run twice, or once more after a reference update) is compared with.
//
// The history is a help: a file that cannot be read or written gives no
// comparison and stops nothing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sorvane {

class RecordSet;

// Checks of more rows than this are neither kept nor compared, nor those
// past the second bound in one table: a million problem rows would take
// seconds to keep, and nobody reads which are new.
inline constexpr int64_t kMostRowsCompared = 100000;
inline constexpr int64_t kMostRowsKeptPerTable = 200000;

struct CheckChange {
  int64_t before = 0;                   // problem rows then
  int64_t now = 0;                      // problem rows now
  int64_t fixed = 0;                    // rows then without an equal row now
  int64_t added = 0;                    // rows now without an equal row then
  std::vector<bool> is_new;             // each row now, in the order the query gave them
  std::vector<std::string> fixed_rows;  // the first few rows fixed (ProblemRowTexts)
};

struct TableChanges {
  std::string since;                  // when the earlier checks ran, "2026-12-08 14:02"
  std::map<int, CheckChange> checks;  // by check index; checks not compared are absent
};

// A check's problem rows, each as one text of its values.
std::vector<std::string> ProblemRowTexts(const RecordSet& rows);

class CheckHistory {
 public:
  explicit CheckHistory(std::filesystem::path file) : file_(std::move(file)) {}

  // Keeps the rows each check of `table` found (by check index; a check of
  // too many rows is given with its count only, not kept) over
  // `workbooks` (what tells one version of the workbooks from another), at
  // `at`, and compares them with the last run over other workbooks. Nothing
  // when there was none or the file cannot be used.
  struct CheckRows {
    int64_t count = 0;
    std::vector<std::string> rows;
    bool kept = true;  // false: too many rows to keep, `rows` empty
  };
  std::optional<TableChanges> Record(const std::string& facility, int table,
                                     const std::string& workbooks, const std::string& at,
                                     const std::map<int, CheckRows>& checks);

 private:
  std::filesystem::path file_;
};

// "Since the checks of <when>: 3 problem rows then, 2 now (1 fixed, 0 new).",
// then the first rows fixed.
std::string DescribeChange(const std::string& since, const CheckChange& change);
// The same of every check compared: "Since the checks of <when>: 2 problem
// rows fixed, 1 new (in bold)."
std::string DescribeChanges(const TableChanges& changes);

}  // namespace sorvane
