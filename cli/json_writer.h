// A small streaming JSON writer: objects, arrays, strings, numbers, booleans and
// null, indented two blanks per level. Strings are escaped as JSON requires
// (quote, backslash and every control character); UTF-8 passes through, and a
// byte sequence that is not UTF-8 becomes U+FFFD so the output always parses.
// Numbers that JSON cannot hold (infinities, NaN) are written as null. The text
// is gathered in blocks and handed to the stream a block at a time, and whole
// once the outermost value is closed (a report of a million places is hundreds
// of megabytes, which the stream would take a character at a time).
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "core/value.h"

namespace sorvane::cli {

class JsonWriter {
 public:
  explicit JsonWriter(std::ostream& out) : out_(out) {}
  ~JsonWriter() { Flush(); }
  JsonWriter(const JsonWriter&) = delete;
  JsonWriter& operator=(const JsonWriter&) = delete;

  void BeginObject() { Open('{'); }
  void EndObject() { Close('}'); }
  void BeginArray() { Open('['); }
  void EndArray() { Close(']'); }
  // The name of the next member of the current object.
  void Key(std::string_view name);

  void String(std::string_view text);
  void Integer(int64_t value);
  void Number(double value);
  void Bool(bool value);
  void Null();
  // A value already written as JSON (a row kept from a report).
  void Raw(std::string_view json);

  // `text` as a JSON string literal, quotes included.
  static std::string Quote(std::string_view text);

  // Hands the text gathered so far to the stream.
  void Flush();

 private:
  static void AppendQuoted(std::string& out, std::string_view text);
  // After a value: the block goes to the stream when it is full, and so does
  // everything once the outermost value is whole.
  void ValueEnded() {
    if (buffer_.size() >= kBlockBytes || levels_.empty()) Flush();
  }
  void Put(std::string_view text) {
    buffer_.append(text);
    ValueEnded();
  }
  static constexpr size_t kBlockBytes = size_t{1} << 16;

  void Open(char bracket);
  void Close(char bracket);
  // Separator and indentation before a value (nothing after a key).
  void BeforeValue();
  void Indent();

  std::ostream& out_;
  std::string buffer_;
  struct Level {
    bool empty = true;
  };
  std::vector<Level> levels_;
  bool after_key_ = false;
};

// A cell as JSON: texts as strings, numbers as numbers, dates as
// "YYYY-MM-DDTHH:MM:SS", a missing value as null.
void WriteJsonValue(JsonWriter& json, const Value& value);

}  // namespace sorvane::cli
