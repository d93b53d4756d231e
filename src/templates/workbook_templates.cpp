#include "templates/workbook_templates.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <system_error>

#include "checks/lxw_book.h"
#include "core/errors.h"
#include "core/text.h"

namespace fs = std::filesystem;

namespace sorvane {
namespace {

constexpr const char* kListsSheet = "Lists";

// A choice list of the hidden sheet: its heading and the agency's values.
struct Choices {
  std::string heading, sql;
  std::vector<std::string> values;
  std::string range;  // "=Lists!$B$2:$B$19"; empty when the list is empty
};

// Which list, if any, a field's values come from (an index into the lists).
int ListOf(const std::string& field) {
  if (field == "FAC_ID") return 0;
  if (field == "SAM_SOURCE") return 1;
  if (field.ends_with("_CONTRACT")) return 2;
  if (field == "A_LABORATORY") return 3;
  if (field == "CONT_NAME") return 4;
  return -1;
}

std::vector<Choices> ReadChoices(Connection& conn, const std::string& facility_id) {
  std::vector<Choices> lists = {
      {"Facility ID", "", {facility_id}, ""},
      {"Sample sources", "SELECT DISTINCT SOURCE_ID FROM MT_SAMPLE_SOURCE", {}, ""},
      {"Contracts", "SELECT DISTINCT CONTRACT FROM MT_CONTRACTOR", {}, ""},
      {"Laboratories", "SELECT DISTINCT NAME FROM MT_LAB", {}, ""},
      {"Contaminants", "SELECT DISTINCT ANALYTE FROM MT_ANALYTE", {}, ""},
  };
  for (size_t i = 0; i < lists.size(); ++i) {
    Choices& list = lists[i];
    if (!list.sql.empty()) {
      // A list the agency's tables cannot give is left out; the column keeps
      // the check of its type.
      try {
        const RecordSet rows = conn.QueryNative(list.sql);
        for (int64_t r = 0; r < rows.RecordCount(); ++r) {
          const std::string value(Trim(rows.At(r, 0).ToDisplay()));
          if (!value.empty()) list.values.push_back(ValidUtf8(value));
        }
      } catch (const Error&) {
      }
      std::sort(list.values.begin(), list.values.end(),
                [](const std::string& a, const std::string& b) {
                  return std::make_pair(UpperCase(a), a) < std::make_pair(UpperCase(b), b);
                });
    }
    if (list.values.empty()) continue;
    const char column = static_cast<char>('A' + i);
    list.range = std::string("=") + kListsSheet + "!$" + column + "$2:$" + column + "$" +
                 std::to_string(list.values.size() + 1);
  }
  return lists;
}

[[noreturn]] void Fail(const fs::path& file, const std::string& reason) {
  throw FileError(kErrPathFileAccess,
                  "The template " + file.string() + " could not be written: " + reason);
}

void Check(lxw_error e, const fs::path& file) {
  if (e != LXW_NO_ERROR) Fail(file, lxw_strerror(e));
}

// What a field takes, in words, for its hover help and the field list.
std::string Kind(const Field& f) {
  switch (f.type) {
    case 3:
      return "A whole number";
    case 4:
      return "A number";
    case 7:
      return "A date (M/D/YYYY)";
    case 200:
      return "Text of up to " + std::to_string(f.defined_size) + " characters";
    default:
      return "Anything";
  }
}

class TemplateBook {
 public:
  TemplateBook(const fs::path& file, const std::vector<Choices>& lists)
      : file_(file), book_(file), lists_(lists) {
    if (!book_.get()) Fail(file, "out of memory");
    bold_ = workbook_add_format(book_.get());
    format_set_bold(bold_);
    text_ = workbook_add_format(book_.get());
    format_set_num_format(text_, "@");
    date_ = workbook_add_format(book_.get());
    format_set_num_format(date_, "m/d/yyyy");
  }

  void Write(const std::string& title, const RecordSet& structure) {
    std::string why;
    lxw_worksheet* data = AddWorksheet(book_.get(), title, &why);
    lxw_worksheet* fields = data ? AddWorksheet(book_.get(), "Fields", &why) : nullptr;
    lxw_worksheet* choices = fields ? AddWorksheet(book_.get(), kListsSheet, &why) : nullptr;
    if (!choices) Fail(file_, why);
    worksheet_freeze_panes(data, 1, 0);
    const std::vector<std::string> headings = {"Field", "Takes", "Choices"};
    for (size_t c = 0; c < headings.size(); ++c) {
      Check(
          worksheet_write_string(fields, 0, static_cast<lxw_col_t>(c), headings[c].c_str(), bold_),
          file_);
    }
    Check(worksheet_set_column(fields, 0, 0, 16, nullptr), file_);
    Check(worksheet_set_column(fields, 1, 2, 36, nullptr), file_);
    for (size_t i = 0; i < structure.FieldCount(); ++i) {
      const Field& f = structure.GetField(i);
      const auto col = static_cast<lxw_col_t>(i);
      const std::string name = ValidUtf8(f.name);
      Check(worksheet_write_string(data, 0, col, name.c_str(), bold_), file_);
      lxw_format* format = f.type == 200 ? text_ : f.type == 7 ? date_ : nullptr;
      const double width = std::clamp<double>(
          std::max<size_t>(name.size(), f.type == 200 ? f.defined_size : 10) + 2, 8, 40);
      Check(worksheet_set_column(data, col, col, width, format), file_);
      const int list = ListOf(UpperCase(f.name));
      const bool listed = list >= 0 && !lists_[static_cast<size_t>(list)].range.empty();
      Validate(data, col, f, listed ? &lists_[static_cast<size_t>(list)] : nullptr);
      const auto row = static_cast<lxw_row_t>(i + 1);
      Check(worksheet_write_string(fields, row, 0, name.c_str(), nullptr), file_);
      Check(worksheet_write_string(fields, row, 1, Kind(f).c_str(), nullptr), file_);
      if (listed) {
        const std::string from = lists_[static_cast<size_t>(list)].heading;
        Check(worksheet_write_string(fields, row, 2, from.c_str(), nullptr), file_);
      }
    }
    // Row by row: the library writes each row out once the next begins.
    size_t longest = 0;
    for (size_t l = 0; l < lists_.size(); ++l) {
      const auto col = static_cast<lxw_col_t>(l);
      Check(worksheet_write_string(choices, 0, col, lists_[l].heading.c_str(), bold_), file_);
      longest = std::max(longest, lists_[l].values.size());
    }
    for (size_t v = 0; v < longest; ++v) {
      for (size_t l = 0; l < lists_.size(); ++l) {
        if (v >= lists_[l].values.size()) continue;
        Check(worksheet_write_string(choices, static_cast<lxw_row_t>(v + 1),
                                     static_cast<lxw_col_t>(l), lists_[l].values[v].c_str(), text_),
              file_);
      }
    }
    worksheet_hide(choices);
    worksheet_activate(data);
  }

