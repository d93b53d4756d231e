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
#include <chrono>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <new>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "acquire/workbook_set.h"
#include "checks/error_workbook_export.h"
#include "checks/frmCCheckView.h"
#include "checks/marked_copies.h"
#include "checks/problem_places.h"
#include "commands.h"
#include "console_ui.h"
#include "core/errors.h"
#include "core/text.h"
#include "import/mends.h"
#include "program_start.h"
#include "progress_line.h"
#include "report_file.h"
#include "review_outputs.h"
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

// "Tables 2 and 5 were not transferred, so no check ran and no error workbook was written."
std::string NotTransferredLine(const std::vector<int>& tables) {
  std::string line = tables.size() == 1 ? "Table " : "Tables ";
  for (size_t i = 0; i < tables.size(); ++i) {
    if (i > 0) line += i + 1 == tables.size() ? " and " : ", ";
    line += std::to_string(tables[i]);
  }
  return line + (tables.size() == 1 ? " was" : " were") +
         " not transferred, so no check ran and no error workbook was written.";
}

// Each table's line as the window shows it, with what its import found wrong,
// into `text`, and the tables of `wanted` into `report`; true when an import
// found a problem.
bool ReportImports(RunState& s, const std::set<int>& wanted, bool mend_asked, ReviewReport& report,
                   std::ostream& text) {
  bool problems = false;
  bool mendable = false;
  for (int n = 1; n <= 5; ++n) {
    const std::string& label = s.StatusLabel(n).caption;
    if (!label.empty()) text << "Table " << n << ": " << ForTerminal(label) << '\n';
    // A person who saved an .xlsx beside the .xls may think it was reviewed.
    if (const std::string unread = UnreadWorkbooksText(s, n); !unread.empty())
      text << "  " << ForTerminal(unread) << '\n';
    if (!wanted.count(n)) continue;
    TableReport t;
    t.table = n;
    t.title = s.Tables[n].Title;
    t.label = label;
    t.import_problems = ImportProblemsOf(s, n);
    if (!t.import_problems.empty()) problems = true;
    PrintImportProblems(t.import_problems, text);
    mendable = mendable || (!mend_asked && HasMends(s, n));
    report.tables.push_back(std::move(t));
  }
  if (mendable) {
    text << "Some of what the import found can be mended without a doubt: --mend DIR writes the "
            "workbooks so mended into DIR.\n";
  }
  return problems;
}

// What the checks and the error workbook came to.
struct Checked {
  bool ran = false;              // the check window opened
  fs::path workbook;             // the error workbook, as saved
  bool workbook_failed = false;  // not saved, or saved without every check
  bool problems = false;         // a check failed
};

// "Data Checks" and "Output to Excel" over the tables of `wanted`: each
// check's verdict, rows and places into `report`, the error workbook saved.
Checked CheckAndExport(frmCMain& main, const ReviewOptions& options, Streams io,
                       const std::set<int>& wanted, const std::function<bool()>& stopped,
                       ReviewReport& report) {
  RunState& s = main.state();
  Checked outcome;
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
    return outcome;
  }
  outcome.ran = true;
  ErrorWorkbookExport& excel = view->ErrorExport();
  if (!options.xlsx_file.empty()) excel.set_output_path(options.xlsx_file);
  ListHints hints(s.WorkConn, s.FacilityID);
  auto write = view->WriteCheckErrors;
  view->WriteCheckErrors = [&, write](int table, int index) {
    if (stopped()) throw Error(3059, "Operation canceled by user.");
    const clsReviewObject& check = view->CheckList.at(static_cast<size_t>(index));
    CheckReport& report = failed[{table, index}];
    report = ReportCheck(index, check, view->adoProblemRS);
    report.hints = hints.ForEveryRow(table, index, *view->adoProblemRS);
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
    // The window's export stops quietly; a review says why its workbook
    // lacks checks (a failed query said so itself).
    auto exported_whole = [&](int index) {
      const ExportResult r = view->mnuExcelChecks_Click(index);
      if (!r.stopped_by.empty() && !stopped()) {
        io.err << "review: the error workbook " << r.file.string()
               << " lacks checks: " << r.stopped_by << '\n';
      }
      return r.whole;
    };
    if (wanted.size() == 5) {
      outcome.workbook_failed = !exported_whole(7);
    } else {
      for (int n : wanted) outcome.workbook_failed |= !exported_whole(n);
    }
  }
  view->WriteCheckErrors = write;
  excel.TableExported = nullptr;
  outcome.workbook = excel.last_saved();
  for (TableReport& t : report.tables) {
    if (stopped()) break;  // what was checked before the stop is not the review's verdict
    auto it = verdicts.find(t.table);
    if (it == verdicts.end()) continue;
    t.checked = true;
    t.checks = std::move(it->second);
    if (t.FailedCount() > 0) outcome.problems = true;
  }
  return outcome;
}

