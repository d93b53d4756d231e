#include "import/readers/zip_package.h"

#include <unzip.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <limits>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "import/readers/read_failure.h"

namespace sorvane::readers {

using Reason = WorkbookError::Reason;

namespace {

// More parts than any workbook has; bounds the index a hostile directory builds.
constexpr uint64_t kMaxParts = 100000;
// A large part is inflated on a thread of its own a few chunks ahead of its
// reader.
constexpr size_t kChunkBytes = 1u << 18;
constexpr size_t kChunksAhead = 8;

// Chunks handed from the inflating thread to the reading one.
class ChunkQueue {
 public:
  // Waits for room; false once the reader has stopped.
  bool Push(const char* data, size_t size) {
    std::unique_lock lock(mutex_);
    room_.wait(lock, [&] { return stopped_ || chunks_.size() < kChunksAhead; });
    if (stopped_) return false;
    chunks_.emplace_back(data, data + size);
    ready_.notify_one();
    return true;
  }
  // The inflating thread is done, `error` set if it failed.
  void Close(std::exception_ptr error) {
    std::lock_guard lock(mutex_);
    closed_ = true;
    error_ = error;
    ready_.notify_one();
  }
  // The next chunk into `out`; false at the end.
  bool Pop(std::vector<char>& out) {
    std::unique_lock lock(mutex_);
    ready_.wait(lock, [&] { return closed_ || !chunks_.empty(); });
    if (chunks_.empty()) return false;
    out.swap(chunks_.front());
    chunks_.pop_front();
    room_.notify_one();
    return true;
  }
  void Stop() {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    room_.notify_one();
  }
  std::exception_ptr error() {
    std::lock_guard lock(mutex_);
    return error_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_, room_;
  std::deque<std::vector<char>> chunks_;
  bool closed_ = false, stopped_ = false;
  std::exception_ptr error_;
};

}  // namespace

// minizip reads through these callbacks when the package is in memory.
struct ZipPackage::MemoryFile {
  std::string_view bytes;
  uint64_t pos = 0;

  static voidpf Open(voidpf opaque, const void*, int) { return opaque; }
  static uLong Read(voidpf, voidpf stream, void* buf, uLong size) {
    auto* f = static_cast<MemoryFile*>(stream);
    const uint64_t left = f->pos < f->bytes.size() ? f->bytes.size() - f->pos : 0;
    const uLong n = static_cast<uLong>(std::min<uint64_t>(size, left));
    if (n > 0) std::memcpy(buf, f->bytes.data() + f->pos, n);
    f->pos += n;
    return n;
  }
  static uLong Write(voidpf, voidpf, const void*, uLong) { return 0; }
  static ZPOS64_T Tell(voidpf, voidpf stream) { return static_cast<MemoryFile*>(stream)->pos; }
  static long Seek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    auto* f = static_cast<MemoryFile*>(stream);
    uint64_t base = 0;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR) base = f->pos;
    if (origin == ZLIB_FILEFUNC_SEEK_END) base = f->bytes.size();
    if (offset > f->bytes.size() || base > f->bytes.size() - offset) return -1;
    f->pos = base + offset;
    return 0;
  }
  static int Close(voidpf, voidpf) { return 0; }
  static int Error(voidpf, voidpf) { return 0; }
};

ZipPackage::ZipPackage(const std::filesystem::path& file, const ReadLimits& limits)
    : limits_(limits) {
  std::error_code ec;
  package_bytes_ = std::filesystem::file_size(file, ec);
  if (ec) package_bytes_ = 0;
  zip_ = unzOpen64(file.c_str());
  if (zip_ == nullptr) Damaged("its zip package cannot be read");
  IndexOrClose();
}

ZipPackage::ZipPackage(std::string_view bytes, const ReadLimits& limits)
    : memory_(std::make_unique<MemoryFile>()), limits_(limits) {
  memory_->bytes = bytes;
  package_bytes_ = bytes.size();
  zlib_filefunc64_def io{};
  io.zopen64_file = &MemoryFile::Open;
  io.zread_file = &MemoryFile::Read;
  io.zwrite_file = &MemoryFile::Write;
  io.ztell64_file = &MemoryFile::Tell;
  io.zseek64_file = &MemoryFile::Seek;
  io.zclose_file = &MemoryFile::Close;
  io.zerror_file = &MemoryFile::Error;
  io.opaque = memory_.get();
  zip_ = unzOpen2_64("memory", &io);
  if (zip_ == nullptr) Damaged("its zip package cannot be read");
  IndexOrClose();
}

ZipPackage::~ZipPackage() {
  if (zip_ != nullptr) unzClose(zip_);
}

std::string ZipPackage::NormalName(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (char c : name) {
    if (c == '\\') c = '/';
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    out += c;
  }
  const size_t start = out.find_first_not_of('/');
  return start == std::string::npos ? std::string() : out.substr(start);
}

void ZipPackage::IndexOrClose() {
  // A constructor that throws runs no destructor.
  try {
    Index();
  } catch (...) {
    unzClose(zip_);
    zip_ = nullptr;
    throw;
  }
}

