#include "json_writer.h"

#include <charconv>
#include <cmath>

#include "core/text.h"

namespace sorvane::cli {

std::string JsonWriter::Quote(std::string_view text) {
  static const char* const kHex = "0123456789abcdef";
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      const size_t len = WellFormedUtf8At(text, i);
      if (len == 0) {
        out += "\xEF\xBF\xBD";  // U+FFFD
        ++i;
      } else {
        out.append(text.substr(i, len));
        i += len;
      }
      continue;
    }
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          out += "\\u00";
          out += kHex[c >> 4];
          out += kHex[c & 0xF];
        } else {
          out += static_cast<char>(c);
        }
    }
    ++i;
  }
  out += '"';
  return out;
}

void JsonWriter::Indent() {
  out_ << '\n';
  for (size_t i = 0; i < levels_.size(); ++i) out_ << "  ";
}

void JsonWriter::BeforeValue() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (levels_.empty()) return;
  if (!levels_.back().empty) out_ << ',';
  levels_.back().empty = false;
  Indent();
}

void JsonWriter::Key(std::string_view name) {
  BeforeValue();
  out_ << Quote(name) << ": ";
  after_key_ = true;
}

void JsonWriter::Open(char bracket) {
  BeforeValue();
  out_ << bracket;
  levels_.push_back(Level{});
}

void JsonWriter::Close(char bracket) {
  const bool empty = levels_.empty() || levels_.back().empty;
  if (!levels_.empty()) levels_.pop_back();
  if (!empty) Indent();
  out_ << bracket;
  if (levels_.empty()) out_ << '\n';
}

void JsonWriter::String(std::string_view text) {
  BeforeValue();
  out_ << Quote(text);
}

void JsonWriter::Integer(int64_t value) {
  BeforeValue();
  out_ << value;
}

void JsonWriter::Number(double value) {
  BeforeValue();
  if (!std::isfinite(value)) {
    out_ << "null";
    return;
  }
  char buf[32];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  out_.write(buf, end - buf);
}

void JsonWriter::Bool(bool value) {
  BeforeValue();
  out_ << (value ? "true" : "false");
}

void JsonWriter::Null() {
  BeforeValue();
  out_ << "null";
}

void WriteJsonValue(JsonWriter& json, const Value& v) {
  switch (v.kind()) {
    case Value::Kind::kMissing:
      json.Null();
      break;
    case Value::Kind::kInteger:
      json.Integer(v.AsInteger());
      break;
    case Value::Kind::kReal:
      json.Number(v.AsReal());
      break;
    case Value::Kind::kDate:
      json.String(v.AsDate().ToIsoT());
      break;
    case Value::Kind::kText:
      json.String(v.AsText());
      break;
  }
}

}  // namespace sorvane::cli
