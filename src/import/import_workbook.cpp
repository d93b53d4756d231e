#include "import/import_workbook.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <new>
#include <string_view>

#include "acquire/folder_scan.h"
#include "core/convert.h"
#include "core/errors.h"
#include "core/text.h"
#include "import/readers/read_ahead.h"
#include "state/yield_pacer.h"

namespace sorvane {
namespace {

// The progress bar and grid are repainted now and then while rows stream in;
// repainting on every row would cost more than reading it.
constexpr int64_t kProgressRepaintRows = 8192;
// Below this a workbook is read before a second thread would have started.
constexpr uintmax_t kReadAheadBytes = uintmax_t{1} << 20;

// The reading of rows was given up; what the user is told depends on the cause.
struct ReadFailure {
  enum class Kind {
    kNone,
    kDuplicateHeader,
    kDuplicateElsewhere,
    kTooLong,
    kParse,
    kOther,
    kCancelled
  };
  Kind kind = Kind::kNone;
  std::string text;  // the field name, the value, the unparsed rest or the description
};

// Thrown where a cancel came while the rows were awaited from the reader.
struct ReadCancelled {};

// A row that, written as the tab-joined line a spreadsheet saves, sorts after a
// single blank: not empty, and beginning with a character above the blank or
// with a blank that is not the whole line. A row whose first cell is empty
// (the line would begin with a tab) never does, whatever the other cells hold.
bool RowAddsRecord(const std::vector<std::string>& cells) {
  if (cells.empty() || cells[0].empty()) return false;
  const auto first = static_cast<unsigned char>(cells[0][0]);
  if (first > ' ') return true;
  if (first == ' ') return cells[0].size() > 1 || cells.size() > 1;
  return false;
}

// Whether a row a person typed something into: a cell holds more than blanks.
bool HoldsData(const std::vector<std::string>& cells, const RowFormats& formats) {
  for (size_t c = 0; c < formats.Filled(cells); ++c) {
    if (cells[c].find_first_not_of(' ') != std::string::npos) return true;
  }
  return false;
}

// A value a spreadsheet enclosed in double quotes: the first and the last
// character go, whatever the last one is. A lone quote leaves nothing.
std::string_view StripQuotes(std::string_view v) {
  if (v.empty() || v.front() != '"') return v;
  if (v.size() == 1) return {};
  size_t last = v.size() - 1;  // start of the last UTF-8 character
  while (last > 1 && (static_cast<unsigned char>(v[last]) & 0xC0) == 0x80) --last;
  return v.substr(1, last - 1);
}

std::string JoinFrom(const std::vector<std::string>& cells, size_t from) {
  std::string out;
  for (size_t i = from; i < cells.size(); ++i) {
    if (i > from) out += '\t';
    out += cells[i];
  }
  return out;
}

std::string Label(int n, const char* what) { return "Table " + std::to_string(n) + what; }

// Memory running out is no problem of the row being read, though it shows
// while one is: the person is told what happened, not shown that row.
std::string OutOfMemory(int n, int64_t row) {
  return "Table " + std::to_string(n) + " could not be read: there is not enough memory" +
         (row > 0 ? " (it ran out at row " + std::to_string(row) + " of the workbook)" : "") +
         ". Close other programs and import the table again.";
}

// Tells the user why table n was not imported.
void ReportFailure(RunState& state, int n, const ReadFailure& f) {
  state.SetTableLabel(n, Label(n, " not imported."), false);
  switch (f.kind) {
    case ReadFailure::Kind::kTooLong:
      state.ui.MessageBox("A value (" + ForReading(f.text) + ") in Table " + std::to_string(n) +
                          " appears to be longer than the allowed length.");
      state.SetTableLabel(n, "One of the values appears to be longer than the allowed length.",
                          true);
      break;
    case ReadFailure::Kind::kDuplicateHeader:
      state.SetTableLabel(n, ForReading(f.text) + " appears to be duplicated.", true);
      break;
    case ReadFailure::Kind::kDuplicateElsewhere:
      state.ui.MessageBox(f.text);
      state.SetTableLabel(n, Label(n, " not imported because of an unknown problem."), false);
      break;
    case ReadFailure::Kind::kParse:
      state.ui.MessageBox("Problem with " + ForReading(f.text));
      break;
    case ReadFailure::Kind::kCancelled:
      state.SetTableLabel(n, "Import of Table " + std::to_string(n) + " cancelled. ", true);
      break;
    case ReadFailure::Kind::kOther:
    case ReadFailure::Kind::kNone:
      state.ui.MessageBox(f.text);
      break;
  }
}

}  // namespace

std::string MapFieldName(std::string& name) {
  name = UpperCase(name);
  if (name == "FE+2" || name == "FE2") return "FE";
  if (name == "COND") return "CONDUCTIVITY";
  if (name == "SL_CONTRACTOR") return "SL_CONTRACT";
  if (name == "W_CONTRACTOR") return "W_CONTRACT";
  if (name == "WL_CONTRACTOR") return "WL_CONTRACT";
  if (name == "F_CONTRACTOR") return "F_CONTRACT";
  return std::string(Trim(name));
}

namespace {

// The rows of one table as the reader delivers them: the first is the header,
// whose names become the fields; each further one that adds a record is
// stored as its texts (displayed texts for text fields). Keeps what a failure
// needs to be told, and the window responsive.
class RowImporter {
 public:
  RowImporter(RunState& state, int n)
      : state_(state),
        n_(n),
        table_(state.Tables.at(static_cast<size_t>(n))),
        origin_(table_.Origin),
        sheet_(*state.SheetRecordset.at(static_cast<size_t>(n))),
        progress_(state.view.ProgressBar),
        structure_(state.TempRecordset.at(static_cast<size_t>(n)).get()) {}

