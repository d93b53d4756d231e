// A JSON reader for tests (Qt's parser): parses a whole document into a tree or
// throws std::runtime_error naming the offset where it stopped.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sorvane::testing {

struct Json {
  enum class Type { kNull, kBool, kNumber, kString, kArray, kObject } type = Type::kNull;
  bool boolean = false;
  double number = 0;
  std::string string;
  std::vector<Json> array;
  std::map<std::string, Json> object;

  const Json& operator[](const std::string& key) const { return object.at(key); }
  const Json& operator[](size_t i) const { return array.at(i); }
  bool IsNull() const { return type == Type::kNull; }
};

Json ParseJson(std::string_view text);

}  // namespace sorvane::testing
