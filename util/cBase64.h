#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Base64 with the standard alphabet and "=" padding (RFC 4648, section 4), without line breaks.
class cBase64 {
 public:
  // Four characters for every started group of three bytes.
  static std::string Encode(std::span<const uint8_t> data);
  // Strict inverse of Encode: the text must be whole groups of four alphabet characters, with
  // padding only at the end and zero bits under it. Anything else is refused and out is left
  // empty.
  static bool Decode(std::string_view text, std::vector<uint8_t>& out);
  static size_t EncodedLength(size_t nBytes);
};
