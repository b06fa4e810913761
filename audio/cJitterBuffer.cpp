#include "audio/cJitterBuffer.h"

#include <algorithm>

#include "audio/cAudioUnit.h"

namespace {

constexpr int kCutBufferBytes = 1280;

// Packets between the last one played and the next one queued, in 16-bit serial arithmetic.
int SeqDistance(uint32_t nNext, uint32_t nLast) {
  return static_cast<int16_t>(static_cast<uint16_t>(nNext - nLast));
}

}  // namespace

cJitterBuffer::cJitterBuffer()
    : m_pJitterQueue(std::make_unique<cJitterQueue>()),
      m_pCircularBUFF(std::make_unique<cCircularBUFF>(kCutBufferBytes)) {}

void cJitterBuffer::InsertPacket(uint32_t nSeqNo, int nKytCodecNo, uint32_t uTimeStamp,
                                 const void* pPCM, int nSize) {
  std::lock_guard<std::recursive_mutex> lock(m_Lock);
  nSeqNo &= 0xFFFF;
  if (m_pJitterQueue->HasPacket(nSeqNo, uTimeStamp)) return;
  if (m_pLastOutputPacket && m_pLastOutputPacket->m_nSeqNo == nSeqNo &&
      m_pLastOutputPacket->m_uTimeStamp == uTimeStamp)
    return;
  if (m_nJitterBufferDepth >= kMaxQueued) {
    m_pJitterQueue->RemoveTail();
    --m_nJitterBufferDepth;
    --m_nJitterBufferSize;
  }
  m_pJitterQueue->AddObject(
      std::make_unique<cQueueObject>(nSeqNo, nKytCodecNo, uTimeStamp, pPCM, nSize));
  ++m_nJitterBufferDepth;
  ++m_nJitterBufferSize;
  ++m_nPacketTotalCount;
  if (m_nJitterBufferDepth > kMaxThreshold) {
    // Far too deep: adapt at the next output.
    m_nNumRepeats = 0;
    m_nNumPackets = 100;
  }
}

void cJitterBuffer::TakeOldestPacket() {
  std::unique_ptr<cQueueObject> pObject = m_pJitterQueue->RemoveTail();
  if (!pObject) return;
  --m_nJitterBufferDepth;
  --m_nJitterBufferSize;
  m_pLastOutputPacket = std::move(pObject);
  m_nLastPacketRepeatCount = 1;
}

void cJitterBuffer::CountOutput() { m_nNumPackets = (m_nNumPackets + 1) % 100; }

void cJitterBuffer::CalcRestartThreshold() {
  if (!m_bDynamicJitterBuffer || m_nNumPackets < 99) return;
  if (m_nNumRepeats > 1) {
    m_nRestartThreshold = std::min(m_nRestartThreshold + 1, kMaxThreshold);
  } else {
    if (m_nJitterBufferDepth <= m_nRestartThreshold + 2)
      m_nRestartThreshold = std::max(m_nRestartThreshold - 1, kMinThreshold);
    for (int i = 0; i < 3 && m_nJitterBufferDepth > m_nRestartThreshold; ++i) TakeOldestPacket();
  }
  m_nNumRepeats = 0;
  m_nNumPackets = 100;
}

std::unique_ptr<cQueueObject> cJitterBuffer::GetNextPacket() {
  if (m_bSilenceIntervalInProgress && m_nJitterBufferDepth >= m_nRestartThreshold)
    m_bSilenceIntervalInProgress = false;
  if (m_bSilenceIntervalInProgress) return nullptr;
  CalcRestartThreshold();

  const cQueueObject* pOldest = m_pJitterQueue->GetTail();
  if (!pOldest) {
    if (!m_pLastOutputPacket || m_nLastPacketRepeatCount >= kMaxPlays) {
      m_bSilenceIntervalInProgress = true;
      m_pLastOutputPacket.reset();
      return nullptr;
    }
    if (++m_nLastPacketRepeatCount == 2) ++m_nNumRepeats;
    CountOutput();
    return m_pLastOutputPacket->CloneObject();
  }
  if (m_pLastOutputPacket) {
    const int nGap =
        SeqDistance(pOldest->m_nSeqNo, m_pLastOutputPacket->m_nSeqNo) - m_nLastPacketRepeatCount;
    if (nGap >= 1) {
      ++m_nPacketLostCount;
      if (m_nLastPacketRepeatCount >= kMaxPlays) {
        m_pLastOutputPacket.reset();
        m_bSilenceIntervalInProgress = true;
        return nullptr;
      }
      ++m_nLastPacketRepeatCount;
      CountOutput();
      return m_pLastOutputPacket->CloneObject();
    }
  }
  TakeOldestPacket();
  CountOutput();
  return m_pLastOutputPacket->CloneObject();
}

bool cJitterBuffer::GetUnitLengthPCM(void* pOut) {
  std::lock_guard<std::recursive_mutex> lock(m_Lock);
  while (!m_pCircularBUFF->IsAvailable(cAudioUnit::kBytes)) {
    std::unique_ptr<cQueueObject> pPacket = GetNextPacket();
    if (!pPacket) break;
    m_pCircularBUFF->WriteToBUFF(pPacket->m_pData.data(), pPacket->m_nDataSize);
  }
  return m_pCircularBUFF->ReadToBUFF(pOut, cAudioUnit::kBytes);
}

void cJitterBuffer::ResetBuffer() {
  std::lock_guard<std::recursive_mutex> lock(m_Lock);
  m_pJitterQueue->RemoveAll();
  m_pCircularBUFF->ResetBUFF();
  m_nJitterBufferDepth = 0;
  m_nJitterBufferSize = 0;
  m_nRestartThreshold = kStartThreshold;
  m_pLastOutputPacket.reset();
  m_nLastPacketRepeatCount = 0;
  m_bSilenceIntervalInProgress = true;
  m_bDynamicJitterBuffer = true;
  m_nNumRepeats = 0;
  m_nNumPackets = 0;
  m_nPacketTotalCount = 0;
}

int cJitterBuffer::GetCountPacketTotal() {
  std::lock_guard<std::recursive_mutex> lock(m_Lock);
  return m_nPacketTotalCount;
}

int cJitterBuffer::GetCountPacketLost() {
  std::lock_guard<std::recursive_mutex> lock(m_Lock);
  const int nLost = m_nPacketLostCount;
  m_nPacketLostCount = 0;
  return nLost;
}

int cJitterBuffer::GetSizeJitterBuffer() {
  std::lock_guard<std::recursive_mutex> lock(m_Lock);
  return m_nJitterBufferDepth;
}

int cJitterBuffer::GetRestartThreshold() {
  std::lock_guard<std::recursive_mutex> lock(m_Lock);
  return m_nRestartThreshold;
}
