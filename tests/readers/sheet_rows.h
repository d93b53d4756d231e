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

// The rows with trailing empty cells removed (what a comparison cares about).
std::vector<std::vector<std::string>> Trimmed(const SheetRows& rows);

}  // namespace sorvane::testing
