#include "audio/cJitterBuffer.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "audio/cAudioUnit.h"
#include "audio/cFrameDecoder.h"
#include "audio/cLossConcealer.h"

namespace {

constexpr int kCutBufferBytes = 1280;
// A packet this far behind the playout point is not late but from a restarted stream (2 s).
constexpr int32_t kRestartDistance = 16000;
// A gap this long in a playing stream is not concealed but skipped (100 ms).
constexpr int32_t kMaxConcealedGap = 800;
// A packet whose mean magnitude is below this (about -44 dBFS) may be dropped unheard.
constexpr int kQuietMean = 200;
// Raising the target waits this many outputs after the last raise: one late burst is one raise.
constexpr int kRaiseSpacing = 5;

int32_t TimeStampDistance(uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b); }

int Samples(const cQueueObject& packet) { return packet.m_nDataSize / 2; }

bool IsQuiet(const cQueueObject& packet) {
  const int nSamples = Samples(packet);
  if (nSamples <= 0) return true;
  const auto* pSamples = reinterpret_cast<const int16_t*>(packet.m_pData.data());
  long nSum = 0;
  for (int i = 0; i < nSamples; ++i) nSum += std::abs(static_cast<int>(pSamples[i]));
  return nSum < static_cast<long>(kQuietMean) * nSamples;
}

}  // namespace

cJitterBuffer::cJitterBuffer()
    : m_pJitterQueue(std::make_unique<cJitterQueue>()),
      m_pCircularBUFF(std::make_unique<cCircularBUFF>(kCutBufferBytes)),
      m_pConcealer(std::make_unique<cLossConcealer>()) {}

cJitterBuffer::~cJitterBuffer() = default;

std::unique_ptr<cQueueObject> cJitterBuffer::MakePacket(uint32_t nSeqNo, int nKytCodecNo,
                                                        uint32_t uTimeStamp, const void* pData,
                                                        int nSize) {
  if (!m_pSpare)
    return std::make_unique<cQueueObject>(nSeqNo, nKytCodecNo, uTimeStamp, pData, nSize);
  std::unique_ptr<cQueueObject> pObject = std::move(m_pSpare);
  pObject->Assign(nSeqNo, nKytCodecNo, uTimeStamp, pData, nSize);
  return pObject;
}

void cJitterBuffer::InsertPacket(uint32_t nSeqNo, int nKytCodecNo, uint32_t uTimeStamp,
                                 const void* pPCM, int nSize) {
  if (nSize <= 0 || nSize % 2 != 0) return;
  std::lock_guard<std::recursive_mutex> lock(m_Lock);
  Insert(MakePacket(nSeqNo & 0xFFFF, nKytCodecNo, uTimeStamp, pPCM, nSize));
}

void cJitterBuffer::InsertCoded(uint32_t nSeqNo, int nKytCodecNo, uint32_t uTimeStamp,
                                const void* pPayload, int nSize) {
  if (nSize <= 0) return;
  std::lock_guard<std::recursive_mutex> lock(m_Lock);
  auto pObject = MakePacket(nSeqNo & 0xFFFF, nKytCodecNo, uTimeStamp, pPayload, nSize);
  pObject->m_bCoded = true;
  Insert(std::move(pObject));
}

void cJitterBuffer::Insert(std::unique_ptr<cQueueObject> pObject) {
  std::lock_guard<std::recursive_mutex> lock(m_Lock);
  const uint32_t uTimeStamp = pObject->m_uTimeStamp;
  if (m_bHaveNext && TimeStampDistance(uTimeStamp, m_uNextTimeStamp) < 0) {
    if (TimeStampDistance(uTimeStamp, m_uNextTimeStamp) > -kRestartDistance) {
      ++m_nPacketLateCount;
      ++m_nWindowTrouble;
      RaiseTarget();
      return;
    }
    const int nLost = m_nPacketLostCount;
    ResetBuffer();
    m_nPacketLostCount = nLost;
  }
  if (m_pJitterQueue->HasPacket(pObject->m_nSeqNo, uTimeStamp)) return;
  if (m_nJitterBufferDepth >= kMaxQueued) DropOldestPacket();
  m_pJitterQueue->AddObject(std::move(pObject));
  ++m_nJitterBufferDepth;
  ++m_nPacketTotalCount;
}

