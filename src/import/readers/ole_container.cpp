#include "import/readers/ole_container.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-utils.h>

#include <algorithm>
#include <memory>
#include <mutex>

#include "import/readers/read_failure.h"

namespace sorvane::readers {
namespace {

struct Unref {
  void operator()(void* p) const {
    if (p != nullptr) g_object_unref(p);
  }
};
using InputPtr = std::unique_ptr<GsfInput, Unref>;
using InfilePtr = std::unique_ptr<GsfInfile, Unref>;

std::string TakeMessage(GError* err) {
  std::string m = err != nullptr && err->message != nullptr ? err->message : "unknown reason";
  if (err != nullptr) g_error_free(err);
  return m;
}

bool NameIs(const char* name, std::string_view want) {
  if (name == nullptr) return false;
  std::string_view n(name);
  if (n.size() != want.size()) return false;
  for (size_t i = 0; i < n.size(); ++i) {
    char a = n[i], b = want[i];
    if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 32);
    if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 32);
    if (a != b) return false;
  }
  return true;
}

WorkbookStream ReadFromInput(GsfInput* source, uint64_t max_bytes) {
  static std::once_flag init;
  std::call_once(init, [] {
    gsf_init();
    // libgsf describes every oddity of a damaged container on stderr; the
    // reader reports the outcome itself.
    // (Some of its messages carry no log domain.)
    const auto levels =
        static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_CRITICAL |
                                    G_LOG_LEVEL_MESSAGE | G_LOG_LEVEL_INFO | G_LOG_LEVEL_DEBUG);
    const GLogFunc quiet = [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {};
    g_log_set_handler("libgsf:msole", levels, quiet, nullptr);
    g_log_set_handler(nullptr, levels, quiet, nullptr);
  });
  GError* err = nullptr;
  InfilePtr ole(gsf_infile_msole_new(source, &err));
  if (!ole) {
    Damaged("its compound-file container cannot be read: " + TakeMessage(err));
  }
  if (err != nullptr) g_error_free(err);
  const int n = gsf_infile_num_children(ole.get());
  int workbook = -1, book = -1;
  bool encryption_info = false, encrypted_package = false;
  for (int i = 0; i < n; ++i) {
    const char* name = gsf_infile_name_by_index(ole.get(), i);
    if (NameIs(name, "Workbook") && workbook < 0) workbook = i;
    if (NameIs(name, "Book") && book < 0) book = i;
    if (NameIs(name, "EncryptionInfo")) encryption_info = true;
    if (NameIs(name, "EncryptedPackage")) encrypted_package = true;
  }
  if (encrypted_package || (encryption_info && workbook < 0 && book < 0)) {
    Fail(WorkbookError::Reason::kEncrypted, "the workbook is encrypted or password-protected");
  }
  const int pick = workbook >= 0 ? workbook : book;
  if (pick < 0) {
    Fail(WorkbookError::Reason::kNotSpreadsheet,
         "it is not a spreadsheet (a compound file without a workbook stream)");
  }
  WorkbookStream out;
  out.name = gsf_infile_name_by_index(ole.get(), pick);
  InputPtr stream(gsf_infile_child_by_index(ole.get(), pick));
  if (!stream) Damaged("the workbook stream cannot be opened");
  const gsf_off_t size = gsf_input_size(stream.get());
  if (size < 0) Damaged("the workbook stream has no size");
  if (static_cast<uint64_t>(size) > max_bytes) {
    Fail(WorkbookError::Reason::kTooLarge,
         "the workbook stream is larger than " + std::to_string(max_bytes) + " bytes");
  }
  out.bytes.resize(static_cast<size_t>(size));
  size_t done = 0;
  constexpr size_t kChunk = 1 << 16;
  while (done < out.bytes.size()) {
    const size_t take = std::min(kChunk, out.bytes.size() - done);
    if (gsf_input_read(stream.get(), take, out.bytes.data() + done) == nullptr) {
      Truncated("the workbook stream cannot be read to its end");
    }
    done += take;
  }
  return out;
}

}  // namespace

WorkbookStream ReadWorkbookStream(const std::filesystem::path& file, uint64_t max_bytes) {
  GError* err = nullptr;
  InputPtr input(gsf_input_stdio_new(file.c_str(), &err));
  if (!input) Damaged("the file cannot be opened: " + TakeMessage(err));
  return ReadFromInput(input.get(), max_bytes);
}

WorkbookStream ReadWorkbookStream(std::string_view bytes, uint64_t max_bytes) {
  InputPtr input(gsf_input_memory_new(reinterpret_cast<const guint8*>(bytes.data()),
                                      static_cast<gsf_off_t>(bytes.size()), FALSE));
  if (!input) Damaged("the data cannot be read");
  return ReadFromInput(input.get(), max_bytes);
}

}  // namespace sorvane::readers
