#include "cli_app.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <limits>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "commands.h"
#include "core/text.h"
#include "core/version.h"

namespace sorvane::cli {
namespace {

// What each command's exit status means, at the end of its help.
constexpr const char* kPlainExit = "Exit status: 0 done; 2 it could not be done.";
constexpr const char* kReviewExit =
    "Exit status: 0 every table transferred and every check passed; 1 the review ran and found\n"
    "problems (a check failed, rows were skipped, a table could not be imported); 2 nothing could\n"
    "be reviewed (Facility ID refused, workbook set incomplete, database unusable, cancelled)\n"
    "or an output is not whole. With --watch, that of the last review.";
constexpr const char* kCopyExit =
    "Exit status: 0 the five workbooks copied and verified; 1 the copy stopped or the set is\n"
    "not whole; 2 it could not start.";
constexpr const char* kUpdateExit =
    "Exit status: 0 every listed table replaced; 1 some were kept; 2 nothing could be done.";

int Dispatch(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  int code = Dispatch(argc, argv, out, err);
  // A report cut short by a full disk or a closed pipe is not a report: the
  // run ends as one whose output is not whole.
  out.flush();
  if (!out) {
    err << "sorvane: the output could not be written in full\n";
    code = 2;
  }
  err.flush();
  if (!err) code = 2;
  return code;
}

namespace {

// A mistyped command ("reveiw") would only be told "A subcommand is required":
// false, said on `err`, when the first word that is no option names none.
bool CommandIsKnown(CLI::App& app, int argc, const char* const* argv, std::ostream& err) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--data-dir") {
      ++i;
      continue;
    }
    if (arg.starts_with("-")) continue;
    const std::vector<CLI::App*> subs = app.get_subcommands({});
    if (std::any_of(subs.begin(), subs.end(),
                    [&](CLI::App* sub) { return sub->check_name(std::string(arg)); }))
      return true;
    std::string names;
    for (const CLI::App* sub : subs) names += (names.empty() ? "" : ", ") + sub->get_name();
    err << arg << " is not a command; the commands are " << names
        << "\nRun with --help for more information.\n";
    return false;
  }
  return true;
}

// --tables "1,3": the table numbers into `tables`; false, said on `err`, at an
// item that is not one from 1 to 5.
bool ParseTables(const std::string& text, std::vector<int>& tables, std::ostream& err) {
  std::stringstream ss(text);
  std::string item;
  while (std::getline(ss, item, ',')) {
    if (item.empty()) continue;
    try {
      // The whole item must be the number: "1.5" or "1;2" names no table.
      size_t used = 0;
      int t = std::stoi(item, &used);
      if (item.find_first_not_of(' ', used) != std::string::npos) {
        throw std::invalid_argument("table");
      }
      if (t < 1 || t > 5) throw std::out_of_range("table");
      tables.push_back(t);
    } catch (const std::exception&) {
      err << "--tables: " << item << " is not a table number from 1 to 5\n";
      return false;
    }
  }
  return true;
}

// Every command's arguments, as parsed.
struct Arguments {
  std::string data_dir;
  bool force = false;  // init
  std::string reference;
  ReviewOptions review;
  std::string tables_text;
  std::string list;  // refs
  bool refs_json = false;
  int checks_table = 0;
  bool checks_json = false;
  std::string compare_files[2];
  bool compare_json = false;
  std::string read_file, read_password;
  bool as_shown = false;
  int read_sheet = 1;
  std::string copy_id, from_dir;
  bool cd = false, floppy = false;
  std::string template_id, template_dir;
  std::string update_from;
};

// The commands, each found given (`*command`) once the arguments are parsed.
struct Commands {
  CLI::App *init, *status, *review, *refs, *checks, *compare, *read, *copy, *templates, *update;
};

CLI::App* AddInit(CLI::App& app, Arguments& a) {
  auto* init = app.add_subcommand("init", "Create the data folder and the work database");
  init->add_flag("--force", a.force, "Replace an existing work database");
  init->footer(
      "Exit status: 0 the work database is there (built, or left as it was); 1 it was built but\n"
      "a reference table of --reference was refused or missing (the shipped one was kept); 2 it\n"
      "could not be built.");
  init->add_option("--reference", a.reference,
                   "Take the reference tables from this file (.mdb, .accdb or SQLite)");
  return init;
}