  void Close() {
    const lxw_error e = book_.Close();
    if (e != LXW_NO_ERROR) Fail(file_, book_.ErrorText(e));
  }

 private:
  // The check of what is typed into column `col`: a choice of `list` when it
  // has one, else the field's type. Only the Facility ID refuses outright.
  void Validate(lxw_worksheet* ws, lxw_col_t col, const Field& f, const Choices* list) {
    lxw_data_validation v{};
    std::string title = Utf8Prefix(ValidUtf8(f.name), 32), message;
    v.error_type = LXW_VALIDATION_ERROR_TYPE_WARNING;
    if (list != nullptr) {
      v.validate = LXW_VALIDATION_TYPE_LIST_FORMULA;
      v.value_formula = const_cast<char*>(list->range.c_str());
      message = list == &lists_[0] ? "The Facility ID of these workbooks."
                                   : "One of the agency's " + LowerCase(list->heading) +
                                         " (the list); another needs the agency's word.";
      if (list == &lists_[0]) v.error_type = LXW_VALIDATION_ERROR_TYPE_STOP;
    } else if (f.type == 3 || f.type == 4) {
      // The ranges of a 16-bit whole number and of a single-precision number.
      const bool whole = f.type == 3;
      v.validate = whole ? LXW_VALIDATION_TYPE_INTEGER : LXW_VALIDATION_TYPE_DECIMAL;
      v.criteria = LXW_VALIDATION_CRITERIA_BETWEEN;
      v.minimum_number = whole ? -32768 : -3.4e38;
      v.maximum_number = whole ? 32767 : 3.4e38;
      message = whole ? "A whole number from -32768 to 32767." : "A number.";
    } else if (f.type == 7) {
      v.validate = LXW_VALIDATION_TYPE_DATE;
      v.criteria = LXW_VALIDATION_CRITERIA_BETWEEN;
      v.minimum_datetime = {1900, 1, 1, 0, 0, 0};
      v.maximum_datetime = {9999, 12, 31, 0, 0, 0};
      message = "A date (M/D/YYYY).";
    } else if (f.type == 200 && f.defined_size > 0) {
      v.validate = LXW_VALIDATION_TYPE_LENGTH;
      v.criteria = LXW_VALIDATION_CRITERIA_LESS_THAN_OR_EQUAL_TO;
      v.value_number = f.defined_size;
      message = Kind(f) + ".";
    } else {
      return;
    }
    v.input_title = const_cast<char*>(title.c_str());
    v.input_message = const_cast<char*>(message.c_str());
    v.error_title = v.input_title;
    v.error_message = v.input_message;
    Check(worksheet_data_validation_range(ws, 1, col, LXW_ROW_MAX - 1, col, &v), file_);
  }

  fs::path file_;
  LxwBook book_;
  const std::vector<Choices>& lists_;
  lxw_format *bold_ = nullptr, *text_ = nullptr, *date_ = nullptr;
};

}  // namespace

std::vector<fs::path> WriteWorkbookTemplates(RunState& state, const std::string& facility_id,
                                             const fs::path& folder) {
  // The ID names the files: one that would name a folder too is refused.
  if (facility_id.find_first_of(std::string("/\0", 2)) != std::string::npos)
    throw FileError(52, "Bad file name or number (" + facility_id + ")");
  std::vector<fs::path> files;
  for (int n = 1; n <= 5; ++n) {
    files.push_back(folder / (facility_id + "_" + std::to_string(n) + ".xlsx"));
    std::error_code ec;
    if (fs::exists(files.back(), ec) || ec)
      throw FileError(58, "File already exists (" + files.back().string() + ")");
  }
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) throw ToFileError(ec, folder, true);
  const std::vector<Choices> lists = ReadChoices(state.WorkConn, facility_id);
  std::vector<fs::path> written;
  try {
    for (int n = 1; n <= 5; ++n) {
      const fs::path& file = files[static_cast<size_t>(n - 1)];
      if (!state.TempRecordset[n]) Fail(file, "the table's fields are not known");
      TemplateBook book(file, lists);
      written.push_back(file);
      book.Write(TableTitle(n), *state.TempRecordset[n]);
      book.Close();
    }
  } catch (...) {
    for (const fs::path& file : written) fs::remove(file, ec);
    throw;
  }
  return written;
}

}  // namespace sorvane
