// `sorvane review FACILITY_ID`: what a person does in the window, in one go.
// Start-up, the workbooks copied in (--workbooks), the Facility ID typed, the
// review date set, "Import Tables / All Tables", and, when every table reached
// stage 6, "Data Checks" and "Output to Excel / Errors - All Tables". The
// status labels, the summary line and the check verdicts are printed as the
// window shows them; message boxes go to stderr.
//
// Exit status: 0 every table transferred and every check passed; 1 the review
// ran and found problems (a table not transferred, a failed check); 2 it could
// not run (no work database, an unreadable workbook folder, a Facility ID or
// review date the import refused, a report that cannot be written, a Ctrl-C).
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <sstream>
#include <thread>
#include <utility>

#include "acquire/file_ops.h"
#include "acquire/folder_scan.h"
#include "checks/error_workbook_export.h"
#include "checks/frmCCheckView.h"
#include "checks/marked_copies.h"
#include "checks/problem_places.h"
#include "commands.h"
#include "console_ui.h"
#include "core/errors.h"
#include "core/text.h"
#include "program_start.h"
#include "report_file.h"
#include "review_report.h"
#include "shell/frmCMain.h"

namespace sorvane::cli {
namespace fs = std::filesystem;

namespace {

std::string Shown(std::string text) {
  for (char& c : text) {
    if (c == '\r') c = '\n';
  }
  return text;
}

// Replaces the workbook folder's files by the files of `from` that carry the
// Facility ID in their name and are not hidden, as the copy from removable
// media takes them.
bool CopyWorkbooks(const fs::path& from, const fs::path& to, const std::string& facility_id,
                   std::ostream& err) {
  std::error_code ec;
  std::vector<fs::path> files;
  if (!fs::is_directory(from, ec)) {
    err << "--workbooks: " << from.string() << " is not a folder that can be read\n";
    return false;
  }
  for (fs::directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = NameOf(it->path());
    if (it->is_regular_file(ec) && !IsHiddenName(name) &&
        name.find(facility_id) != std::string::npos) {
      files.push_back(it->path());
    }
  }
  if (ec) {
    err << "--workbooks: " << from.string() << " cannot be read: " << ec.message() << '\n';
    return false;
  }
  // The workbook folder itself: its files are the ones to review, and emptying
  // it first would delete them.
  if (fs::equivalent(from, to, ec)) return true;
  try {
    fs::create_directories(to);
    for (const auto& entry : fs::directory_iterator(to)) {
      if (entry.is_regular_file()) fs::remove(entry.path());
    }
    // Each whole or not at all: one cut short would be read as a damaged workbook.
    for (const fs::path& file : files) {
      CopyWhole(file, to / file.filename(), ec);
      if (ec) throw fs::filesystem_error("cannot copy file", file, to / file.filename(), ec);
    }
  } catch (const fs::filesystem_error& e) {
    err << "--workbooks: " << e.what() << '\n';
    return false;
  }
  return true;
}

bool SamePath(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  const fs::path x = fs::weakly_canonical(a, ec);
  if (ec) return false;
  const fs::path y = fs::weakly_canonical(b, ec);
  return !ec && x == y;
}

// No output goes among the workbooks under review: the workbook folder holds
// the facility's workbooks and nothing else, so at the next review a report or
// an error workbook there would be taken for one of them or break the set's
// rules (one named like a workbook would even have replaced it), as would one
// whose name holds the Facility ID in the folder --workbooks copies from. The
// marked copies also need a folder of their own, and a report named like the
// folder or like one of the copies would be replaced.
bool OutputsAreFree(const Paths& paths, const ReviewOptions& options, std::ostream& err) {
  const std::string inputs[] = {paths.WorkbookDir().string(), options.workbooks_dir};
  for (const auto& [option, file] :
       {std::pair{"--xlsx", options.xlsx_file}, std::pair{"--json", options.json_file}}) {
    if (file.empty() || file == "-") continue;
    const fs::path path = fs::absolute(file);
    const bool named_for_facility =
        path.filename().string().find(options.facility_id) != std::string::npos;
    for (const std::string& input : inputs) {
      if (!input.empty() && SamePath(path.parent_path(), input) &&
          (named_for_facility || input == inputs[0])) {
        err << option << ": " << file
            << " is among the workbooks under review, where the next review would take it for"
               " one; give it another folder\n";
        return false;
      }
    }
  }
  const std::string& dir = options.annotate_dir;
  if (dir.empty()) return true;
  for (const std::string& input : inputs) {
    if (!input.empty() && SamePath(dir, input)) {
      err << "--annotate: " << dir
          << " holds the workbooks under review; give the marked copies a folder of their own\n";
      return false;
    }
  }
  for (const std::string& file : {options.json_file, options.xlsx_file}) {
    if (file.empty() || file == "-") continue;
    const bool copy_name = fs::path(file).filename().string().ends_with(" (checked).xlsx") &&
                           SamePath(fs::path(file).parent_path(), dir);
    if (SamePath(file, dir) || copy_name) {
      err << "--annotate: " << dir << " and " << file
          << " are in each other's way; give each output its own path\n";
      return false;
    }
  }
  return true;
}

// The marked copies' folder is made before anything runs: a path where none
// can be made (a file in the way, a file system that takes no folder) would
// otherwise fail only after the whole review.
bool AnnotateFolderIsMade(const std::string& dir, std::ostream& err) {
  const std::string why = dir.empty() ? "" : MakeMarkedCopiesDir(dir);
  if (!why.empty()) err << "--annotate: " << why << '\n';
  return why.empty();
}

// Two outputs named to the same file would leave only the one written last,
// while the other is announced.
bool OutputsAreDistinct(const ReviewOptions& options, std::ostream& err) {
  if (options.xlsx_file.empty() || options.json_file.empty() || options.json_file == "-") {
    return true;
  }
  std::error_code ec;
  const fs::path a = fs::weakly_canonical(options.xlsx_file, ec);
  const fs::path b = fs::weakly_canonical(options.json_file, ec);
  if (ec || a != b) return true;
  err << "--json and --xlsx name the same file (" << options.json_file << "); give each its own\n";
  return false;
}

// A one-line progress bar on the terminal, with the caption of the table at
// work, redrawn only when it changes.
class ProgressLine {
 public:
  ProgressLine(const RunState& state, bool enabled) : state_(state), enabled_(enabled) {}
  ~ProgressLine() { Clear(); }

