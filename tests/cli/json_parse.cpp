#include "json_parse.h"

#include <cctype>
#include <charconv>
#include <stdexcept>

#include "import/readers/utf8.h"

namespace sorvane::testing {
namespace {

class Parser {
 public:
  explicit Parser(std::string_view text) : s_(text) {}

  Json Document() {
    Json v = Value();
    Space();
    if (i_ != s_.size()) Fail("trailing text");
    return v;
  }

 private:
  [[noreturn]] void Fail(const std::string& why) {
    throw std::runtime_error("JSON: " + why + " at offset " + std::to_string(i_));
  }
  void Space() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\r' || s_[i_] == '\t'))
      ++i_;
  }
  void Expect(std::string_view word) {
    if (s_.substr(i_, word.size()) != word) Fail("expected " + std::string(word));
    i_ += word.size();
  }
  Json Value() {
    Space();
    if (i_ >= s_.size()) Fail("unexpected end");
    Json v;
    switch (s_[i_]) {
      case 'n':
        Expect("null");
        return v;
      case 't':
        Expect("true");
        v.type = Json::Type::kBool;
        v.boolean = true;
        return v;
      case 'f':
        Expect("false");
        v.type = Json::Type::kBool;
        return v;
      case '"':
        v.type = Json::Type::kString;
        v.string = String();
        return v;
      case '[':
        return Array();
      case '{':
        return Object();
      default:
        return Number();
    }
  }
  Json Number() {
    const size_t start = i_;
    if (i_ < s_.size() && s_[i_] == '-') ++i_;
    if (i_ >= s_.size() || !std::isdigit(static_cast<unsigned char>(s_[i_]))) Fail("bad number");
    if (s_[i_] == '0' && i_ + 1 < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i_ + 1])))
      Fail("leading zero");
    while (i_ < s_.size() &&
           std::string_view("0123456789.eE+-").find(s_[i_]) != std::string_view::npos)
      ++i_;
    Json v;
    v.type = Json::Type::kNumber;
    auto [end, ec] = std::from_chars(s_.data() + start, s_.data() + i_, v.number);
    if (ec != std::errc() || end != s_.data() + i_) Fail("bad number");
    return v;
  }
  uint32_t Hex4() {
    if (i_ + 4 > s_.size()) Fail("short \\u escape");
    uint32_t v = 0;
    auto [end, ec] = std::from_chars(s_.data() + i_, s_.data() + i_ + 4, v, 16);
    if (ec != std::errc() || end != s_.data() + i_ + 4) Fail("bad \\u escape");
    i_ += 4;
    return v;
  }
  std::string String() {
    ++i_;  // opening quote
    std::string out;
    while (true) {
      if (i_ >= s_.size()) Fail("unterminated string");
      const unsigned char c = static_cast<unsigned char>(s_[i_++]);
      if (c == '"') return out;
      if (c < 0x20) Fail("raw control character in string");
      if (c != '\\') {
        out += static_cast<char>(c);
        continue;
      }
      if (i_ >= s_.size()) Fail("unterminated escape");
      const char e = s_[i_++];
      switch (e) {
        case '"':
          out += '"';
          break;
        case '\\':
          out += '\\';
          break;
        case '/':
          out += '/';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          uint32_t cp = Hex4();
          if (cp >= 0xD800 && cp <= 0xDBFF) {
            Expect("\\u");
            const uint32_t low = Hex4();
            if (low < 0xDC00 || low > 0xDFFF) Fail("lone surrogate");
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          }
          readers::AppendCodePoint(cp, out);
          break;
        }
        default:
          Fail("bad escape");
      }
    }
  }
  Json Array() {
    ++i_;
    Json v;
    v.type = Json::Type::kArray;
    Space();
    if (i_ < s_.size() && s_[i_] == ']') {
      ++i_;
      return v;
    }
    while (true) {
      v.array.push_back(Value());
      Space();
      if (i_ < s_.size() && s_[i_] == ',') {
        ++i_;
        continue;
      }
      Expect("]");
      return v;
    }
  }
  Json Object() {
    ++i_;
    Json v;
    v.type = Json::Type::kObject;
    Space();
    if (i_ < s_.size() && s_[i_] == '}') {
      ++i_;
      return v;
    }
    while (true) {
      Space();
      if (i_ >= s_.size() || s_[i_] != '"') Fail("expected a key");
      std::string key = String();
      Space();
      Expect(":");
      if (!v.object.emplace(key, Value()).second) Fail("duplicate key " + key);
      Space();
      if (i_ < s_.size() && s_[i_] == ',') {
        ++i_;
        continue;
      }
      Expect("}");
      return v;
    }
  }

  std::string_view s_;
  size_t i_ = 0;
};

}  // namespace

Json ParseJson(std::string_view text) { return Parser(text).Document(); }

}  // namespace sorvane::testing
