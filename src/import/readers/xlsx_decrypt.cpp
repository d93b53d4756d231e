#include "import/readers/xlsx_decrypt.h"

#include <openssl/evp.h>

#include <cstring>
#include <optional>

#include "import/readers/office_crypto.h"
#include "import/readers/password_check.h"
#include "import/readers/xml_part.h"

namespace sorvane::readers {
namespace {

using Reason = WorkbookError::Reason;

[[noreturn]] void Unsupported(const std::string& what) {
  Fail(Reason::kUnsupportedFormat,
       "the workbook is encrypted with " + what + ", which is not supported");
}

uint32_t Le32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

Bytes Le32Bytes(uint32_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 24)};
}

// The size the package stream announces, checked against what it holds.
uint64_t PackageSize(const std::vector<uint8_t>& package) {
  if (package.size() < 8) Damaged("the encrypted package is too short");
  uint64_t size = 0;
  for (int i = 7; i >= 0; --i) size = (size << 8) | package[static_cast<size_t>(i)];
  if (size > package.size() - 8) Truncated("the encrypted package ends before its announced size");
  return size;
}

// ---- Standard encryption ----

std::string DecryptStandard(const std::vector<uint8_t>& info, const std::vector<uint8_t>& package,
                            std::string_view password) {
  if (info.size() < 12) Damaged("the encryption information is too short");
  const uint32_t header_size = Le32(info.data() + 8);
  if (header_size < 32 || header_size > info.size() - 12) {
    Damaged("the encryption header has an impossible size");
  }
  const uint8_t* h = info.data() + 12;
  const uint32_t alg = Le32(h + 8), key_bits = Le32(h + 16);
  if (alg == 0x6801) Unsupported("RC4 in an .xlsx file");
  if (alg != 0x660E && alg != 0x660F && alg != 0x6610) Unsupported("an unknown cipher");
  if (key_bits != 128 && key_bits != 192 && key_bits != 256) Damaged("an impossible key length");
  const size_t v = 12 + header_size;
  if (info.size() - v < 4 + 16 + 16 + 4 + 32) Damaged("the password verifier is too short");
  if (Le32(info.data() + v) != 16) Damaged("the password salt has an impossible size");
  const Bytes salt(info.begin() + static_cast<long>(v + 4),
                   info.begin() + static_cast<long>(v + 20));
  const Bytes verifier(info.begin() + static_cast<long>(v + 20),
                       info.begin() + static_cast<long>(v + 36));
  const Bytes verifier_hash(info.begin() + static_cast<long>(v + 40),
                            info.begin() + static_cast<long>(v + 72));

  const Digest sha1("SHA1");
  auto derive = [&](std::string_view pw) {
    Bytes state = sha1.Of({salt, PasswordUtf16(pw)});
    sha1.Stretch(state, 50000);
    const Bytes final_hash = sha1.Of({state, Le32Bytes(0)});
    Bytes x1(64, 0x36), x2(64, 0x5C);
    for (size_t i = 0; i < final_hash.size(); ++i) {
      x1[i] ^= final_hash[i];
      x2[i] ^= final_hash[i];
    }
    Bytes key = sha1.Of({x1});
    const Bytes second = sha1.Of({x2});
    key.insert(key.end(), second.begin(), second.end());
    key.resize(key_bits / 8);
    return key;
  };
  std::optional<Bytes> key;
  for (std::string_view pw : PasswordsToTry(password)) {
    Bytes k = derive(pw);
    Bytes plain = verifier, hash = verifier_hash;
    AesDecrypt(k, Bytes{}, plain.data(), plain.size());
    AesDecrypt(k, Bytes{}, hash.data(), hash.size());
    const Bytes want = sha1.Of({plain});
    if (std::memcmp(want.data(), hash.data(), want.size()) == 0) {
      key = std::move(k);
      break;
    }
  }
  if (!key) RefusePassword(password);
  const uint64_t size = PackageSize(package);
  std::string out(package.begin() + 8, package.end());
  out.resize(out.size() / 16 * 16);
  if (out.size() < size) Truncated("the encrypted package ends before its announced size");
  AesDecrypt(*key, Bytes{}, reinterpret_cast<uint8_t*>(out.data()), out.size());
  out.resize(static_cast<size_t>(size));
  return out;
}

// ---- Agile encryption ----