  void Draw() {
    if (!enabled_) return;
    const ProgressState& p = state_.view.ProgressBar;
    if (!p.visible || p.max <= p.min) {
      Clear();
      return;
    }
    const int64_t span = p.max - p.min;
    const int percent =
        static_cast<int>(std::clamp<int64_t>((p.value - p.min) * 100 / span, 0, 100));
    std::string caption;
    for (const LabelState& label : state_.view.lblStatus) {
      if (label.highlighted && !label.caption.empty()) {
        caption = ForTerminal(Utf8Prefix(label.caption, 60));
        break;
      }
    }
    if (percent == percent_ && caption == caption_) return;
    percent_ = percent;
    caption_ = caption;
    const int filled = percent * 30 / 100;
    std::string line = "[" + std::string(static_cast<size_t>(filled), '#') +
                       std::string(static_cast<size_t>(30 - filled), ' ') + "] " +
                       std::to_string(percent) + "% " + caption;
    const size_t width = line.size();
    if (line.size() < shown_width_) line += std::string(shown_width_ - line.size(), ' ');
    std::cerr << '\r' << line << std::flush;
    shown_width_ = width;
  }
  void Clear() {
    if (!enabled_ || shown_width_ == 0) return;
    std::cerr << '\r' << std::string(shown_width_, ' ') << '\r' << std::flush;
    shown_width_ = 0;
    percent_ = -1;
    caption_.clear();
  }

