#include <cmath>
#include <cstdio>

#include "core/value.h"
#include "import/readers/number_format_section.h"

namespace sorvane::readers {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The decimal digits of the whole number `w` (≥ 0), "" for 0.
std::string WholeDigits(double w) {
  if (w < 1) return "";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.0f", w);
  return buf;
}

// `digits` in the placeholders `marks` ('0', '#', '?'), right-aligned as a
// number's whole part is: a placeholder without a digit shows '0', nothing
// or a blank; digits beyond the placeholders all show.
std::string RightAligned(const std::string& digits, const std::string& marks) {
  std::string out;
  for (size_t k = 0; k + digits.size() < marks.size(); ++k) {
    if (marks[k] == '0') out += '0';
    if (marks[k] == '?') out += ' ';
  }
  return out + digits;
}

// The same left-aligned, as a denominator is: blanks after it, never zeros
// (which would read as another denominator).
std::string LeftAligned(const std::string& digits, const std::string& marks) {
  std::string out = digits;
  for (size_t k = digits.size(); k < marks.size(); ++k) {
    if (marks[k] != '#') out += ' ';
  }
  return out;
}

// The fraction n/d closest to `x` (≥ 0) with d from 1 to `most`, the smallest
// d among equally close ones.
void Closest(double x, int most, double& n, int64_t& d) {
  n = std::round(x);
  d = 1;
  double off = std::fabs(x - n);
  for (int k = 2; k <= most && off > 0; ++k) {
    const double m = std::round(x * k);
    const double e = std::fabs(x - m / k);
    if (e < off) {
      off = e;
      n = m;
      d = k;
    }
  }
}

}  // namespace

void MarkFraction(NumberFormat::Section& sec) {
  const std::vector<Token>& toks = sec.tokens;
  for (const Token& t : toks) {
    if (t.kind == Tok::kPoint || t.kind == Tok::kExponent || t.kind == Tok::kGeneral ||
        t.kind == Tok::kText)
      return;
  }
  for (size_t i = 1; i < toks.size(); ++i) {
    const std::string& text = toks[i].text;
    if (toks[i].kind != Tok::kLiteral || text.empty() || text[0] != '/' ||
        toks[i - 1].kind != Tok::kDigit)
      continue;
    int64_t fixed = 0;
    size_t end = i + 1;  // the first token after the denominator
    if (text.size() > 1 && text[1] >= '1' && text[1] <= '9') {
      int digits = 0;
      size_t k = 1;
      for (; k < text.size() && IsDigit(text[k]); ++k, ++digits)
        fixed = fixed * 10 + (text[k] - '0');
      // Its zeros are placeholders to the tokenizer ("/1" "0" "0" for 100).
      while (k == text.size() && end < toks.size() && toks[end].kind == Tok::kDigit &&
             toks[end].ch == '0') {
        fixed *= 10;
        ++digits;
        ++end;
      }
      if (digits > 9) return;  // no denominator of ten digits or more
    } else if (text.size() == 1 && end < toks.size() && toks[end].kind == Tok::kDigit) {
      while (end < toks.size() && toks[end].kind == Tok::kDigit) ++end;
    } else {
      return;
    }
    // Placeholders after the denominator make a mask ("00/00/0000"), no fraction.
    for (size_t k = end; k < toks.size(); ++k) {
      if (toks[k].kind == Tok::kDigit) return;
    }
    sec.fraction = true;
    sec.slash = i;
    sec.fraction_end = end;
    sec.denominator = fixed;
    return;
  }
}

std::string RenderFraction(const NumberFormat::Section& sec, double value) {
  const std::vector<Token>& toks = sec.tokens;
  const double a = std::fabs(value) * std::pow(100.0, sec.percent) / std::pow(1000.0, sec.scale);
  // Past what a double holds whole to the unit, there is no fraction to find.
  if (!(a < 1e15)) return FormatGeneral(value);
  size_t num_begin = sec.slash;
  while (num_begin > 0 && toks[num_begin - 1].kind == Tok::kDigit) --num_begin;
  const size_t den_end = sec.fraction_end;
  std::string whole_marks, num_marks, den_marks;
  bool grouped = false;
  for (size_t i = 0; i < num_begin; ++i) {
    if (toks[i].kind == Tok::kDigit) whole_marks += toks[i].ch;
    grouped = grouped || (toks[i].kind == Tok::kThousands && toks[i].ch == 'G');
  }
  for (size_t i = num_begin; i < sec.slash; ++i) num_marks += toks[i].ch;
  for (size_t i = sec.slash + 1; sec.denominator == 0 && i < den_end; ++i) den_marks += toks[i].ch;

  const bool has_whole = !whole_marks.empty();
  double whole = has_whole ? std::floor(a) : 0;
  const double part = a - whole;
  double num = 0;
  int64_t den = 1;
  if (sec.denominator > 0) {
    // Halves round down, as the spreadsheet does: 1.75 in halves is 1 1/2.
    den = sec.denominator;
    num = std::ceil(part * static_cast<double>(den) - 0.5);
  } else {
    const int places = std::min<int>(static_cast<int>(den_marks.size()), 4);
    Closest(part, static_cast<int>(std::pow(10, places)) - 1, num, den);
  }
  if (has_whole && num >= static_cast<double>(den)) {  // 0.99 as 1/1: the next whole number
    whole += 1;
    num = 0;
  }
  // A whole number shows a blank for each placeholder of the fraction and for
  // its '/' (a fixed denominator's digits go), and at least "0"; a numerator
  // written with '0' shows the fraction anyway ("1 0/1").
  const bool blank = has_whole && num == 0 && num_marks.find('0') == std::string::npos;
  std::string digits = blank && whole == 0 ? "0" : WholeDigits(whole);
  for (size_t at = digits.size(); grouped && at > 3;) {
    at -= 3;
    digits.insert(at, ",");
  }
  const std::string whole_text = RightAligned(digits, whole_marks);
  std::string out = value < 0 && !sec.drop_sign && (whole > 0 || num > 0) ? "-" : "";
  bool whole_put = false;
  for (size_t i = 0; i < toks.size(); ++i) {
    const Token& t = toks[i];
    if (i >= num_begin && i < den_end) {
      if (i == num_begin) {
        out += blank ? std::string(num_marks.size(), ' ')
                     : RightAligned(num == 0 ? "0" : WholeDigits(num), num_marks);
      } else if (i == sec.slash) {
        // The '/' and a fixed denominator; any text after them stays.
        size_t k = 1;
        while (sec.denominator > 0 && k < t.text.size() && IsDigit(t.text[k])) ++k;
        out += blank ? " " : sec.denominator > 0 ? "/" + std::to_string(den) : "/";
        out += t.text.substr(k);
      } else if (i == sec.slash + 1 && sec.denominator == 0) {
        out += blank ? std::string(den_marks.size(), ' ')
                     : LeftAligned(std::to_string(den), den_marks);
      }
      continue;
    }
    switch (t.kind) {
      case Tok::kLiteral:
        out += t.text;
        break;
      case Tok::kDigit:
        if (!whole_put) out += whole_text;
        whole_put = true;
        break;
      case Tok::kPercent:
        out += '%';
        break;
      default:
        break;
    }
  }
  return out;
}

}  // namespace sorvane::readers
