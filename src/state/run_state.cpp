#include "state/run_state.h"

namespace sorvane {

RunState::RunState(UiPort& ui_port, Paths data_paths)
    : ui(ui_port), paths(std::move(data_paths)), FileList(std::make_shared<RecordSet>()) {
  static const char* kTitles[] = {"",           "Sample Location", "Well Data", "Water Level",
                                  "Field Data", "Analytical Data"};
  for (int n = 1; n <= 5; ++n) {
    Tables[n].TempName = "TEMP" + std::to_string(n);
    Tables[n].Title = kTitles[n];
    SheetRecordset[n] = std::make_shared<RecordSet>();
    TempRecordset[n] = std::make_shared<RecordSet>();
  }
  view.Option1[0].caption = "Flag as new: All Data";
  view.Option1[1].caption = "Flag as new: Data for samples collected after:";
}

void RunState::SetTableLabel(int n, const std::string& caption, bool highlighted) {
  LabelState& l = StatusLabel(n);
  SetHighlight(l, highlighted);
  l.caption = caption;
  ui.Refresh();
}

void RunState::SetStatusLine(const std::string& caption) {
  view.lblStatusAll.caption = caption;
  ui.Refresh();
}

}  // namespace sorvane
