#include "import/data_types.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <atomic>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "core/convert.h"
#include "core/text.h"
#include "state/second_core.h"
#include "state/yield_pacer.h"

namespace sorvane {
namespace {

constexpr int64_t kProgressRepaintRows = 8192;
constexpr const char* kMark = "**";

// The structure field that receives a sheet field, with its type and size.
struct Target {
  int field = -1;
  int type = 0;
  int size = 0;
};

std::vector<Target> MapTargets(const RecordSet& sheet, const RecordSet& structure) {
  std::vector<Target> targets(sheet.FieldCount());
  for (size_t i = 0; i < sheet.FieldCount(); ++i) {
    int f = structure.FieldIndex(sheet.GetField(i).name);
    if (f < 0) continue;
    const Field& field = structure.GetField(static_cast<size_t>(f));
    targets[i] = Target{f, field.type, field.defined_size};
  }
  return targets;
}

void StartProgress(RunState& state, int64_t rows) {
  ProgressState& p = state.view.ProgressBar;
  p.min = 1;
  p.max = rows + 1;
  p.value = 1;
}

void StepProgress(RunState& state) {
  if (++state.view.ProgressBar.value % kProgressRepaintRows == 0) state.Refresh();
}

// "**text**", cut inside the marks when the sheet field cannot hold it all.
std::string MarkBad(const std::string& text, int sheet_field_size) {
  std::string marked = kMark + text + kMark;
  if (sheet_field_size > 4 && Utf8Length(marked) > static_cast<size_t>(sheet_field_size)) {
    marked = kMark + Utf8Prefix(text, static_cast<size_t>(sheet_field_size - 4)) + kMark;
  }
  return marked;
}

}  // namespace

bool IsMarkedBad(std::string_view value) {
  return value.size() >= 4 && value.starts_with(kMark) && value.ends_with(kMark);
}

namespace {

// Types a sheet's fields into the structure's rows, a field at a time. Each
// field is one task, taken in turn by whichever thread is free: a failure on
// either stops both.
class FieldTyper {
 public:
  FieldTyper(RunState& state, RecordSet& sheet, RecordSet& structure,
             const std::vector<Target>& targets, size_t passes)
      : state_(state),
        sheet_(sheet),
        structure_(structure),
        targets_(targets),
        rows_(sheet.RecordCount()),
        passes_(passes) {
    for (size_t i = 0; i < targets.size(); ++i) {
      if (targets[i].field >= 0) fields_.push_back(i);
    }
  }

  size_t FieldCount() const { return fields_.size(); }
  bool Failed() const { return failed_; }
  void Fail() { failed_ = true; }

  // Starts pass `pass` over every field: with `storing`, each value goes into
  // the structure and a field typed whole lets its texts go.
  void StartPass(size_t pass, bool storing) {
    pass_ = pass;
    storing_ = storing;
    next_ = 0;
    typed_ = 0;
  }

  // Types fields until none is left or one fails; with `yields`, the window is
  // repainted and its events seen now and then.
  void TypeFields(bool yields) {
    for (size_t f = next_++; f < fields_.size(); f = next_++) {
      const size_t i = fields_[f];
      const Target& t = targets_[i];
      for (int64_t r = 0; r < rows_; ++r) {
        if (failed_.load(std::memory_order_relaxed)) return;
        if (yields && pace_.pacer.Due(pace_.cells++)) Yield(r);
        std::string_view text = sheet_.TextAt(r, i);
        if (text.empty()) continue;    // a new row's fields are already Null
        if (t.type == kTypeVarChar) {  // stored as it is, not made a value first
          const std::optional<std::string_view> sized = SizedText(text, t.size);
          if (!sized) {
            failed_ = true;
            return;
          }
          if (storing_) structure_.SetTextAt(r, static_cast<size_t>(t.field), *sized);
          continue;
        }
        std::optional<Value> v = ConvertText(text, t.type, t.size);
        if (!v) {
          failed_ = true;
          return;
        }
        if (storing_ && !v->IsMissing()) structure_.SetValueAt(r, static_cast<size_t>(t.field), *v);
      }
      if (storing_) sheet_.DropValues(i);
      ++typed_;
    }
  }

 private:
  void Yield(int64_t r) {
    ProgressState& p = state_.view.ProgressBar;
    p.value = p.min + static_cast<int64_t>(((pass_ * fields_.size() + typed_) * rows_ + r) /
                                           (passes_ * fields_.size()));
    state_.Refresh();
    state_.DoEvents();
  }

