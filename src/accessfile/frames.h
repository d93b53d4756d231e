// The messages a reading child process sends the program over a pipe: a tag
// byte, the payload's length as 4 bytes (little-endian), then the payload.
// Rows carry one tagged value per column; nothing in a payload is trusted by
// the decoder, which refuses anything that does not add up.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/value.h"
#include "workdb/table_source.h"

namespace sorvane {

enum class FrameTag : uint8_t {
  kTableName = 'N',  // one name of the file's tables
  kColumns = 'C',    // the columns of the table being read
  kRow = 'R',        // one row
  kNoTable = 'M',    // the file has no table of the name asked for
  kError = 'E',      // the reason the file could not be read
  kEnd = 'Z',        // everything was sent
};

inline constexpr size_t kFrameHeaderSize = 5;

std::string EncodeFrame(FrameTag tag, std::string_view payload);
std::string EncodeColumns(const std::vector<SourceColumn>& columns);
std::string EncodeRow(const std::vector<Value>& row);

// False when the payload is not exactly what the encoder makes.
bool DecodeColumns(std::string_view payload, std::vector<SourceColumn>& columns);
bool DecodeRow(std::string_view payload, size_t columns, std::vector<Value>& row);

// Writes all of `bytes` to `fd`, retrying after interruptions; false when the
// pipe is gone.
bool WriteAll(int fd, std::string_view bytes);

}  // namespace sorvane
