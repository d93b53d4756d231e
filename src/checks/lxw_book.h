// A libxlsxwriter workbook owned until it is closed, which writes the file.
// Rows go to disk as they are written (constant memory), so a sheet of a
// million rows is never held in memory; files past 4 GB stay readable (zip64).
// A workbook dropped without Close is dropped unwritten (a failure or a stop
// part way: writing the rows given so far would take seconds for nothing).
// Close itself, which packs the file, may be stopped too.
// Its numbers are written with a decimal point whatever the desktop's
// conventions (the library prints them with printf): one thread writes it.
#pragma once

#include <xlsxwriter.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>

#include "core/c_numbers.h"
#include "core/forked_work.h"
#include "core/text.h"

namespace sorvane {

// A worksheet holds no more links than this.
inline constexpr size_t kLinksPerWorksheet = 65530;

// Where the workbook for `file` is built until it is whole: beside it, with
// whatever a run cut short left there gone (a name as long as a name may be
// keeps its start and a hash).
inline std::filesystem::path PartialBeside(const std::filesystem::path& file) {
  const std::filesystem::path partial =
      file.parent_path() / NameWithin(file.filename().string(), ".partial");
  std::error_code ec;
  std::filesystem::remove(partial, ec);
  return partial;
}

// A new sheet `name` of `book`, or null with `why` said: a name the format
// does not allow, or what kept the library from the temporary file a sheet's
// rows go to (too many open files, a full disk).
inline lxw_worksheet* AddWorksheet(lxw_workbook* book, const std::string& name, std::string* why) {
  errno = 0;
  lxw_worksheet* ws = workbook_add_worksheet(book, name.c_str());
  if (ws) return ws;
  const int reason = errno;
  if (workbook_validate_sheet_name(book, name.c_str()) != LXW_NO_ERROR) {
    *why = "the sheet name \"" + name + "\" is not allowed";
  } else {
    *why = "the sheet " + name + " could not be added" +
           (reason != 0 ? ": " + std::generic_category().message(reason) : "");
  }
  return nullptr;
}

class LxwBook {
 public:
  explicit LxwBook(const std::filesystem::path& file) : file_(file) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.use_zip64 = LXW_TRUE;
    book_ = workbook_new_opt(file.string().c_str(), &options);
  }
  ~LxwBook() { Abandon(); }
  LxwBook(const LxwBook&) = delete;
  LxwBook& operator=(const LxwBook&) = delete;

  // Null when the workbook could not be made.
  lxw_workbook* get() const { return book_; }
  // Writes the file. Given `stop`, the library packs it in a copy of the
  // program (core/forked_work.h) that a yes from `stop` ends at once: a
  // million rows take it tens of seconds with no place to ask. The workbook
  // is then dropped, no part of the file is left, and stopped() says so.
  lxw_error Close(const std::function<bool()>& stop = nullptr) {
    if (!book_) return LXW_ERROR_MEMORY_MALLOC_FAILED;
    lxw_workbook* book = book_;
    const auto pack = [book] { return static_cast<int>(workbook_close(book)); };
    if (!stop) {
      errno = 0;
      const auto e = static_cast<lxw_error>(pack());
      close_errno_ = e != LXW_NO_ERROR ? errno : 0;
      book_ = nullptr;
      return e;
    }
    const ForkedOutcome packed = RunStoppable(pack, stop);
    if (packed.in_copy) {
      Abandon();  // the copy wrote it; this one is only freed
    } else {
      book_ = nullptr;  // closed here, and freed with it
    }
    if (packed.how == ForkedOutcome::How::kStopped) {
      stopped_ = true;
      std::error_code ec;
      std::filesystem::remove(file_, ec);
      return LXW_ERROR_CREATING_XLSX_FILE;
    }
    if (packed.how == ForkedOutcome::How::kLost) {
      lost_ = packed.lost;
      std::error_code ec;
      std::filesystem::remove(file_, ec);
      return LXW_ERROR_CREATING_XLSX_FILE;
    }
    const auto e = static_cast<lxw_error>(packed.value);
    close_errno_ = e != LXW_NO_ERROR ? packed.error : 0;
    return e;
  }
  // Close was stopped: nothing was written.
  bool stopped() const { return stopped_; }
  // The library's text for `e`, with the system's reason after a Close that
  // failed on a write ("Zip generic error ZIP_ERRNO ..." says nothing of a
  // full disk; the library prints that reason only to the error stream).
  std::string ErrorText(lxw_error e) const {
    if (!lost_.empty()) return lost_;
    std::string text = lxw_strerror(e);
    if (close_errno_ != 0) text += " (" + std::generic_category().message(close_errno_) + ")";
    return text;
  }
  // Drops the workbook without writing it. The library's own free leaves each
  // sheet's file of rows open, so those are closed first.
  void Abandon() {
    if (!book_) return;
    lxw_worksheet* sheet = nullptr;
    LXW_FOREACH_WORKSHEET(sheet, book_) {
      if (sheet->optimize_tmpfile) {
        std::fclose(sheet->optimize_tmpfile);
        sheet->optimize_tmpfile = nullptr;
      }
    }
    lxw_workbook_free(book_);
    book_ = nullptr;
  }

 private:
  CNumericScope numbers_;  // first in, last out: around every call of the library
  std::filesystem::path file_;
  lxw_workbook* book_ = nullptr;
  int close_errno_ = 0;
  bool stopped_ = false;
  std::string lost_;  // how a copy that packed it ended without finishing
};

}  // namespace sorvane