// The marked copies (--annotate) and the mended workbooks (--mend), unless
// the review was stopped; true when one of them failed.
bool WriteCopies(RunState& s, const ReviewOptions& options, const ReviewReport& report,
                 const std::function<bool()>& stopped, std::ostream& text, std::ostream& err) {
  bool copies_failed = false;
  if (!options.annotate_dir.empty() && !stopped()) {
    StageTimer timer(s.Timings, "marked copies");
    MarkedCopiesResult copies;
    try {
      std::vector<MarkedProblem> marks;
      for (const TableReport& t : report.tables) {
        AddImportProblems(s, t.table, marks);
        for (const CheckReport& c : t.checks) {
          if (!c.passed)
            AddCheckProblems(t.table, c.index, c.severity, c.text, c.rule, c.sources, c.hints,
                             marks);
        }
      }
      std::vector<int> tables;
      for (const TableReport& t : report.tables) tables.push_back(t.table);
      copies = WriteMarkedCopies(s, tables, marks, options.annotate_dir);
    } catch (const std::bad_alloc& e) {
      // The report and the other outputs still come.
      copies.failures.push_back("the problems to mark could not be listed: " + FailureText(e));
    }
    for (const fs::path& file : copies.written) {
      text << "Marked copy: " << file.string() << copies.KeptNote(file) << '\n';
    }
    for (const std::string& failure : copies.failures) err << "--annotate: " << failure << '\n';
    copies_failed = !copies.failures.empty();
  }
  if (!options.mend_dir.empty() && !stopped()) {
    StageTimer timer(s.Timings, "mended workbooks");
    MendedCopiesResult mended;
    try {
      mended = WriteMendedCopies(s, options.mend_dir);
    } catch (const std::bad_alloc& e) {
      mended.failures.push_back("the mends could not be listed: " + FailureText(e));
    }
    PrintMended(mended, options.mend_dir, text);
    for (const std::string& failure : mended.failures) err << "--mend: " << failure << '\n';
    copies_failed = copies_failed || !mended.failures.empty();
  }
  return copies_failed;
}

// --timings: the wall time of each stage, and the longest stretches without a
// look for a stop, in the import and after it.
void PrintTimings(StageTimes& timings, double import_gap, std::ostream& err) {
  for (const auto& [stage, seconds] : timings.totals()) {
    err << "time " << stage << ": " << seconds << " s\n";
  }
  timings.Yielded();
  const double after_gap = timings.longest_gap();
  err << "time longest without yielding, import: " << import_gap << " s\n";
  err << "time longest without yielding, after the import: " << after_gap << " s\n";
  err << "time longest without yielding: " << std::max(import_gap, after_gap) << " s\n";
}

// --json: the report, written to its file while the work database is emptied,
// or to the standard output; false when it could not be written (said on
// `io.err`).
bool WriteReport(frmCMain& main, const ReviewOptions& options, const ReviewReport& report,
                 Streams io, std::ostream& text) {
  // A report file is written while the work database is emptied: the
  // report is whole by now, and the emptying touches nothing of it. One on
  // the standard output is not, as the emptying may write to the terminal.
  bool written = false;
  std::ostringstream failure;
  const auto started = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point ended;
  if (options.json_file == "-") {
    written = WriteJsonFile(options.json_file, report, io);
    ended = std::chrono::steady_clock::now();
  } else {
    // The report is written while the work database is emptied; without a
    // second thread, one after the other.
    std::jthread writer;
    auto write_report = [&] {
      std::ostringstream no_output;
      try {
        written = WriteJsonFile(options.json_file, report, Streams{no_output, failure});
      } catch (const std::exception& e) {  // a thread's own end would end the program
        failure << "--json: the report could not be written to " << options.json_file << ": "
                << FailureText(e) << '\n';
      }
      ended = std::chrono::steady_clock::now();
    };
    try {
      writer = std::jthread(write_report);
    } catch (const std::system_error&) {
      write_report();
    }
    main.Form_Unload();
  }
  io.err << failure.str();
  if (options.timings) {
    io.err << "time report: " << std::chrono::duration<double>(ended - started).count() << " s\n";
  }
  if (written && options.json_file != "-" && !options.report_unnamed)
    text << "Report: " << options.json_file << '\n';
  return written;
}

}  // namespace

