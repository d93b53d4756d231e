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

// Encryption information is a few kilobytes; more is no workbook's.
constexpr uint64_t kMaxEncryptionInfo = 1 << 20;

// With `keep_readable_part`, a stream whose end cannot be read is kept up to
// there: an encrypted package announces its own size, and some writers leave
// the container claiming more than it holds after the package's end.
void ReadChild(GsfInfile* ole, int index, uint64_t max_bytes, std::vector<uint8_t>& bytes,
               bool keep_readable_part = false) {
  InputPtr stream(gsf_infile_child_by_index(ole, index));
  if (!stream) Damaged("the workbook stream cannot be opened");
  const gsf_off_t size = gsf_input_size(stream.get());
  if (size < 0) Damaged("the workbook stream has no size");
  if (static_cast<uint64_t>(size) > max_bytes) {
    Fail(WorkbookError::Reason::kTooLarge,
         "the workbook stream is larger than " + std::to_string(max_bytes) + " bytes");
  }
  bytes.resize(static_cast<size_t>(size));
  size_t done = 0;
  size_t chunk = 1 << 16;
  while (done < bytes.size()) {
    const size_t take = std::min(chunk, bytes.size() - done);
    if (gsf_input_read(stream.get(), take, bytes.data() + done) == nullptr) {
      if (!keep_readable_part) Truncated("the workbook stream cannot be read to its end");
      if (chunk > 64 &&
          gsf_input_seek(stream.get(), static_cast<gsf_off_t>(done), G_SEEK_SET) == 0) {
        chunk = 64;  // the smallest sector: read up to the last readable one
        continue;
      }
      bytes.resize(done);
      return;
    }
    done += take;
  }
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
  int workbook = -1, book = -1, encryption_info = -1, encrypted_package = -1;
  for (int i = 0; i < n; ++i) {
    const char* name = gsf_infile_name_by_index(ole.get(), i);
    if (NameIs(name, "Workbook") && workbook < 0) workbook = i;
    if (NameIs(name, "Book") && book < 0) book = i;
    if (NameIs(name, "EncryptionInfo") && encryption_info < 0) encryption_info = i;
    if (NameIs(name, "EncryptedPackage") && encrypted_package < 0) encrypted_package = i;
  }
  WorkbookStream out;
  if (encrypted_package >= 0 && encryption_info >= 0) {
    // An .xlsx package saved with a password.
    out.encrypted_package = true;
    out.name = gsf_infile_name_by_index(ole.get(), encrypted_package);
    ReadChild(ole.get(), encryption_info, kMaxEncryptionInfo, out.encryption_info);
    ReadChild(ole.get(), encrypted_package, max_bytes, out.bytes, true);
    return out;
  }
  if (encrypted_package >= 0 || (encryption_info >= 0 && workbook < 0 && book < 0)) {
    Damaged("the encrypted workbook lacks its encryption information or its package");
  }
  const int pick = workbook >= 0 ? workbook : book;
  if (pick < 0) {
    Fail(WorkbookError::Reason::kNotSpreadsheet,
         "it is not a spreadsheet (a compound file without a workbook stream)");
  }
  out.name = gsf_infile_name_by_index(ole.get(), pick);
  ReadChild(ole.get(), pick, max_bytes, out.bytes);
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
