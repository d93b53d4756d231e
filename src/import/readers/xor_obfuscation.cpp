#include "import/readers/xor_obfuscation.h"

#include <string>

#include "import/readers/office_crypto.h"

namespace sorvane::readers {
namespace {

// The tables the obfuscation is defined by: fill bytes for passwords shorter
// than sixteen, a starting key per password length, and the values each bit of
// each character's place adds to the key.
constexpr uint8_t kPad[15] = {0xBB, 0xFF, 0xFF, 0xBA, 0xFF, 0xFF, 0xB9, 0x80,
                              0x00, 0xBE, 0x0F, 0x00, 0xBF, 0x0F, 0x00};
constexpr uint16_t kInitialCode[15] = {0xE1F0, 0x1D0F, 0xCC9C, 0x84C0, 0x110C,
                                       0x0E10, 0xF1CE, 0x313E, 0x1872, 0xE139,
                                       0xD40F, 0x84F9, 0x280C, 0xA96A, 0x4EC3};
constexpr uint16_t kXorMatrix[105] = {
    0xAEFC, 0x4DD9, 0x9BB2, 0x2745, 0x4E8A, 0x9D14, 0x2A09, 0x7B61, 0xF6C2, 0xFDA5, 0xEB6B, 0xC6F7,
    0x9DCF, 0x2BBF, 0x4563, 0x8AC6, 0x05AD, 0x0B5A, 0x16B4, 0x2D68, 0x5AD0, 0x0375, 0x06EA, 0x0DD4,
    0x1BA8, 0x3750, 0x6EA0, 0xDD40, 0xD849, 0xA0B3, 0x5147, 0xA28E, 0x553D, 0xAA7A, 0x44D5, 0x6F45,
    0xDE8A, 0xAD35, 0x4A4B, 0x9496, 0x390D, 0x721A, 0xEB23, 0xC667, 0x9CEF, 0x29FF, 0x53FE, 0xA7FC,
    0x5FD9, 0x47D3, 0x8FA6, 0x0F6D, 0x1EDA, 0x3DB4, 0x7B68, 0xF6D0, 0xB861, 0x60E3, 0xC1C6, 0x93AD,
    0x377B, 0x6EF6, 0xDDEC, 0x45A0, 0x8B40, 0x06A1, 0x0D42, 0x1A84, 0x3508, 0x6A10, 0xAA51, 0x4483,
    0x8906, 0x022D, 0x045A, 0x08B4, 0x1168, 0x76B4, 0xED68, 0xCAF1, 0x85C3, 0x1BA7, 0x374E, 0x6E9C,
    0x3730, 0x6E60, 0xDCC0, 0xA9A1, 0x4363, 0x86C6, 0x1DAD, 0x3331, 0x6662, 0xCCC4, 0x89A9, 0x0373,
    0x06E6, 0x0DCC, 0x1021, 0x2042, 0x4084, 0x8108, 0x1231, 0x2462, 0x48C4};

uint16_t Verifier(const std::string& password) {
  uint16_t v = 0;
  auto add = [&v](uint8_t byte) {
    const uint16_t carried = (v & 0x4000) != 0 ? 1 : 0;
    v = static_cast<uint16_t>((carried | ((v << 1) & 0x7FFF)) ^ byte);
  };
  for (auto c = password.rbegin(); c != password.rend(); ++c) add(static_cast<uint8_t>(*c));
  add(static_cast<uint8_t>(password.size()));
  return v ^ 0xCE4B;
}

uint16_t Key(const std::string& password) {
  uint16_t key = kInitialCode[password.size() - 1];
  int element = 104;
  for (auto c = password.rbegin(); c != password.rend(); ++c) {
    auto bits = static_cast<uint8_t>(*c);
    for (int i = 0; i < 7; ++i, --element) {
      if ((bits & 0x40) != 0) key ^= kXorMatrix[element];
      bits = static_cast<uint8_t>(bits << 1);
    }
  }
  return key;
}

uint8_t XorRor(uint8_t a, uint8_t b) {
  const auto x = static_cast<uint8_t>(a ^ b);
  return static_cast<uint8_t>((x >> 1) | (x << 7));
}

// The password as the single bytes it was typed in: nothing where a
// character has none, or the length is not one the obfuscation takes.
std::optional<std::string> SingleBytes(std::string_view password) {
  const Bytes units = PasswordUtf16(password);
  std::string out;
  for (size_t i = 0; i + 1 < units.size(); i += 2) {
    if (units[i + 1] != 0) return std::nullopt;
    out.push_back(static_cast<char>(units[i]));
  }
  if (out.empty() || out.size() > 15) return std::nullopt;
  return out;
}

}  // namespace

std::optional<XorObfuscation> XorObfuscation::Open(uint16_t key, uint16_t verifier,
                                                   std::string_view password) {
  const std::optional<std::string> p = SingleBytes(password);
  if (!p || Verifier(*p) != verifier || Key(*p) != key) return std::nullopt;
  const auto high = static_cast<uint8_t>(key >> 8), low = static_cast<uint8_t>(key);
  XorObfuscation o;
  std::array<uint8_t, 16>& a = o.array_;
  // The password's bytes, then the fill, alternately with the key's high and
  // low byte, from the end of each run towards its start.
  size_t i = p->size();
  if (i % 2 == 1) {
    a[i] = XorRor(kPad[0], high);
    --i;
    a[i] = XorRor(static_cast<uint8_t>(p->back()), low);
  }
  while (i > 0) {
    --i;
    a[i] = XorRor(static_cast<uint8_t>((*p)[i]), high);
    --i;
    a[i] = XorRor(static_cast<uint8_t>((*p)[i]), low);
  }
  int at = 15;
  for (int pad = 15 - static_cast<int>(p->size()); pad > 0; pad -= 2, at -= 2) {
    a[at] = XorRor(kPad[pad], high);
    a[at - 1] = XorRor(kPad[pad - 1], low);
  }
  return o;
}

void XorObfuscation::Apply(uint8_t* data, size_t at, size_t size, size_t length) const {
  size_t place = (at + length) % 16;
  for (size_t i = 0; i < size; ++i) {
    const auto x = static_cast<uint8_t>(data[i] ^ array_[place]);
    data[i] = static_cast<uint8_t>((x >> 5) | (x << 3));
    place = (place + 1) % 16;
  }
}

}  // namespace sorvane::readers
