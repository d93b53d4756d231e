// Shared by the whole-file fuzz targets: a workbook read as the import reads
// it (in one pass on the range the sheet claims, starting over should it not
// keep to it) and as a plain read does. Both must give the same rows, or both
// fail; anything else aborts, which the fuzzer reports.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "import/readers/workbook_reader.h"

inline void ReadBothWays(const std::string& bytes, const char* name, sorvane::ReadOptions options) {
  // The rows delivered, hashed (a sheet may claim the whole grid), or that
  // the reading failed.
  std::string outcome[2];
  for (int start_over = 0; start_over < 2; ++start_over) {
    options.may_start_over = start_over == 1;
    uint64_t hash = 14695981039346656037ULL;
    auto add = [&](std::string_view s) {
      for (const char c : s) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
      hash = (hash ^ 0xFF) * 1099511628211ULL;  // a byte no UTF-8 text holds, between texts
    };
    std::string& out = outcome[start_over];
    try {
      sorvane::ReadWorkbookFromMemory(
          bytes, name,
          [&](int64_t n, const std::vector<std::string>& cells,
              const sorvane::RowFormats& formats) {
            // As the import does: the columns of a table's fields, not a whole
            // row of the grid's width; the displayed text of every formatted
            // cell is worked out, so number formats are explored too.
            add(std::to_string(n));
            for (size_t i = 0; i < cells.size() && i < 256; ++i) {
              if (formats.Formatted(i)) formats.Shown(i, cells[i]);
              add(cells[i]);
            }
            return true;
          },
          options, [&](const sorvane::SheetShape&) { hash = 14695981039346656037ULL; });
      out = std::to_string(hash);
    } catch (const sorvane::WorkbookError&) {
      // The rows read before it do not count, nor which damage is met first,
      // and so named: the one pass reads an .xlsx's shared strings before the
      // sheet, and an .xls formula's string result in the pass that a
      // truncation further on stops the two passes before.
      out = "failed";
    }
  }
  if (outcome[0] != outcome[1]) std::abort();
}
