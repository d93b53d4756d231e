// Shared by the whole-file fuzz targets: a workbook read as the import reads
// it (in one pass on the range the sheet claims, starting over should it not
// keep to it) and as a plain read does. Both must give the same rows, or fail
// for the same reason; anything else aborts, which the fuzzer reports.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "import/readers/workbook_reader.h"

inline void ReadBothWays(const std::string& bytes, const char* name, sorvane::ReadOptions options) {
  // The rows delivered, hashed (a sheet may claim the whole grid), or the
  // reason of the failure.
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
    } catch (const sorvane::WorkbookError& e) {
      // The rows read before it do not count, nor which damage is met first
      // (the one pass reads the shared strings before the sheet).
      out = "failed: " + std::to_string(static_cast<int>(e.reason()));
    }
  }
  if (outcome[0] != outcome[1]) std::abort();
}
