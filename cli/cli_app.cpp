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

int Dispatch(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CLI::App app{"Prepares a facility's groundwater and contamination workbooks for hand-over.",
               "sorvane"};
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string("sorvane ") + kVersion);
  std::string data_dir;
  app.add_option("--data-dir", data_dir, "Data folder (default: $SORVANE_HOME, or ~/Sorvane)");

  bool force = false;
  auto* init = app.add_subcommand("init", "Create the data folder and the work database");
  init->add_flag("--force", force, "Replace an existing work database");
  init->footer(
      "Exit status: 0 the work database is there (built, or left as it was); 1 it was built but\n"
      "a reference table of --reference was refused or missing (the shipped one was kept); 2 it\n"
      "could not be built.");
  std::string reference;
  init->add_option("--reference", reference,
                   "Take the reference tables from this file (.mdb, .accdb or SQLite)");

  auto* status = app.add_subcommand("status", "Start up and show the table structures");
  status->footer(kPlainExit);

  ReviewOptions review_options;
  std::string tables_text;
  auto* review = app.add_subcommand("review", "Import a facility's workbooks and run the checks");
  review->add_option("FACILITY_ID", review_options.facility_id, "Seven-digit Facility ID")
      ->required();
  review->add_option("--workbooks", review_options.workbooks_dir,
                     "Copy the five workbooks from this folder first");
  review->add_option("--review-date", review_options.review_date,
                     "Flag data collected on or before this date (M/D/YYYY) as PRIOR");
  review->add_option("--tables", tables_text,
                     "Tables whose checks run and are reported, e.g. 1,3 (default: all)");
  review->add_option("--json", review_options.json_file, "Write the report as JSON (- = stdout)");
  review->add_option("--xlsx", review_options.xlsx_file, "Where to write the error workbook");
  review->add_option("--annotate", review_options.annotate_dir,
                     "Write a copy of each workbook with its problems marked into this folder "
                     "(not the workbook folder)");
  auto* mend = review->add_option(
      "--mend", review_options.mend_dir,
      "Write the facility's workbooks into this folder (one without any of them), each with "
      "what its import found mended where the mend is certain, ready to be reviewed again");
  // -1 (the default) writes every record; any other negative count is a slip,
  // not a wish for all of them.
  review
      ->add_option("--max-records", review_options.max_records,
                   "Records to write per check when a check has more than 100 (-1 = all)")
      ->type_name("NUMBER")
      ->check(CLI::Range(-1LL, std::numeric_limits<long long>::max()).description(""));
  review
      ->add_option("--password", review_options.password,
                   "Password of encrypted workbooks (or set SORVANE_WORKBOOK_PASSWORD)")
      ->envname(kPasswordVariable);
  review->add_flag("--timings", review_options.timings,
                   "Print the wall time of each stage, and the longest a cancel (Ctrl-C) would "
                   "wait to be seen, to stderr");
  review
      ->add_flag("--watch", review_options.watch,
                 "After the review, review again each time a workbook of the facility is saved "
                 "in the folder reviewed, saying what changed, until Ctrl-C")
      ->excludes(mend);
  review->footer(kReviewExit);

  std::string list;
  bool refs_json = false;
  auto* refs = app.add_subcommand("refs", "Show a reference list");
  refs->add_option("LIST", list, "sources, cas, labs or contracts")
      ->required()
      ->check(CLI::IsMember({"sources", "cas", "labs", "contracts"}));
  refs->add_flag("--json", refs_json, "Write the list as JSON");
  refs->footer(kPlainExit);

  int checks_table = 0;
  bool checks_json = false;
  auto* checks = app.add_subcommand("checks", "List the checks a review runs, with their rules");
  checks->add_option("TABLE", checks_table, "Only the checks of this table (1 to 5)")
      ->check(CLI::Range(1, 5));
  checks->add_flag("--json", checks_json, "Write the list as JSON");
  checks->footer("Exit status: 0.");

  std::string compare_files[2];
  bool compare_json = false;
  auto* compare = app.add_subcommand(
      "compare", "Show which problems of a review's report are fixed and which are new");
  compare->add_option("BEFORE", compare_files[0], "The earlier review's JSON report")->required();
  compare->add_option("AFTER", compare_files[1], "The later review's JSON report")->required();
  compare->add_flag("--json", compare_json, "Write the comparison as JSON");
  compare->footer(
      "Exit status: 0 no problem row is new; 1 some are; 2 a report could not be read, or the "
      "reports are of different facilities.");

  std::string read_file;
  auto* read = app.add_subcommand("read", "Show the rows a workbook's first worksheet holds");
  read->add_option("FILE", read_file, "Workbook (.xls, .xlsx or .ods)")->required();
  bool as_shown = false;
  std::string read_password;
  read->add_flag("--as-shown", as_shown,
                 "Show the texts the spreadsheet displays (formats applied)");
  read->add_option("--password", read_password,
                   "Password of an encrypted workbook (or set SORVANE_WORKBOOK_PASSWORD)")
      ->envname(kPasswordVariable);
  read->footer("Exit status: 0 the sheet was shown; 2 the file could not be read.");

  std::string copy_id, from_dir;
  bool cd = false, floppy = false;
  auto* copy = app.add_subcommand("copy", "Copy a facility's workbooks from removable media");
  copy->add_option("FACILITY_ID", copy_id, "Seven-digit Facility ID")->required();
  auto* cd_flag = copy->add_flag("--cd", cd, "From the highest CD or DVD drive");
  auto* floppy_flag = copy->add_flag("--floppy", floppy, "From the highest removable drive");
  auto* from_opt = copy->add_option("--from", from_dir, "From this folder");
  cd_flag->excludes(floppy_flag)->excludes(from_opt);
  floppy_flag->excludes(from_opt);
  copy->footer(kCopyExit);

  std::string template_id, template_dir;
  auto* templates = app.add_subcommand(
      "template", "Write a facility's five empty workbooks, headed and checked as imported");
  templates->add_option("FACILITY_ID", template_id, "Seven-digit Facility ID")->required();
  templates->add_option("--to", template_dir, "The folder to write them into")->required();
  templates->footer(
      "Exit status: 0 the five written; 2 none written (one of them already "
      "there, say).");

  std::string update_from;
  auto* update = app.add_subcommand("update-refs", "Refresh the reference tables");
  update->add_option("--from", update_from,
                     "Update database, .mdb, .accdb or SQLite (default: GIS_UPDATE.mdb, .accdb or "
                     ".db of the data folder, the newest)");
  update->footer(kUpdateExit);

  // `read` works on a file alone: a data folder given to it would be ignored.
  for (auto* sub : {init, status, review, refs, copy, templates, update}) {
    sub->add_option("--data-dir", data_dir, "Data folder (default: $SORVANE_HOME, or ~/Sorvane)");
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

  if (*read && !data_dir.empty()) {
    err << "read: --data-dir does not apply to read, which works on the file alone\n";
    return 2;
  }
  // An ID or a date read from a file keeps that file's line end ("$(cat id.txt)"
  // of a file saved on Windows leaves its "\r"), unseen where it is refused.
  for (std::string* word :
       {&review_options.facility_id, &review_options.review_date, &copy_id, &template_id})
    *word = std::string(TrimWhitespace(*word));
  const Paths paths = Paths::FromOption(data_dir);
  Streams io{out, err};
  if (*init) return RunInit(paths, force, io, std::chrono::seconds(15), reference);
  if (*status) return RunStatus(paths, io);
  if (*review) {
    if (!ParseTables(tables_text, review_options.tables, err)) return 2;
    return review_options.watch ? WatchReview(paths, review_options, io)
                                : RunReview(paths, review_options, io);
  }
  if (*refs) return RunRefs(paths, list, refs_json, io);
  if (*read) return RunRead(read_file, as_shown, read_password, io);
  if (*checks) return RunChecks(checks_table, checks_json, io);
  if (*compare) return RunCompare(compare_files[0], compare_files[1], compare_json, io);
  if (*copy) {
    if (!cd && !floppy && from_dir.empty()) {
      err << "copy: one of --cd, --floppy or --from DIR is required\n";
      return 2;
    }
    return RunCopy(paths, copy_id, cd ? "cd" : floppy ? "floppy" : "folder", from_dir, io);
  }
  if (*update) return RunUpdateRefs(paths, update_from, io);
  if (*templates) return RunTemplate(paths, template_id, template_dir, io);
  return 2;
}

}  // namespace
}  // namespace sorvane::cli
