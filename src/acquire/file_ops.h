// The file operations the copy from removable media performs on single files:
// delete, rename, copy and clear the attributes. They sit behind an interface so
// that a file that refuses deletion (one held open on another system, an
// immutable file) can be reproduced in tests whatever the user's rights.
//
// Every failure raises FileAccessError, which names the file concerned; number
// 70 means access was refused.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>

#include "core/errors.h"

namespace sorvane {

class FileAccessError : public FileError {
 public:
  FileAccessError(const FileError& error, std::string file_name)
      : FileError(error), file_name_(std::move(file_name)) {}
  // The name of the file (without its folder).
  const std::string& file_name() const { return file_name_; }

 private:
  std::string file_name_;
};

class FileOps {
 public:
  virtual ~FileOps() = default;
  // Deletes a file, read-only or not. A file that cannot be deleted raises
  // FileAccessError 70.
  virtual void Remove(const std::filesystem::path& file) = 0;
  // Gives a file another name in its folder, replacing a file of that name. A
  // file that cannot be moved raises FileAccessError 70, as for Remove.
  virtual void Rename(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
  // Copies a file into `to` (a file path), replacing a file of that name.
  virtual void Copy(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
  // Makes a file an ordinary writable file (files copied from a CD arrive
  // read-only): read and write for its owner, read for the others.
  virtual void SetNormal(const std::filesystem::path& file) = 0;
};

// Copies `from` to `to` through a hidden file beside it, renamed to `to` once
// whole: a copy cut short (a full disk, a run killed while it copies) never
// stands under the file's name, and a file of that name stays as it was until
// the whole new one replaces it. Sets `ec` on failure, the hidden file gone,
// and `at_source` (when given) to whether `from` was at fault rather than
// `to`. A `from` that is no plain file (a pipe, which would keep the copy
// waiting for a writer for ever, a device, a folder) is never read:
// `ec` is then kNotAPlainFile.
void CopyWhole(const std::filesystem::path& from, const std::filesystem::path& to,
               std::error_code& ec, bool* at_source = nullptr);
// "not a plain file (a pipe, a device or a folder)".
std::error_code NotAPlainFile();
// The hidden file a copy that never finished left behind.
bool IsUnfinishedCopy(std::string_view name);

// The operations on the real file system.
class DiskFileOps : public FileOps {
 public:
  DiskFileOps() = default;
  // `while_copying` runs before each copy and every 20 ms while the file is
  // copied on a second thread: a large workbook from a slow stick or share
  // takes seconds, and the window is kept painted meanwhile.
  explicit DiskFileOps(std::function<void()> while_copying)
      : while_copying_(std::move(while_copying)) {}
  void Remove(const std::filesystem::path& file) override;
  void Rename(const std::filesystem::path& from, const std::filesystem::path& to) override;
  void Copy(const std::filesystem::path& from, const std::filesystem::path& to) override;
  void SetNormal(const std::filesystem::path& file) override;

 private:
  std::function<void()> while_copying_;
};

}  // namespace sorvane
