#include "support/zip_file.h"

#include <unistd.h>
#include <zip.h>

#include <atomic>
#include <filesystem>
#include <stdexcept>

#include "support/work_db.h"

namespace sorvane::testing {

std::string ZipFile(const std::vector<std::pair<std::string, std::string>>& parts, bool deflate) {
  static std::atomic<int> counter{0};
  const auto path =
      std::filesystem::temp_directory_path() /
      ("sorvane_readers_" + std::to_string(getpid()) + "_" + std::to_string(counter++) + ".zip");
  zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
  if (zip == nullptr) throw std::runtime_error("cannot create " + path.string());
  for (const auto& [name, content] : parts) {
    zip_fileinfo info{};
    zipOpenNewFileInZip64(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                          deflate ? Z_DEFLATED : 0, Z_DEFAULT_COMPRESSION,
                          content.size() > 0xFFFFFFF0u);
    zipWriteInFileInZip(zip, content.data(), static_cast<unsigned>(content.size()));
    zipCloseFileInZip(zip);
  }
  zipClose(zip, nullptr);
  const std::string bytes = ReadFile(path);
  std::filesystem::remove(path);
  return bytes;
}

}  // namespace sorvane::testing
