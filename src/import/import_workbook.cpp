#include "import/import_workbook.h"

#include <algorithm>
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

bool ImportRows(RunState& state, int n, const RowSource& rows) {
  TableInfo& table = state.Tables.at(static_cast<size_t>(n));
  table.StageOK = false;
  table.TableStatus = stage::kNone;
  table.SkippedRows.clear();
  table.SheetName.clear();
  SheetOrigin& origin = table.Origin;
  origin = {};
  RecordSet& sheet = *state.SheetRecordset.at(static_cast<size_t>(n));
  sheet.Reset();
  // The bar starts this stage empty before the label asks for a repaint.
  ProgressState& progress = state.view.ProgressBar;
  progress.min = 1;
  progress.max = 1;
  progress.value = 1;
  state.SetTableLabel(n, Label(n, " being imported ..."), true);

  ReadFailure failure;
  YieldPacer pacer;
  bool header_read = false;
  // By field: the structure makes it a text field, which takes displayed texts.
  std::vector<bool> shown;
  size_t parsing_from = 0;  // first cell not yet parsed, for the "Problem with" text
  std::string storing;      // the value being stored, for the too-long message

  auto on_shape = [&](const SheetShape& shape) {
    if (header_read) {
      // The reader starts over from the first row: what it delivered goes.
      SheetOrigin fresh;
      fresh.path = origin.path;
      fresh.file_size = origin.file_size;
      fresh.file_time = origin.file_time;
      fresh.password = origin.password;
      origin = std::move(fresh);
      sheet.Reset();
      table.SkippedRows.clear();
      shown.clear();
      header_read = false;
      progress.value = 1;
    }
    progress.max = std::max<int64_t>(1, shape.last_row);
    table.SheetName = shape.sheet_name;
  };

  const RecordSet* structure = state.TempRecordset.at(static_cast<size_t>(n)).get();
  auto read_header = [&](int64_t row_number, const std::vector<std::string>& cells) {
    origin.header_row = row_number;
    for (size_t i = 0; i < cells.size(); ++i) {
      parsing_from = i;
      std::string upper = cells[i];
      std::string name = MapFieldName(upper);
      if (name.empty()) continue;
      const auto column = static_cast<int32_t>(i);
      try {
        sheet.AppendField(name, kTypeVarChar, kSheetFieldSize, true);
      } catch (const DuplicateFieldError& e) {
        failure = {ReadFailure::Kind::kDuplicateHeader, e.field_name()};
        origin.duplicate_field = name;
        const int first = origin.FieldIndex(name);
        if (first >= 0) origin.duplicate_columns.push_back(origin.header_columns[first]);
        origin.duplicate_columns.push_back(column);
        return false;
      }
      origin.fields.push_back(name);
      origin.header_columns.push_back(column);
      origin.header_texts.push_back(cells[i]);
      const int at = structure != nullptr ? structure->FieldIndex(name) : -1;
      shown.push_back(at >= 0 && structure->GetField(static_cast<size_t>(at)).type == kTypeVarChar);
    }
    sheet.Open();
    return true;
  };

  std::string displayed;
  auto read_row = [&](int64_t row_number, const std::vector<std::string>& cells,
                      const RowFormats& formats) {
    if (!RowAddsRecord(cells)) {
      // Kept out as always, but never in silence: the row may hold a record
      // whose facility ID was typed only once, further up.
      if (HoldsData(cells, formats)) table.SkippedRows.push_back(row_number);
      return;
    }
    sheet.AddNew();
    origin.record_rows.push_back(static_cast<int32_t>(row_number));
    const size_t fields = sheet.FieldCount();
    for (size_t k = 0; k < fields; ++k) {
      parsing_from = k;
      std::string_view v;
      if (k < cells.size()) {
        v = cells[k];
        if (shown[k] && formats.Formatted(k)) {
          displayed = formats.Shown(k, cells[k]);
          v = displayed;
        }
        v = StripQuotes(v);
      }
      try {
        sheet.SetText(k, v);
      } catch (const ValueTooLongError&) {
        storing.assign(v);  // only then: `v` views texts that do not outlive the row
        throw;
      }
    }
  };

  ShownRowCallback on_row = [&](int64_t row_number, const std::vector<std::string>& cells,
                                const RowFormats& formats) -> bool {
    parsing_from = 0;
    try {
      if (!header_read) {
        header_read = true;
        if (!read_header(row_number, cells)) return false;
      } else {
        ++progress.value;
        if (progress.value % kProgressRepaintRows == 0) state.Refresh();
        // The window stays responsive while a large sheet is read, and a close
        // of the window or a Ctrl-C stops the reading at once.
        if (pacer.Due(progress.value)) {
          state.DoEvents();
          if (state.CancelRequested) {
            failure = {ReadFailure::Kind::kCancelled, ""};
            return false;
          }
        }
        read_row(row_number, cells, formats);
      }
    } catch (const ValueTooLongError&) {
      failure = {ReadFailure::Kind::kTooLong, storing};
      origin.too_long_row = row_number;
      origin.too_long_column = static_cast<int32_t>(parsing_from);
      return false;
    } catch (const std::bad_alloc&) {
      failure = {ReadFailure::Kind::kOther, OutOfMemory(n, row_number)};
      return false;
    } catch (const std::exception&) {
      failure = {ReadFailure::Kind::kParse, JoinFrom(cells, parsing_from)};
      return false;
    }
    return true;
  };

  try {
    rows(on_row, on_shape);
    if (!header_read && failure.kind == ReadFailure::Kind::kNone) {
      // A read given up before its first row was stopped: the stop is said.
      if (state.ui.InterruptPending()) state.DoEvents();
      if (state.CancelRequested) failure = {ReadFailure::Kind::kCancelled, ""};
    }
    if (!header_read && failure.kind == ReadFailure::Kind::kNone) sheet.Open();
  } catch (const DuplicateFieldError& e) {
    failure = {ReadFailure::Kind::kDuplicateElsewhere, e.description()};
  } catch (const Error& e) {
    if (failure.kind == ReadFailure::Kind::kNone)
      failure = {ReadFailure::Kind::kOther, e.description()};
  } catch (const std::bad_alloc&) {
    if (failure.kind == ReadFailure::Kind::kNone)
      failure = {ReadFailure::Kind::kOther, OutOfMemory(n, 0)};
  } catch (const std::exception& e) {
    if (failure.kind == ReadFailure::Kind::kNone) failure = {ReadFailure::Kind::kOther, e.what()};
  }

  if (failure.kind != ReadFailure::Kind::kNone) {
    // Nothing half-read stays behind for the later stages or the table view.
    sheet.Reset();
    table.SkippedRows.clear();
    origin.record_rows.clear();
    ReportFailure(state, n, failure);
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
    YieldPacer scan_pacer;
    int64_t beats = 0;
    if (ahead) {
      options.keep_going = [&ui = state.ui] { return !ui.InterruptPending(); };
    } else {
      options.keep_going = [&] {
        if (!scan_pacer.Due(beats++ * YieldPacer::kCheckEvery)) return true;
        state.DoEvents();
        return !state.CancelRequested;
      };
    }
    auto read = [&] {
      if (!ahead) return ReadWorkbook(path, on_row, options, on_shape);
      return ReadAhead(
          [&](const ShownRowCallback& row, const ShapeCallback& shape) {
            return ReadWorkbook(path, row, options, shape);
          },
          on_row, on_shape);
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
