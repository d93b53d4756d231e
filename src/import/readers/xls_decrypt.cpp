#include "import/readers/xls_decrypt.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>

#include "import/readers/biff_stream.h"
#include "import/readers/office_crypto.h"
#include "import/readers/password_check.h"
#include "import/readers/xor_obfuscation.h"

namespace sorvane::readers {
namespace {

using Reason = WorkbookError::Reason;

// The key stream restarts with a fresh key every 1024 bytes of stream offset.
constexpr size_t kBlock = 1024;

uint32_t Le32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

Bytes Le32Bytes(uint32_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 24)};
}

// The RC4 key of one block.
using BlockKey = std::function<Bytes(uint32_t block)>;

// RC4 with the 40-bit MD5 key derivation (FILEPASS version 1.1).
struct BinaryRc4 {
  Bytes salt, verifier, verifier_hash;
  std::optional<BlockKey> Open(std::string_view password) const {
    const Digest md5("MD5");
    const Bytes h0 = md5.Of({PasswordUtf16(password)});
    Bytes mixed;
    for (int i = 0; i < 16; ++i) {
      mixed.insert(mixed.end(), h0.begin(), h0.begin() + 5);
      mixed.insert(mixed.end(), salt.begin(), salt.end());
    }
    Bytes base = md5.Of({mixed});
    base.resize(5);
    BlockKey key = [base](uint32_t block) { return Digest("MD5").Of({base, Le32Bytes(block)}); };
    Bytes v = verifier, h = verifier_hash;
    Rc4 rc4(key(0));
    rc4.Apply(v.data(), v.size());
    rc4.Apply(h.data(), h.size());
    if (md5.Of({v}) != h) return std::nullopt;
    return key;
  }
};

// RC4 CryptoAPI with SHA-1 (FILEPASS versions 2.2, 3.2 and 4.2).
struct CryptoApiRc4 {
  Bytes salt, verifier, verifier_hash;
  uint32_t key_bits = 40;
  std::optional<BlockKey> Open(std::string_view password) const {
    const Digest sha1("SHA1");
    const Bytes h0 = sha1.Of({salt, PasswordUtf16(password)});
    const size_t bytes = key_bits / 8;
    BlockKey key = [h0, bytes](uint32_t block) {
      Bytes k = Digest("SHA1").Of({h0, Le32Bytes(block)});
      k.resize(bytes);
      // A 40-bit key is used as 128 bits whose last 88 are zero.
      if (bytes == 5) k.resize(16, 0);
      return k;
    };
    Bytes v = verifier, h = verifier_hash;
    Rc4 rc4(key(0));
    rc4.Apply(v.data(), v.size());
    rc4.Apply(h.data(), h.size());
    if (sha1.Of({v}) != h) return std::nullopt;
    return key;
  }
};

class KeyStream {
 public:
  explicit KeyStream(BlockKey key) : key_(std::move(key)) {}
  // XORs the key stream at stream offsets [offset, offset + size) into `data`.
  void Apply(uint8_t* data, size_t offset, size_t size) {
    while (size > 0) {
      const size_t block = offset / kBlock, at = offset % kBlock;
      if (block != block_) Load(block);
      const size_t take = std::min(size, kBlock - at);
      for (size_t i = 0; i < take; ++i) data[i] ^= stream_[at + i];
      data += take;
      offset += take;
      size -= take;
    }
  }

 private:
  void Load(size_t block) {
    if (block > UINT32_MAX) Damaged("the encrypted workbook stream is too long");
    stream_.fill(0);
    Rc4(key_(static_cast<uint32_t>(block))).Apply(stream_.data(), kBlock);
    block_ = block;
  }
  BlockKey key_;
  size_t block_ = SIZE_MAX;
  std::array<uint8_t, kBlock> stream_{};
};

// Reads the FILEPASS body into the verifier of its kind.
class FilePass {
 public:
  FilePass(const uint8_t* body, size_t size) : p_(body), end_(body + size) {}
  uint16_t U16() {
    Need(2);
    const uint16_t v = static_cast<uint16_t>(p_[0] | (p_[1] << 8));
    p_ += 2;
    return v;
  }
  uint32_t U32() {
    Need(4);
    const uint32_t v = Le32(p_);
    p_ += 4;
    return v;
  }
  Bytes Take(size_t n) {
    Need(n);
    Bytes out(p_, p_ + n);
    p_ += n;
    return out;
  }
  void Skip(size_t n) {
    Need(n);
    p_ += n;
  }

 private:
  void Need(size_t n) const {
    if (static_cast<size_t>(end_ - p_) < n) Damaged("the FILEPASS record is too short");
  }
  const uint8_t* p_;
  const uint8_t* end_;
};

