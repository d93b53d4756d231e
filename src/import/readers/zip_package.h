// The zip container of .xlsx workbooks, through minizip. Part names are looked up
// the way packages name them in practice: case-insensitively, with "/" or "\" as
// separator and with or without a leading "/". Every byte inflated counts
// against the ReadLimits: per part, for the whole package and against the
// compression ratio, so a decompression bomb is refused within moments.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "import/readers/workbook_reader.h"

namespace sorvane::readers {

class ZipPackage {
 public:
  // Fails with kDamaged when the central directory cannot be read and with
  // kDamaged when two parts share one name.
  ZipPackage(const std::filesystem::path& file, const ReadLimits& limits);
  // `bytes` must outlive the package.
  ZipPackage(std::string_view bytes, const ReadLimits& limits);
  ~ZipPackage();
  ZipPackage(const ZipPackage&) = delete;
  ZipPackage& operator=(const ZipPackage&) = delete;

  // The canonical form of a part name: lower case, "/" separators, no leading "/".
  static std::string NormalName(std::string_view name);
  bool Has(std::string_view name) const;
  // The inflated size the directory declares for all parts but `name` (what a
  // part may claim of the rest; a lie only makes a bound tighter or looser).
  uint64_t DeclaredBytesBesides(std::string_view name) const;
  const ReadLimits& limits() const { return limits_; }
  // Multiplies the bounds of a part and of the package (not the ratio), for
  // a format that takes that many more bytes to say the same.
  void ScaleSizeLimits(uint64_t factor);
  size_t part_count() const { return index_.size(); }

  // Hands the inflated bytes of a part to `sink` in chunks until the part ends or
  // `sink` returns false. Fails with kDamaged (missing part, corrupt data, wrong
  // checksum) or kTooLarge.
  void Read(std::string_view name, const std::function<bool(const char*, size_t)>& sink);

 private:
  struct Entry {
    uint64_t pos_in_central_dir;
    uint64_t num_of_file;
    uint64_t declared_bytes;
  };
  void Index();
  void IndexOrClose();

  struct MemoryFile;
  std::unique_ptr<MemoryFile> memory_;
  void* zip_ = nullptr;
  ReadLimits limits_;
  uint64_t total_ = 0;
  uint64_t package_bytes_ = 0;  // caps the compressed size a header claims
  std::unordered_map<std::string, Entry> index_;
  std::unordered_map<std::string, uint64_t> counted_;  // inflated bytes per part
};

}  // namespace sorvane::readers