  // The reader starts a sheet (again).
  void OnShape(const SheetShape& shape) {
    if (header_read_) {
      // The reader starts over from the first row: what it delivered goes.
      SheetOrigin fresh;
      fresh.path = origin_.path;
      fresh.file_size = origin_.file_size;
      fresh.file_time = origin_.file_time;
      fresh.password = origin_.password;
      origin_ = std::move(fresh);
      sheet_.Reset();
      table_.SkippedRows.clear();
      shown_.clear();
      header_read_ = false;
      progress_.value = 1;
    }
    progress_.max = std::max<int64_t>(1, shape.last_row);
    table_.SheetName = shape.sheet_name;
    origin_.exported_table = shape.format == "text" || shape.format == "html";
  }

  // False where the reading stops: `failure()` says why.
  bool OnRow(int64_t row_number, const std::vector<std::string>& cells, const RowFormats& formats) {
    parsing_from_ = 0;
    try {
      if (!header_read_) {
        header_read_ = true;
        if (!ReadHeader(row_number, cells)) return false;
      } else {
        ++progress_.value;
        if (progress_.value % kProgressRepaintRows == 0) state_.Refresh();
        // The window stays responsive while a large sheet is read, and a close
        // of the window or a Ctrl-C stops the reading at once.
        if (pacer_.Due(progress_.value)) {
          state_.DoEvents();
          if (state_.CancelRequested) {
            failure_ = {ReadFailure::Kind::kCancelled, ""};
            return false;
          }
        }
        ReadRow(row_number, cells, formats);
      }
    } catch (const ValueTooLongError&) {
      failure_ = {ReadFailure::Kind::kTooLong, storing_};
      origin_.too_long_row = row_number;
      origin_.too_long_column = static_cast<int32_t>(parsing_from_);
      return false;
    } catch (const std::bad_alloc&) {
      failure_ = {ReadFailure::Kind::kOther, OutOfMemory(n_, row_number)};
      return false;
    } catch (const std::exception&) {
      failure_ = {ReadFailure::Kind::kParse, JoinFrom(cells, parsing_from_)};
      return false;
    }
    return true;
  }

  // The reader is done, or threw `thrown` (when not null).
  void OnEnd(std::exception_ptr thrown) {
    if (thrown) {
      try {
        std::rethrow_exception(thrown);
      } catch (const ReadCancelled&) {
        Fail({ReadFailure::Kind::kCancelled, ""});
      } catch (const DuplicateFieldError& e) {
        failure_ = {ReadFailure::Kind::kDuplicateElsewhere, e.description()};
      } catch (const Error& e) {
        Fail({ReadFailure::Kind::kOther, e.description()});
      } catch (const std::bad_alloc&) {
        Fail({ReadFailure::Kind::kOther, OutOfMemory(n_, 0)});
      } catch (const std::exception& e) {
        Fail({ReadFailure::Kind::kOther, e.what()});
      }
      return;
    }
    if (!header_read_ && failure_.kind == ReadFailure::Kind::kNone) {
      // A read given up before its first row was stopped: the stop is said.
      if (state_.ui.InterruptPending()) state_.DoEvents();
      if (state_.CancelRequested) failure_ = {ReadFailure::Kind::kCancelled, ""};
    }
    if (!header_read_ && failure_.kind == ReadFailure::Kind::kNone) sheet_.Open();
  }

  const ReadFailure& failure() const { return failure_; }