CLI::App* AddReview(CLI::App& app, Arguments& a) {
  ReviewOptions& o = a.review;
  auto* review = app.add_subcommand("review", "Import a facility's workbooks and run the checks");
  review->add_option("FACILITY_ID", o.facility_id,
                     "Seven-digit Facility ID (default: that of the one facility whose five "
                     "workbooks are in the folder reviewed)");
  review->add_option("--workbooks", o.workbooks_dir,
                     "Copy the five workbooks from this folder first");
  review->add_option("--review-date", o.review_date,
                     "Flag data collected on or before this date (M/D/YYYY) as PRIOR");
  review->add_option("--tables", a.tables_text,
                     "Tables whose checks run and are reported, e.g. 1,3 (default: all)");
  review->add_option("--json", o.json_file, "Write the report as JSON (- = stdout)");
  review->add_option("--xlsx", o.xlsx_file, "Where to write the error workbook");
  review->add_option("--annotate", o.annotate_dir,
                     "Write a copy of each workbook with its problems marked into this folder "
                     "(not the workbook folder)");
  auto* mend = review->add_option(
      "--mend", o.mend_dir,
      "Write the facility's workbooks into this folder (one without any of them), each with "
      "what its import found mended where the mend is certain, ready to be reviewed again");
  // -1 (the default) writes every record; any other negative count is a slip,
  // not a wish for all of them.
  review
      ->add_option("--max-records", o.max_records,
                   "Records to write per check when a check has more than 100 (-1 = all)")
      ->type_name("NUMBER")
      ->check(CLI::Range(-1LL, std::numeric_limits<long long>::max()).description(""));
  review
      ->add_option("--password", o.password,
                   "Password of encrypted workbooks (or set SORVANE_WORKBOOK_PASSWORD)")
      ->envname(kPasswordVariable);
  review->add_flag("--timings", o.timings,
                   "Print the wall time of each stage, and the longest a cancel (Ctrl-C) would "
                   "wait to be seen, to stderr");
  review
      ->add_flag("--watch", o.watch,
                 "After the review, review again each time a workbook of the facility is saved "
                 "in the folder reviewed, saying what changed, until Ctrl-C")
      ->excludes(mend);
  review->footer(kReviewExit);
  return review;
}

CLI::App* AddRefs(CLI::App& app, Arguments& a) {
  auto* refs = app.add_subcommand("refs", "Show a reference list");
  refs->add_option("LIST", a.list, "sources, cas, labs or contracts")
      ->required()
      ->check(CLI::IsMember({"sources", "cas", "labs", "contracts"}));
  refs->add_flag("--json", a.refs_json, "Write the list as JSON");
  refs->footer(kPlainExit);
  return refs;
}

CLI::App* AddChecks(CLI::App& app, Arguments& a) {
  auto* checks = app.add_subcommand("checks", "List the checks a review runs, with their rules");
  checks->add_option("TABLE", a.checks_table, "Only the checks of this table (1 to 5)")
      ->check(CLI::Range(1, 5));
  checks->add_flag("--json", a.checks_json, "Write the list as JSON");
  checks->footer("Exit status: 0.");
  return checks;
}

CLI::App* AddCompare(CLI::App& app, Arguments& a) {
  auto* compare = app.add_subcommand(
      "compare", "Show which problems of a review's report are fixed and which are new");
  compare->add_option("BEFORE", a.compare_files[0], "The earlier review's JSON report")->required();
  compare->add_option("AFTER", a.compare_files[1], "The later review's JSON report")->required();
  compare->add_flag("--json", a.compare_json, "Write the comparison as JSON");
  compare->footer(
      "Exit status: 0 no problem row is new; 1 some are; 2 a report could not be read, or the "
      "reports are of different facilities.");
  return compare;
}

CLI::App* AddRead(CLI::App& app, Arguments& a) {
  auto* read = app.add_subcommand("read", "Show the rows a workbook's first worksheet holds");
  read->add_option("FILE", a.read_file, "Workbook (.xls, .xlsx, .xlsb or .ods, or an export)")
      ->required();
  read->add_option("--sheet", a.read_sheet,
                   "The worksheet to show, counted from 1 (chart sheets are not counted)")
      ->check(CLI::Range(1, 100000));
  read->add_flag("--as-shown", a.as_shown,
                 "Show the texts the spreadsheet displays (formats applied)");
  read->add_option("--password", a.read_password,
                   "Password of an encrypted workbook (or set SORVANE_WORKBOOK_PASSWORD)")
      ->envname(kPasswordVariable);
  read->footer("Exit status: 0 the sheet was shown; 2 the file could not be read.");
  return read;
}

CLI::App* AddCopy(CLI::App& app, Arguments& a) {
  auto* copy = app.add_subcommand("copy", "Copy a facility's workbooks from removable media");
  copy->add_option("FACILITY_ID", a.copy_id, "Seven-digit Facility ID")->required();
  auto* cd_flag = copy->add_flag("--cd", a.cd, "From the highest CD or DVD drive");
  auto* floppy_flag = copy->add_flag("--floppy", a.floppy, "From the highest removable drive");
  auto* from_opt = copy->add_option("--from", a.from_dir, "From this folder");
  cd_flag->excludes(floppy_flag)->excludes(from_opt);
  floppy_flag->excludes(from_opt);
  copy->footer(kCopyExit);
  return copy;
}

