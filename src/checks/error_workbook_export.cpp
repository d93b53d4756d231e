#include "checks/error_workbook_export.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "checks/ModChecks.h"
#include "checks/error_workbook_writer.h"
#include "checks/frmCCheckView.h"
#include "checks/workbook_stamp.h"
#include "core/beside_window.h"
#include "core/convert.h"
#include "core/errors.h"
#include "core/text.h"

namespace sorvane {
namespace fs = std::filesystem;

namespace {

constexpr int kMaxUnaskedRecords = 100;
const CellFont kSheetTitleFont{true, 12, 0};
const CellFont kCheckTitleFont{true, 10, kTitleGreen};

std::string TableText(int n) { return std::to_string(n); }

// A Facility ID is checked for its length only, so it may hold characters that
// would turn the file name into a path.
std::string FileNameSafe(const std::string& text) {
  std::string out;
  for (char c : text) {
    const bool bad = static_cast<unsigned char>(c) < 0x20 ||
                     std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos;
    out += bad ? '_' : c;
  }
  return out;
}

}  // namespace

std::optional<double> ParseRecordCount(const std::string& answer) {
  const std::string_view text = Trim(answer);
  if (text.empty()) return std::nullopt;
  std::string_view digits = text;
  if (digits.front() == '+') digits.remove_prefix(1);
  double value = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (ec != std::errc() || end != digits.data() + digits.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return RoundHalfEven(value);
}

ErrorWorkbookExport::ErrorWorkbookExport(RunState& state, frmCCheckView& view)
    : state_(state), view_(view) {}

fs::path ErrorWorkbookExport::output_path() const {
  if (!output_path_.empty()) return output_path_;
  return state_.paths.data_dir / ("Errors - " + FileNameSafe(state_.FacilityID) + ".xlsx");
}

ExportResult ErrorWorkbookExport::mnuExcelChecks_Click(int index) {
  ExportResult result;
  const int failures_before = view_.failed_queries();
  const bool stopped_before = view_.ExportStopped && index != 7;
  if (index >= 1 && index <= 5) {
    PrepareErrorSheet(index);
    view_.RunAllChecks(index, true);
    if (TableExported) TableExported(index);
  } else if (index == 7) {
    view_.ExportStopped = false;
    view_.ExportStopReason.clear();
    view_.PrefetchChecks({1, 2, 3, 4, 5});
    for (int n = 1; n <= 5; ++n) {
      if (view_.ExportStopped || state_.Stopped()) break;
      PrepareErrorSheet(n);
      view_.RunAllChecks(n, true);
      if (TableExported) TableExported(n);
    }
  } else {
    return result;
  }
  if (state_.Stopped()) return result;
  result.file = Save();
  result.saved = !result.file.empty();
  result.whole = result.saved && !view_.ExportStopped && view_.failed_queries() == failures_before;
  if (result.saved && view_.ExportStopped && !stopped_before)
    result.stopped_by = view_.ExportStopReason;
  return result;
}

std::string ErrorWorkbookExport::ContinuationName(int n, int k) {
  return TableText(n) + " (" + std::to_string(k) + ")";
}

void ErrorWorkbookExport::PrepareErrorSheet(int n) {
  if (!workbook_) {
    workbook_ = std::make_unique<ErrorWorkbook>();
    title_ = "Errors - " + state_.FacilityID;
    for (int i = 1; i <= 5; ++i) {
      ErrorSheet& sheet = workbook_->Sheet(workbook_->AddSheet(TableText(i)));
      sheet.SetText(1, "Possible Problems for Table " + TableText(i) + " not Exported yet.");
      sheet.SetFont(1, kSheetTitleFont);
    }
  }
  // The sheets an earlier export of the table continued on go with it.
  for (int k = 2; const int index = workbook_->FindSheet(ContinuationName(n, k)); ++k) {
    workbook_->DeleteSheet(index);
  }
  const int index = workbook_->FindSheet(TableText(n));
  ErrorSheet& sheet = workbook_->Sheet(index);
  sheet.ClearContents();
  sheet.SetText(1, "No Problems for Table " + TableText(n));
  workbook_->Activate(index);
  sheet_ = index;
  continuation_ = 1;
}

ErrorSheet& ErrorWorkbookExport::NextSheet(int n) {
  ++continuation_;
  sheet_ = workbook_->AddSheet(ContinuationName(n, continuation_), sheet_ + 1);
  ErrorSheet& sheet = workbook_->Sheet(sheet_);
  sheet.SetText(1, "Problems with Table " + TableText(n) + " (continued)");
  sheet.SetFont(1, kSheetTitleFont);
  return sheet;
}

void ErrorWorkbookExport::set_sheet_rows(int64_t rows) {
  // A sheet must hold its title, a block's title, its field names and a record.
  sheet_rows_ = std::clamp<int64_t>(rows, 4, kSheetRows);
}

void ErrorWorkbookExport::WriteCheckErrors(int n, int i) {
  try {
    ErrorSheet* sheet = &workbook_->Sheet(sheet_);
    if (continuation_ == 1) {
      sheet->SetText(1, "Problems with Table " + TableText(n));
      sheet->SetFont(1, kSheetTitleFont);
    }
    if (i < 0 || i >= static_cast<int>(view_.CheckList.size()))
      throw Error(9, "Subscript out of range");
    const clsReviewObject& check = view_.CheckList[static_cast<size_t>(i)];
    const std::string block_title = check.FailString + SeverityWording(check.Required);
    // The blocks follow each other without a gap; what would pass the
    // sheet's last row goes on, under its title, on a sheet "n (2)", ...
    if (sheet->RowCount() >= sheet_rows_) sheet = &NextSheet(n);
    const int64_t row = sheet->RowCount() + 1;
    sheet->SetText(row, block_title);
    sheet->SetFont(row, kCheckTitleFont);

    // The check window never changes a record set once it showed it.
    const std::shared_ptr<const RecordSet> records = view_.adoProblemRS;
    const int64_t total = records->RecordCount();
    int64_t to_write = total;
    if (total > kMaxUnaskedRecords) {
      const std::string count = std::to_string(total);
      std::optional<std::string> answer = state_.ui.InputBox(
          "There are " + count + " error records for '" + check.FailString +
              "' Enter the number to output to Excel and Press Enter or Press Cancel to skip this "
              "check.",
          "Error Records for " + check.FailString, count);
      if (!answer || answer->empty()) {
        sheet->Append(row, ":  Skipped " + count + " records.");
        return;
      }
      std::optional<double> wanted = ParseRecordCount(*answer);
      if (!wanted) throw Error(13, "Type mismatch");
      if (*wanted < 1) return;
      if (*wanted <= static_cast<double>(total)) {
        to_write = static_cast<int64_t>(*wanted);
        sheet->Append(row, std::to_string(to_write) + " of " + count + " output.");
      }
    }

    for (int64_t first = 0; first < to_write;) {
      // The field names and at least one record must fit below.
      if (sheet->RowCount() + 2 > sheet_rows_) {
        sheet = &NextSheet(n);
        sheet->SetText(2, block_title + " (continued)");
        sheet->SetFont(2, kCheckTitleFont);
      }
      const int64_t take = std::min(to_write - first, sheet_rows_ - sheet->RowCount() - 1);
      sheet->AddRecords(records, first, take);
      sheet->FitColumns();
      first += take;
    }
  } catch (const Error& e) {
    view_.ExportStopped = true;
    view_.ExportStopReason = e.NumberDescription();
  }
}

fs::path ErrorWorkbookExport::Save() {
  if (!workbook_) return {};
  const fs::path path = output_path();
  try {
    KeepChangedFile(path);
    bool saved = false;
    auto save = [&] { saved = SaveErrorWorkbook(*workbook_, title_, path, state_.StopRequested); };
    // A million problem rows take seconds to write and pack: the window keeps
    // painting meanwhile, as for the marked copies.
    if (state_.ui.ShowsWindows()) {
      RunBesideWindow(state_.ui, save);
    } else {
      save();
    }
    if (!saved) return {};
  } catch (const Error& e) {
    state_.ui.MessageBox(e.NumberDescription());
    return {};
  }
  last_saved_ = path;
  state_.ui.OpenDocument(path.string());
  return path;
}

// The check window's side of the export: its menu and the hook its check run calls.
ExportResult frmCCheckView::mnuExcelChecks_Click(int index) {
  return ErrorExport().mnuExcelChecks_Click(index);
}

ErrorWorkbookExport& frmCCheckView::ErrorExport() {
  if (!error_workbook_) {
    error_workbook_ = std::make_shared<ErrorWorkbookExport>(state_, *this);
    WriteCheckErrors = [this](int table, int index) {
      ErrorExport().WriteCheckErrors(table, index);
    };
  }
  return *error_workbook_;
}

}  // namespace sorvane
