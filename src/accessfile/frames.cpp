#include "accessfile/frames.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace sorvane {
namespace {

enum : char { kMissing = 'N', kInteger = 'I', kReal = 'F', kDate = 'D', kText = 'T' };

void Put64(std::string& out, uint64_t v) {
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void Put32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void PutText(std::string& out, std::string_view text) {
  Put32(out, static_cast<uint32_t>(text.size()));
  out.append(text);
}

// Reads from the front of `in`, shortening it; false when too little is left.
bool Get(std::string_view& in, size_t n, uint64_t& v) {
  if (in.size() < n) return false;
  v = 0;
  for (size_t i = 0; i < n; ++i) v |= static_cast<uint64_t>(static_cast<uint8_t>(in[i])) << (8 * i);
  in.remove_prefix(n);
  return true;
}
bool GetText(std::string_view& in, std::string& text) {
  uint64_t n = 0;
  if (!Get(in, 4, n) || in.size() < n) return false;
  text.assign(in.substr(0, n));
  in.remove_prefix(n);
  return true;
}

}  // namespace

std::string EncodeFrame(FrameTag tag, std::string_view payload) {
  std::string out;
  out.reserve(kFrameHeaderSize + payload.size());
  out.push_back(static_cast<char>(tag));
  Put32(out, static_cast<uint32_t>(payload.size()));
  out.append(payload);
  return out;
}

std::string EncodeColumns(const std::vector<SourceColumn>& columns) {
  std::string out;
  Put32(out, static_cast<uint32_t>(columns.size()));
  for (const SourceColumn& c : columns) {
    out.push_back(static_cast<char>(c.kind));
    PutText(out, c.name);
  }
  return out;
}

std::string EncodeRow(const std::vector<Value>& row) {
  std::string out;
  for (const Value& v : row) {
    switch (v.kind()) {
      case Value::Kind::kMissing:
        out.push_back(kMissing);
        break;
      case Value::Kind::kInteger:
        out.push_back(kInteger);
        Put64(out, static_cast<uint64_t>(v.AsInteger()));
        break;
      case Value::Kind::kReal: {
        uint64_t bits = 0;
        const double d = v.AsReal();
        std::memcpy(&bits, &d, sizeof bits);
        out.push_back(kReal);
        Put64(out, bits);
        break;
      }
      case Value::Kind::kDate:
        out.push_back(kDate);
        Put64(out, static_cast<uint64_t>(v.AsDate().Ticks()));
        break;
      case Value::Kind::kText:
        out.push_back(kText);
        PutText(out, v.AsText());
        break;
    }
  }
  return out;
}

bool DecodeColumns(std::string_view in, std::vector<SourceColumn>& columns) {
  uint64_t n = 0;
  if (!Get(in, 4, n) || n > in.size()) return false;  // each column takes bytes
  columns.clear();
  for (uint64_t i = 0; i < n; ++i) {
    uint64_t kind = 0;
    SourceColumn c;
    if (!Get(in, 1, kind) || kind > static_cast<uint64_t>(SourceKind::kBinary) ||
        !GetText(in, c.name))
      return false;
    c.kind = static_cast<SourceKind>(kind);
    columns.push_back(std::move(c));
  }
  return in.empty();
}

bool DecodeRow(std::string_view in, size_t columns, std::vector<Value>& row) {
  row.assign(columns, Value());
  for (size_t i = 0; i < columns; ++i) {
    if (in.empty()) return false;
    const char tag = in.front();
    in.remove_prefix(1);
    uint64_t v = 0;
    switch (tag) {
      case kMissing:
        break;
      case kInteger:
        if (!Get(in, 8, v)) return false;
        row[i] = Value::Integer(static_cast<int64_t>(v));
        break;
      case kReal: {
        if (!Get(in, 8, v)) return false;
        double d = 0;
        std::memcpy(&d, &v, sizeof d);
        row[i] = Value::Real(d);
        break;
      }
      case kDate: {
        static const uint64_t kLast = static_cast<uint64_t>(
            Date::FromParts(9999, 12, 31, 23, 59, 59).value_or(Date()).Ticks());
        if (!Get(in, 8, v) || v > kLast) return false;
        row[i] = Value::FromDate(Date::FromTicks(static_cast<int64_t>(v)));
        break;
      }
      case kText: {
        std::string text;
        if (!GetText(in, text)) return false;
        row[i] = Value::Text(std::move(text));
        break;
      }
      default:
        return false;
    }
  }
  return in.empty();
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

}  // namespace sorvane
