#include "support/xlsx_writer.h"

#include <xlsxwriter.h>

#include <stdexcept>

namespace sorvane::testing {

namespace {

void WriteRows(lxw_workbook* wb, lxw_worksheet* ws, const XlsxRows& rows) {
  for (size_t r = 0; r < rows.size(); ++r) {
    for (size_t c = 0; c < rows[r].size(); ++c) {
      const auto row = static_cast<lxw_row_t>(r);
      const auto col = static_cast<lxw_col_t>(c);
      if (const auto* text = std::get_if<std::string>(&rows[r][c].value)) {
        if (!text->empty()) worksheet_write_string(ws, row, col, text->c_str(), nullptr);
      } else {
        lxw_format* format = nullptr;
        if (!rows[r][c].number_format.empty()) {
          format = workbook_add_format(wb);
          format_set_num_format(format, rows[r][c].number_format.c_str());
        }
        worksheet_write_number(ws, row, col, std::get<double>(rows[r][c].value), format);
      }
    }
  }
}

}  // namespace

void WriteXlsxSheets(const std::filesystem::path& file,
                     const std::vector<std::pair<std::string, XlsxRows>>& sheets) {
  std::filesystem::remove(file);
  lxw_workbook* wb = workbook_new(file.string().c_str());
  if (wb == nullptr) throw std::runtime_error("cannot create " + file.string());
  for (const auto& [name, rows] : sheets)
    WriteRows(wb, workbook_add_worksheet(wb, name.empty() ? nullptr : name.c_str()), rows);
  if (workbook_close(wb) != LXW_NO_ERROR) {
    throw std::runtime_error("cannot write " + file.string());
  }
}

void WriteXlsx(const std::filesystem::path& file, const XlsxRows& rows,
               const std::vector<std::string>& sheets) {
  std::vector<std::pair<std::string, XlsxRows>> all = {{sheets.empty() ? "" : sheets[0], rows}};
  for (size_t i = 1; i < sheets.size(); ++i) all.emplace_back(sheets[i], XlsxRows{});
  WriteXlsxSheets(file, all);
}

}  // namespace sorvane::testing
