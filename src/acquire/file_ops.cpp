#include "acquire/file_ops.h"

#include <chrono>
#include <future>
#include <system_error>

#include "acquire/folder_scan.h"

namespace fs = std::filesystem;

namespace sorvane {
namespace {

constexpr std::string_view kUnfinished = ".copying";

[[noreturn]] void Fail(const std::error_code& ec, const fs::path& file) {
  throw FileAccessError(ToFileError(ec, file), NameOf(file));
}

}  // namespace

void CopyWhole(const fs::path& from, const fs::path& to, std::error_code& ec) {
  const fs::path part =
      to.parent_path() / ("." + to.filename().string() + std::string(kUnfinished));
  std::error_code ignored;
  fs::remove(part, ignored);  // one a killed run left, read-only as its source perhaps
  fs::copy_file(from, part, ec);
  if (!ec) fs::rename(part, to, ec);
  if (ec) fs::remove(part, ignored);
}

bool IsUnfinishedCopy(std::string_view name) {
  return name.size() > kUnfinished.size() + 1 && name.front() == '.' && name.ends_with(kUnfinished);
}

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

void DiskFileOps::Rename(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  fs::rename(from, to, ec);
  if (ec) {
    // What keeps a file from being deleted keeps it from being moved.
    throw FileAccessError(FileError(kErrPermissionDenied, "Permission denied (" + from.string() +
                                                              ": " + ec.message() + ")"),
                          NameOf(from));
  }
}

void DiskFileOps::Copy(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  std::future<void> copy;
  if (while_copying_) {
    while_copying_();
    try {
      copy = std::async(std::launch::async, [&] { CopyWhole(from, to, ec); });
    } catch (const std::system_error&) {
      // No thread to be had: the copy is made here, the window waiting.
    }
  }
  if (copy.valid()) {
    while (copy.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
      while_copying_();
    copy.get();
  } else {
    CopyWhole(from, to, ec);
  }
  if (ec) Fail(ec, ec == std::errc::no_such_file_or_directory ? from : to);
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