Bytes Base64(const char* text) {
  std::string clean;
  for (const char* p = text; p != nullptr && *p != '\0'; ++p) {
    if (*p != ' ' && *p != '\n' && *p != '\r' && *p != '\t') clean += *p;
  }
  if (clean.size() % 4 != 0 || clean.size() > (1u << 20)) {
    Damaged("the encryption information holds a broken base64 value");
  }
  Bytes out(clean.size() / 4 * 3);
  const int n = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(clean.data()),
                                static_cast<int>(clean.size()));
  if (n < 0) Damaged("the encryption information holds a broken base64 value");
  size_t pad = 0;
  while (pad < 2 && pad < clean.size() && clean[clean.size() - 1 - pad] == '=') ++pad;
  out.resize(static_cast<size_t>(n) - pad);
  return out;
}

struct CipherParams {
  std::string hash, cipher, chaining;
  uint32_t key_bits = 0, block_size = 0, salt_size = 0, hash_size = 0;
  Bytes salt;
};

uint32_t Number(const char* v) {
  if (v == nullptr) return 0;
  char* end = nullptr;
  const unsigned long n = std::strtoul(v, &end, 10);
  return n > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(n);
}

void ReadParams(const char** attrs, CipherParams& p) {
  const char* v = nullptr;
  if ((v = Attr(attrs, "hashAlgorithm")) != nullptr) p.hash = v;
  if ((v = Attr(attrs, "cipherAlgorithm")) != nullptr) p.cipher = v;
  if ((v = Attr(attrs, "cipherChaining")) != nullptr) p.chaining = v;
  p.key_bits = Number(Attr(attrs, "keyBits"));
  p.block_size = Number(Attr(attrs, "blockSize"));
  p.salt_size = Number(Attr(attrs, "saltSize"));
  p.hash_size = Number(Attr(attrs, "hashSize"));
  if ((v = Attr(attrs, "saltValue")) != nullptr) p.salt = Base64(v);
}

class AgileHandler : public XmlHandler {
 public:
  void Start(std::string_view name, const char** attrs) override {
    if (name == "keyData") {
      ReadParams(attrs, data);
      has_data = true;
    } else if (name == "encryptedKey" && !has_key && Attr(attrs, "spinCount") != nullptr) {
      ReadParams(attrs, key);
      spin = Number(Attr(attrs, "spinCount"));
      const char* a = Attr(attrs, "encryptedVerifierHashInput");
      const char* b = Attr(attrs, "encryptedVerifierHashValue");
      const char* c = Attr(attrs, "encryptedKeyValue");
      if (a == nullptr || b == nullptr || c == nullptr) {
        Damaged("the password key of the encryption information is incomplete");
      }
      verifier_input = Base64(a);
      verifier_value = Base64(b);
      key_value = Base64(c);
      has_key = true;
    }
  }
  void End(std::string_view) override {}
  CipherParams data, key;
  uint32_t spin = 0;
  Bytes verifier_input, verifier_value, key_value;
  bool has_data = false, has_key = false;
};

const char* DigestName(const std::string& hash) {
  for (const char* n : {"SHA1", "SHA256", "SHA384", "SHA512", "MD5"}) {
    if (hash == n) return n;
  }
  if (hash == "SHA-1") return "SHA1";
  Unsupported("the hash " + hash);
}

void CheckCipher(const CipherParams& p) {
  if (p.cipher != "AES") Unsupported("the cipher " + p.cipher);
  if (p.chaining != "ChainingModeCBC") Unsupported("the chaining " + p.chaining);
  if (p.block_size != 16) Damaged("an impossible cipher block size");
  if (p.key_bits != 128 && p.key_bits != 192 && p.key_bits != 256) {
    Damaged("an impossible key length");
  }
}

// A hash cut to `size` bytes or padded with 0x36 up to it.
Bytes Fit(Bytes b, size_t size) {
  b.resize(size, 0x36);
  return b;
}

Bytes DecryptCbc(const Bytes& key, const Bytes& iv, Bytes data) {
  data.resize(data.size() / 16 * 16);
  AesDecrypt(key, iv, data.data(), data.size());
  return data;
}