CLI::App* AddTemplate(CLI::App& app, Arguments& a) {
  auto* templates = app.add_subcommand(
      "template", "Write a facility's five empty workbooks, headed and checked as imported");
  templates->add_option("FACILITY_ID", a.template_id, "Seven-digit Facility ID")->required();
  templates->add_option("--to", a.template_dir, "The folder to write them into")->required();
  templates->footer(
      "Exit status: 0 the five written; 2 none written (one of them already "
      "there, say).");
  return templates;
}

CLI::App* AddUpdateRefs(CLI::App& app, Arguments& a) {
  auto* update = app.add_subcommand("update-refs", "Refresh the reference tables");
  update->add_option("--from", a.update_from,
                     "Update database, .mdb, .accdb or SQLite (default: GIS_UPDATE.mdb, .accdb or "
                     ".db of the data folder, the newest)");
  update->footer(kUpdateExit);
  return update;
}

// Runs the command given, its arguments parsed.
int RunCommand(const Commands& c, Arguments& a, std::ostream& out, std::ostream& err) {
  if (*c.read && !a.data_dir.empty()) {
    err << "read: --data-dir does not apply to read, which works on the file alone\n";
    return 2;
  }
  // An ID or a date read from a file keeps that file's line end ("$(cat id.txt)"
  // of a file saved on Windows leaves its "\r"), unseen where it is refused.
  for (std::string* word :
       {&a.review.facility_id, &a.review.review_date, &a.copy_id, &a.template_id})
    *word = std::string(TrimWhitespace(*word));
  const Paths paths = Paths::FromOption(a.data_dir);
  Streams io{out, err};
  if (*c.init) return RunInit(paths, a.force, io, std::chrono::seconds(15), a.reference);
  if (*c.status) return RunStatus(paths, io);
  if (*c.review) {
    if (!ParseTables(a.tables_text, a.review.tables, err) ||
        !NameFacilityOfWorkbooks(paths, a.review, err))
      return 2;
    return a.review.watch ? WatchReview(paths, a.review, io) : RunReview(paths, a.review, io);
  }
  if (*c.refs) return RunRefs(paths, a.list, a.refs_json, io);
  if (*c.read) return RunRead(a.read_file, a.as_shown, a.read_password, io, a.read_sheet);
  if (*c.checks) return RunChecks(a.checks_table, a.checks_json, io);
  if (*c.compare) return RunCompare(a.compare_files[0], a.compare_files[1], a.compare_json, io);
  if (*c.copy) {
    if (!a.cd && !a.floppy && a.from_dir.empty()) {
      err << "copy: one of --cd, --floppy or --from DIR is required\n";
      return 2;
    }
    return RunCopy(paths, a.copy_id, a.cd ? "cd" : a.floppy ? "floppy" : "folder", a.from_dir, io);
  }
  if (*c.update) return RunUpdateRefs(paths, a.update_from, io);
  if (*c.templates) return RunTemplate(paths, a.template_id, a.template_dir, io);
  return 2;
}

int Dispatch(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CLI::App app{"Prepares a facility's groundwater and contamination workbooks for hand-over.",
               "sorvane"};
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string("sorvane ") + kVersion);
  Arguments a;
  app.add_option("--data-dir", a.data_dir, "Data folder (default: $SORVANE_HOME, or ~/Sorvane)");

  Commands c;
  c.init = AddInit(app, a);
  c.status = app.add_subcommand("status", "Start up and show the table structures");
  c.status->footer(kPlainExit);
  c.review = AddReview(app, a);
  c.refs = AddRefs(app, a);
  c.checks = AddChecks(app, a);
  c.compare = AddCompare(app, a);
  c.read = AddRead(app, a);
  c.copy = AddCopy(app, a);
  c.templates = AddTemplate(app, a);
  c.update = AddUpdateRefs(app, a);
  // `read` works on a file alone: a data folder given to it would be ignored.
  for (auto* sub : {c.init, c.status, c.review, c.refs, c.copy, c.templates, c.update}) {
    sub->add_option("--data-dir", a.data_dir, "Data folder (default: $SORVANE_HOME, or ~/Sorvane)");
  }

  if (!CommandIsKnown(app, argc, argv, err)) return 2;
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    std::ostringstream o, x;
    int code = app.exit(e, o, x);
    out << o.str();
    err << x.str();
    return code == 0 ? 0 : 2;
  }
  return RunCommand(c, a, out, err);
}

}  // namespace
}  // namespace sorvane::cli
