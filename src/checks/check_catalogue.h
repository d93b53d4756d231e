// The fixed part of every check: severity, label texts, rule and the query as
// the literal pieces between which the Facility ID is inserted.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace sorvane {

struct CheckText {
  int16_t required;
  const char* pending;
  const char* pass;
  const char* fail;
  const char* tooltip;
  // Literal pieces of the query; the Facility ID goes between consecutive
  // pieces. Unused trailing entries are null.
  std::array<const char*, 4> query;
};

// The checks of a table (1..5) in index order; empty for any other number.
std::span<const CheckText> CatalogueTexts(int table);

}  // namespace sorvane
