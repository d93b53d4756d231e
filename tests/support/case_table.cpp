#include "support/case_table.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/work_db.h"

namespace sorvane::testing {
namespace {

std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    const char c = s[++i];
    if (c == 'x' && i + 2 < s.size()) {
      out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
  }
  return out;
}

}  // namespace

CaseRow SplitCaseLine(const std::string& line) {
  CaseRow row;
  for (size_t start = 0;;) {
    const size_t tab = line.find('\t', start);
    row.push_back(Unescape(line.substr(start, tab - start)));
    if (tab == std::string::npos) return row;
    start = tab + 1;
  }
}

std::vector<CaseRow> CaseTable(const std::string& name) {
  std::ifstream in(SourcePath("tests/data/cases/" + name));
  EXPECT_TRUE(in) << "no case table " << name;
  std::vector<CaseRow> rows;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    rows.push_back(SplitCaseLine(line));
  }
  EXPECT_FALSE(rows.empty()) << name;
  return rows;
}

}  // namespace sorvane::testing
