// `sorvane update-refs [--from FILE]`: the "Update Reference Tables" menu.
#include <ostream>

#include "acquire/reference_update.h"
#include "commands.h"
#include "console_ui.h"
#include "program_start.h"
#include "shell/frmCMain.h"

namespace sorvane::cli {

int RunUpdateRefs(const Paths& paths, const std::string& from_file, Streams io) {
  Paths p = paths;
  if (!from_file.empty()) p.update_db_override = from_file;
  ConsoleUi ui(io.err);
  frmCMain main(ui, p);
  if (!StartProgram(main, io.err)) return 2;
  ReferenceUpdateResult result = UpdateReferenceTables(main.state());
  // Every message it shows ends the refresh: a missing or unreadable update
  // database, or one whose list of tables cannot be read.
  if (result.shut_down || !ui.messages().empty()) {
    main.Form_Unload();
    return 2;
  }
  io.out << "Update database: " << result.file.string()
         << (result.note.empty() ? "" : " (" + result.note + ")") << '\n';
  for (const auto& name : result.replaced) io.out << "Replaced " << name << '\n';
  for (size_t i = 0; i < result.kept.size(); ++i) {
    io.out << "Kept " << result.kept[i] << " (not replaced: " << result.kept_why[i] << ")\n";
  }
  // Without a word here a run that changed nothing would look like one that
  // did not run at all.
  if (result.replaced.empty() && result.kept.empty()) {
    io.out << "No table to replace: " << result.file.string() << " lists none in UPDATE_LIST\n";
  }
  main.Form_Unload();
  return result.kept.empty() ? 0 : 1;
}

}  // namespace sorvane::cli
