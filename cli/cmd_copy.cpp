// `sorvane copy FACILITY_ID --cd|--floppy|--from DIR`: the "CD" and "Floppy"
// menus of the main window, with the Facility ID typed into its box.
#include <filesystem>
#include <memory>
#include <ostream>

#include "acquire/drive_probe.h"
#include "commands.h"
#include "console_ui.h"
#include "program_start.h"
#include "shell/frmCMain.h"

namespace sorvane::cli {

int RunCopy(const Paths& paths, const std::string& facility_id, const std::string& source,
            const std::string& from_dir, Streams io, std::shared_ptr<DriveProbe> drives,
            std::chrono::steady_clock::duration media_wait) {
  if (source == "folder") {
    std::error_code ec;
    if (!std::filesystem::is_directory(from_dir, ec)) {
      // A workbook named in place of its folder is the likely slip.
      if (std::filesystem::exists(from_dir, ec))
        io.err << from_dir << " is not a folder: name the folder that holds the workbooks.\n";
      else
        io.err << "No folder " << from_dir << " to copy from.\n";
      return 2;
    }
  }
  ConsoleUi ui(io.err);
  // Nobody answers between two questions of a batch run: after the one wait for
  // a medium that is not ready, "Re-Install media" is answered Cancel, as OK
  // would only ask again, for ever.
  ui.ok_cancel_answer = false;
  frmCMain main(ui, paths);
  if (!StartProgram(main, io.err)) return 2;
  main.state().view.txtFacilityID.text = facility_id;
  if (drives) main.SetDriveProbe(std::move(drives));
  main.SetMediaWait(media_wait);
  CopyOutcome outcome;
  if (source == "folder") {
    main.SetDriveProbe(std::make_shared<FolderDriveProbe>(from_dir));
    outcome = main.mnuDataLoadCD_Click();  // the folder stands for a ready drive of either type
  } else if (source == "cd") {
    outcome = main.mnuDataLoadCD_Click();
  } else {
    outcome = main.mnuDataLoadFloppy_Click();
  }
  const std::string status = main.state().view.lblStatusAll.caption;
  const bool copied = outcome == CopyOutcome::kCopied;
  // The window's line keeps its last text: "Copying Files . . ." after a
  // failed copy would read as a copy still going on.
  if (copied && !status.empty()) io.out << status << '\n';
  if (copied) io.out << "Workbook folder: " << paths.WorkbookDir().string() << '\n';
  main.Form_Unload();
  return copied ? 0 : 1;
}

}  // namespace sorvane::cli
