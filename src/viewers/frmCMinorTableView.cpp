#include "viewers/frmCMinorTableView.h"

#include "core/errors.h"
#include "viewers/reference_lists.h"

namespace sorvane {
namespace {

constexpr const char* kWindowName = "frmCMinorTableView";

}  // namespace

frmCMinorTableView::frmCMinorTableView(RunState& state) : state_(state) {
  for (const auto& m : kMenuCaptions) view_.menus.Add(m[0]);
}

bool frmCMinorTableView::ShowReferenceList(int index) {
  const ReferenceList* list = ReferenceListAt(index);
  if (list == nullptr) return false;
  auto snapshot = std::make_shared<RecordSet>();
  try {
    *snapshot = state_.WorkConn.Query(list->sql);
  } catch (const Error& e) {
    state_.ui.MessageBox(e.NumberDescription());
    return false;
  }
  if (!loaded_) Form_Load();
  view_.caption = list->caption;
  view_.DataGrid1.source = std::move(snapshot);
  view_.DataGrid1.visible = true;
  view_.visible = true;
  current_list_ = index;
  Form_Activate();
  state_.ui.WindowShown(kWindowName);
  state_.ui.Refresh();
  return true;
}

void frmCMinorTableView::Form_Load() {
  loaded_ = true;
  view_.grid_allow_update = false;
}

void frmCMinorTableView::Form_Activate() { view_.grid_allow_update = false; }

void frmCMinorTableView::Form_Unload() {
  if (!loaded_) return;
  loaded_ = false;
  view_.visible = false;
  view_.DataGrid1.source.reset();
  view_.DataGrid1.visible = false;
  current_list_ = -1;
  state_.ui.WindowClosed(kWindowName);
}

void frmCMinorTableView::DataGrid1_HeadClick(int column) {
  const std::shared_ptr<RecordSet>& rs = view_.DataGrid1.source;
  if (!rs || column < 0 || static_cast<size_t>(column) >= rs->FieldCount()) return;
  try {
    rs->Sort(rs->GetField(static_cast<size_t>(column)).name);
    rs->MoveFirst();
  } catch (const Error&) {
    return;
  }
  state_.ui.Refresh();
}

void frmCMinorTableView::Form_Resize(int width_twips, int height_twips) {
  view_.width = width_twips;
  view_.height = height_twips;
  ResizeGrid(view_.DataGrid1, width_twips, height_twips, 10545, 7380, 9855, 5895);
  state_.ui.Refresh();
}

}  // namespace sorvane
