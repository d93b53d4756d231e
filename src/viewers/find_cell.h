// Finding a text among the cells of a grid's rows, as a person searches a
// long table: the cells are read row by row, left to right, from the one
// after the current cell, around past the end to the current cell itself.
// A cell matches when the text it shows holds the text sought, letters of
// either case alike as the program compares names (A to Z, and the accented
// letters of Western European languages).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "core/record_set.h"

namespace sorvane {

struct CellAt {
  int64_t row = 0;  // a visible row (0-based)
  size_t column = 0;
};

// The next matching cell after `from` (before it when `backward`), or `from`
// itself when `from_too` and it matches; nothing when no cell matches or the
// text is empty. A `from` outside the rows starts before the first cell (after
// the last, backward).
std::optional<CellAt> FindCell(const RecordSet& rows, std::string_view text, CellAt from,
                               bool backward = false, bool from_too = false);

}  // namespace sorvane
