#include "acquire/folder_scan.h"

#include <algorithm>
#include <cerrno>
#include <string>

#include "core/text.h"

namespace fs = std::filesystem;

namespace sorvane {
namespace {

std::vector<fs::path> List(const fs::path& folder, bool want_folders, bool with_hidden = false) {
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec) throw ToFileError(ec, folder, /*is_folder=*/true);
  std::vector<fs::path> out;
  for (fs::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) break;
    std::error_code type_ec;
    const fs::directory_entry& entry = *it;
    if (!with_hidden && IsHiddenName(NameOf(entry.path()))) continue;
    if (want_folders) {
      if (entry.is_directory(type_ec) && !entry.is_symlink(type_ec)) out.push_back(entry.path());
    } else if (!entry.is_directory(type_ec)) {
      // A dangling link or an entry that cannot be inspected still is a file of
      // the folder; deleting it is what the caller will try.
      out.push_back(entry.path());
    }
  }
  if (ec) throw ToFileError(ec, folder, /*is_folder=*/true);
  std::sort(out.begin(), out.end(),
            [](const fs::path& a, const fs::path& b) { return a.filename() < b.filename(); });
  return out;
}

}  // namespace

std::vector<fs::path> ListFiles(const fs::path& folder) { return List(folder, false); }
std::vector<fs::path> ListFilesWithHidden(const fs::path& folder) {
  return List(folder, false, true);
}
std::vector<fs::path> ListSubfolders(const fs::path& folder) { return List(folder, true); }

std::string NameOf(const fs::path& file) { return file.filename().string(); }

bool IsHiddenName(std::string_view name) { return name.starts_with('.') || name.starts_with("~$"); }

std::string HiddenName(std::string_view name, std::string_view suffix) {
  return "." + NameWithin(name, suffix, 254);  // the dot counts
}

// With their dots; the copy's suffix test takes them without.
constexpr std::string_view kWorkbookExtensions[] = {".xls", ".xlsx", ".xlsm", ".xlsb", ".ods"};

bool HasWorkbookSuffix(std::string_view name) {
  const std::string lower = LowerCase(name);
  for (std::string_view ext : kWorkbookExtensions) {
    if (lower.ends_with(ext.substr(1))) return true;
  }
  return false;
}

bool IsFacilityWorkbook(std::string_view name, std::string_view facility_id) {
  return HasWorkbookSuffix(name) && name.find(facility_id) != std::string_view::npos;
}

bool MatchesWorkbookPattern(std::string_view name) {
  const size_t dot = name.rfind('.');
  return dot != std::string_view::npos && IsWorkbookExtension(name.substr(dot));
}

bool IsWorkbookExtension(std::string_view extension) {
  const std::string lower = LowerCase(extension);
  for (std::string_view ext : kWorkbookExtensions) {
    if (lower == ext) return true;
  }
  return false;
}

}  // namespace sorvane
