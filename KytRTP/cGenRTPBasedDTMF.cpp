#include "KytRTP/cGenRTPBasedDTMF.h"

namespace {

constexpr uint8_t kVolume = 0x0A;
constexpr uint8_t kEndBit = 0x80;
constexpr uint16_t kEndDuration = 1600;

}  // namespace

void cGenRTPBasedDTMF::DigitDTMF(int nEvent, int nPayloadType) {
  for (int n = 0; n < kPacketsPerEvent; ++n) {
    const bool bEnd = n >= 5;
    cRTPBasedDTMFObj packet;
    packet.m_arrDigitRTP[0] = static_cast<uint8_t>(nEvent);
    packet.m_arrDigitRTP[1] = bEnd ? (kEndBit | kVolume) : kVolume;
    packet.m_arrDigitRTP[2] = bEnd ? static_cast<uint8_t>(kEndDuration >> 8) : 0;
    packet.m_arrDigitRTP[3] = bEnd ? static_cast<uint8_t>(kEndDuration & 0xFF) : 0;
    packet.m_nMagicNo = nPayloadType;
    packet.m_bFirstPacket = n < 3;
    packet.m_bLastPacket = n == kPacketsPerEvent - 1;
    packet.m_bUpdateRTP = n >= 2 && n <= 4;
    m_pListDigitDTMF.push_back(packet);
  }
}

bool cGenRTPBasedDTMF::GenDigitDTMF(cRTPBasedDTMFObj& packet) {
  if (m_pListDigitDTMF.empty()) return false;
  packet = m_pListDigitDTMF.front();
  m_pListDigitDTMF.pop_front();
  if (packet.m_bFirstPacket) m_nStopDataCount += kSilenceUnitsPerFirstPacket;
  return true;
}

bool cGenRTPBasedDTMF::IsStopVoice() {
  if (m_nStopDataCount <= 0) return false;
  --m_nStopDataCount;
  return true;
}
