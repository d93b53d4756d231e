// `sorvane review FACILITY_ID --watch`: the loop of a person mending a
// facility's workbooks. One review; then, each time a workbook of the facility
// in the folder reviewed is saved (added, changed or removed) and has stayed
// as saved for a second, the review again, followed by what changed since the
// review before, as `compare` words it. Ctrl-C ends the watch: while it waits,
// with the status of the last review; during a review, as that review's own
// Ctrl-C does (status 2).
#include <chrono>
#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

#include "acquire/folder_scan.h"
#include "commands.h"
#include "console_ui.h"
#include "core/date.h"
#include "core/text.h"

namespace sorvane::cli {
namespace fs = std::filesystem;

namespace {

// What a workbook is known by between two looks: a save changes one or the other.
struct Stamp {
  std::uintmax_t size = 0;
  fs::file_time_type written;
  bool operator==(const Stamp&) const = default;
};
using Stamps = std::map<std::string, Stamp>;

// The facility's workbooks in `folder` as the review takes them: files whose
// name holds the Facility ID, hidden ones (an office program's owner file, a
// copy being written) left out. A folder that cannot be read has none.
Stamps Look(const fs::path& folder, const std::string& id) {
  Stamps stamps;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = NameOf(it->path());
    if (IsHiddenName(name) || name.find(id) == std::string::npos) continue;
    std::error_code file_ec;
    Stamp s{it->file_size(file_ec), it->last_write_time(file_ec)};
    if (!file_ec && it->is_regular_file(file_ec)) stamps.emplace(name, s);
  }
  return stamps;
}

// "1234567_5.xls changed", "1234567_2.xls and 1234567_5.xls changed, 1234567_6.xls added".
std::string Changes(const Stamps& was, const Stamps& now) {
  std::vector<std::string> words[3];  // changed, added, removed
  for (const auto& [name, stamp] : now) {
    auto it = was.find(name);
    if (it == was.end()) {
      words[1].push_back(name);
    } else if (!(it->second == stamp)) {
      words[0].push_back(name);
    }
  }
  for (const auto& [name, stamp] : was)
    if (!now.count(name)) words[2].push_back(name);
  std::string text;
  const char* verbs[3] = {" changed", " added", " removed"};
  for (int i = 0; i < 3; ++i) {
    if (words[i].empty()) continue;
    if (!text.empty()) text += ", ";
    text += JoinedWithAnd(words[i]) + verbs[i];
  }
  return text;
}

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
  auto cleanup = [&] {
    std::error_code ec;
    for (const fs::path& f : reports) fs::remove(f, ec);
  };

  const std::string& id = options.facility_id;
  Stamps reviewed = Look(folder, id);
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
    io.out << "\nWatching " << ForTerminal(folder.string()) << ": the review runs again when a "
           << "workbook of " << id << " is saved there (Ctrl-C ends).\n";
    io.out.flush();

    ScopedInterruptHandler ctrl_c;
    Stamps seen = reviewed;
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
      Stamps now = Look(folder, id);
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
           << TimeOfDay() << ": " << ForTerminal(Changes(reviewed, seen)) << "; reviewing again.\n";
    reviewed = std::move(seen);
  }
  cleanup();
  return status;
}

}  // namespace sorvane::cli
