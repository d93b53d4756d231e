#include "workdb/jet_sql.h"

#include <cctype>
#include <vector>

#include "core/convert.h"
#include "core/text.h"

namespace sorvane {
namespace {

enum class Tok { kSpace, kWord, kString, kQuoted, kNumber, kPunct };

struct Token {
  Tok kind;
  std::string text;
};

bool IsWordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' ||
         static_cast<unsigned char>(c) >= 0x80;
}

std::vector<Token> Tokenize(std::string_view s) {
  std::vector<Token> out;
  size_t i = 0;
  while (i < s.size()) {
    char c = s[i];
    size_t start = i;
    if (std::isspace(static_cast<unsigned char>(c))) {
      while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
      out.push_back({Tok::kSpace, std::string(s.substr(start, i - start))});
    } else if (c == '\'') {
      ++i;
      while (i < s.size()) {
        if (s[i] == '\'') {
          if (i + 1 < s.size() && s[i + 1] == '\'') {
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        ++i;
      }
      out.push_back({Tok::kString, std::string(s.substr(start, i - start))});
    } else if (c == '[') {
      size_t close = s.find(']', i + 1);
      if (close == std::string_view::npos) close = s.size() - 1;
      std::string name(s.substr(i + 1, close - i - 1));
      out.push_back({Tok::kQuoted, "\"" + ReplaceAll(name, "\"", "\"\"") + "\""});
      i = close + 1;
    } else if (c == '"') {
      ++i;
      while (i < s.size() && s[i] != '"') ++i;
      if (i < s.size()) ++i;
      out.push_back({Tok::kQuoted, std::string(s.substr(start, i - start))});
    } else if (c == '#') {
      size_t close = s.find('#', i + 1);
      std::string_view inner =
          close == std::string_view::npos ? s.substr(i + 1) : s.substr(i + 1, close - i - 1);
      auto d = ToDate(inner);
      if (d && close != std::string_view::npos) {
        out.push_back({Tok::kString, "'" + d->ToIso() + "'"});
        i = close + 1;
      } else {
        out.push_back({Tok::kPunct, "#"});
        ++i;
      }
    } else if (std::isdigit(static_cast<unsigned char>(c)) ||
               (c == '.' && i + 1 < s.size() &&
                std::isdigit(static_cast<unsigned char>(s[i + 1])))) {
      while (i < s.size() && (std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '.')) ++i;
      out.push_back({Tok::kNumber, std::string(s.substr(start, i - start))});
    } else if (IsWordChar(c)) {
      while (i < s.size() && IsWordChar(s[i])) ++i;
      out.push_back({Tok::kWord, std::string(s.substr(start, i - start))});
    } else {
      // Two-character operators stay together.
      if (i + 1 < s.size()) {
        std::string two(s.substr(i, 2));
        if (two == "<>" || two == "<=" || two == ">=" || two == "||" || two == "!=") {
          out.push_back({Tok::kPunct, two});
          i += 2;
          continue;
        }
      }
      out.push_back({Tok::kPunct, std::string(1, c)});
      ++i;
    }
  }
  return out;
}

bool IsWord(const Token& t, std::string_view w) {
  return t.kind == Tok::kWord && EqualsNoCase(t.text, w);
}

// Index of the next token that is not blank, or tokens.size().
size_t NextSolid(const std::vector<Token>& t, size_t i) {
  while (i < t.size() && t[i].kind == Tok::kSpace) ++i;
  return i;
}

std::string LikePattern(const std::string& literal) {
  std::string out;
  for (char c : literal) {
    if (c == '*')
      out += '%';
    else if (c == '?')
      out += '_';
    else
      out += c;
  }
  return out;
}

std::string Join(const std::vector<Token>& t, size_t from, size_t to) {
  std::string s;
  for (size_t i = from; i < to && i < t.size(); ++i) s += t[i].text;
  return s;
}

// Positions of top-level (outside parentheses) keywords.
size_t FindTop(const std::vector<Token>& t, size_t from, std::string_view word) {
  int depth = 0;
  for (size_t i = from; i < t.size(); ++i) {
    if (t[i].kind == Tok::kPunct && t[i].text == "(") ++depth;
    if (t[i].kind == Tok::kPunct && t[i].text == ")") --depth;
    if (depth == 0 && IsWord(t[i], word)) return i;
  }
  return t.size();
}

// Removes a "table." qualifier in front of the column that each assignment sets.
std::string StripSetTargets(const std::vector<Token>& t, size_t from, size_t to,
                            std::string* target) {
  std::string out;
  bool at_lhs = true;
  int depth = 0;
  for (size_t i = from; i < to; ++i) {
    const Token& k = t[i];
    if (k.kind == Tok::kPunct && k.text == "(") ++depth;
    if (k.kind == Tok::kPunct && k.text == ")") --depth;
    if (at_lhs && (k.kind == Tok::kWord || k.kind == Tok::kQuoted)) {
      size_t dot = i + 1;
      if (dot < to && t[dot].kind == Tok::kPunct && t[dot].text == ".") {
        if (target != nullptr && target->empty()) *target = k.text;
        ++i;  // skip the qualifier and its dot
        continue;
      }
    }
    if (k.kind == Tok::kPunct && k.text == "=" && depth == 0) at_lhs = false;
    if (k.kind == Tok::kPunct && k.text == "," && depth == 0) at_lhs = true;
    out += k.text;
  }
  return out;
}

std::string RewriteUpdate(const std::vector<Token>& t) {
  size_t first = NextSolid(t, 0);
  if (first >= t.size() || !IsWord(t[first], "UPDATE")) return Join(t, 0, t.size());
  size_t set = FindTop(t, first, "SET");
  if (set == t.size()) return Join(t, 0, t.size());
  size_t inner = FindTop(t, first, "INNER");
  size_t where = FindTop(t, set, "WHERE");
  if (inner == t.size() || inner > set) {
    // Plain UPDATE: only the qualifiers of the set columns go.
    return Join(t, 0, set + 1) + StripSetTargets(t, set + 1, where, nullptr) +
           Join(t, where, t.size());
  }
  size_t join = FindTop(t, inner, "JOIN");
  size_t on = FindTop(t, join, "ON");
  std::string left(TrimWhitespace(Join(t, first + 1, inner)));
  std::string right(TrimWhitespace(Join(t, join + 1, on)));
  std::string cond(TrimWhitespace(Join(t, on + 1, set)));
  std::string target;
  std::string assignments(TrimWhitespace(StripSetTargets(t, set + 1, where, &target)));
  if (target.empty()) target = left;
  std::string other = EqualsNoCase(target, right) ? left : right;
  std::string sql =
      "UPDATE " + target + " SET " + assignments + " FROM " + other + " WHERE (" + cond + ")";
  if (where < t.size()) {
    sql += " AND (" + std::string(TrimWhitespace(Join(t, where + 1, t.size()))) + ")";
  }
  return sql;
}

// "FROM a RIGHT JOIN b ON c" -> "FROM b LEFT JOIN a ON c": the same rows, and
// SQLite plans the left join with the indexes of `a` (it cannot flatten a view
// that stands on the right of a RIGHT JOIN and would scan it once per row).
// Only plain table or view names are swapped; anything else is left as it is.
void SwapRightJoins(std::vector<Token>& t) {
  for (size_t i = 0; i < t.size(); ++i) {
    if (!IsWord(t[i], "RIGHT")) continue;
    size_t join = NextSolid(t, i + 1);
    if (join >= t.size() || !IsWord(t[join], "JOIN")) continue;
    // Left operand: the one name before RIGHT, preceded by FROM.
    size_t l = i;
    while (l > 0 && t[l - 1].kind == Tok::kSpace) --l;
    if (l == 0) continue;
    size_t left = l - 1;
    if (t[left].kind != Tok::kWord && t[left].kind != Tok::kQuoted) continue;
    size_t f = left;
    while (f > 0 && t[f - 1].kind == Tok::kSpace) --f;
    if (f == 0 || !IsWord(t[f - 1], "FROM")) continue;
    // Right operand: the one name between JOIN and ON.
    size_t right = NextSolid(t, join + 1);
    if (right >= t.size() || (t[right].kind != Tok::kWord && t[right].kind != Tok::kQuoted))
      continue;
    size_t on = NextSolid(t, right + 1);
    if (on >= t.size() || !IsWord(t[on], "ON")) continue;
    std::swap(t[left].text, t[right].text);
    t[i].text = "LEFT";
  }
}

}  // namespace

std::string TranslateJet(std::string_view jet_sql) {
  std::vector<Token> t = Tokenize(jet_sql);
  std::vector<Token> out;
  out.reserve(t.size());
  for (size_t i = 0; i < t.size(); ++i) {
    Token k = t[i];
    if (k.kind == Tok::kWord) {
      size_t n = NextSolid(t, i + 1);
      bool call = n < t.size() && t[n].kind == Tok::kPunct && t[n].text == "(";
      if (call && EqualsNoCase(k.text, "UCASE"))
        k.text = "JET_UCASE";
      else if (call && EqualsNoCase(k.text, "LCASE"))
        k.text = "LOWER";
      else if (call && EqualsNoCase(k.text, "INT"))
        k.text = "JET_INT";
      else if (call && EqualsNoCase(k.text, "FORMAT"))
        k.text = "JET_FORMAT";
      else if (call && EqualsNoCase(k.text, "NOW"))
        k.text = "JET_NOW";
      else if (EqualsNoCase(k.text, "DELETE") && n < t.size() && t[n].text == "*") {
        // DELETE * FROM -> DELETE FROM
        out.push_back(k);
        i = n;
        continue;
      } else if (EqualsNoCase(k.text, "LIKE") && n < t.size() && t[n].kind == Tok::kString) {
        out.push_back(k);
        for (size_t j = i + 1; j < n; ++j) out.push_back(t[j]);
        out.push_back({Tok::kString, LikePattern(t[n].text)});
        i = n;
        continue;
      }
    } else if (k.kind == Tok::kPunct && k.text == "/") {
      out.push_back({Tok::kPunct, "*"});
      out.push_back({Tok::kNumber, "1.0"});
      out.push_back({Tok::kPunct, "/"});
      continue;
    }
    out.push_back(std::move(k));
  }
  SwapRightJoins(out);
  return RewriteUpdate(out);
}

}  // namespace sorvane
