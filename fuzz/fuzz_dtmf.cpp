// Telephone events (RFC 4733) as a line sends them, under any order of queued digits, 20 ms ticks
// and cancels: each packet's duration only grows within its event and never passes 100 ms, the end
// bit comes with the full duration, and the packet written from it reads back as RTP with its
// payload type and a 4-byte payload.

#include <cstdint>
#include <cstdlib>

#include "KytRTP/cGenRTPBasedDTMF.h"
#include "KytRTP/cPacketRTP.h"
#include "audio/cAudioUnit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  constexpr int kFullDuration = cGenRTPBasedDTMF::kDurationMs * cAudioUnit::kSampleRate / 1000;
  cGenRTPBasedDTMF events;
  cPacketRTP stream;
  stream.ResetOBJ();
  uint32_t uClock = 0;
  int nLastDuration = 0;
  for (size_t nAt = 0; nAt + 3 <= nSize; nAt += 3) {
    const uint8_t* p = pData + nAt;
    uClock += cAudioUnit::kSamples;
    switch (p[0] % 4) {
      case 0:
        events.DigitDTMF(p[1] % 17, 96 + p[2] % 32);
        break;
      case 3:
        events.DeleteAll();
        break;
      default: {
        cRTPBasedDTMFObj packet;
        if (!events.GenDigitDTMF(uClock + p[1], packet)) break;
        const int nDuration = packet.m_arrDigitRTP[2] << 8 | packet.m_arrDigitRTP[3];
        const bool bEnd = packet.m_arrDigitRTP[1] & 0x80;
        if (nDuration > kFullDuration || bEnd != (nDuration == kFullDuration) ||
            (!packet.m_bFirstPacket && nDuration < nLastDuration))
          std::abort();
        nLastDuration = nDuration;
        uint8_t datagram[cPacketRTP::kHeaderSize + 4];
        stream.CreatePacketEvent(packet.m_uTimeStamp, packet.m_bFirstPacket, packet.m_nMagicNo,
                                 datagram);
        for (int i = 0; i < 4; ++i) datagram[cPacketRTP::kHeaderSize + i] = packet.m_arrDigitRTP[i];
        cPacketRTP::sParsed parsed;
        if (!cPacketRTP::ParsePacket(datagram, sizeof(datagram), parsed) ||
            parsed.nPayloadType != packet.m_nMagicNo || parsed.nPayloadLength != 4 ||
            parsed.uTimeStamp != packet.m_uTimeStamp || parsed.bMarker != packet.m_bFirstPacket)
          std::abort();
        break;
      }
    }
  }
  return 0;
}
