#include "KytRTP/cGenRTPBasedDTMF.h"

#include <algorithm>

#include "audio/cAudioUnit.h"

namespace {

constexpr uint8_t kVolume = 0x0A;
constexpr uint8_t kEndBit = 0x80;
constexpr int kDurationSamples = cGenRTPBasedDTMF::kDurationMs * cAudioUnit::kSampleRate / 1000;

}  // namespace

void cGenRTPBasedDTMF::DigitDTMF(int nEvent, int nPayloadType) {
  m_Queue.push_back({nEvent, nPayloadType});
}

bool cGenRTPBasedDTMF::GenDigitDTMF(uint32_t uClock, cRTPBasedDTMFObj& packet) {
  if (!m_bActive) {
    if (m_nGapLeft > 0) {
      --m_nGapLeft;
      return false;
    }
    if (m_Queue.empty()) return false;
    m_Current = m_Queue.front();
    m_Queue.pop_front();
    m_bActive = true;
    m_uStart = uClock;
    m_nElapsed = 0;
    m_nEndSent = 0;
  }
  const bool bFirst = m_nElapsed == 0;
  m_nElapsed = std::min(m_nElapsed + cAudioUnit::kSamples, kDurationSamples);
  const bool bEnd = m_nElapsed >= kDurationSamples;
  packet.m_arrDigitRTP[0] = static_cast<uint8_t>(m_Current.nEvent);
  packet.m_arrDigitRTP[1] = bEnd ? (kEndBit | kVolume) : kVolume;
  packet.m_arrDigitRTP[2] = static_cast<uint8_t>(m_nElapsed >> 8);
  packet.m_arrDigitRTP[3] = static_cast<uint8_t>(m_nElapsed & 0xFF);
  packet.m_nMagicNo = m_Current.nPayloadType;
  packet.m_bFirstPacket = bFirst;
  packet.m_uTimeStamp = m_uStart;
  if (bEnd && ++m_nEndSent == kEndPackets) {
    m_bActive = false;
    m_nGapLeft = m_Queue.empty() ? 0 : kGapTicks;
  }
  return true;
}

void cGenRTPBasedDTMF::DeleteAll() {
  m_Queue.clear();
  m_bActive = false;
  m_nGapLeft = 0;
}
