#include "checks/frmCCheckView.h"

#include <ctime>
#include <exception>
#include <span>

#include "checks/ModChecks.h"
#include "checks/marked_copies.h"
#include "checks/problem_places.h"
#include "core/beside_window.h"
#include "core/errors.h"
#include "viewers/frmCMinorTableView.h"

namespace sorvane {
namespace {

constexpr const char* kWindowName = "frmCCheckView";

}  // namespace

frmCCheckView::frmCCheckView(RunState& state)
    : adoProblemRS(std::make_shared<RecordSet>()), state_(state), results_(state.WorkConn) {
  for (const CheckViewMenu& m : CheckViewMenus()) view_.menus.Add(m.name);
}

frmCCheckView::~frmCCheckView() = default;

void frmCCheckView::Form_Load() {
  if (loaded_) {
    state_.ui.WindowShown(kWindowName);
    return;
  }
  loaded_ = true;
  view_.DataGrid1.visible = false;
  for (int i = 0; i < kCheckControls; ++i) {
    view_.optReview[i].visible = false;
    view_.lblStatus[i].visible = false;
  }
  for (int t = 1; t <= 5; ++t) {
    if (state_.Tables[t].TableStatus < stage::kChecksPassed) SetTableStatus(false, t);
  }
  view_.visible = true;
  state_.ui.WindowShown(kWindowName);
  adoProblemRS = std::make_shared<RecordSet>();
  results_.Clear();
  if (state_.SelectedTable == 0) {
    mnuRunChecksAll_Click();
  } else {
    RunAllChecks(state_.SelectedTable, false);
  }
  state_.ui.Refresh();
}

bool frmCCheckView::RunAllChecks(int intChkTable, bool ExcelOutput) {
  if (CheckCount(intChkTable) == 0) return false;
  ++run_depth_;
  if (run_depth_ == 1) reported_.clear();
  state_.SelectedTable = intChkTable;
  current_table_ = intChkTable;
  bool all_passed = true;
  view_.mouse_pointer = kPointerHourglass;

  const int count = BuildChecks(intChkTable, state_.FacilityID, CheckList);
  last_check_ = count - 1;
  PrefetchChecks({intChkTable});
  view_.caption =
      "Table " + std::to_string(intChkTable) + " - " + state_.Tables[intChkTable].Title + " Table";
  view_.DataGrid1.visible = false;
  view_.lblChanges.visible = false;
  // Button 0 keeps its selection: only the others are cleared.
  for (int i = 1; i < kCheckControls; ++i) view_.optReview[i].selected = false;
  for (int i = 0; i <= last_check_; ++i) {
    LabelState& label = view_.lblStatus[i];
    view_.optReview[i].visible = true;
    label.visible = true;
    label.tooltip = CheckList[i].ToolTip;
    label.bold = CheckList[i].Required == 2;
    label.underline = CheckList[i].Required >= 1;
  }
  for (int i = last_check_ + 1; i < kCheckControls; ++i) {
    view_.lblStatus[i].visible = false;
    view_.optReview[i].visible = false;
  }
  state_.ui.Refresh();

  for (int i = 0; i <= last_check_; ++i) {
    // A stopped run gives the table no verdict: its checks did not all run.
    if (state_.Stopped()) {
      view_.mouse_pointer = kPointerDefault;
      --run_depth_;
      return false;
    }
    const bool passed = RunCheck(intChkTable, i);
    ShowCheckResult(i, CheckList[i], !passed);
    CheckList[i].Status = passed;
    view_.optReview[i].enabled = !passed;
    if (!passed) all_passed = false;
  }
  view_.mouse_pointer = kPointerDefault;
  if (state_.KeepsCheckHistory) RecordHistory(intChkTable);

  if (all_passed) {
    SetTableStatus(true, intChkTable);
  } else {
    SetTableStatus(false, intChkTable);
    for (int i = 0; i <= last_check_; ++i) {
      if (CheckList[i].Status) continue;
      view_.DataGrid1.visible = true;
      optReview_Click(i);
      if (!ExcelOutput) break;
      if (WriteCheckErrors) {
        try {
          WriteCheckErrors(intChkTable, i);
        } catch (const std::exception& e) {
          ExportStopped = true;  // the export says nothing; the run goes on
          ExportStopReason = FailureText(e);
        }
      }
    }
  }
  --run_depth_;
  state_.ui.Refresh();
  return all_passed;
}

void frmCCheckView::mnuRunChecksAll_Click() {
  ++run_depth_;
  if (run_depth_ == 1) reported_.clear();
  PrefetchChecks({1, 2, 3, 4, 5});
  for (int t = 1; t <= 5; ++t) RunAllChecks(t, false);
  --run_depth_;
}

void frmCCheckView::SetTableStatus(bool Status, int intTable) {
  if (intTable < 1 || intTable > 5) return;
  state_.Tables[intTable].TableStatus = Status ? stage::kChecksPassed : stage::kChecksFailed;
  view_.menus[RunChecksItem(intTable)].checked = Status;
}

bool frmCCheckView::RunCheck(int /*table*/, int index) {
  if (index < 0 || index >= static_cast<int>(CheckList.size())) return true;
  const clsReviewObject& check = CheckList[index];
  view_.lblStatus[index].caption = check.PendingString;
  state_.ui.Refresh();
  // A fresh record set each time: the one before may be held by the error
  // workbook or a report, which must keep the rows it was given.
  const bool shown = view_.DataGrid1.source == adoProblemRS;
  adoProblemRS = std::make_shared<RecordSet>();
  if (shown) view_.DataGrid1.source = adoProblemRS;
  // The rows are read once: the grid and the error workbook take them as
  // they are.
  try {
    return results_.Get(check.qryProblems)->RecordCount() == 0;
  } catch (const Error& e) {
    ReportError(e.NumberDescription());
    return false;
  }
}

void frmCCheckView::ShowCheckResult(int label, const clsReviewObject& check, bool failed) {
  if (label < 0 || label >= kCheckControls) return;
  LabelState& l = view_.lblStatus[label];
  l.caption = failed ? check.FailString : check.PassString;
  // Highlight only: bold belongs to the severity.
  l.highlighted = failed;
}

void frmCCheckView::SelectCheck(int index) {
  if (!loaded_ || index < 0 || index > last_check_ || index >= static_cast<int>(CheckList.size()))
    return;
  if (run_depth_ == 0) reported_.clear();
  const bool passed = RunCheck(current_table_, index);
  const clsReviewObject& check = CheckList[index];
  if (passed) {
    ShowCheckResult(index, check, false);
    view_.DataGrid1.visible = false;
    view_.optReview[index].enabled = false;
  } else {
    ShowCheckResult(index, check, true);
    view_.DataGrid1.visible = true;
    view_.DataGrid1.caption = "Table " + std::to_string(current_table_) + ": " + check.FailString;
    FillGrid(index, check);
  }
  state_.ui.Refresh();
}

void frmCCheckView::FillGrid(int index, const clsReviewObject& check) {
  std::shared_ptr<RecordSet> problems;
  try {
    problems = results_.Get(check.qryProblems);
  } catch (const Error& e) {
    problems = std::make_shared<RecordSet>();
    problems->Open();
    ReportError(e.NumberDescription());
  }
  adoProblemRS = problems;
  view_.DataGrid1.source = adoProblemRS;
  grid_check_ = {current_table_, check, problems, problems.get(), std::nullopt};
  grid_check_.index = index;
  if (changes_ && changes_table_ == current_table_ &&
      changes_stamp_ == state_.WorkConn.DataStamp()) {
    const auto it = changes_->checks.find(index);
    if (it != changes_->checks.end() && it->second.now == problems->RecordCount())
      grid_check_.is_new = &it->second.is_new;
  }
}

bool frmCCheckView::GridRowIsNew(int64_t row) const {
  const GridCheck& g = grid_check_;
  if (!g.is_new || !adoProblemRS || adoProblemRS.get() != g.shown || row < 0 ||
      row >= adoProblemRS->RecordCount())
    return false;
  const auto added = static_cast<size_t>(adoProblemRS->AddedAt(row));
  return added < g.is_new->size() && (*g.is_new)[added];
}

void frmCCheckView::RecordHistory(int table) {
  grid_check_.is_new = nullptr;  // it points into what is replaced here
  changes_.reset();
  std::string workbooks;
  for (int t = 1; t <= 5; ++t) {
    const SheetOrigin& o = state_.Tables[t].Origin;
    workbooks += o.path.filename().string() + "|" + std::to_string(o.file_size) + "|" +
                 std::to_string(o.file_time.time_since_epoch().count()) + "\n";
  }
  std::map<int, CheckHistory::CheckRows> found;
  int64_t kept = 0;
  for (int i = 0; i <= last_check_; ++i) {
    std::shared_ptr<RecordSet> rows;
    try {
      rows = results_.Get(CheckList[i].qryProblems);
    } catch (const Error&) {
      continue;  // said when it ran; nothing to keep
    }
    CheckHistory::CheckRows& c = found[i];
    c.count = rows->RecordCount();
    c.kept = c.count <= kMostRowsCompared && kept + c.count <= kMostRowsKeptPerTable;
    if (!c.kept) continue;
    c.rows = ProblemRowTexts(*rows);
    kept += c.count;
  }
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char at[32];
  std::strftime(at, sizeof at, "%Y-%m-%d %H:%M", &local);
  changes_ = CheckHistory(state_.paths.CheckHistoryDb())
                 .Record(state_.FacilityID, table, workbooks, at, found);
  changes_table_ = table;
  changes_stamp_ = state_.WorkConn.DataStamp();
  if (!changes_ || changes_->checks.empty()) return;
  for (const auto& [index, change] : changes_->checks) {
    const std::string said = DescribeChange(changes_->since, change);
    if (!said.empty()) view_.lblStatus[index].tooltip = CheckList[index].ToolTip + "\n\n" + said;
  }
  view_.lblChanges.caption = DescribeChanges(*changes_);
  view_.lblChanges.visible = true;
}

std::string frmCCheckView::GridRowPlaces(int64_t row) {
  GridCheck& g = grid_check_;
  if (!loaded_ || !adoProblemRS || adoProblemRS.get() != g.shown || row < 0 ||
      row >= adoProblemRS->RecordCount())
    return "";
  if (!g.hints) g.hints.emplace(state_.WorkConn, state_.FacilityID);
  const std::string hint = g.hints->For(g.table, g.index, *adoProblemRS, row).text;
  // The places of a million rows take seconds to work out, and the hover
  // would freeze the window that long without a sign.
  constexpr int64_t kMostPlaced = 200000;
  if (!g.places && g.rows->RecordCount() > kMostPlaced) {
    return (hint.empty() ? "" : hint + "\n") +
           "Where these rows stand in the workbooks is not looked up here for a check\n"
           "of more than 200,000 rows: Output to Excel > Marked Copies of the Workbooks\n"
           "marks them.";
  }
  if (!g.places) {
    try {
      g.places = ProblemPlaces(state_, g.table, g.check, *g.rows, &results_);
    } catch (const Error&) {
      g.places = PlaceLists();  // said nothing of: the grid shows the rows still
    }
  }
  const auto added = static_cast<size_t>(adoProblemRS->AddedAt(row));
  if (added >= g.places->size()) return hint;
  constexpr size_t kShown = 10;
  const std::span<const SheetPlace> places = (*g.places)[added];
  std::string text =
      GridRowIsNew(row) ? "New since the checks of " + changes_->since + ".\n" : std::string();
  if (!hint.empty()) text += hint + "\n";
  for (size_t i = 0; i < places.size() && i < kShown; ++i)
    text += (i == 0 ? "" : "\n") + DescribePlace(places[i]);
  if (places.size() > kShown)
    text += "\nand " + std::to_string(places.size() - kShown) + " more rows";
  return text;
}

void frmCCheckView::optReview_Click(int index) {
  if (index < 0 || index >= kCheckControls) return;
  for (auto& o : view_.optReview) o.selected = false;
  view_.optReview[index].selected = true;
  SelectCheck(index);
}

void frmCCheckView::DataGrid1_HeadClick(int column) {
  try {
    if (column < 0 || static_cast<size_t>(column) >= adoProblemRS->FieldCount()) return;
    // Sorted as a copy: the rows the error workbook was given keep their order.
    const bool placed = adoProblemRS.get() == grid_check_.shown;
    adoProblemRS = std::make_shared<RecordSet>(*adoProblemRS);
    if (placed) grid_check_.shown = adoProblemRS.get();
    view_.DataGrid1.source = adoProblemRS;
    adoProblemRS->Sort(adoProblemRS->GetField(static_cast<size_t>(column)).name);
    adoProblemRS->MoveFirst();
  } catch (const Error&) {
    return;  // the grid keeps what it shows
  }
  state_.ui.Refresh();
}

void frmCCheckView::mnuRunChecks_Click(int index) {
  if (index >= 1 && index <= 5) {
    RunAllChecks(index, false);
  } else if (index == 7) {
    mnuRunChecksAll_Click();
  } else if (index == 9) {
    Form_Unload();
  }
}

void frmCCheckView::mnuRef_Click(int index) {
  if (index < 0 || index > 3) return;
  References().ShowReferenceList(index);
}

void frmCCheckView::mnuMarkedCopies_Click() {
  if (!loaded_) return;
  std::vector<MarkedProblem> marks;
  ++run_depth_;
  if (run_depth_ == 1) reported_.clear();
  PrefetchChecks({1, 2, 3, 4, 5});
  PrefetchPlaces({1, 2, 3, 4, 5});
  ListHints hints(state_.WorkConn, state_.FacilityID);
  for (int t = 1; t <= 5; ++t) {
    AddImportProblems(state_, t, marks);
    RunAllChecks(t, false);
    for (size_t i = 0; i < CheckList.size(); ++i) {
      const clsReviewObject& check = CheckList[i];
      if (check.Status) continue;
      try {
        const std::shared_ptr<const RecordSet> problems = results_.Get(check.qryProblems);
        AddCheckProblems(t, static_cast<int>(i), check.Required, check.FailString, check.ToolTip,
                         ProblemPlaces(state_, t, check, *problems, &results_),
                         hints.ForEveryRow(t, static_cast<int>(i), *problems), marks);
      } catch (const Error& e) {
        ReportError(e.NumberDescription());
      }
    }
  }
  --run_depth_;
  const std::filesystem::path dir = state_.paths.MarkedCopiesDir();
  view_.mouse_pointer = kPointerHourglass;
  state_.ui.Refresh();
  // A large facility's copies take a while (twenty seconds for a million
  // results), most of it packing the files: they are written beside the
  // window, which meanwhile repaints and answers the desktop.
  MarkedCopiesResult copies;
  try {
    RunBesideWindow(state_.ui, [&] {
      copies = WriteMarkedCopies(state_, {1, 2, 3, 4, 5}, marks, dir);
    });
  } catch (...) {
    view_.mouse_pointer = kPointerDefault;
    throw;
  }
  view_.mouse_pointer = kPointerDefault;
  std::string text;
  if (!copies.written.empty()) {
    text = "Marked copies of the workbooks were written to " + dir.string() + ":";
    for (const auto& file : copies.written) {
      text += "\n  " + file.filename().string() + copies.KeptNote(file);
    }
  }
  for (const std::string& failure : copies.failures) text += (text.empty() ? "" : "\n") + failure;
  if (text.empty()) text = "No workbook was read, so there is nothing to mark.";
  state_.ui.MessageBox(text);
  state_.ui.Refresh();
}

void frmCCheckView::Form_Resize(int width_twips, int height_twips) {
  view_.width = width_twips;
  view_.height = height_twips;
  ResizeGrid(view_.DataGrid1, width_twips, height_twips, 10005, 8340, 9495, 3015);
  state_.ui.Refresh();
}

void frmCCheckView::Form_Unload() {
  if (!loaded_) return;
  if (ReferenceWindow || own_references_) {
    frmCMinorTableView& refs = References();
    if (refs.loaded()) refs.mnuFileExit_Click();
  }
  state_.ui.WindowShown("frmCMain");
  state_.view.mouse_pointer = kPointerDefault;
  view_.mouse_pointer = kPointerDefault;
  view_.visible = false;
  view_.DataGrid1.visible = false;
  view_.DataGrid1.source.reset();
  adoProblemRS = std::make_shared<RecordSet>();
  grid_check_ = {};
  results_.Clear();
  error_workbook_.reset();
  loaded_ = false;
  state_.ui.WindowClosed(kWindowName);
}

void frmCCheckView::PrefetchChecks(const std::vector<int>& tables) {
  std::vector<std::string> queries;
  std::vector<int> table_of;
  std::vector<clsReviewObject> list;
  // The longest first, so that no core is left waiting at the end: the
  // table of results first, and the joins and groupings at the end of each
  // table's list before the simple checks at its start.
  for (auto t = tables.rbegin(); t != tables.rend(); ++t) {
    BuildChecks(*t, state_.FacilityID, list);
    for (auto check = list.rbegin(); check != list.rend(); ++check) {
      queries.push_back(check->qryProblems);
      table_of.push_back(*t);
    }
  }
  CheckResults::FollowUp places;
  if (state_.WantsPlaces) {
    // A check whose places query only adds the rowid is answered by that
    // query alone; each check is looked at once, not at every run.
    for (size_t i = 0; i < queries.size(); ++i) {
      if (results_.Examined(queries[i])) continue;
      std::optional<std::string> carrier;
      try {
        carrier = CarrierQuery(state_.WorkConn, table_of[i], queries[i], state_.FacilityID);
      } catch (const Error&) {
        // Reported when the check itself runs.
      }
      results_.Carry(queries[i], std::move(carrier));
    }
    // A failed check's places query (problem_places.h) runs right after it.
    places = [&, facility = state_.FacilityID](size_t i, const RecordSet& rows,
                                               Connection& conn) -> std::optional<std::string> {
      if (rows.RecordCount() == 0) return std::nullopt;
      PlacesQuery q = MakePlacesQuery(conn, table_of[i], queries[i], facility, rows);
      if (q.own_table.empty()) return std::nullopt;
      return std::move(q.sql);
    };
  }
  results_.Prefetch(queries, places, state_.StopRequested);
}

void frmCCheckView::PrefetchPlaces(const std::vector<int>& tables) {
  std::vector<std::string> queries;
  std::vector<clsReviewObject> list;
  for (auto t = tables.rbegin(); t != tables.rend(); ++t) {
    BuildChecks(*t, state_.FacilityID, list);
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
      const clsReviewObject& check = *it;
      try {
        const std::shared_ptr<const RecordSet> problems = results_.Get(check.qryProblems);
        if (problems->RecordCount() == 0) continue;
        PlacesQuery q =
            MakePlacesQuery(state_.WorkConn, *t, check.qryProblems, state_.FacilityID, *problems);
        if (!q.own_table.empty()) queries.push_back(std::move(q.sql));
      } catch (const Error&) {
        // Reported when the check itself runs.
      }
    }
  }
  results_.Prefetch(queries);
}

frmCMinorTableView& frmCCheckView::References() {
  if (ReferenceWindow) return ReferenceWindow();
  if (!own_references_) own_references_ = std::make_unique<frmCMinorTableView>(state_);
  return *own_references_;
}

void frmCCheckView::ReportError(const std::string& number_description) {
  ++failed_queries_;
  if (state_.Stopped() || !reported_.insert(number_description).second) return;
  state_.ui.MessageBox(number_description);
}

}  // namespace sorvane