 private:
  // The first failure is the one said.
  void Fail(ReadFailure f) {
    if (failure_.kind == ReadFailure::Kind::kNone) failure_ = std::move(f);
  }

  bool ReadHeader(int64_t row_number, const std::vector<std::string>& cells) {
    origin_.header_row = row_number;
    for (size_t i = 0; i < cells.size(); ++i) {
      parsing_from_ = i;
      std::string upper = cells[i];
      std::string name = MapFieldName(upper);
      if (name.empty()) continue;
      const auto column = static_cast<int32_t>(i);
      try {
        sheet_.AppendField(name, kTypeVarChar, kSheetFieldSize, true);
      } catch (const DuplicateFieldError& e) {
        failure_ = {ReadFailure::Kind::kDuplicateHeader, e.field_name()};
        origin_.duplicate_field = name;
        const int first = origin_.FieldIndex(name);
        if (first >= 0) origin_.duplicate_columns.push_back(origin_.header_columns[first]);
        origin_.duplicate_columns.push_back(column);
        return false;
      }
      origin_.fields.push_back(name);
      origin_.header_columns.push_back(column);
      origin_.header_texts.push_back(cells[i]);
      // By field: the structure makes it a text field, which takes displayed texts.
      const int at = structure_ != nullptr ? structure_->FieldIndex(name) : -1;
      shown_.push_back(at >= 0 &&
                       structure_->GetField(static_cast<size_t>(at)).type == kTypeVarChar);
    }
    sheet_.Open();
    return true;
  }

  void ReadRow(int64_t row_number, const std::vector<std::string>& cells,
               const RowFormats& formats) {
    if (!RowAddsRecord(cells)) {
      // Kept out as always, but never in silence: the row may hold a record
      // whose facility ID was typed only once, further up.
      if (HoldsData(cells, formats)) table_.SkippedRows.push_back(row_number);
      return;
    }
    sheet_.AddNew();
    origin_.record_rows.push_back(static_cast<int32_t>(row_number));
    const size_t fields = sheet_.FieldCount();
    for (size_t k = 0; k < fields; ++k) {
      parsing_from_ = k;
      std::string_view v;
      if (k < cells.size()) {
        v = cells[k];
        if (shown_[k] && formats.Formatted(k)) {
          displayed_ = formats.Shown(k, cells[k]);
          v = displayed_;
        }
        v = StripQuotes(v);
      }
      try {
        sheet_.SetText(k, v);
      } catch (const ValueTooLongError&) {
        storing_.assign(v);  // only then: `v` views texts that do not outlive the row
        throw;
      }
    }
  }

  RunState& state_;
  const int n_;
  TableInfo& table_;
  SheetOrigin& origin_;
  RecordSet& sheet_;
  ProgressState& progress_;
  const RecordSet* structure_;
  ReadFailure failure_;
  YieldPacer pacer_;
  bool header_read_ = false;
  std::vector<bool> shown_;  // by field: it takes displayed texts
  size_t parsing_from_ = 0;  // first cell not yet parsed, for the "Problem with" text
  std::string storing_;      // the value being stored, for the too-long message
  std::string displayed_;
};

}  // namespace

bool ImportRows(RunState& state, int n, const RowSource& rows) {
  TableInfo& table = state.Tables.at(static_cast<size_t>(n));
  table.StageOK = false;
  table.TableStatus = stage::kNone;
  table.SkippedRows.clear();
  table.SheetName.clear();
  table.Origin = {};
  RecordSet& sheet = *state.SheetRecordset.at(static_cast<size_t>(n));
  sheet.Reset();
  // The bar starts this stage empty before the label asks for a repaint.
  ProgressState& progress = state.view.ProgressBar;
  progress.min = 1;
  progress.max = 1;
  progress.value = 1;
  state.SetTableLabel(n, Label(n, " being imported ..."), true);

  RowImporter importer(state, n);
  std::exception_ptr thrown;
  try {
    rows([&](int64_t row_number, const std::vector<std::string>& cells,
             const RowFormats& formats) { return importer.OnRow(row_number, cells, formats); },
         [&](const SheetShape& shape) { importer.OnShape(shape); });
  } catch (...) {
    thrown = std::current_exception();
  }
  importer.OnEnd(thrown);

  if (importer.failure().kind != ReadFailure::Kind::kNone) {
    // Nothing half-read stays behind for the later stages or the table view.
    sheet.Reset();
    table.SkippedRows.clear();
    table.Origin.record_rows.clear();
    ReportFailure(state, n, importer.failure());
    table.StageOK = false;
    table.TableStatus = stage::kNone;
    return false;
  }
  if (sheet.RecordCount() > 0) sheet.MoveFirst();
  state.SetTableLabel(n, Label(n, " imported.") + SkippedRowsText(table), false);
  table.StageOK = true;
  table.TableStatus = stage::kRead;
  return true;
}

namespace {

// A workbook the person corrected may come back saved in another format
// (1234567_2.xlsx replaced by 1234567_2.xls or .ods): the same name with a
// workbook's extension stands in for a listed file that is gone.
std::string WorkbookNowInPlaceOf(const std::string& listed) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (listed.empty() || fs::exists(listed, ec)) return listed;
  const fs::path gone(listed);
  const std::string stem = LowerCase(gone.stem().string());
  try {
    for (const fs::path& file : ListFiles(gone.parent_path())) {
      const std::string ext = LowerCase(file.extension().string());
      if (LowerCase(file.stem().string()) == stem && IsWorkbookExtension(ext)) {
        return file.string();
      }
    }
  } catch (const Error&) {
    // An unreadable folder: the read of the listed file reports it.
  }
  return listed;
}

}  // namespace

