#include "checks/error_workbook_export.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "checks/ModChecks.h"
#include "checks/error_workbook_writer.h"
#include "checks/frmCCheckView.h"
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

void ErrorWorkbookExport::mnuExcelChecks_Click(int index) {
  if (index >= 1 && index <= 5) {
    PrepareErrorSheet(index);
    view_.RunAllChecks(index, true);
    if (TableExported) TableExported(index);
  } else if (index == 7) {
    view_.ExportStopped = false;
    for (int n = 1; n <= 5; ++n) {
      if (view_.ExportStopped) break;
      PrepareErrorSheet(n);
      view_.RunAllChecks(n, true);
      if (TableExported) TableExported(n);
    }
  } else {
    return;
  }
  Save();
}

void ErrorWorkbookExport::PrepareErrorSheet(int n) {
  if (!workbook_) {
    workbook_ = std::make_unique<ErrorWorkbook>();
    title_ = "Errors - " + state_.FacilityID;
    for (int i = 1; i <= 5; ++i) {
      ErrorSheet& sheet = workbook_->Sheet(workbook_->AddSheet(TableText(i)));
      sheet.SetText(1, 1, "Possible Problems for Table " + TableText(i) + " not Exported yet.");
      sheet.SetFont(1, 1, kSheetTitleFont);
    }
  }
  ErrorSheet& sheet = workbook_->Sheet(n);
  sheet.ClearContents();
  sheet.SetText(1, 1, "No Problems for Table " + TableText(n));
  workbook_->Activate(n);
}

void ErrorWorkbookExport::WriteCheckErrors(int n, int i) {
  try {
    ErrorWorkbook& book = *workbook_;
    ErrorSheet& sheet = book.Sheet(n);
    book.Activate(n);
    sheet.SetText(1, 1, "Problems with Table " + TableText(n));
    sheet.SetFont(1, 1, kSheetTitleFont);

    // The blocks follow each other without a gap, so the end of column A is
    // the end of the previous block.
    int row = 1;
    if (sheet.RegionAroundA1HasMoreCells()) row = sheet.EndDown(1, 1);
    ++row;
    if (row > kSheetRows)
      throw Error(kErrSpreadsheet, "Application-defined or object-defined error");

    if (i < 0 || i >= static_cast<int>(view_.CheckList.size()))
      throw Error(9, "Subscript out of range");
    const clsReviewObject& check = view_.CheckList[static_cast<size_t>(i)];
    sheet.SetText(row, 1, check.FailString);
    sheet.SetFont(row, 1, kCheckTitleFont);
    sheet.Append(row, 1, SeverityWording(check.Required));

    const RecordSet& records = *view_.adoProblemRS;
    const size_t fields = records.FieldCount();
    const int64_t total = records.RecordCount();
    int64_t to_write = total;
    if (total > kMaxUnaskedRecords) {
      const std::string count = std::to_string(total);
      std::optional<std::string> answer = state_.ui.InputBox(
          "There are " + count + " error records for '" + check.FailString +
              "' Enter the number to output to Excel and Press Enter or Press Cancel to skip this "
              "check.",
          "Error Records for " + check.FailString, count);
      if (!answer || answer->empty()) {
        sheet.Append(row, 1, ":  Skipped " + count + " records.");
        return;
      }
      std::optional<double> wanted = ParseRecordCount(*answer);
      if (!wanted) throw Error(13, "Type mismatch");
      if (*wanted < 1) return;
      if (*wanted <= static_cast<double>(total)) {
        to_write = static_cast<int64_t>(*wanted);
        sheet.Append(row, 1, std::to_string(to_write) + " of " + count + " output.");
      }
    }

    if (row + 1 + to_write > kSheetRows) {
      throw Error(kErrSpreadsheet, "Application-defined or object-defined error");
    }
    for (size_t j = 0; j < fields; ++j) {
      sheet.SetText(row + 1, static_cast<int>(j) + 1, records.GetField(j).name);
    }
    for (int64_t r = 0; r < to_write; ++r) {
      for (size_t j = 0; j < fields; ++j) {
        // The blank keeps every cell filled, so column A has no gap.
        sheet.SetText(row + 2 + static_cast<int>(r), static_cast<int>(j) + 1,
                      records.At(r, j).ToDisplay() + " ");
      }
    }
    sheet.AutoFit(2, 26);
    sheet.SetColumnWidth(1, std::min(kMaxColumnWidth, 2 * sheet.ColumnWidth(2)));
  } catch (const Error&) {
    view_.ExportStopped = true;
  }
}

namespace {

// The first "<stem> (n)<ext>" beside `path` that does not exist yet.
fs::path FreeSiblingName(const fs::path& path) {
  std::error_code ec;
  for (int n = 1;; ++n) {
    fs::path candidate = path.parent_path() / (path.stem().string() + " (" + std::to_string(n) +
                                               ")" + path.extension().string());
    if (!fs::exists(candidate, ec)) return candidate;
  }
}

}  // namespace

void ErrorWorkbookExport::KeepChangedFile(const fs::path& path) {
  std::error_code ec;
  // Anything but a file is left for the save to fail on.
  if (!fs::is_regular_file(path, ec) || IsUntouchedErrorWorkbook(path)) return;
  const fs::path kept = FreeSiblingName(path);
  fs::rename(path, kept, ec);
  if (ec) throw FileError(75, "Could not keep " + path.string() + ": " + ec.message());
}

void ErrorWorkbookExport::Save() {
  if (!workbook_) return;
  const fs::path path = output_path();
  try {
    KeepChangedFile(path);
    SaveErrorWorkbook(*workbook_, title_, path);
  } catch (const Error& e) {
    state_.ui.MessageBox(e.NumberDescription());
    return;
  }
  last_saved_ = path;
  state_.ui.OpenDocument(path.string());
}

// The check window's side of the export: its menu and the hook its check run calls.
void frmCCheckView::mnuExcelChecks_Click(int index) { ErrorExport().mnuExcelChecks_Click(index); }

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
