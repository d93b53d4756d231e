// `sorvane template FACILITY_ID --to DIR`: the five empty workbooks of a
// facility, headed and shaped as the import expects them, for a contractor
// to fill in. The program starts as the window does, for the expected fields
// and the agency's lists of the work database.
#include <ostream>

#include "acquire/workbook_set.h"
#include "commands.h"
#include "console_ui.h"
#include "core/errors.h"
#include "core/text.h"
#include "program_start.h"
#include "shell/frmCMain.h"
#include "templates/workbook_templates.h"

namespace sorvane::cli {

int RunTemplate(const Paths& paths, const std::string& facility_id, const std::string& folder,
                Streams io) {
  ConsoleUi ui(io.err);
  frmCMain main(ui, paths);
  if (!StartProgram(main, io.err)) return 2;
  RunState& s = main.state();
  s.view.txtFacilityID.text = facility_id;
  int status = 2;
  if (CheckFacilityIDForm(s)) {
    try {
      for (const auto& file : WriteWorkbookTemplates(s, facility_id, folder))
        io.out << "Template: " << ForTerminal(file.string()) << '\n';
      status = 0;
    } catch (const Error& e) {
      io.err << "template: " << ForTerminal(e.NumberDescription()) << '\n';
    }
  }
  main.Form_Unload();
  return status;
}

}  // namespace sorvane::cli
