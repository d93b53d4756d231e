#include "acquire/file_ops.h"

#include "acquire/folder_scan.h"

namespace fs = std::filesystem;

namespace sorvane {
namespace {

[[noreturn]] void Fail(const std::error_code& ec, const fs::path& file) {
  throw FileAccessError(ToFileError(ec, file), NameOf(file));
}

}  // namespace

void DiskFileOps::Remove(const fs::path& file) {
  std::error_code ec;
  if (!fs::remove(file, ec) && ec) {
    // Whatever keeps a file from going (rights, an immutable flag, a folder of
    // that name that is not empty), the user is asked to release it.
    throw FileAccessError(FileError(kErrPermissionDenied, "Permission denied (" + file.string() +
                                                              ": " + ec.message() + ")"),
                          NameOf(file));
  }
}

void DiskFileOps::Copy(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  const bool existed = fs::exists(to, ec);
  fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
  if (ec) {
    // A copy cut short (a full disk) must not pass for the workbook.
    std::error_code ignored;
    if (!existed && fs::is_regular_file(to, ignored)) fs::remove(to, ignored);
    Fail(ec, ec == std::errc::no_such_file_or_directory ? from : to);
  }
}

void DiskFileOps::SetNormal(const fs::path& file) {
  std::error_code ec;
  fs::permissions(file,
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                      fs::perms::others_read,
                  fs::perm_options::replace, ec);
  if (ec) Fail(ec, file);
}

}  // namespace sorvane
