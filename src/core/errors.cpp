#include "core/errors.h"

#include <new>

namespace sorvane {

FileError ToFileError(const std::error_code& ec, const std::filesystem::path& path,
                      bool is_folder) {
  long number = kErrPathFileAccess;
  std::string words = "Path/File access error";
  if (ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted ||
      ec == std::errc::read_only_file_system || ec == std::errc::device_or_resource_busy ||
      ec == std::errc::text_file_busy) {
    number = kErrPermissionDenied;
    words = "Permission denied";
  } else if (ec == std::errc::no_such_file_or_directory) {
    number = is_folder ? kErrPathNotFound : kErrFileNotFound;
    words = is_folder ? "Path not found" : "File not found";
  } else if (ec == std::errc::no_space_on_device) {
    number = 61;
    words = "Disk full";
  }
  return FileError(number, words + " (" + path.string() + ": " + ec.message() + ")");
}

std::string FailureText(const std::exception& e, const std::string& sep) {
  if (const auto* error = dynamic_cast<const Error*>(&e)) return error->NumberDescription(sep);
  if (dynamic_cast<const std::bad_alloc*>(&e)) return OutOfMemoryError().NumberDescription(sep);
  return e.what();
}

}  // namespace sorvane
