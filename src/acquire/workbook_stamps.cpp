#include "acquire/workbook_stamps.h"

#include <system_error>
#include <vector>

#include "acquire/folder_scan.h"
#include "core/text.h"

namespace fs = std::filesystem;

namespace sorvane {

FileStamps StampFacilityFiles(const fs::path& folder, const std::string& facility_id) {
  FileStamps stamps;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = NameOf(it->path());
    if (IsHiddenName(name) || name.find(facility_id) == std::string::npos) continue;
    std::error_code file_ec;
    const FileStamp stamp{it->file_size(file_ec), it->last_write_time(file_ec)};
    if (!file_ec && it->is_regular_file(file_ec)) stamps.emplace(name, stamp);
  }
  return stamps;
}

std::string DescribeFileChanges(const FileStamps& was, const FileStamps& now) {
  std::vector<std::string> changed, added, removed;
  for (const auto& [name, stamp] : now) {
    const auto it = was.find(name);
    if (it == was.end()) {
      added.push_back(name);
    } else if (!(it->second == stamp)) {
      changed.push_back(name);
    }
  }
  for (const auto& [name, stamp] : was)
    if (!now.count(name)) removed.push_back(name);
  std::string text;
  for (const auto& [names, verb] : {std::pair{&changed, " changed"}, std::pair{&added, " added"},
                                    std::pair{&removed, " removed"}}) {
    if (names->empty()) continue;
    if (!text.empty()) text += ", ";
    text += JoinedWithAnd(*names) + verb;
  }
  return text;
}

}  // namespace sorvane
