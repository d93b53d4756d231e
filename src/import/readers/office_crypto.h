// The ciphers and hashes that protected workbooks use, from OpenSSL and never
// written by hand. They run in a library context of the readers' own, with the
// "legacy" provider (RC4 lives there) and the "default" provider loaded into it,
// so the rest of the process keeps OpenSSL's configuration untouched.
//
// Failure: an algorithm OpenSSL cannot give (a provider missing on the machine)
// fails as kUnsupportedFormat with a message saying what is missing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sorvane::readers {

using Bytes = std::vector<uint8_t>;

struct ByteView {
  const uint8_t* data;
  size_t size;
  ByteView(const Bytes& b) : data(b.data()), size(b.size()) {}  // NOLINT: implicit on purpose
  ByteView(const uint8_t* d, size_t n) : data(d), size(n) {}
};

// The password as the files hash it: UTF-16LE units of its characters.
Bytes PasswordUtf16(std::string_view utf8);

// A message digest by its OpenSSL name ("MD5", "SHA1", "SHA256", "SHA384", "SHA512").
class Digest {
 public:
  // Fails as kUnsupportedFormat when the name is unknown.
  explicit Digest(std::string_view name);
  ~Digest();
  Digest(const Digest&) = delete;
  Digest& operator=(const Digest&) = delete;
  size_t size() const { return size_; }
  // The digest of the concatenated parts.
  Bytes Of(std::initializer_list<ByteView> parts) const;
  // In place: `state` = digest(LE32(i) + state) for i in 0..rounds-1, the
  // rounds by which a password key is stretched.
  void Stretch(Bytes& state, uint32_t rounds) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  size_t size_ = 0;
};

// RC4 keyed once; Apply() continues the same key stream.
class Rc4 {
 public:
  explicit Rc4(ByteView key);
  ~Rc4();
  Rc4(const Rc4&) = delete;
  Rc4& operator=(const Rc4&) = delete;
  void Apply(uint8_t* data, size_t size);

 private:
  void* ctx_;
};

// AES decryption without padding of `size` bytes (a multiple of 16) in place.
// `iv` is empty for ECB and 16 bytes for CBC. Keys of 16, 24 or 32 bytes.
void AesDecrypt(ByteView key, ByteView iv, uint8_t* data, size_t size);

}  // namespace sorvane::readers
