#include "checks/workbook_stamp.h"

#include <xlsxwriter.h>

#include <charconv>
#include <chrono>
#include <string>
#include <string_view>
#include <system_error>

#include "core/errors.h"
#include "import/readers/zip_package.h"

namespace sorvane {
namespace fs = std::filesystem;

namespace {

// The property's name stays as the first files carrying it have it.
constexpr char kStampProperty[] = "Sorvane export";

fs::file_time_type StampTime(int64_t stamp) {
  return std::chrono::file_clock::from_sys(std::chrono::sys_seconds(std::chrono::seconds(stamp)));
}

// The first "<stem> (n)<ext>" beside `path` that does not exist yet.
fs::path FreeSiblingName(const fs::path& path) {
  std::error_code ec;
  for (int n = 1;; ++n) {
    fs::path candidate = path.parent_path() / (path.stem().string() + " (" + std::to_string(n) +
                                               ")" + path.extension().string());
    if (!fs::exists(candidate, ec)) return candidate;
  }
}

}  // namespace

int64_t StampWorkbook(lxw_workbook* book) {
  // Whole seconds since 1970, so every file system can hold the time exactly
  // enough (FAT keeps two-second steps; the check allows for that).
  const int64_t stamp = std::chrono::duration_cast<std::chrono::seconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
  workbook_set_custom_property_string(book, kStampProperty, std::to_string(stamp).c_str());
  return stamp;
}

void SetStampTime(const fs::path& file, int64_t stamp) {
  std::error_code ec;
  fs::last_write_time(file, StampTime(stamp), ec);
}

bool IsUntouchedWorkbook(const fs::path& file) {
  try {
    std::error_code ec;
    const fs::file_time_type modified = fs::last_write_time(file, ec);
    if (ec) return false;
    ReadLimits limits;
    limits.max_part_bytes = 1 << 20;
    readers::ZipPackage package(file, limits);
    if (!package.Has("docProps/custom.xml")) return false;
    std::string xml;
    package.Read("docProps/custom.xml", [&](const char* data, size_t n) {
      xml.append(data, n);
      return true;
    });
    size_t at = xml.find(std::string("name=\"") + kStampProperty + "\"");
    if (at == std::string::npos) return false;
    at = xml.find("<vt:lpwstr>", at);
    if (at == std::string::npos) return false;
    at += std::string_view("<vt:lpwstr>").size();
    int64_t stamp = 0;
    auto [end, err] = std::from_chars(xml.data() + at, xml.data() + xml.size(), stamp);
    if (err != std::errc() || !std::string_view(end, xml.data() + xml.size()).starts_with("</")) {
      return false;
    }
    const auto apart = modified - StampTime(stamp);
    return apart <= std::chrono::seconds(2) && apart >= -std::chrono::seconds(2);
  } catch (...) {  // not a package this program could have written
    return false;
  }
}

fs::path KeepChangedFile(const fs::path& file) {
  std::error_code ec;
  // Anything but a file is left for the save to fail on.
  if (!fs::is_regular_file(file, ec) || IsUntouchedWorkbook(file)) return {};
  const fs::path kept = FreeSiblingName(file);
  fs::rename(file, kept, ec);
  if (ec)
    throw FileError(kErrPathFileAccess, "Could not keep " + file.string() + ": " + ec.message());
  return kept;
}

}  // namespace sorvane