std::unique_ptr<cQueueObject> cJitterBuffer::TakeOldestPacket() {
  std::unique_ptr<cQueueObject> pObject = m_pJitterQueue->RemoveTail();
  if (pObject) --m_nJitterBufferDepth;
  return pObject;
}

void cJitterBuffer::DropOldestPacket() { TakeOldestPacket(); }

std::unique_ptr<cQueueObject> cJitterBuffer::TakeDecodedPacket() {
  std::unique_ptr<cQueueObject> pPacket = TakeOldestPacket();
  if (!pPacket || !pPacket->m_bCoded) {
    if (pPacket) m_nConcealingCodec = -1;
    return pPacket;
  }
  int16_t pcm[cFrameDecoder::kMaxSamples];
  const int nSamples = m_pFrameDecoder ? m_pFrameDecoder->DecodeFrame(*pPacket, pcm) : 0;
  if (nSamples <= 0 || nSamples > cFrameDecoder::kMaxSamples) return nullptr;
  m_nConcealingCodec = pPacket->m_nKytCodecNo;
  // The coded packet's object carries its PCM on.
  pPacket->Assign(pPacket->m_nSeqNo, pPacket->m_nKytCodecNo, pPacket->m_uTimeStamp, pcm,
                  nSamples * 2);
  return pPacket;
}

void cJitterBuffer::RaiseTarget() {
  if (m_nOutputsSinceRaise < kRaiseSpacing) return;
  m_nOutputsSinceRaise = 0;
  m_nRestartThreshold = std::min(m_nRestartThreshold + 1, kMaxThreshold);
}

void cJitterBuffer::CountOutput() {
  ++m_nOutputsSinceRaise;
  m_nWindowMinDepth = std::min(m_nWindowMinDepth, m_nJitterBufferDepth);
  if (++m_nWindowOutputs < kCalmWindow) return;
  // A calm window lets the target shrink by one, and asks for one packet of any depth beyond it
  // to be dropped at the next quiet moment (a sender whose clock is faster than ours): at most
  // one adjustment a window.
  if (m_nWindowTrouble == 0) {
    m_nRestartThreshold = std::max(m_nRestartThreshold - 1, kMinThreshold);
    m_bDropPending = m_nWindowMinDepth > m_nRestartThreshold;
  }
  // A window that ran the queue dry (a sender whose clock is slower than ours) asks for one
  // quiet packet to be played twice, before the buffer underruns in the middle of speech.
  m_bInsertPending = m_nWindowMinDepth == 0;
  m_nWindowOutputs = 0;
  m_nWindowMinDepth = kMaxQueued;
  m_nWindowTrouble = 0;
}

std::unique_ptr<cQueueObject> cJitterBuffer::Conceal(bool bAdvance) {
  if (m_nLastFrameSamples == 0 || m_nConcealed >= cLossConcealer::kMaxConcealed) {
    m_bPlaying = false;
    m_nLastFrameSamples = 0;
    return nullptr;
  }
  std::vector<int16_t> pcm(static_cast<size_t>(m_nLastFrameSamples));
  // A decoder that conceals for itself carries its state across the loss, so the next frame it
  // decodes follows on from what was played.
  if (m_nConcealingCodec < 0 || !m_pFrameDecoder ||
      m_pFrameDecoder->ConcealFrame(m_nConcealingCodec, pcm.data(), m_nLastFrameSamples) !=
          m_nLastFrameSamples)
    m_pConcealer->Conceal(pcm.data(), m_nLastFrameSamples);
  m_nConcealed += m_nLastFrameSamples;
  auto pPacket =
      std::make_unique<cQueueObject>(0, 0, m_uNextTimeStamp, pcm.data(), m_nLastFrameSamples * 2);
  if (bAdvance) m_uNextTimeStamp += static_cast<uint32_t>(m_nLastFrameSamples);
  CountOutput();
  return pPacket;
}

