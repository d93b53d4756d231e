#include "state/run_state.h"

#include <algorithm>

namespace sorvane {
namespace {

// The main window's menus, as it is built: every item enabled but "Cancel
// Access Transfer" and the table views.
void DefineMenus(MenuMap& m) {
  for (const char* name :
       {menu::kDataLoad, menu::kNewSite, menu::kDataLoadCD, menu::kDataLoadFloppy,
        menu::kDataLoadFolder, menu::kDataTemplates, menu::kDataMended, menu::kExit,
        menu::kImportHeader, menu::kChecksHeader, menu::kTableViewHeader, menu::kSpace1,
        menu::kCancelXfer, menu::kViewRefTitle}) {
    m.Add(name);
  }
  for (int i = 0; i <= 5; ++i) {
    m.Add(menu::RunData(i));
    m.Add(menu::CheckTables(i));
    m.Add(menu::TabView(i));
    m.Add(menu::ViewRef(i));
  }
  for (int i = 1; i <= 5; ++i) m[menu::TabView(i)].enabled = false;
  m[menu::kCancelXfer].enabled = false;
}

}  // namespace

const char* TableTitle(int table) {
  static const char* const kTitles[] = {"",           "Sample Location", "Well Data", "Water Level",
                                        "Field Data", "Analytical Data"};
  return table >= 1 && table <= 5 ? kTitles[table] : "";
}

RunState::RunState(UiPort& ui_port, Paths data_paths)
    : ui(ui_port), paths(std::move(data_paths)), FileList(std::make_shared<RecordSet>()) {
  for (int n = 1; n <= 5; ++n) {
    Tables[n].TempName = "TEMP" + std::to_string(n);
    Tables[n].Title = TableTitle(n);
    SheetRecordset[n] = std::make_shared<RecordSet>();
    TempRecordset[n] = std::make_shared<RecordSet>();
  }
  view.Option1[0].caption = "Flag as new: All Data";
  view.Option1[1].caption = "Flag as new: Data for samples collected after:";
  DefineMenus(view.menus);
}

std::string SkippedRowsText(const TableInfo& table) {
  const std::vector<int64_t>& rows = table.SkippedRows;
  if (rows.empty()) return "";
  constexpr size_t kNamed = 5;
  std::string text = " " + std::to_string(rows.size()) + (rows.size() == 1 ? " row" : " rows") +
                     " skipped, first cell empty: ";
  text += rows.size() == 1 ? "row " : "rows ";
  const size_t named = std::min(rows.size(), kNamed);
  for (size_t i = 0; i < named; ++i) {
    if (i > 0) text += i + 1 == named && rows.size() == named ? " and " : ", ";
    text += std::to_string(rows[i]);
  }
  if (rows.size() > named) text += " and " + std::to_string(rows.size() - named) + " more";
  text += ".";
  // Every row skipped, and the field names right of column A: the table was
  // written a column (or more) in, and the empty column in front of it is what
  // skipped every row.
  const SheetOrigin& o = table.Origin;
  if (o.record_rows.empty() && !o.header_columns.empty() && o.header_columns.front() > 0) {
    text += " The table starts in column " + ColumnLetters(o.header_columns.front()) +
            ": delete the columns before it, save the " + (o.exported_table ? "file" : "workbook") +
            " and import the table again.";
  }
  return text;
}

std::function<bool()> RunState::KeepGoing() {
  return [this, pacer = YieldPacer(), beats = int64_t{0}]() mutable {
    if (!pacer.Due(beats++ * YieldPacer::kCheckEvery)) return true;
    DoEvents();
    return !CancelRequested;
  };
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
