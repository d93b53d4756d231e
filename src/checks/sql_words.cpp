#include "checks/sql_words.h"

#include <algorithm>
#include <cctype>

#include "core/text.h"

namespace sorvane {

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

std::vector<size_t> FindWord(std::string_view sql, std::string_view word, bool top_level) {
  std::vector<size_t> found;
  int depth = 0;
  for (size_t i = 0; i < sql.size(); ++i) {
    const char c = sql[i];
    if (c == '\'' || c == '"' || c == '[') {
      const char close = c == '[' ? ']' : c;
      const size_t end = sql.find(close, i + 1);
      if (end == std::string_view::npos) break;
      i = end;
      continue;
    }
    if (c == '(') ++depth;
    if (c == ')') --depth;
    if ((top_level && depth != 0) || i + word.size() > sql.size()) continue;
    if ((i > 0 && IsWordChar(sql[i - 1])) ||
        (i + word.size() < sql.size() && IsWordChar(sql[i + word.size()])))
      continue;
    if (EqualsNoCase(sql.substr(i, word.size()), word)) found.push_back(i);
  }
  return found;
}

size_t OnlyWord(std::string_view sql, std::string_view word) {
  const std::vector<size_t> at = FindWord(sql, word);
  return at.size() == 1 ? at[0] : std::string_view::npos;
}

bool PlainName(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), IsWordChar) &&
         !std::isdigit(static_cast<unsigned char>(s[0]));
}

std::vector<std::string_view> SplitList(std::string_view list) {
  std::vector<std::string_view> items;
  for (size_t comma; (comma = list.find(',')) != std::string_view::npos;
       list.remove_prefix(comma + 1))
    items.push_back(TrimWhitespace(list.substr(0, comma)));
  items.push_back(TrimWhitespace(list));
  return items;
}

bool OneSelect(std::string_view sql, std::initializer_list<const char*> refused) {
  sql = Trim(sql);
  if (!EqualsNoCase(sql.substr(0, 7), "SELECT ") ||
      sql.find_first_of(";?") != std::string_view::npos ||
      FindWord(sql, "SELECT", false).size() != 1)
    return false;
  return std::all_of(refused.begin(), refused.end(),
                     [&](const char* word) { return FindWord(sql, word, false).empty(); });
}

size_t ClosingParen(std::string_view sql, size_t open) {
  int depth = 0;
  for (size_t i = open; i < sql.size(); ++i) {
    const char c = sql[i];
    if (c == '\'' || c == '"' || c == '[') {
      i = sql.find(c == '[' ? ']' : c, i + 1);
      if (i == std::string_view::npos) return i;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')' && --depth == 0) {
      return i;
    }
  }
  return std::string_view::npos;
}

std::optional<WithQuery> NamedQuery(std::string_view sql) {
  if (!EqualsNoCase(sql.substr(0, 5), "WITH ")) return std::nullopt;
  const std::vector<size_t> as = FindWord(sql, "AS");
  if (as.empty() || !FindWord(sql, "RECURSIVE").empty()) return std::nullopt;
  WithQuery q;
  q.header = Trim(sql.substr(5, as[0] - 5));
  q.open = sql.find_first_not_of(' ', as[0] + 2);
  if (q.open == std::string_view::npos || sql[q.open] != '(') return std::nullopt;
  q.close = ClosingParen(sql, q.open);
  if (q.close == std::string_view::npos) return std::nullopt;
  return q;
}

std::vector<std::string_view> AndTerms(std::string_view condition) {
  std::vector<std::string_view> terms;
  size_t begin = 0;
  for (size_t at : FindWord(condition, "AND")) {
    terms.push_back(Trim(condition.substr(begin, at - begin)));
    begin = at + 3;
  }
  terms.push_back(Trim(condition.substr(begin)));
  return terms;
}

std::string_view ColumnOf(std::string_view ref, std::string_view table, bool qualified) {
  // Either part of "table.column" may be quoted ("[T].[C]" is translated so); a bare "C" in quotes
  // would be a text where no column has that name.
  auto unquoted = [](std::string_view part) {
    if (part.size() > 2 && part.front() == '"' && part.back() == '"')
      part = part.substr(1, part.size() - 2);
    return part;
  };
  ref = Trim(ref);
  if (const size_t dot = ref.find('.'); dot != std::string_view::npos) {
    if (!EqualsNoCase(unquoted(ref.substr(0, dot)), table)) return {};
    ref = unquoted(ref.substr(dot + 1));
  } else if (qualified) {
    return {};
  }
  return PlainName(ref) ? ref : std::string_view{};
}

std::vector<size_t> TableNamed(std::string_view sql, std::string_view table) {
  std::vector<size_t> at;
  for (size_t p : FindWord(sql, table, false)) {
    const size_t next = sql.find_first_not_of(' ', p + table.size());
    if ((p > 0 && sql[p - 1] == '.') || (next != std::string_view::npos && sql[next] == '.'))
      continue;
    at.push_back(p);
  }
  return at;
}

std::vector<std::string_view> UnionParts(std::string_view sql,
                                         std::initializer_list<const char*> refused) {
  if (sql.find_first_of(";?") != std::string_view::npos) return {};
  for (const char* word : refused) {
    if (!FindWord(sql, word, false).empty()) return {};
  }
  std::vector<std::string_view> selects;
  size_t begin = 0;
  for (size_t at : FindWord(sql, "UNION")) {
    selects.push_back(sql.substr(begin, at - begin));
    begin = at + 5;
    const std::string_view rest = Trim(sql.substr(begin));
    if (EqualsNoCase(rest.substr(0, 4), "ALL ")) begin = sql.find_first_not_of(' ', begin) + 3;
  }
  selects.push_back(sql.substr(begin));
  if (FindWord(sql, "SELECT", false).size() != selects.size()) return {};
  return selects;
}

}  // namespace sorvane
