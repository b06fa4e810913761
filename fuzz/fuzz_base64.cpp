// Base64 both ways: any text either is refused or decodes to bytes that encode back to the very
// same text, and any bytes encode to a text that decodes back to them.

#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "util/cBase64.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  const std::string_view text(reinterpret_cast<const char*>(pData), nSize);
  std::vector<uint8_t> decoded;
  if (cBase64::Decode(text, decoded) && cBase64::Encode(decoded) != text) std::abort();
  const std::string encoded = cBase64::Encode({pData, nSize});
  if (encoded.size() != cBase64::EncodedLength(nSize) || !cBase64::Decode(encoded, decoded) ||
      decoded != std::vector<uint8_t>(pData, pData + nSize))
    std::abort();
  return 0;
}