std::unique_ptr<cQueueObject> cJitterBuffer::GetNextPacket() {
  if (!m_bPlaying) {
    if (m_nJitterBufferDepth < m_nRestartThreshold) return nullptr;
    // What piled up while nobody played is stale: start at the target depth.
    while (m_nJitterBufferDepth > m_nRestartThreshold) DropOldestPacket();
    m_bPlaying = true;
    m_bHaveNext = true;
    m_uNextTimeStamp = m_pJitterQueue->GetTail()->m_uTimeStamp;
  }
  if (m_pInserted) {
    CountOutput();
    return std::move(m_pInserted);
  }
  const cQueueObject* pOldest = m_pJitterQueue->GetTail();
  if (!pOldest) {
    // Nothing yet: the next packet is late. Waiting for it deepens the buffer by one frame.
    ++m_nWindowTrouble;
    RaiseTarget();
    return Conceal(false);
  }
  const int32_t nGap = TimeStampDistance(pOldest->m_uTimeStamp, m_uNextTimeStamp);
  if (nGap > 0) {
    ++m_nPacketLostCount;
    if (nGap <= kMaxConcealedGap && m_nLastFrameSamples > 0 &&
        m_nConcealed < cLossConcealer::kMaxConcealed)
      return Conceal(true);
    m_uNextTimeStamp = pOldest->m_uTimeStamp;
  }
  std::unique_ptr<cQueueObject> pPacket = TakeDecodedPacket();
  if (!pPacket) return Conceal(false);
  if (m_bDropPending && m_nJitterBufferDepth >= m_nRestartThreshold && IsQuiet(*pPacket)) {
    m_bDropPending = false;
    m_uNextTimeStamp = pPacket->m_uTimeStamp + static_cast<uint32_t>(Samples(*pPacket));
    pPacket = TakeDecodedPacket();
    if (!pPacket) return Conceal(false);
  }
  m_uNextTimeStamp = pPacket->m_uTimeStamp + static_cast<uint32_t>(Samples(*pPacket));
  m_nLastFrameSamples = Samples(*pPacket);
  m_nConcealed = 0;
  m_pConcealer->OnGoodSamples(reinterpret_cast<int16_t*>(pPacket->m_pData.data()),
                              m_nLastFrameSamples);
  if (m_bInsertPending && IsQuiet(*pPacket)) {
    m_bInsertPending = false;
    m_pInserted = pPacket->CloneObject();
  }
  CountOutput();
  return pPacket;
}

bool cJitterBuffer::GetUnitLengthPCM(void* pOut) {
  std::lock_guard<std::recursive_mutex> lock(m_Lock);
  while (!m_pCircularBUFF->IsAvailable(cAudioUnit::kBytes)) {
    std::unique_ptr<cQueueObject> pPacket = GetNextPacket();
    if (!pPacket) break;
    m_pCircularBUFF->WriteToBUFF(pPacket->m_pData.data(), pPacket->m_nDataSize);
    m_pSpare = std::move(pPacket);
  }
  return m_pCircularBUFF->ReadToBUFF(pOut, cAudioUnit::kBytes);
}

void cJitterBuffer::ResetBuffer() {
  std::lock_guard<std::recursive_mutex> lock(m_Lock);
  m_pJitterQueue->RemoveAll();
  m_pCircularBUFF->ResetBUFF();
  m_nJitterBufferDepth = 0;
  m_nRestartThreshold = kStartThreshold;
  m_nLastFrameSamples = 0;
  m_pConcealer->Reset();
  m_nConcealingCodec = -1;
  m_nConcealed = 0;
  m_bPlaying = false;
  m_bHaveNext = false;
  m_uNextTimeStamp = 0;
  m_nWindowOutputs = 0;
  m_nWindowMinDepth = kMaxQueued;
  m_nWindowTrouble = 0;
  m_nOutputsSinceRaise = 0;
  m_bDropPending = false;
  m_bInsertPending = false;
  m_pInserted.reset();
  m_nPacketLateCount = 0;
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

int cJitterBuffer::GetCountPacketLate() {
  std::lock_guard<std::recursive_mutex> lock(m_Lock);
  return m_nPacketLateCount;
}

int cJitterBuffer::GetSizeJitterBuffer() {
  std::lock_guard<std::recursive_mutex> lock(m_Lock);
  return m_nJitterBufferDepth;
}

int cJitterBuffer::GetRestartThreshold() {
  std::lock_guard<std::recursive_mutex> lock(m_Lock);
  return m_nRestartThreshold;
}
