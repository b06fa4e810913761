// iLBC payloads as a line decodes them: every received payload of a valid size (whole 38-byte or
// 50-byte frames) in turn on one decoder, whose mode follows the payload size.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "KytRTP/KytCodec/ciLBCCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  // The most PCM a line accepts from one packet (80 ms).
  constexpr int kMaxPacketBytes = 1280;
  ciLBCCodec codec;
  std::vector<int16_t> pcm(kMaxPacketBytes / 2);
  // The first byte of each payload gives its frame count and frame size. A few payloads reach
  // every state of the decoder; more would only slow the search (decoding is costly).
  constexpr int kMaxPayloads = 4;
  size_t nAt = 0;
  for (int nPayload = 0; nPayload < kMaxPayloads && nAt < nSize; ++nPayload) {
    const uint8_t nShape = pData[nAt++];
    const int nFrameBytes = nShape & 1 ? 38 : 50;
    const int nLength = nFrameBytes * (1 + (nShape >> 1) % 3);
    if (nAt + static_cast<size_t>(nLength) > nSize) break;
    if (codec.IsValid(nLength)) {
      codec.SetDecodeMode(ciLBCCodec::GetStreamMode(nLength));
      if (codec.DecodeOutPutSize(nLength) <= kMaxPacketBytes) {
        const int nBytes = codec.Decode(pData + nAt, nLength, pcm.data());
        if (nBytes < 0 || nBytes > kMaxPacketBytes) std::abort();
      }
    }
    nAt += static_cast<size_t>(nLength);
  }
  return 0;
}
