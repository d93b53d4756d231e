// The commands of the command-line front-end, one file each. Every command
// returns the process exit status: 0 success, 1 problems found, 2 could not run.
#pragma once

#include <chrono>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "core/paths.h"

namespace sorvane {
class DriveProbe;
}

namespace sorvane::cli {

struct Streams {
  std::ostream& out;
  std::ostream& err;
};

// `sorvane init [--data-dir DIR] [--force] [--reference FILE]`; waits up to
// `lock_wait` for a run working in the data folder to end.
int RunInit(const Paths& paths, bool force, Streams io,
            std::chrono::steady_clock::duration lock_wait = std::chrono::seconds(15),
            const std::string& reference = "");
// `sorvane status [--data-dir DIR]`
int RunStatus(const Paths& paths, Streams io);

struct ReviewOptions {
  std::string facility_id;
  std::string workbooks_dir;    // copy the five workbooks from here first (optional)
  std::string review_date;      // flag PRIOR data on or before this date (optional)
  std::vector<int> tables;      // tables whose checks run and are reported; empty = all
  std::string json_file;        // "-" = stdout
  std::string xlsx_file;        // error workbook path (default: data folder)
  std::string annotate_dir;     // marked copies of the workbooks go here (optional)
  std::string mend_dir;         // the workbooks, mended where certain, go here (optional)
  long long max_records = -1;   // answer to the record-count question; -1 = all
  bool timings = false;         // print the wall time of each stage to stderr
  std::string password;         // for encrypted workbooks (default password otherwise)
  bool watch = false;           // review again whenever the workbooks change
  bool report_unnamed = false;  // the JSON report is the watch's own: its path is not printed
};
// A review given no Facility ID reviews the one facility whose five workbooks
// are in the folder it reads (--workbooks, or the workbook folder), and says
// so on `err`; false, said on `err`, where there is not exactly one.
bool NameFacilityOfWorkbooks(const Paths& paths, ReviewOptions& options, std::ostream& err);
// `sorvane review FACILITY_ID ...`
int RunReview(const Paths& paths, const ReviewOptions& options, Streams io);
// `sorvane review FACILITY_ID --watch ...`: one review, then one more each time
// a workbook of the facility in the folder reviewed changes, with what changed
// since the review before, until Ctrl-C. `poll` is how often the folder is looked at.
int WatchReview(const Paths& paths, const ReviewOptions& options, Streams io,
                std::chrono::milliseconds poll = std::chrono::milliseconds(500));

// `sorvane refs sources|cas|labs|contracts [--json]`
int RunRefs(const Paths& paths, const std::string& list, bool json, Streams io);

// `sorvane checks [TABLE] [--json]`: the catalogue of checks, of one table
// (1..5) or of all (0).
int RunChecks(int only_table, bool json, Streams io);

// `sorvane compare BEFORE AFTER [--json]`: what changed between two review
// reports of one facility. `shown` names the two in the text (the files by
// default); `changed_only` leaves out the checks with as many rows as before.
int RunCompare(const std::string& before, const std::string& after, bool json, Streams io,
               const std::string (*shown)[2] = nullptr, bool changed_only = false);

// `sorvane read FILE [--as-shown] [--password TEXT] [--sheet N]`: stored
// values, or the texts the spreadsheet program displays with --as-shown, of
// the N-th worksheet (the first by default; chart sheets do not count).
int RunRead(const std::string& file, bool as_shown, const std::string& password, Streams io,
            int sheet = 1);

// Where --password is also taken from, so it stays out of the shell history.
inline constexpr const char* kPasswordVariable = "SORVANE_WORKBOOK_PASSWORD";

// `sorvane copy FACILITY_ID --cd|--floppy|--from DIR`; `drives` stands for the
// machine's drives and `media_wait` for the wait for a medium when given (tests).
int RunCopy(const Paths& paths, const std::string& facility_id, const std::string& source,
            const std::string& from_dir, Streams io, std::shared_ptr<DriveProbe> drives = nullptr,
            std::chrono::steady_clock::duration media_wait = std::chrono::seconds(10));

// `sorvane template FACILITY_ID --to DIR`: the facility's five empty workbooks.
int RunTemplate(const Paths& paths, const std::string& facility_id, const std::string& folder,
                Streams io);

// `sorvane update-refs [--from FILE]`
int RunUpdateRefs(const Paths& paths, const std::string& from_file, Streams io);

}  // namespace sorvane::cli