void ZipPackage::Index() {
  unz_global_info64 info{};
  if (unzGetGlobalInfo64(zip_, &info) != UNZ_OK) Damaged("its zip directory cannot be read");
  if (info.number_entry > kMaxParts) {
    Fail(Reason::kTooLarge,
         "its zip package holds more than " + std::to_string(kMaxParts) + " parts");
  }
  if (info.number_entry == 0) return;
  int rc = unzGoToFirstFile(zip_);
  std::vector<char> name(1024);
  uint64_t seen = 0;
  while (rc == UNZ_OK) {
    if (++seen > kMaxParts) Fail(Reason::kTooLarge, "its zip package holds too many parts");
    unz_file_info64 fi{};
    if (unzGetCurrentFileInfo64(zip_, &fi, name.data(), static_cast<uLong>(name.size()), nullptr, 0,
                                nullptr, 0) != UNZ_OK) {
      Damaged("its zip directory cannot be read");
    }
    const size_t len = std::min<size_t>(fi.size_filename, name.size() - 1);
    std::string key = NormalName(std::string_view(name.data(), len));
    unz64_file_pos pos{};
    if (unzGetFilePos64(zip_, &pos) != UNZ_OK) Damaged("its zip directory cannot be read");
    if (!key.empty() && key.back() != '/') {
      if (!index_
               .emplace(key, Entry{pos.pos_in_zip_directory, pos.num_of_file, fi.uncompressed_size})
               .second) {
        Damaged("two parts of its zip package are both named \"" + key + "\"");
      }
    }
    rc = unzGoToNextFile(zip_);
  }
  if (rc != UNZ_END_OF_LIST_OF_FILE) Damaged("its zip directory cannot be read");
}

void ZipPackage::ScaleSizeLimits(uint64_t factor) {
  auto scaled = [factor](uint64_t v) {
    return v > std::numeric_limits<uint64_t>::max() / factor ? std::numeric_limits<uint64_t>::max()
                                                             : v * factor;
  };
  limits_.max_part_bytes = scaled(limits_.max_part_bytes);
  limits_.max_total_bytes = scaled(limits_.max_total_bytes);
}

bool ZipPackage::Has(std::string_view name) const { return index_.count(NormalName(name)) > 0; }

uint64_t ZipPackage::DeclaredBytesBesides(std::string_view name) const {
  const std::string key = NormalName(name);
  uint64_t sum = 0;
  for (const auto& [part, entry] : index_) {
    if (part == key) continue;
    sum = entry.declared_bytes > UINT64_MAX - sum ? UINT64_MAX : sum + entry.declared_bytes;
  }
  return sum;
}

void ZipPackage::Read(std::string_view name, const std::function<bool(const char*, size_t)>& sink) {
  const std::string key = NormalName(name);
  const auto it = index_.find(key);
  if (it == index_.end()) Damaged("the part \"" + key + "\" is missing");
  unz64_file_pos pos{it->second.pos_in_central_dir, it->second.num_of_file};
  unz_file_info64 fi{};
  if (unzGoToFilePos64(zip_, &pos) != UNZ_OK ||
      unzGetCurrentFileInfo64(zip_, &fi, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
    Damaged("the part \"" + key + "\" cannot be found in the zip package");
  }
  // minizip may hold buffers even when opening fails: close in every case.
  struct Closer {
    void* zip;
    bool open = true;
    ~Closer() {
      if (open) unzCloseCurrentFile(zip);
    }
  } closer{zip_};
  if (unzOpenCurrentFile(zip_) != UNZ_OK) {
    Damaged("the part \"" + key + "\" uses a compression that cannot be read");
  }
  const uint64_t compressed =
      std::max<uint64_t>(std::min<uint64_t>(fi.compressed_size, package_bytes_), 1);
  uint64_t& counted = counted_[key];
  // Inflates the part into `deliver` until the end (the checksum checked) or
  // until `deliver` returns false.
  auto inflate = [&](const std::function<bool(const char*, size_t)>& deliver) {
    std::vector<char> buf(kChunkBytes);
    uint64_t part = 0;
    for (;;) {
      const int n = unzReadCurrentFile(zip_, buf.data(), static_cast<unsigned>(buf.size()));
      if (n < 0) Damaged("the part \"" + key + "\" is corrupt");
      if (n == 0) break;
      part += static_cast<uint64_t>(n);
      // A part read twice (a sheet's two passes) counts once towards the total.
      if (part > counted) {
        total_ += part - counted;
        counted = part;
      }
      if (part > limits_.max_part_bytes) {
        Fail(Reason::kTooLarge, "the part \"" + key + "\" inflates to more than " +
                                    std::to_string(limits_.max_part_bytes) + " bytes");
      }
      if (total_ > limits_.max_total_bytes) {
        Fail(Reason::kTooLarge, "its parts inflate to more than " +
                                    std::to_string(limits_.max_total_bytes) + " bytes");
      }
      if (part > limits_.ratio_check_bytes && part / compressed > limits_.max_ratio) {
        Fail(Reason::kTooLarge, "the part \"" + key +
                                    "\" inflates more than any workbook does (a decompression "
                                    "bomb)");
      }
      if (!deliver(buf.data(), static_cast<size_t>(n))) return;
    }
    closer.open = false;
    if (unzCloseCurrentFile(zip_) == UNZ_CRCERROR) {
      Damaged("the part \"" + key + "\" fails its checksum");
    }
  };
  if (fi.uncompressed_size < limits_.inflate_ahead_bytes) {
    inflate(sink);
    return;
  }
  ChunkQueue queue;
  std::thread inflating;
  try {
    inflating = std::thread([&] {
      std::exception_ptr error;
      try {
        inflate([&](const char* data, size_t size) { return queue.Push(data, size); });
      } catch (...) {
        error = std::current_exception();
      }
      queue.Close(error);
    });
  } catch (const std::system_error&) {
    inflate(sink);  // no second thread to be had: inflated here
    return;
  }
  std::exception_ptr failed;
  try {
    std::vector<char> chunk;
    while (queue.Pop(chunk)) {
      if (!sink(chunk.data(), chunk.size())) break;
    }
  } catch (...) {
    failed = std::current_exception();
  }
  queue.Stop();
  inflating.join();
  if (failed) std::rethrow_exception(failed);
  if (std::exception_ptr error = queue.error()) std::rethrow_exception(error);
}

}  // namespace sorvane::readers
