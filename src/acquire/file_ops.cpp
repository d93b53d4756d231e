#include "acquire/file_ops.h"

#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <future>
#include <string>
#include <system_error>
#include <vector>

#include "acquire/folder_scan.h"

namespace fs = std::filesystem;

namespace sorvane {
namespace {

constexpr std::string_view kUnfinished = ".copying";

[[noreturn]] void Fail(const std::error_code& ec, const fs::path& file) {
  throw FileAccessError(ToFileError(ec, file), NameOf(file));
}

std::error_code LastError() { return {errno, std::generic_category()}; }

class CopyCategory : public std::error_category {
 public:
  const char* name() const noexcept override { return "copy"; }
  std::string message(int code) const override {
    return code == kChanged ? "it changed while it was copied (it is not the size it was)"
                            : "not a plain file (a pipe, a device or a folder)";
  }
  static constexpr int kNotPlain = 1, kChanged = 2;
};

const CopyCategory& TheCopyCategory() {
  static const CopyCategory category;
  return category;
}

// False with errno set when the disk refuses the bytes.
bool WriteAll(int fd, const char* bytes, size_t size) {
  while (size > 0) {
    const ssize_t w = write(fd, bytes, size);
    if (w < 0 && errno == EINTR) continue;
    if (w == 0) errno = EIO;
    if (w <= 0) return false;
    bytes += w;
    size -= static_cast<size_t>(w);
  }
  return true;
}

// The bytes of `from` into the new file `to`, with `from`'s permissions. The
// library's copy says "Input/output error" of a disk that fills part way (its
// second way of copying loses the reason), which sends a person looking for a
// bad disc rather than for room on the disk. `at_source` says whether `from`
// failed (opened, or read: an unreadable disc) rather than `to`.
std::error_code CopyBytes(const fs::path& from, const fs::path& to, bool& at_source) {
  at_source = true;
  // Not blocking: a pipe's opening waits for a writer.
  const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (in < 0) return LastError();
  struct stat st {};
  if (fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    const std::error_code ec = S_ISREG(st.st_mode) ? LastError() : NotAPlainFile();
    close(in);
    return ec;
  }
  // A plain file reads as it always has (a share's file system may honour the flag).
  if (const int flags = fcntl(in, F_GETFL); flags != -1) fcntl(in, F_SETFL, flags & ~O_NONBLOCK);
  at_source = false;
  const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777);
  if (out < 0) {
    const std::error_code ec = LastError();
    close(in);
    return ec;
  }
  std::error_code ec;
  off_t at = 0;
  bool by_sendfile = true;
  std::vector<char> buffer;
  while (!ec && at < st.st_size) {
    ssize_t n = 0;
    if (by_sendfile) {
      n = sendfile(out, in, &at, static_cast<size_t>(st.st_size - at));
      if (n < 0 && (errno == EINVAL || errno == ENOSYS) && at == 0) {
        by_sendfile = false;  // a file system that cannot: read and write
        continue;
      }
    } else {
      buffer.resize(1 << 20);
      n = read(in, buffer.data(), buffer.size());
      at_source = n < 0;
      if (n > 0 && !WriteAll(out, buffer.data(), static_cast<size_t>(n))) n = -1;
      if (n > 0) at += n;
    }
    if (n < 0 && errno != EINTR) {
      // sendfile does not say which side failed: the disk that is full is the
      // copy's, a read error the disc's.
      if (by_sendfile)
        at_source = errno != ENOSPC && errno != EDQUOT && errno != EFBIG && errno != EROFS;
      ec = LastError();
    }
    if (n == 0) break;  // the file ended sooner than it said
  }
  // A file saved over while it was copied (or one whose size lies) would
  // stand copied part old, part new, or cut short.
  struct stat after {};
  if (!ec &&
      (at != st.st_size || fstat(in, &after) != 0 || after.st_size != st.st_size ||
       after.st_mtim.tv_sec != st.st_mtim.tv_sec || after.st_mtim.tv_nsec != st.st_mtim.tv_nsec)) {
    at_source = true;
    ec = {CopyCategory::kChanged, TheCopyCategory()};
  }
  if (close(out) != 0 && !ec) {
    at_source = false;
    ec = LastError();  // a network share may say only now
  }
  close(in);
  return ec;
}

}  // namespace

std::error_code NotAPlainFile() { return {CopyCategory::kNotPlain, TheCopyCategory()}; }

void CopyWhole(const fs::path& from, const fs::path& to, std::error_code& ec, bool* at_source) {
  const fs::path part = to.parent_path() / HiddenName(to.filename().string(), kUnfinished);
  std::error_code ignored;
  fs::remove(part, ignored);  // one a killed run left, read-only as its source perhaps
  bool source_failed = false;
  ec = CopyBytes(from, part, source_failed);
  if (!ec) fs::rename(part, to, ec);
  if (ec) fs::remove(part, ignored);
  if (at_source) *at_source = ec && source_failed;
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
  bool at_source = false;
  std::future<void> copy;
  if (while_copying_) {
    while_copying_();
    try {
      copy = std::async(std::launch::async, [&] { CopyWhole(from, to, ec, &at_source); });
    } catch (const std::system_error&) {
      // No thread to be had: the copy is made here, the window waiting.
    }
  }
  if (copy.valid()) {
    while (copy.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
      while_copying_();
    copy.get();
  } else {
    CopyWhole(from, to, ec, &at_source);
  }
  if (ec) Fail(ec, at_source ? from : to);
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
