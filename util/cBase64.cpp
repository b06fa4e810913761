#include "util/cBase64.h"

#include <algorithm>
#include <utility>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kPad = '=';

// Value of an alphabet character, or -1.
int SextetOf(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

size_t cBase64::EncodedLength(size_t nBytes) { return (nBytes + 2) / 3 * 4; }

std::string cBase64::Encode(std::span<const uint8_t> data) {
  std::string text;
  text.reserve(EncodedLength(data.size()));
  for (size_t i = 0; i < data.size(); i += 3) {
    const size_t nGroup = std::min<size_t>(3, data.size() - i);
    uint32_t uBits = static_cast<uint32_t>(data[i]) << 16;
    if (nGroup > 1) uBits |= static_cast<uint32_t>(data[i + 1]) << 8;
    if (nGroup > 2) uBits |= data[i + 2];
    // A group of n bytes carries n + 1 characters; padding fills the rest of the four.
    for (size_t c = 0; c < 4; ++c) {
      text.push_back(c <= nGroup ? kAlphabet[(uBits >> (18 - 6 * c)) & 0x3F] : kPad);
    }
  }
  return text;
}

bool cBase64::Decode(std::string_view text, std::vector<uint8_t>& out) {
  out.clear();
  if (text.size() % 4 != 0) return false;
  std::vector<uint8_t> bytes;
  bytes.reserve(text.size() / 4 * 3);
  for (size_t i = 0; i < text.size(); i += 4) {
    const bool bLast = i + 4 == text.size();
    size_t nPad = 0;
    uint32_t uBits = 0;
    for (size_t c = 0; c < 4; ++c) {
      const char ch = text[i + c];
      // Padding may only close the last group, and only its last one or two characters.
      if (ch == kPad && bLast && c >= 2) {
        ++nPad;
        uBits <<= 6;
        continue;
      }
      const int nSextet = SextetOf(ch);
      if (nSextet < 0 || nPad > 0) return false;
      uBits = uBits << 6 | static_cast<uint32_t>(nSextet);
    }
    // The bits under the padding must be zero, or two texts would decode to the same bytes.
    if ((nPad == 1 && (uBits & 0xFF) != 0) || (nPad == 2 && (uBits & 0xFFFF) != 0)) return false;
    bytes.push_back(static_cast<uint8_t>(uBits >> 16));
    if (nPad < 2) bytes.push_back(static_cast<uint8_t>(uBits >> 8));
    if (nPad < 1) bytes.push_back(static_cast<uint8_t>(uBits));
  }
  out = std::move(bytes);
  return true;
}
