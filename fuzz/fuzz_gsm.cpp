// GSM 06.10 payloads as a line decodes them: whole 33-byte frames on one decoder.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "KytRTP/KytCodec/cG610Codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  // The most PCM a line accepts from one packet (80 ms).
  constexpr int kMaxPacketBytes = 1280;
  cG610Codec codec;
  std::vector<int16_t> pcm(kMaxPacketBytes / 2);
  size_t nAt = 0;
  while (nAt < nSize) {
    const int nLength = 33 * (1 + pData[nAt++] % 4);
    if (nAt + static_cast<size_t>(nLength) > nSize) break;
    if (codec.IsValid(nLength) && codec.DecodeOutPutSize(nLength) <= kMaxPacketBytes) {
      const int nBytes = codec.Decode(pData + nAt, nLength, pcm.data());
      if (nBytes < 0 || nBytes > kMaxPacketBytes) std::abort();
    }
    nAt += static_cast<size_t>(nLength);
  }
  return 0;
}
