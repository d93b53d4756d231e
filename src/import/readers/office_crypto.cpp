#include "import/readers/office_crypto.h"

#include <openssl/evp.h>
#include <openssl/provider.h>

#include <limits>
#include <mutex>

#include "import/readers/read_failure.h"

namespace sorvane::readers {
namespace {

[[noreturn]] void Missing(const std::string& what) {
  Fail(WorkbookError::Reason::kUnsupportedFormat,
       "the workbook is encrypted and the decryption it needs (" + what +
           ") is not available on this machine");
}

// Loaded once and kept for the life of the process: the providers stay with it.
OSSL_LIB_CTX* Context() {
  static OSSL_LIB_CTX* ctx = [] {
    OSSL_LIB_CTX* c = OSSL_LIB_CTX_new();
    if (c != nullptr) {
      OSSL_PROVIDER_load(c, "legacy");
      OSSL_PROVIDER_load(c, "default");
    }
    return c;
  }();
  if (ctx == nullptr) Missing("an OpenSSL library context");
  return ctx;
}

struct FreeCipherCtx {
  void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};
struct FreeCipher {
  void operator()(EVP_CIPHER* c) const { EVP_CIPHER_free(c); }
};
struct FreeMdCtx {
  void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};

int ToInt(size_t n) {
  if (n > static_cast<size_t>(std::numeric_limits<int>::max() / 2)) {
    Damaged("an encrypted block is too large");
  }
  return static_cast<int>(n);
}

}  // namespace

Bytes PasswordUtf16(std::string_view s) {
  Bytes out;
  auto unit = [&](uint32_t u) {
    out.push_back(static_cast<uint8_t>(u & 0xFF));
    out.push_back(static_cast<uint8_t>(u >> 8));
  };
  for (size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    uint32_t cp = 0xFFFD;
    size_t len = 1;
    if (b < 0x80) {
      cp = b;
    } else if ((b & 0xE0) == 0xC0) {
      len = 2;
    } else if ((b & 0xF0) == 0xE0) {
      len = 3;
    } else if ((b & 0xF8) == 0xF0) {
      len = 4;
    }
    if (len > 1) {
      if (i + len > s.size()) {
        len = s.size() - i;
      } else {
        cp = b & (0xFF >> (len + 1));
        for (size_t k = 1; k < len; ++k) {
          cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        }
      }
    }
    i += len;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      unit(0xD800 + (cp >> 10));
      unit(0xDC00 + (cp & 0x3FF));
    } else {
      unit(cp);
    }
  }
  return out;
}

struct Digest::Impl {
  EVP_MD* md = nullptr;
  std::unique_ptr<EVP_MD_CTX, FreeMdCtx> ctx{EVP_MD_CTX_new()};
  ~Impl() { EVP_MD_free(md); }
};

Digest::Digest(std::string_view name) : impl_(std::make_unique<Impl>()) {
  const std::string n(name);
  impl_->md = EVP_MD_fetch(Context(), n.c_str(), nullptr);
  if (impl_->md == nullptr || !impl_->ctx) Missing("the hash " + n);
  size_ = static_cast<size_t>(EVP_MD_get_size(impl_->md));
}

Digest::~Digest() = default;

Bytes Digest::Of(std::initializer_list<ByteView> parts) const {
  EVP_MD_CTX* c = impl_->ctx.get();
  if (EVP_DigestInit_ex2(c, impl_->md, nullptr) != 1) Missing("a hash");
  for (const ByteView& p : parts) EVP_DigestUpdate(c, p.data, p.size);
  Bytes out(size_);
  unsigned int len = 0;
  EVP_DigestFinal_ex(c, out.data(), &len);
  out.resize(len);
  return out;
}

void Digest::Stretch(Bytes& state, uint32_t rounds) const {
  EVP_MD_CTX* c = impl_->ctx.get();
  unsigned int len = 0;
  for (uint32_t i = 0; i < rounds; ++i) {
    const uint8_t le[4] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8),
                           static_cast<uint8_t>(i >> 16), static_cast<uint8_t>(i >> 24)};
    EVP_DigestInit_ex2(c, impl_->md, nullptr);
    EVP_DigestUpdate(c, le, 4);
    EVP_DigestUpdate(c, state.data(), state.size());
    state.resize(size_);
    EVP_DigestFinal_ex(c, state.data(), &len);
  }
}

Rc4::Rc4(ByteView key) {
  std::unique_ptr<EVP_CIPHER, FreeCipher> rc4(EVP_CIPHER_fetch(Context(), "RC4", nullptr));
  if (!rc4) Missing("RC4 of OpenSSL's legacy provider");
  std::unique_ptr<EVP_CIPHER_CTX, FreeCipherCtx> c(EVP_CIPHER_CTX_new());
  if (!c || EVP_DecryptInit_ex2(c.get(), rc4.get(), nullptr, nullptr, nullptr) != 1 ||
      EVP_CIPHER_CTX_set_key_length(c.get(), ToInt(key.size)) != 1 ||
      EVP_DecryptInit_ex2(c.get(), nullptr, key.data, nullptr, nullptr) != 1) {
    Missing("RC4 of OpenSSL's legacy provider");
  }
  ctx_ = c.release();
}

Rc4::~Rc4() { EVP_CIPHER_CTX_free(static_cast<EVP_CIPHER_CTX*>(ctx_)); }

void Rc4::Apply(uint8_t* data, size_t size) {
  int out = 0;
  EVP_DecryptUpdate(static_cast<EVP_CIPHER_CTX*>(ctx_), data, &out, data, ToInt(size));
}

void AesDecrypt(ByteView key, ByteView iv, uint8_t* data, size_t size) {
  if (size % 16 != 0) Damaged("an encrypted block is not whole");
  const char* mode = iv.size == 0 ? "ECB" : "CBC";
  if (key.size != 16 && key.size != 24 && key.size != 32) {
    Fail(WorkbookError::Reason::kUnsupportedFormat,
         "the workbook is encrypted with a key length that is not supported");
  }
  if (iv.size != 0 && iv.size != 16) Damaged("an encryption block size is not 16 bytes");
  const std::string name = "AES-" + std::to_string(key.size * 8) + "-" + mode;
  std::unique_ptr<EVP_CIPHER, FreeCipher> aes(EVP_CIPHER_fetch(Context(), name.c_str(), nullptr));
  std::unique_ptr<EVP_CIPHER_CTX, FreeCipherCtx> c(EVP_CIPHER_CTX_new());
  if (!aes || !c ||
      EVP_DecryptInit_ex2(c.get(), aes.get(), key.data, iv.size ? iv.data : nullptr, nullptr) !=
          1) {
    Missing(name);
  }
  EVP_CIPHER_CTX_set_padding(c.get(), 0);
  int out = 0;
  if (size == 0) return;
  EVP_DecryptUpdate(c.get(), data, &out, data, ToInt(size));
}

}  // namespace sorvane::readers
