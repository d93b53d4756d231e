#include "acquire/reference_file.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>

#include "accessfile/access_source.h"
#include "core/errors.h"
#include "workdb/sqlite_source.h"
#include "workdb/work_database.h"

namespace sorvane {
namespace fs = std::filesystem;

namespace {

bool StartsWith(const char* head, size_t have, size_t at, std::string_view magic) {
  return have >= at + magic.size() && std::memcmp(head + at, magic.data(), magic.size()) == 0;
}

constexpr std::string_view kSqliteMagic("SQLite format 3\0", 16);

// Whether `file` is the update database the program builds (its header's
// application id, a big-endian number at byte 68).
bool IsOwnUpdateDatabase(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  char head[72] = {};
  in.read(head, sizeof head);
  if (static_cast<size_t>(in.gcount()) < sizeof head ||
      !StartsWith(head, sizeof head, 0, kSqliteMagic))
    return false;
  uint32_t id = 0;
  for (int i = 68; i < 72; ++i) id = (id << 8) | static_cast<unsigned char>(head[i]);
  return id == static_cast<uint32_t>(kOwnUpdateDatabaseId);
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

  if (StartsWith(head, have, 0, kSqliteMagic)) {
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
  struct Present {
    fs::file_time_type when;
    fs::path file;
    bool own;
  };
  std::vector<Present> present;
  for (const char* name : {"GIS_UPDATE.mdb", "GIS_UPDATE.accdb", "GIS_UPDATE.db"}) {
    const fs::path p = paths.data_dir / name;
    std::error_code ec;
    if (!fs::exists(p, ec)) continue;
    const fs::file_time_type when = fs::last_write_time(p, ec);
    present.push_back({ec ? fs::file_time_type::min() : when, p, IsOwnUpdateDatabase(p)});
  }
  if (present.empty()) return choice;
  // The first of equals wins, so the agency's own .mdb before a .db.
  auto before = [](const Present& a, const Present& b) {
    return a.own != b.own ? !a.own : a.when > b.when;
  };
  size_t chosen = 0;
  for (size_t i = 1; i < present.size(); ++i)
    if (before(present[i], present[chosen])) chosen = i;
  choice.file = present[chosen].file;
  std::string others, own;
  bool tie = false;
  for (size_t i = 0; i < present.size(); ++i) {
    if (i == chosen) continue;
    const std::string name = present[i].file.filename().string();
    if (present[i].own && !present[chosen].own) {
      own = name;
      continue;
    }
    tie = tie || present[i].when == present[chosen].when;
    others += std::string(others.empty() ? "" : " and ") + name;
  }
  const std::string used = choice.file.filename().string();
  if (!others.empty()) {
    choice.note = tie ? used + " was used; " + others + " is as recent"
                      : used + " was used: it is newer than " + others;
  }
  if (!own.empty()) {
    choice.note += (choice.note.empty() ? used + " was used: " : "; ") + own +
                   " holds only the lists the program came with";
  }
  return choice;
}

}  // namespace sorvane