// Restores `size` bytes of record data at stream offset `at`, of a record
// whose data are `length` bytes long.
using Unmask = std::function<void(uint8_t* data, size_t at, size_t size, size_t length)>;

Unmask OpenXor(FilePass& r, std::string_view password) {
  const uint16_t key = r.U16(), verifier = r.U16();
  for (std::string_view p : PasswordsToTry(password)) {
    if (auto xor_mask = XorObfuscation::Open(key, verifier, p)) {
      return [x = *xor_mask](uint8_t* data, size_t at, size_t size, size_t length) {
        x.Apply(data, at, size, length);
      };
    }
  }
  RefusePassword(password);
}

Unmask OpenFilePass(const uint8_t* body, size_t size, std::string_view password, bool biff5) {
  FilePass r(body, size);
  // Excel 95 knew only the XOR obfuscation, and says so by naming none.
  if (biff5) return OpenXor(r, password);
  const uint16_t type = r.U16();
  if (type == 0) return OpenXor(r, password);
  if (type != 1) Damaged("the FILEPASS record names an unknown protection");
  const uint16_t major = r.U16(), minor = r.U16();
  std::function<std::optional<BlockKey>(std::string_view)> open;
  if (major == 1 && minor == 1) {
    BinaryRc4 rc4;
    rc4.salt = r.Take(16);
    rc4.verifier = r.Take(16);
    rc4.verifier_hash = r.Take(16);
    open = [rc4](std::string_view p) { return rc4.Open(p); };
  } else if (major >= 2 && major <= 4 && minor == 2) {
    CryptoApiRc4 rc4;
    r.U32();  // flags
    const uint32_t header_size = r.U32();
    if (header_size < 20) Damaged("the FILEPASS encryption header is too short");
    r.U32();  // flags
    r.U32();  // size extra
    const uint32_t alg = r.U32();
    r.U32();  // hash algorithm: SHA-1 whatever it says
    rc4.key_bits = r.U32();
    r.Skip(header_size - 20);
    if (alg != 0 && alg != 0x6801) {
      Fail(Reason::kUnsupportedFormat,
           "the workbook is encrypted with a cipher that is not supported for .xls files");
    }
    if (rc4.key_bits == 0) rc4.key_bits = 40;
    if (rc4.key_bits < 40 || rc4.key_bits > 128 || rc4.key_bits % 8 != 0) {
      Damaged("the FILEPASS record gives an impossible key length");
    }
    const uint32_t salt_size = r.U32();
    if (salt_size != 16) Damaged("the FILEPASS record gives an impossible salt size");
    rc4.salt = r.Take(16);
    rc4.verifier = r.Take(16);
    const uint32_t hash_size = r.U32();
    if (hash_size != 20) Damaged("the FILEPASS record gives an impossible verifier size");
    rc4.verifier_hash = r.Take(20);
    open = [rc4](std::string_view p) { return rc4.Open(p); };
  } else {
    Fail(Reason::kUnsupportedFormat,
         "the workbook is encrypted with a method that is not supported (" + std::to_string(major) +
             "." + std::to_string(minor) + ")");
  }
  for (std::string_view p : PasswordsToTry(password)) {
    if (auto key = open(p)) {
      auto keys = std::make_shared<KeyStream>(*key);
      return [keys](uint8_t* data, size_t at, size_t size, size_t) { keys->Apply(data, at, size); };
    }
  }
  RefusePassword(password);
}

bool NeverEncrypted(uint16_t id) {
  switch (id) {
    case 0x0809:  // BOF
    case 0x002F:  // FILEPASS
    case 0x0194:  // UsrExcl
    case 0x0195:  // FileLock
    case 0x00E1:  // InterfaceHdr
    case 0x0196:  // RRDInfo
    case 0x0138:  // RRDHead
      return true;
    default:
      return false;
  }
}

}  // namespace

void DecryptBiffStream(std::vector<uint8_t>& stream, size_t filepass, std::string_view password,
                       bool biff5) {
  BiffCursor cursor(stream.data(), stream.size());
  cursor.Seek(filepass);
  if (!cursor.Next()) Damaged("the FILEPASS record is missing");
  const Unmask unmask = OpenFilePass(cursor.body(), cursor.length(), password, biff5);
  while (cursor.Next()) {
    const uint16_t id = cursor.id();
    if (NeverEncrypted(id)) continue;
    // A sheet's stream offset in BOUNDSHEET stays readable without the key.
    const size_t skip = id == 0x0085 ? std::min<size_t>(4, cursor.length()) : 0;
    const size_t at = cursor.offset() + 4 + skip;
    unmask(stream.data() + at, at, cursor.length() - skip, cursor.length());
  }
}

}  // namespace sorvane::readers
