// Tables of cases kept as data under tests/data/cases/: one case per line, its
// fields separated by tabs. Lines starting with "#" and empty lines are
// comments. In a field, \t \n \r \\ and \xHH stand for those characters.
#pragma once

#include <string>
#include <vector>

namespace sorvane::testing {

using CaseRow = std::vector<std::string>;

// One line's fields, split at tabs and unescaped.
CaseRow SplitCaseLine(const std::string& line);

// The rows of tests/data/cases/`name`; fails the test when the file is missing.
std::vector<CaseRow> CaseTable(const std::string& name);

}  // namespace sorvane::testing