bool NameFacilityOfWorkbooks(const Paths& paths, ReviewOptions& options, std::ostream& err) {
  if (!options.facility_id.empty()) return true;
  const fs::path folder =
      options.workbooks_dir.empty() ? paths.WorkbookDir() : fs::path(options.workbooks_dir);
  const std::string lead = "review: no Facility ID was given, and " + folder.string();
  std::vector<std::string> ids;
  std::error_code ec;
  bool readable = fs::is_directory(folder, ec);
  try {
    if (readable) ids = FacilityIdsOfSets(folder);
  } catch (const Error&) {
    readable = false;
  }
  if (!readable) {
    err << lead << " is not a folder that can be read\n";
    return false;
  }
  if (ids.size() == 1) {
    options.facility_id = ids[0];
    err << "Facility ID " << ids[0] << ": the one facility whose five workbooks are in "
        << folder.string() << '\n';
    return true;
  }
  if (ids.empty()) {
    err << lead << " holds no facility's five workbooks\n";
  } else {
    err << lead << " holds the workbooks of " << JoinedWithAnd(ids) << ": name the one to review\n";
  }
  return false;
}

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
  if (!TempTablesPresent(main, "review", io.err)) {
    io.err << "review: nothing was reviewed\n";
    main.Form_Unload();
    return 2;
  }
  RunState& s = main.state();
  s.WorkbookPassword = options.password;  // a batch run never asks
  s.KeepsImportedRows = false;            // no window shows them
  auto finish = [&](int code) {
    // The emptying of the work database runs to its end, stop or no stop.
    s.WorkConn.SetStopCheck(nullptr);
    main.Form_Unload();
    if (!main.unload_problem().empty()) {
      io.err << "review: the work database's temporary tables could not be emptied ("
             << main.unload_problem() << "); the next review empties them\n";
    }
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

  std::set<int> wanted(options.tables.begin(), options.tables.end());
  if (wanted.empty()) wanted = {1, 2, 3, 4, 5};
  bool problems = ReportImports(s, wanted, !options.mend_dir.empty(), report, text);
  text << ForTerminal(report.summary) << '\n';

  bool all_transferred = true;
  for (int n = 1; n <= 5; ++n)
    all_transferred = all_transferred && s.Tables[n].TableStatus >= stage::kTransferred;
  problems = problems || !all_transferred;
  // The checks read the five tables together: one missing, none runs. Whoever
  // asked for an error workbook hears why there is none.
  if (!all_transferred && !set_incomplete && !cancelled) {
    std::vector<int> missing;
    for (int n = 1; n <= 5; ++n)
      if (s.Tables[n].TableStatus < stage::kTransferred) missing.push_back(n);
    text << NotTransferredLine(missing) << '\n';
  }
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
    const Checked checked = CheckAndExport(main, options, io, wanted, stopped, report);
    if (!checked.ran) return finish(2);
    workbook = checked.workbook;
    workbook_failed = checked.workbook_failed;
    problems = problems || checked.problems;
  }
  for (TableReport& t : report.tables) {
    t.status = s.Tables[t.table].TableStatus;
    // Checks a stop cut short are not the review's verdict.
    if (cancelled) t.status = std::min<int>(t.status, stage::kTransferred);
  }
  report.messages = ui.messages();

  PrintCheckVerdicts(report, text);
  const bool copies_failed = WriteCopies(s, options, report, stopped, text, io.err);
  s.StopRequested = nullptr;
  s.WorkConn.SetStopCheck(nullptr);
  if (options.timings) PrintTimings(s.Timings, import_gap, io.err);
  if (!options.json_file.empty() && !WriteReport(main, options, report, io, text)) return finish(2);
  if (cancelled) io.err << "review: cancelled; the review did not run to its end\n";
  // Written whole, it is said even when another output failed.
  if (!workbook.empty() && !workbook_failed && !cancelled)
    text << "Error workbook: " << workbook.string() << '\n';
  if (workbook_failed || transfer_failed || set_incomplete || cancelled || copies_failed) {
    return finish(2);
  }
  return finish(problems ? 1 : 0);
}

}  // namespace sorvane::cli
