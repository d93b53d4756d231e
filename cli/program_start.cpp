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
  if (main.work_db_missing()) {
    err << ForTerminal("`sorvane init --data-dir " +
                       ShellWord(main.state().paths.data_dir.string()) +
                       "` creates a new work database there.")
        << '\n';
  } else if (main.work_db_incomplete()) {
    err << ForTerminal("The work database " + main.state().paths.WorkDb().string() +
                       " lacks what the program reads at start-up; `sorvane init --force "
                       "--data-dir " +
                       ShellWord(main.state().paths.data_dir.string()) +
                       "` replaces it with a new work database.")
        << '\n';
  } else if (main.work_db_damaged()) {
    err << ForTerminal("`sorvane init --force --data-dir " +
                       ShellWord(main.state().paths.data_dir.string()) +
                       "` replaces it with a new work database.")
        << '\n';
  }
  main.Form_Unload();
  return false;
}

}  // namespace sorvane::cli