 private:
  const RunState& state_;
  bool enabled_;
  int percent_ = -1;
  std::string caption_;
  size_t shown_width_ = 0;
};

// The console's port, redrawing the progress at every yield too: the transfer
// moves its progress bar once per record and yields, without a repaint.
class ReviewUi : public ConsoleUi {
 public:
  using ConsoleUi::ConsoleUi;
  void DoEvents() override {
    ConsoleUi::DoEvents();
    if (on_refresh) on_refresh();
  }
};

}  // namespace

int RunReview(const Paths& paths, const ReviewOptions& options, Streams io) {
  // With the report on stdout, the lines for people go to stderr.
  std::ostream& text = options.json_file == "-" ? io.err : io.out;
  if (!OutputsAreDistinct(options, io.err) || !OutputPathsAreFree(options, io.err) ||
      !OutputsAreFree(paths, options, io.err) ||
      !AnnotateFolderIsMade(options.annotate_dir, io.err)) {
    return 2;
  }
  ReviewUi ui(io.err);
  if (options.max_records >= 0) ui.input_answer = std::to_string(options.max_records);
  frmCMain main(ui, paths);
  if (!StartProgram(main, io.err)) return 2;
  RunState& s = main.state();
  s.WorkbookPassword = options.password;  // a batch run never asks
  s.KeepsImportedRows = false;            // no window shows them
  auto finish = [&](int code) {
    // The emptying of the work database runs to its end, stop or no stop.
    s.WorkConn.SetStopCheck(nullptr);
    main.Form_Unload();
    return code;
  };

  if (!options.workbooks_dir.empty() &&
      !CopyWorkbooks(options.workbooks_dir, paths.WorkbookDir(), options.facility_id, io.err)) {
    return finish(2);
  }

  ProgressLine progress(s, &io.err == &std::cerr && isatty(STDERR_FILENO));
  ui.on_refresh = [&] { progress.Draw(); };
  ui.on_interrupt = [&] { main.mnuCancelXfer_Click(); };

  s.view.txtFacilityID.text = options.facility_id;
  if (!options.review_date.empty()) {
    main.Option1_Click(1);
    s.view.me_ReviewDate.text = options.review_date;
  }
  // A Ctrl-C cancels the import at its next yield; after the import, the
  // review stops before its next step (the checks, a check's rows, a row of
  // the error workbook or of a marked copy), saves nothing more, and ends as
  // a cancelled import does.
  ScopedInterruptHandler ctrl_c;
  const ImportResult imported = main.mnuRunData_Click(0);
  // Pressed during the last table's last index build, say: after the
  // import's last yield, though before it ended.
  // Asked by the checks' threads too.
  std::atomic<bool> cancelled = imported.cancelled || ctrl_c.TakePending();
  const std::thread::id main_thread = std::this_thread::get_id();
  auto stopped = [&] {
    if (ctrl_c.TakePending()) cancelled = true;
    // A look on this thread is where a stop is seen: what --timings calls a
    // yield. The checks' own threads look as often, and end when it says yes.
    if (std::this_thread::get_id() == main_thread) s.Timings.Yielded();
    return cancelled.load();
  };
  // Whatever way this function is left, the work database and the run state
  // stop asking the test above before the locals it reads are gone.
  struct StopTestRelease {
    RunState& s;
    ~StopTestRelease() {
      s.StopRequested = nullptr;
      s.WorkConn.SetStopCheck(nullptr);
    }
  } stop_test_release{s};
  progress.Clear();
  const double import_gap = s.Timings.TakeLongestGap();  // the import is over
  // The typed rows are in the work database now; only their fields are read
  // from here on.
  for (const auto& rows : s.TempRecordset) {
    if (rows) rows->Clear();
  }
  // The import did not start: the Facility ID or the review date was refused.
  if (imported.run == ImportResult::Run::kRefused) return finish(2);
  // Nothing was read: the workbook set is not whole (the messages said why).
  const bool set_incomplete = imported.run == ImportResult::Run::kSetIncomplete;

  ReviewReport report;
  report.facility_id = options.facility_id;
  if (!options.review_date.empty()) report.review_date = options.review_date;
  report.summary = Shown(s.view.lblStatusAll.caption);

  bool problems = false;
  std::set<int> wanted(options.tables.begin(), options.tables.end());
  if (wanted.empty()) wanted = {1, 2, 3, 4, 5};
  for (int n = 1; n <= 5; ++n) {
    const std::string& label = s.StatusLabel(n).caption;
    if (!label.empty()) text << "Table " << n << ": " << ForTerminal(label) << '\n';
    if (!wanted.count(n)) continue;
    TableReport t;
    t.table = n;
    t.title = s.Tables[n].Title;
    t.label = label;
    t.import_problems = ImportProblemsOf(s, n);
    if (!t.import_problems.empty()) problems = true;
    report.tables.push_back(std::move(t));
  }
  text << ForTerminal(report.summary) << '\n';

  bool all_transferred = true;
  for (int n = 1; n <= 5; ++n)
    all_transferred = all_transferred && s.Tables[n].TableStatus >= stage::kTransferred;
  problems = problems || !all_transferred;
  // A transfer the database refused (a full disk, a read-only or damaged work
  // database) is not a problem of the facility's data: the review could not run.
  const bool transfer_failed = !imported.transfer_failed.empty();

  fs::path workbook;
  bool workbook_failed = false;
  // The checks and the outputs ask it from here on, between steps; a query of
  // the checks running when it says yes is cut short.
  s.StopRequested = stopped;
  s.WorkConn.SetStopCheck(stopped);
  // A Ctrl-C seen while the last table finished leaves every table whole, but
  // the person asked the review to stop: it ends here, not after the checks.
  if (all_transferred && !stopped()) {
    // The checks read each table through once: the transfer's page cache
    // (64 MB) would hold only pages they never read again, beside the rows
    // they keep (a million problem records: peak 595 MB to 516 MB).
    s.WorkConn.ExecuteNative("PRAGMA cache_size=-8192");
    std::map<std::pair<int, int>, CheckReport> failed;
    std::map<int, std::vector<CheckReport>> verdicts;
    s.WantsPlaces = !options.json_file.empty() || !options.annotate_dir.empty();
    {
      StageTimer timer(s.Timings, "checks");
      main.mnuCheckTables_Click(wanted.size() == 1 ? *wanted.begin() : 0);
    }
    frmCCheckView* view = main.check_view();
    if (!view) {
      io.err << "review: the check window could not be opened\n";
      return finish(2);
    }
    ErrorWorkbookExport& excel = view->ErrorExport();
    if (!options.xlsx_file.empty()) excel.set_output_path(options.xlsx_file);
    auto write = view->WriteCheckErrors;
    view->WriteCheckErrors = [&, write](int table, int index) {
      if (stopped()) throw Error(3059, "Operation canceled by user.");
      const clsReviewObject& check = view->CheckList.at(static_cast<size_t>(index));
      CheckReport& report = failed[{table, index}];
      report = ReportCheck(index, check, view->adoProblemRS);
      // Places cost a query of their own; only the report and the copies show them.
      try {
        if (!options.json_file.empty() || !options.annotate_dir.empty()) {
          StageTimer timer(s.Timings, "places");
          report.sources = ProblemPlaces(s, table, check, *view->adoProblemRS, &view->Results());
        }
      } catch (const Error& e) {
        if (!stopped())
          io.err << "review: the workbook places of check " << table << '.' << index
                 << " could not be found: " << e.NumberDescription() << '\n';
      }
      if (write) write(table, index);
    };
    excel.TableExported = [&](int table) {
      std::vector<CheckReport>& list = verdicts[table];
      list.clear();
      for (size_t i = 0; i < view->CheckList.size(); ++i) {
        auto it = failed.find({table, static_cast<int>(i)});
        if (it == failed.end()) {
          list.push_back(ReportCheck(static_cast<int>(i), view->CheckList[i], nullptr));
          continue;
        }
        // Moved, not copied: a check's places may be a million.
        list.push_back(std::move(it->second));
        failed.erase(it);
      }
    };
    // A save that failed, or a check whose query could not run: either way
    // the workbook is not whole.
    {
      StageTimer timer(s.Timings, "error workbook");
      if (wanted.size() == 5) {
        workbook_failed = !view->mnuExcelChecks_Click(7).whole;
      } else {
        for (int n : wanted) workbook_failed |= !view->mnuExcelChecks_Click(n).whole;
      }
    }
    view->WriteCheckErrors = write;
    excel.TableExported = nullptr;
    workbook = excel.last_saved();
    for (TableReport& t : report.tables) {
      if (stopped()) break;  // what was checked before the stop is not the review's verdict
      auto it = verdicts.find(t.table);
      if (it == verdicts.end()) continue;
      t.checked = true;
      t.checks = std::move(it->second);
      if (t.FailedCount() > 0) problems = true;
    }
  }
  for (TableReport& t : report.tables) {
    t.status = s.Tables[t.table].TableStatus;
    // Checks a stop cut short are not the review's verdict.
    if (cancelled) t.status = std::min<int>(t.status, stage::kTransferred);
  }
  report.messages = ui.messages();

  PrintCheckVerdicts(report, text);
  bool copies_failed = false;
  if (!options.annotate_dir.empty() && !stopped()) {
    StageTimer timer(s.Timings, "marked copies");
    std::vector<MarkedProblem> marks;
    for (const TableReport& t : report.tables) {
      AddImportProblems(s, t.table, marks);
      for (const CheckReport& c : t.checks) {
        if (!c.passed)
          AddCheckProblems(t.table, c.index, c.severity, c.text, c.rule, c.sources, marks);
      }
    }
    std::vector<int> tables;
    for (const TableReport& t : report.tables) tables.push_back(t.table);
    const MarkedCopiesResult copies = WriteMarkedCopies(s, tables, marks, options.annotate_dir);
    for (const fs::path& file : copies.written) {
      text << "Marked copy: " << file.string() << copies.KeptNote(file) << '\n';
    }
    for (const std::string& failure : copies.failures) io.err << "--annotate: " << failure << '\n';
    copies_failed = !copies.failures.empty();
  }
  s.StopRequested = nullptr;
  s.WorkConn.SetStopCheck(nullptr);
  if (options.timings) {
    for (const auto& [stage, seconds] : s.Timings.totals()) {
      io.err << "time " << stage << ": " << seconds << " s\n";
    }
    s.Timings.Yielded();
    const double after_gap = s.Timings.longest_gap();
    io.err << "time longest without yielding, import: " << import_gap << " s\n";
    io.err << "time longest without yielding, after the import: " << after_gap << " s\n";
    io.err << "time longest without yielding: " << std::max(import_gap, after_gap) << " s\n";
  }
  if (!options.json_file.empty()) {
    // A report file is written while the work database is emptied: the
    // report is whole by now, and the emptying touches nothing of it. One on
    // the standard output is not, as the emptying may write to the terminal.
    bool written = false;
    std::ostringstream failure;
    if (options.json_file == "-") {
      written = WriteJsonFile(options.json_file, report, io);
    } else {
      std::jthread writer([&] {
        std::ostringstream no_output;
        written = WriteJsonFile(options.json_file, report, Streams{no_output, failure});
      });
      main.Form_Unload();
    }
    io.err << failure.str();
    if (!written) return finish(2);
    if (options.json_file != "-") text << "Report: " << options.json_file << '\n';
  }
  if (cancelled) io.err << "review: cancelled; the review did not run to its end\n";
  if (workbook_failed || transfer_failed || set_incomplete || cancelled || copies_failed) {
    return finish(2);
  }
  if (!workbook.empty()) text << "Error workbook: " << workbook.string() << '\n';
  return finish(problems ? 1 : 0);
}

}  // namespace sorvane::cli
