// `sorvane status`: the program's start-up, exactly as the window runs it, then
// the expected fields of each table and the size of each reference table.
#include <ostream>

#include "commands.h"
#include "console_ui.h"
#include "core/errors.h"
#include "program_start.h"
#include "shell/frmCMain.h"
#include "workdb/work_database.h"

namespace sorvane::cli {

int RunStatus(const Paths& paths, Streams io) {
  ConsoleUi ui(io.err);
  frmCMain main(ui, paths);
  if (!StartProgram(main, io.err)) return 2;
  RunState& s = main.state();
  io.out << "Data folder: " << paths.data_dir.string() << '\n';
  io.out << "Work database: " << paths.WorkDb().string() << '\n';
  for (int n = 1; n <= 5; ++n) {
    const RecordSet& structure = *s.TempRecordset[n];
    io.out << "Table " << n << " (" << s.Tables[n].Title << "): ";
    for (size_t i = 0; i < structure.FieldCount(); ++i) {
      io.out << (i > 0 ? ", " : "") << structure.GetField(i).name;
    }
    io.out << '\n';
  }
  for (const char* table : kReferenceTables) {
    io.out << table << ": ";
    try {
      Value v = s.WorkConn.QueryValue(std::string("SELECT COUNT(*) FROM \"") + table + "\"");
      io.out << v.ToDisplay() << " rows\n";
    } catch (const Error& e) {
      io.out << "unreadable (" << e.NumberDescription() << ")\n";
    }
  }
  const bool whole = TempTablesPresent(main, "status", io.err);
  main.Form_Unload();
  return whole ? 0 : 2;
}

}  // namespace sorvane::cli
