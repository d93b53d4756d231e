#include "program_start.h"

#include <ostream>
#include <string>

#include "console_ui.h"
#include "shell/frmCMain.h"

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

}  // namespace sorvane::cli
