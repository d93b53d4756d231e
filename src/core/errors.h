// Platform failures as typed exceptions carrying a number and a description, the
// two things a message box shows ("number description"). Bad data is never an
// exception: validation stages return their verdict instead.
#pragma once

#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

namespace sorvane {

class Error : public std::runtime_error {
 public:
  Error(long number, std::string description)
      : std::runtime_error(std::to_string(number) + " " + description),
        number_(number),
        description_(std::move(description)) {}
  long number() const { return number_; }
  const std::string& description() const { return description_; }
  // "number<sep>description", the way the program's handlers show an error.
  std::string NumberDescription(const std::string& sep = " ") const {
    return std::to_string(number_) + sep + description_;
  }

 private:
  long number_;
  std::string description_;
};

// Error numbers the rest of the program tells apart.
inline constexpr long kErrDatabaseCannotOpen = -2147467259;  // 0x80004005
inline constexpr long kErrValueTooLong = -2147217887;        // 0x80040E21
inline constexpr long kErrDuplicateField = 3367;
inline constexpr long kErrOutOfMemory = 7;
inline constexpr long kErrFileNotFound = 53;
inline constexpr long kErrPermissionDenied = 70;
inline constexpr long kErrPathFileAccess = 75;
inline constexpr long kErrPathNotFound = 76;

// The database file is missing, unreadable or not a database.
class DatabaseOpenError : public Error {
 public:
  explicit DatabaseOpenError(std::string description)
      : Error(kErrDatabaseCannotOpen, description), reason_(std::move(description)) {}
  // `reason` says what is wrong without naming the file ("database is locked").
  // `damaged`: the file is there and may be read, but is no whole database
  // (empty, not a database, or its pages damaged).
  DatabaseOpenError(const std::filesystem::path& file, std::string reason, bool damaged = false)
      : Error(kErrDatabaseCannotOpen, "Could not open '" + file.string() + "': " + reason),
        reason_(std::move(reason)),
        damaged_(damaged) {}
  const std::string& reason() const { return reason_; }
  bool damaged() const { return damaged_; }

 private:
  std::string reason_;
  bool damaged_ = false;
};

// The database file is not there at all (nothing of that name, or a link to
// nothing); any other failure to open it is a plain DatabaseOpenError.
class DatabaseMissingError : public DatabaseOpenError {
 public:
  explicit DatabaseMissingError(const std::filesystem::path& file)
      : DatabaseOpenError("Could not find file '" + file.string() + "'.") {}
};

// A value does not fit the defined size of its field.
class ValueTooLongError : public Error {
 public:
  explicit ValueTooLongError(std::string description)
      : Error(kErrValueTooLong, std::move(description)) {}
};

// A field is appended under a name the record set already has.
class DuplicateFieldError : public Error {
 public:
  DuplicateFieldError(std::string field_name, std::string description)
      : Error(kErrDuplicateField, std::move(description)), field_name_(std::move(field_name)) {}
  const std::string& field_name() const { return field_name_; }

 private:
  std::string field_name_;
};

// Any other failure reported by the database engine (number = engine result code).
class DatabaseError : public Error {
 public:
  using Error::Error;
};

// A file-system failure (numbers as above: 53, 70, 75, 76).
class FileError : public Error {
 public:
  using Error::Error;
};

// What a stage says when the machine has no memory left for it.
inline Error OutOfMemoryError() {
  return Error(kErrOutOfMemory, "Out of memory (close other programs and try again)");
}

// A failure as the program shows it: an Error's number and description,
// memory that ran out as OutOfMemoryError, anything else by its own text.
std::string FailureText(const std::exception& e, const std::string& sep = " ");

// A FileError for a failed file-system operation on `path`, numbered the way the
// program's handlers number them (70 permission denied, 53 file not found, 76
// path not found, 61 disk full, 75 any other access error).
FileError ToFileError(const std::error_code& ec, const std::filesystem::path& path,
                      bool is_folder = false);

}  // namespace sorvane