std::string DecryptAgile(const std::vector<uint8_t>& info, const std::vector<uint8_t>& package,
                         std::string_view password) {
  AgileHandler h;
  const std::string_view xml(reinterpret_cast<const char*>(info.data()) + 8, info.size() - 8);
  ParseXmlText(xml, "EncryptionInfo", h);
  if (!h.has_data || !h.has_key) Unsupported("a key that is not protected by a password");
  CheckCipher(h.data);
  CheckCipher(h.key);
  if (h.spin > kMaxSpinCount) {
    Fail(Reason::kUnsupportedFormat, "its encryption asks for " + std::to_string(h.spin) +
                                         " hashing rounds, more than the " +
                                         std::to_string(kMaxSpinCount) + " accepted");
  }
  if (h.key.salt.empty() || h.data.salt.empty()) Damaged("the encryption salt is missing");
  const Digest key_hash(DigestName(h.key.hash));
  const Digest data_hash(DigestName(h.data.hash));
  const Bytes iv = Fit(h.key.salt, h.key.block_size);
  static const Bytes kInputBlock = {0xfe, 0xa7, 0xd2, 0x76, 0x3b, 0x4b, 0x9e, 0x79};
  static const Bytes kValueBlock = {0xd7, 0xaa, 0x0f, 0x6d, 0x30, 0x61, 0x34, 0x4e};
  static const Bytes kKeyBlock = {0x14, 0x6e, 0x0b, 0xe7, 0xab, 0xac, 0xd0, 0xd6};

  std::optional<Bytes> secret;
  for (std::string_view pw : PasswordsToTry(password)) {
    Bytes state = key_hash.Of({h.key.salt, PasswordUtf16(pw)});
    key_hash.Stretch(state, h.spin);
    auto key_for = [&](const Bytes& block) {
      return Fit(key_hash.Of({state, block}), h.key.key_bits / 8);
    };
    Bytes input = DecryptCbc(key_for(kInputBlock), iv, h.verifier_input);
    Bytes value = DecryptCbc(key_for(kValueBlock), iv, h.verifier_value);
    if (input.size() > h.key.salt_size && h.key.salt_size > 0) input.resize(h.key.salt_size);
    const Bytes want = key_hash.Of({input});
    if (value.size() >= want.size() && std::memcmp(value.data(), want.data(), want.size()) == 0) {
      Bytes k = DecryptCbc(key_for(kKeyBlock), iv, h.key_value);
      if (k.size() < h.data.key_bits / 8) Damaged("the encrypted key is too short");
      k.resize(h.data.key_bits / 8);
      secret = std::move(k);
      break;
    }
  }
  if (!secret) RefusePassword(password);

  const uint64_t size = PackageSize(package);
  constexpr size_t kSegment = 4096;
  std::string out;
  out.reserve(static_cast<size_t>(size) + kSegment);
  const uint8_t* data = package.data() + 8;
  const size_t total = package.size() - 8;
  for (size_t at = 0, segment = 0; at < total && out.size() < size; at += kSegment, ++segment) {
    const size_t n = std::min(kSegment, total - at) / 16 * 16;
    if (n == 0) break;
    const Bytes seg_iv = Fit(data_hash.Of({h.data.salt, Le32Bytes(static_cast<uint32_t>(segment))}),
                             h.data.block_size);
    const size_t old = out.size();
    out.append(reinterpret_cast<const char*>(data + at), n);
    AesDecrypt(*secret, seg_iv, reinterpret_cast<uint8_t*>(out.data() + old), n);
  }
  if (out.size() < size) Truncated("the encrypted package ends before its announced size");
  out.resize(static_cast<size_t>(size));
  return out;
}

}  // namespace

std::string DecryptPackage(const std::vector<uint8_t>& info, const std::vector<uint8_t>& package,
                           std::string_view password) {
  if (info.size() < 8) Damaged("the encryption information is too short");
  const uint16_t major = static_cast<uint16_t>(info[0] | (info[1] << 8));
  const uint16_t minor = static_cast<uint16_t>(info[2] | (info[3] << 8));
  if (major == 4 && minor == 4) return DecryptAgile(info, package, password);
  if ((major == 3 || major == 4) && minor == 2) return DecryptStandard(info, package, password);
  if ((major == 3 || major == 4) && minor == 3) Unsupported("extensible encryption");
  Unsupported("an unknown method (version " + std::to_string(major) + "." + std::to_string(minor) +
              ")");
}

}  // namespace sorvane::readers
