#include "json_writer.h"

#include <charconv>
#include <cmath>

#include "core/text.h"

namespace sorvane::cli {

std::string JsonWriter::Quote(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  AppendQuoted(out, text);
  return out;
}

void JsonWriter::AppendQuoted(std::string& out, std::string_view text) {
  static const char* const kHex = "0123456789abcdef";
  out += '"';
  for (size_t i = 0; i < text.size();) {
    // A run that needs no escape goes in whole.
    size_t plain = i;
    while (plain < text.size()) {
      const unsigned char c = static_cast<unsigned char>(text[plain]);
      if (c < 0x20 || c >= 0x7F || c == '"' || c == '\\') break;
      ++plain;
    }
    out.append(text.substr(i, plain - i));
    i = plain;
    if (i == text.size()) break;
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
      default:  // the other control characters and DEL
        out += "\\u00";
        out += kHex[c >> 4];
        out += kHex[c & 0xF];
    }
    ++i;
  }
  out += '"';
}

void JsonWriter::Flush() {
  if (buffer_.empty()) return;
  out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
  buffer_.clear();
}

void JsonWriter::Indent() {
  buffer_ += '\n';
  buffer_.append(2 * levels_.size(), ' ');
}

void JsonWriter::BeforeValue() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (levels_.empty()) return;
  if (!levels_.back().empty) buffer_ += ',';
  levels_.back().empty = false;
  Indent();
}

void JsonWriter::Key(std::string_view name) {
  BeforeValue();
  AppendQuoted(buffer_, name);
  buffer_ += ": ";
  after_key_ = true;
}

void JsonWriter::Open(char bracket) {
  BeforeValue();
  buffer_ += bracket;
  levels_.push_back(Level{});
}

void JsonWriter::Close(char bracket) {
  const bool empty = levels_.empty() || levels_.back().empty;
  if (!levels_.empty()) levels_.pop_back();
  if (!empty) Indent();
  buffer_ += bracket;
  if (levels_.empty()) buffer_ += '\n';
  ValueEnded();
}

void JsonWriter::String(std::string_view text) {
  BeforeValue();
  AppendQuoted(buffer_, text);
  ValueEnded();
}

void JsonWriter::Raw(std::string_view json) {
  BeforeValue();
  Put(json);
}

void JsonWriter::Integer(int64_t value) {
  BeforeValue();
  char buf[24];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  Put(std::string_view(buf, static_cast<size_t>(end - buf)));
}

void JsonWriter::Number(double value) {
  BeforeValue();
  if (!std::isfinite(value)) {
    Put("null");
    return;
  }
  char buf[32];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  Put(std::string_view(buf, static_cast<size_t>(end - buf)));
}

void JsonWriter::Bool(bool value) {
  BeforeValue();
  Put(value ? "true" : "false");
}

void JsonWriter::Null() {
  BeforeValue();
  Put("null");
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
