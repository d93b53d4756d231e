// The reference-list window as a UI-free class: one instance for the whole run
// shows one of the four reference lists at a time in its grid. Each opening
// takes a fresh read-only snapshot of the list; a list already on screen keeps
// the rows it had when it was opened. The window does not block the others.
#pragma once

#include <memory>
#include <string>

#include "core/record_set.h"
#include "state/run_state.h"
#include "state/view_state.h"

namespace sorvane {

struct ReferenceViewState {
  std::string caption;
  bool visible = false;
  GridState DataGrid1{false, "", nullptr, 5895, 9855};
  // The grid never edits: the list is a snapshot of the reference table.
  bool grid_allow_update = false;
  // "mnuFileHeader" ("&Table") and its one item "mnuFileExit" ("E&xit").
  MenuMap menus;
  int width = 10545;  // twips
  int height = 7380;
};

class frmCMinorTableView {
 public:
  explicit frmCMinorTableView(RunState& state);

  // Opens list `index` (0..3): caption, a new snapshot of the list's query on
  // the work database, the grid bound to it, the window shown (not modal).
  // False for another index, or when the database rejects the query: then the
  // message box shows "number description" and the window is left as it was.
  bool ShowReferenceList(int index);

  // The grid is set not to accept edits on load and each activation.
  void Form_Load();
  void Form_Activate();
  // "E&xit": unloads the window; the snapshot goes with it.
  void mnuFileExit_Click() { Form_Unload(); }
  void Form_Unload();
  // Sorts the list ascending on column `column`; errors are ignored.
  void DataGrid1_HeadClick(int column);
  // Grid height = height - 1485 and width = width - 690, each only when > 100.
  void Form_Resize(int width_twips, int height_twips);

  bool loaded() const { return loaded_; }
  // The list on screen (-1 when none).
  int current_list() const { return current_list_; }
  ReferenceViewState& view() { return view_; }
  const ReferenceViewState& view() const { return view_; }

  static constexpr const char* kMenuCaptions[][2] = {{"mnuFileHeader", "&Table"},
                                                     {"mnuFileExit", "E&xit"}};

 private:
  RunState& state_;
  ReferenceViewState view_;
  bool loaded_ = false;
  int current_list_ = -1;
};

}  // namespace sorvane
