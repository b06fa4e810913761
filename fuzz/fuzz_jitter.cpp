// The jitter buffer behind a line, fed any stream: each 8-byte record is one step, an insert of a
// packet of any sequence number, timestamp, source and size (decoded, or kept coded for a decoder
// that answers any length and conceals in frames), or a 20 ms playout tick. A new source resets
// the buffer, as the line does.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "audio/cAudioUnit.h"
#include "audio/cFrameDecoder.h"
#include "audio/cJitterBuffer.h"
#include "audio/cQueueObject.h"

namespace {

// The most PCM a line hands over for one packet (80 ms).
constexpr int kMaxPacketBytes = 1280;

// A decoder whose output length follows the payload's, anything from nothing to full room, and
// whose concealment is whole 30 ms frames, as iLBC's is.
class cAnyLengthDecoder : public cFrameDecoder {
 public:
  int DecodeFrame(const cQueueObject& packet, int16_t* pPCM) override {
    const int nSamples = packet.m_nDataSize * 7 % (kMaxSamples + 1);
    std::fill(pPCM, pPCM + nSamples, static_cast<int16_t>(packet.m_nDataSize));
    return nSamples;
  }
  int ConcealFrame(int /*nCodecNo*/, int16_t* pPCM, int nSamples) override {
    const int nFrames = nSamples / 240 * 240;
    std::fill(pPCM, pPCM + nFrames, 0);
    return nFrames;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  cJitterBuffer buffer;
  cAnyLengthDecoder decoder;
  buffer.SetFrameDecoder(&decoder);
  std::vector<uint8_t> pcm(kMaxPacketBytes, 0x11);
  std::vector<int16_t> unit(cAudioUnit::kSamples);
  uint8_t nSource = 0;
  // Long enough to fill the queue to its limit and play it out again.
  constexpr size_t kMaxSteps = 256;
  for (size_t nAt = 0; nAt + 8 <= nSize && nAt < 8 * kMaxSteps; nAt += 8) {
    const uint8_t* p = pData + nAt;
    const uint16_t nSeqNo = static_cast<uint16_t>(p[1] << 8 | p[2]);
    uint32_t uTimeStamp = 0;
    std::memcpy(&uTimeStamp, p + 3, sizeof(uTimeStamp));
    const uint8_t nSsrc = p[7];
    switch (p[0] & 3) {
      case 0:
      case 1: {
        if (nSsrc != nSource) buffer.ResetBuffer();
        nSource = nSsrc;
        // Mostly whole units of 10 ms, sometimes any even or odd size.
        const int nBytes =
            (p[0] & 4) ? (p[0] >> 3) * 41 % (kMaxPacketBytes + 1) : 160 * (1 + (p[0] >> 3) % 8);
        if (p[0] & 1)
          buffer.InsertCoded(nSeqNo, 3, uTimeStamp, pcm.data(), nBytes);
        else
          buffer.InsertPacket(nSeqNo, 0, uTimeStamp, pcm.data(), nBytes);
        break;
      }
      case 2:
        buffer.GetUnitLengthPCM(unit.data());
        break;
      default:
        buffer.GetCountPacketLost();
        buffer.GetSizeJitterBuffer();
        buffer.GetRestartThreshold();
        buffer.GetUnitLengthPCM(unit.data());
        break;
    }
  }
  return 0;
}
