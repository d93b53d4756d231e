#include "acquire/reference_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "accessfile/access_source.h"
#include "core/errors.h"
#include "workdb/sqlite_source.h"

namespace sorvane {
namespace fs = std::filesystem;

namespace {

bool StartsWith(const char* head, size_t have, size_t at, std::string_view magic) {
  return have >= at + magic.size() && std::memcmp(head + at, magic.data(), magic.size()) == 0;
}

}  // namespace

std::unique_ptr<TableSource> OpenReferenceFile(const fs::path& file, const ChildLimits& limits) {
  std::error_code ec;
  const fs::file_status status = fs::status(file, ec);
  if (!fs::exists(status)) throw DatabaseOpenError("it does not exist");
  if (fs::is_directory(status)) throw DatabaseOpenError("it is a folder, not a file");
  if (!fs::is_regular_file(status)) throw DatabaseOpenError("it is not a plain file");
  std::ifstream in(file, std::ios::binary);
  if (!in) throw DatabaseOpenError(std::string("it cannot be opened: ") + std::strerror(errno));
  char head[32] = {};
  in.read(head, sizeof head);
  const size_t have = static_cast<size_t>(in.gcount());
  const uintmax_t size = fs::file_size(file, ec);
  if (have == 0 || size == 0) throw DatabaseOpenError("the file is empty");

  if (StartsWith(head, have, 0, std::string_view("SQLite format 3\0", 16))) {
    return OpenSqliteSource(file);
  }
  if (StartsWith(head, have, 4, "Standard Jet DB") ||
      StartsWith(head, have, 4, "Standard ACE DB")) {
    // Jet 3 files are made of 2 KB pages, later ones of 4 KB pages; a copy cut
    // short ends inside a page, and the reading library would not notice.
    const uintmax_t page = have > 0x14 && head[0x14] == 0 ? 2048 : 4096;
    if (ec || size % page != 0 || size < 2 * page) {
      throw DatabaseOpenError("the Access file is truncated: it does not end on a whole " +
                              std::to_string(page) + "-byte page");
    }
    return OpenAccessSource(file, limits);
  }
  if (StartsWith(head, have, 0, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) {
    throw DatabaseOpenError(
        "it is an .xls workbook or another compound document (an Access database encrypted "
        "with a password is one too), not a database the program can read");
  }
  if (StartsWith(head, have, 0, "PK\x03\x04")) {
    throw DatabaseOpenError("it is a ZIP package such as an .xlsx workbook, not a database");
  }
  throw DatabaseOpenError("it is neither a SQLite nor an Access database");
}

UpdateFileChoice ChooseUpdateFile(const Paths& paths) {
  if (!paths.update_db_override.empty()) return {paths.update_db_override, ""};
  UpdateFileChoice choice{paths.data_dir / "GIS_UPDATE.mdb", ""};
  std::vector<std::pair<fs::file_time_type, fs::path>> present;
  for (const char* name : {"GIS_UPDATE.mdb", "GIS_UPDATE.accdb", "GIS_UPDATE.db"}) {
    const fs::path p = paths.data_dir / name;
    std::error_code ec;
    if (!fs::exists(p, ec)) continue;
    const fs::file_time_type when = fs::last_write_time(p, ec);
    present.emplace_back(ec ? fs::file_time_type::min() : when, p);
  }
  if (present.empty()) return choice;
  // The first of equals wins, so the agency's own .mdb before a .db.
  size_t newest = 0;
  for (size_t i = 1; i < present.size(); ++i)
    if (present[i].first > present[newest].first) newest = i;
  choice.file = present[newest].second;
  if (present.size() > 1) {
    std::string others;
    bool tie = false;
    for (size_t i = 0; i < present.size(); ++i) {
      if (i == newest) continue;
      tie = tie || present[i].first == present[newest].first;
      others += std::string(others.empty() ? "" : " and ") + present[i].second.filename().string();
    }
    const std::string used = choice.file.filename().string();
    choice.note = tie ? used + " was used; " + others + " is as recent"
                      : used + " was used: it is newer than " + others;
  }
  return choice;
}

}  // namespace sorvane
