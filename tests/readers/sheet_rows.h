// Test helper: a whole first worksheet collected into memory.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "import/readers/workbook_reader.h"

namespace sorvane::testing {

struct SheetRows {
  SheetShape shape;
  std::vector<int64_t> numbers;
  std::vector<std::vector<std::string>> rows;
};

SheetRows ReadAllRows(const std::filesystem::path& file, const ReadLimits& limits = {});
SheetRows ReadAllRowsFromMemory(const std::string& bytes, const ReadLimits& limits = {});

// The rows as the import reads them: the sheet may be read in one pass on the
// range it declares, and rows told before the shape is told again are dropped.
// `shapes` counts how often the shape was told; `ahead` reads on a second
// thread, as the import does.
std::vector<std::vector<std::string>> ReadStartingOver(const std::string& bytes,
                                                       const std::string& name, int& shapes,
                                                       bool ahead = false);

// The rows with trailing empty cells removed (what a comparison cares about).
std::vector<std::vector<std::string>> Trimmed(const SheetRows& rows);

}  // namespace sorvane::testing
