#include "program_start.h"

#include <exception>
#include <ostream>
#include <string>
#include <vector>

#include "console_ui.h"
#include "core/text.h"
#include "shell/frmCMain.h"
#include "workdb/work_database.h"

namespace sorvane::cli {
namespace {

// `text` as one word of a shell command line.
std::string ShellWord(const std::string& text) {
  if (!text.empty() && text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                              "0123456789/._-+=:@") == std::string::npos) {
    return text;
  }
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

bool StartProgram(frmCMain& main, std::ostream& err) {
  if (main.Form_Load() && main.loaded_ok()) return true;
  const std::string dir = ShellWord(main.state().paths.data_dir.string());
  const std::string replace =
      "`sorvane init --force --data-dir " + dir + "` replaces it with a new work database.";
  if (main.work_db_missing()) {
    err << ForTerminal("`sorvane init --data-dir " + dir + "` creates a new work database there.")
        << '\n';
  } else if (main.work_db_incomplete()) {
    err << ForTerminal("The work database " + main.state().paths.WorkDb().string() +
                       " lacks what the program reads at start-up; " + replace)
        << '\n';
  } else if (main.work_db_damaged()) {
    err << ForTerminal(replace) << '\n';
  }
  main.Form_Unload();
  return false;
}

bool TempTablesPresent(frmCMain& main, const char* command, std::ostream& err) {
  const Paths& paths = main.state().paths;
  std::vector<std::string> missing;
  try {
    missing = MissingTempTables(main.state().WorkConn);
  } catch (const std::exception& e) {
    err << ForTerminal(std::string(command) + ": the work database " + paths.WorkDb().string() +
                       " cannot be read: " + e.what())
        << '\n';
    return false;
  }
  if (missing.empty()) return true;
  const std::string names = JoinedWithAnd(missing);
  err << ForTerminal(std::string(command) + ": the work database " + paths.WorkDb().string() +
                     " lacks the " + (missing.size() == 1 ? "table " : "tables ") + names +
                     ", which a review fills; `sorvane init --force --data-dir " +
                     ShellWord(paths.data_dir.string()) + "` replaces it with a new work database.")
      << '\n';
  return false;
}

}  // namespace sorvane::cli