bool ImportWorkbook(RunState& state, int n) {
  std::string path;
  if (state.FileList && n >= 1 && state.FileList->RecordCount() >= n) {
    RecordSet& files = *state.FileList;
    files.MoveFirst();
    files.Move(n - 1);
    path = std::string(Trim(files.GetValue("FilePath").ToDisplay()));
    const std::string now = WorkbookNowInPlaceOf(path);
    if (now != path) {
      path = now;
      files.SetValue("FilePath", Value::Text(path));
      files.SetValue("FileName", Value::Text(NameOf(path)));
    }
  }
  state.Tables.at(static_cast<size_t>(n)).WorkbookName = path.empty() ? "" : NameOf(path);
  RowSource source = [&](const ShownRowCallback& on_row, const ShapeCallback& on_shape) {
    if (path.empty()) {
      throw FileError(kErrFileNotFound, "The workbook of Table " + std::to_string(n) +
                                            " was not found in " +
                                            state.paths.WorkbookDir().string() + ".");
    }
    ReadOptions options;
    options.may_start_over = true;  // ImportRows forgets the rows when told the shape again
    if (state.WorkbookPassword) options.password = *state.WorkbookPassword;
    // The file as read, so that a marked copy is made of this file only.
    SheetOrigin& origin = state.Tables.at(static_cast<size_t>(n)).Origin;
    std::error_code ec;
    origin.path = path;
    origin.file_size = std::filesystem::file_size(path, ec);
    origin.file_time = std::filesystem::last_write_time(path, ec);
    // A large workbook is parsed on the second core while this thread stores
    // its rows, where no window shows them as they come.
    const bool ahead = !state.KeepsImportedRows && origin.file_size >= kReadAheadBytes;
    // A sheet read twice (an .ods) delivers no rows in its first pass: the
    // window is served there too, and a cancel stops it. The window is this
    // thread's alone; on the reader's thread only a Ctrl-C is looked for (the
    // next yield here delivers it).
    // A cancel seen while this thread awaited the reader's rows.
    std::atomic<bool> cancelled{false};
    if (ahead) {
      options.keep_going = [&ui = state.ui, &cancelled] {
        return !cancelled.load(std::memory_order_relaxed) && !ui.InterruptPending();
      };
    } else {
      options.keep_going = state.KeepGoing();
    }
    auto read = [&] {
      if (!ahead) return ReadWorkbook(path, on_row, options, on_shape);
      // While the reader finds the sheet's shape, or a slow part, this
      // thread serves the window.
      const SheetShape shape = ReadAhead(
          [&](const ShownRowCallback& row, const ShapeCallback& shape) {
            return ReadWorkbook(path, row, options, shape);
          },
          on_row, on_shape,
          [&] {
            state.DoEvents();
            if (state.CancelRequested) cancelled = true;
            return !cancelled;
          });
      if (cancelled) throw ReadCancelled{};
      return shape;
    };
    try {
      read();
      if (!options.password.empty()) origin.password = options.password;
    } catch (const WorkbookError& e) {
      // Encrypted files fail before any row is delivered: reading again is safe.
      if (e.reason() != WorkbookError::Reason::kEncrypted || state.WorkbookPassword) throw;
      const std::string name = NameOf(path);
      const std::optional<std::string> answer =
          state.ui.PasswordBox("The workbook \"" + name + "\" of Table " + std::to_string(n) +
                                   " is protected by a password. Enter its password:",
                               "Password for " + name);
      if (!answer || answer->empty()) throw;
      options.password = *answer;
      read();
      origin.password = options.password;
    }
  };
  return ImportRows(state, n, source);
}

}  // namespace sorvane
