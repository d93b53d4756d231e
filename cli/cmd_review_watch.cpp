// `sorvane review FACILITY_ID --watch`: the loop of a person mending a
// facility's workbooks. One review; then, each time a workbook of the facility
// in the folder reviewed is saved (added, changed or removed) and has stayed
// as saved for a second, the review again, followed by what changed since the
// review before, as `compare` words it. Ctrl-C ends the watch: while it waits,
// with the status of the last review; during a review, as that review's own
// Ctrl-C does (status 2).
#include <chrono>
#include <filesystem>
#include <ostream>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

#include "acquire/workbook_stamps.h"
#include "commands.h"
#include "console_ui.h"
#include "core/date.h"
#include "core/text.h"

namespace sorvane::cli {
namespace fs = std::filesystem;

namespace {

std::string TimeOfDay() { return Date::Now().ToIso().substr(11); }

}  // namespace

int WatchReview(const Paths& paths, const ReviewOptions& given, Streams io,
                std::chrono::milliseconds poll) {
  if (given.json_file == "-") {
    io.err << "--watch: the report cannot go to the standard output, which the reviews print to\n";
    return 2;
  }
  const fs::path folder =
      given.workbooks_dir.empty() ? paths.WorkbookDir() : fs::path(given.workbooks_dir);
  // Each review's report, kept to compare the next one with; the person's own
  // --json file is written as usual.
  const fs::path reports[2] = {paths.data_dir / ".watch report before.json",
                               paths.data_dir / ".watch report.json"};
  ReviewOptions options = given;
  if (options.json_file.empty()) {
    options.json_file = reports[1].string();
    options.report_unnamed = true;
  }
  const std::string& id = options.facility_id;
  FileStamps reviewed = StampFacilityFiles(folder, id);
  bool have_report = false;
  std::string shown[2];  // the review before, this one
  int status = 2;
  for (;;) {
    // A review that writes no report (it could not run) leaves the one
    // before to compare the next with.
    std::error_code ec;
    const auto written = [&] { return fs::last_write_time(options.json_file, ec); };
    const auto before = written();
    shown[1] = "the review at " + TimeOfDay();
    const int interrupts = ScopedInterruptHandler::Count();
    status = RunReview(paths, options, io);
    if (ScopedInterruptHandler::Count() != interrupts) break;  // stopped during the review
    const auto after = written();
    if (!ec && after != before) {
      if (have_report) {
        io.out << '\n';
        RunCompare(reports[0].string(), options.json_file, false, io, &shown, true);
      }
      fs::copy_file(options.json_file, reports[0], fs::copy_options::overwrite_existing, ec);
      have_report = !ec;
      shown[0] = shown[1];
    }
    // Taken before the words that invite it.
    ScopedInterruptHandler ctrl_c;
    io.out << "\nWatching " << ForTerminal(folder.string()) << ": the review runs again when a "
           << "workbook of " << id << " is saved there (Ctrl-C ends).\n";
    io.out.flush();
    // Nobody reads any more (`... --watch | head`): waiting would hold the
    // pipeline open for nothing.
    if (!io.out) {
      io.err << "review: the standard output is closed; the watch ends\n";
      status = 2;
      break;
    }
    FileStamps seen = reviewed;
    bool stop = false;
    // A save is taken once the files have stayed as saved for a second: a
    // spreadsheet program writes a workbook in several steps.
    auto settled = std::chrono::steady_clock::now();
    for (;;) {
      std::this_thread::sleep_for(poll);
      if (ctrl_c.TakePending()) {
        stop = true;
        break;
      }
      FileStamps now = StampFacilityFiles(folder, id);
      const auto at = std::chrono::steady_clock::now();
      if (now != seen) {
        seen = std::move(now);
        settled = at;
      } else if (seen != reviewed && at - settled >= std::chrono::seconds(1)) {
        break;
      }
    }
    if (stop) break;
    io.out << '\n'
           << TimeOfDay() << ": " << ForTerminal(DescribeFileChanges(reviewed, seen))
           << "; reviewing again.\n";
    reviewed = std::move(seen);
  }
  std::error_code ec;
  for (const fs::path& f : reports) fs::remove(f, ec);
  return status;
}

}  // namespace sorvane::cli
