// Pairing the rows of two lists by their values, as a reviewer compares what a
// check found before and now: the n-th row of a value now is paired with the
// n-th row of that value before, so that of two equal rows before, one left
// now is one as before and one gone. Rows are compared as exact texts.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace sorvane {

struct RowPairing {
  std::vector<size_t> gone;  // rows before without an equal row now, in their order
  std::vector<size_t> come;  // rows now without an equal row before, in their order
};

RowPairing PairEqualRows(std::span<const std::string> before, std::span<const std::string> now);

}  // namespace sorvane