  RunState& state_;
  RecordSet& sheet_;
  RecordSet& structure_;
  const std::vector<Target>& targets_;
  std::vector<size_t> fields_;  // the sheet fields the structure takes
  const int64_t rows_;
  const size_t passes_;
  size_t pass_ = 0;
  bool storing_ = false;
  std::atomic<size_t> next_{0}, typed_{0};
  std::atomic<bool> failed_{false};
  // Counted on every cell by the thread that yields: kept off the cache lines
  // the other thread reads on every cell.
  struct alignas(64) Pace {
    YieldPacer pacer;
    int64_t cells = 0;
  } pace_;
};

// Both threads type fields; where no second thread can be had, this one types
// every field.
void TypeOnTwoThreads(FieldTyper& typer) {
  std::exception_ptr helper_failure;
  std::thread helper;
  try {
    helper = std::thread([&] {
      try {
        typer.TypeFields(false);
      } catch (...) {
        helper_failure = std::current_exception();
        typer.Fail();
      }
    });
  } catch (const std::system_error&) {
    // No second thread to be had.
  }
  try {
    typer.TypeFields(true);
  } catch (...) {
    typer.Fail();
    if (helper.joinable()) helper.join();
    throw;
  }
  if (helper.joinable()) helper.join();
  if (helper_failure) std::rethrow_exception(helper_failure);
#ifdef __GLIBC__
  // The texts let go were spread over two threads' heaps; the allocator
  // keeps such memory for itself unless asked to hand it back.
  malloc_trim(0);
#endif
}

bool TypeTable(RunState& state, int n) {
  TableInfo& table = state.Tables.at(static_cast<size_t>(n));
  // Own shares of the rows: a window closed while the stage yields replaces
  // the state's record sets.
  const std::shared_ptr<RecordSet> sheet_rows = state.SheetRecordset.at(static_cast<size_t>(n));
  const std::shared_ptr<RecordSet> typed_rows = state.TempRecordset.at(static_cast<size_t>(n));
  RecordSet& sheet = *sheet_rows;
  RecordSet& structure = *typed_rows;
  table.StageOK = false;
  table.TableStatus = stage::kDataTypes;
  // The bar starts this stage empty before the label asks for a repaint.
  const int64_t rows = sheet.RecordCount();
  StartProgress(state, rows);
  state.SetTableLabel(n, "Checking Data Types for Table " + std::to_string(n) + " ...", true);
  state.view.mouse_pointer = kPointerHourglass;
  if (!structure.IsOpen()) structure.Open();
  structure.Clear();

  const std::vector<Target> targets = MapTargets(sheet, structure);
  for (int64_t r = 0; r < rows; ++r) structure.AddNew();
  // Field by field, as the rows are stored: a field typed whole has no value
  // to mark, so its texts can go at once. Without a window to repaint the
  // rows, two cores take the fields. A window shows a bad value marked in the
  // whole sheet, so there the sheet is first checked whole and only then
  // typed: a million results' texts and typed rows are never both held whole.
  const bool checks_first = state.KeepsImportedRows;
  FieldTyper typer(state, sheet, structure, targets, checks_first ? 2 : 1);
  if (checks_first) {
    typer.StartPass(0, false);
    typer.TypeFields(true);
    if (!typer.Failed()) {
      // A sheet on view would lose its columns one by one: it is on view as
      // the Table View now shows it, from the typed rows as they are made.
      if (state.view.DataGrid1.source == sheet_rows) state.view.DataGrid1.source = typed_rows;
      typer.StartPass(1, true);
      typer.TypeFields(true);
    }
  } else {
    typer.StartPass(0, true);
    if (typer.FieldCount() < 2 || !UsesSecondCore(state, rows)) {
      typer.TypeFields(true);
    } else {
      TypeOnTwoThreads(typer);
    }
  }
  const bool ok = !typer.Failed();
  state.view.ProgressBar.value = state.view.ProgressBar.min + rows;

  if (!ok) {
    // Typed rows of a sheet that failed would only mislead a later reader.
    structure.Clear();
    table.TableStatus = stage::kFacilityIds;
    MarkDataTypeProblems(state, n);
    return false;
  }
  if (structure.RecordCount() > 0) structure.MoveFirst();
  // From this stage on the table is shown from its typed rows; the texts of
  // the fields the structure does not take go too (the others went as typed).
  if (state.KeepsImportedRows) {
    for (size_t i = 0; i < targets.size(); ++i) {
      if (targets[i].field < 0) sheet.DropValues(i);
    }
  }
  state.SetTableLabel(n, "Data Types OK for Table " + std::to_string(n), false);
  table.StageOK = true;
  table.TableStatus = stage::kDataTypes;
  state.view.mouse_pointer = kPointerDefault;
  return true;
}

}  // namespace

bool ConvertDataTypes(RunState& state, int n) {
  try {
    return TypeTable(state, n);
  } catch (const std::bad_alloc&) {
    // Neither the texts nor what was typed stay: the other tables go on with
    // the room they took, and this one is read again once there is room.
    TableInfo& table = state.Tables.at(static_cast<size_t>(n));
    state.TempRecordset.at(static_cast<size_t>(n))->Clear();
    state.SheetRecordset.at(static_cast<size_t>(n))->Reset();
    table.SkippedRows.clear();
    table.Origin.record_rows.clear();
    table.Origin.type_marks.clear();
    table.StageOK = false;
    table.TableStatus = stage::kNone;
    const std::string t = std::to_string(n);
    state.view.mouse_pointer = kPointerDefault;
    state.SetTableLabel(n, "Table " + t + " not imported.", false);
    state.ui.MessageBox("Table " + t +
                        " could not be imported: there is not enough memory (it ran out while its "
                        "data types were checked). Close other programs and import the table "
                        "again.");
    return false;
  }
}

void MarkDataTypeProblems(RunState& state, int n) {
  auto sheet_ptr = state.SheetRecordset.at(static_cast<size_t>(n));
  RecordSet& sheet = *sheet_ptr;
  RecordSet& structure = *state.TempRecordset.at(static_cast<size_t>(n));
  state.view.DataGrid1.source = sheet_ptr;
  state.view.DataGrid1.visible = true;
  state.view.ProgressBar.visible = true;
  state.view.mouse_pointer = kPointerHourglass;
  const int64_t rows = sheet.RecordCount();
  StartProgress(state, rows);
  if (!structure.IsOpen()) structure.Open();

  const std::vector<Target> targets = MapTargets(sheet, structure);
  std::vector<bool> bad(sheet.FieldCount(), false);
  std::vector<CellMark>& marks = state.Tables.at(static_cast<size_t>(n)).Origin.type_marks;
  marks.clear();
  std::string text;
  for (int64_t r = 0; r < rows; ++r) {
    sheet.SetPosition(r);
    for (size_t i = 0; i < targets.size(); ++i) {
      const Target& t = targets[i];
      if (t.field < 0) continue;
      text.assign(sheet.TextAt(r, i));  // a copy: storing may move the sheet's texts
      if (text.empty()) continue;
      const int sheet_size = sheet.GetField(i).defined_size;
      switch (t.type) {
        case kTypeInteger:
        case kTypeSingle:
        case kTypeDate: {
          const bool good = t.type == kTypeInteger  ? IsIntegerText(text)
                            : t.type == kTypeSingle ? IsSingleText(text)
                                                    : IsDateText(text);
          if (!good) {
            sheet.SetValue(i, Value::Text(MarkBad(text, sheet_size)));
            bad[i] = true;
            marks.push_back({static_cast<int32_t>(r), static_cast<int32_t>(i)});
          }
          break;
        }
        case kTypeVarChar: {
          // Measured after trimming, as the conversion measures it (a negative
          // size sets no limit there either), so a text that converts is never
          // marked.
          std::string_view trimmed = Trim(text);
          if (t.size < 0 || !Utf8LongerThan(trimmed, static_cast<size_t>(t.size))) {
            if (trimmed.size() != text.size()) sheet.SetValue(i, Value::Text(std::string(trimmed)));
          } else {
            std::string marked = kMark + std::string(trimmed);
            sheet.SetValue(i, Value::Text(Utf8Prefix(marked, static_cast<size_t>(t.size))));
            bad[i] = true;
            marks.push_back({static_cast<int32_t>(r), static_cast<int32_t>(i)});
          }
          break;
        }
        default:
          break;
      }
    }
    StepProgress(state);
  }
  if (rows > 0) sheet.MoveFirst();

  state.view.mouse_pointer = kPointerDefault;
  std::string caption = "Data Type Problems for Table " + std::to_string(n) + ": ";
  for (size_t i = 0; i < bad.size(); ++i) {
    if (bad[i]) caption += sheet.GetField(i).name + ", ";
  }
  caption.resize(caption.size() - 2);
  LabelState& label = state.StatusLabel(n);
  label.caption = caption;
  state.Refresh();
}

}  // namespace sorvane
