#include "audio/cDetectAMD.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "audio/cJitterQueue.h"
#include "audio/cVAD.h"

namespace {

constexpr int kVoiceLevel = 29;
constexpr int kFrameSamples = 80;
constexpr int kFrameMs = 10;
constexpr int64_t kBytesPerTickUnit = 16;
// Frame levels in dBFS, never below kFloorDb. A quiet frame is within kPauseMarginDb of the
// quietest and kTalkMarginDb below the loudest.
constexpr double kFullScale = 32768.0 * 32768.0;
constexpr double kFloorDb = -100.0;
constexpr double kPauseMarginDb = 10.0;
constexpr double kTalkMarginDb = 20.0;
// Audio beyond twice real time for the analysis time cannot come from an honest peer; it is not
// collected, so a flood cannot grow the collection without bound.
constexpr int64_t kMaxBytesPerTickUnit = 4 * kBytesPerTickUnit;

}  // namespace

cDetectAMD::cDetectAMD(std::function<void(bool)> pfnDetected)
    : m_pfnDetected(std::move(pfnDetected)) {}

cDetectAMD::~cDetectAMD() = default;

void cDetectAMD::ClearCollection() {
  m_bDetectStart = false;
  m_nDataSizePCM = 0;
  m_nTickCount = 0;
  // The collection's memory goes back until the next one.
  std::vector<sBlock>().swap(m_Blocks);
  std::vector<uint8_t>().swap(m_CollectedPCM);
}

void cDetectAMD::DetectAMD(bool bEnable, int nAnalysisTime, int nSilenceTimeMs, int nSilenceCount) {
  m_bEnable = bEnable;
  if (bEnable) {
    m_nAnalysisTime = nAnalysisTime;
    m_nDetectSilenceTime = nSilenceTimeMs;
    m_nDetectSilenceCount = nSilenceCount;
  }
  m_bAllowSocket = false;
  ClearCollection();
}

void cDetectAMD::StartAMD() {
  DetectAMD(true, kStartAnalysisTime, kStartSilenceTimeMs, kStartSilenceCount);
  m_bAllowSocket = true;
}

void cDetectAMD::StopAMD() {
  m_bAllowSocket = false;
  ClearCollection();
}

void cDetectAMD::OnSocketRecv(uint32_t, int, uint32_t uTimeStamp, const void* pPCM, int nSize) {
  if (!m_bEnable || !m_bAllowSocket || nSize <= 0) return;
  if (!m_bDetectStart) {
    cVAD vad;
    vad.IsSilence(static_cast<const int16_t*>(pPCM), nSize / 2);
    if (vad.GetSoundLevel() <= kVoiceLevel) return;
    m_bDetectStart = true;
  }
  if (m_nDataSizePCM + nSize > kMaxBytesPerTickUnit * std::max(m_nAnalysisTime, 1)) return;
  auto it = m_Blocks.end();
  while (it != m_Blocks.begin() && cJitterQueue::IsNewerTimeStamp((it - 1)->uTimeStamp, uTimeStamp))
    --it;
  m_Blocks.insert(it, {uTimeStamp, m_CollectedPCM.size(), nSize});
  const auto* pBytes = static_cast<const uint8_t*>(pPCM);
  m_CollectedPCM.insert(m_CollectedPCM.end(), pBytes, pBytes + nSize);
  m_nDataSizePCM += nSize;
}

void cDetectAMD::OnTimerTick(int nElapsed) {
  if (!m_bEnable || !m_bAllowSocket || !m_bDetectStart) return;
  m_nTickCount += nElapsed;
  if (m_nTickCount < m_nAnalysisTime) return;
  m_bAllowSocket = false;
  const int64_t nBytes =
      std::max<int64_t>(m_nDataSizePCM, kBytesPerTickUnit * std::max(m_nAnalysisTime, 0));
  std::vector<int16_t> buffer(static_cast<size_t>(nBytes / 2), 0);
  auto* pBytes = reinterpret_cast<uint8_t*>(buffer.data());
  int64_t nOffset = 0;
  for (const sBlock& block : m_Blocks) {
    const int64_t nCopy = std::min<int64_t>(block.nSize, nBytes - nOffset);
    std::memcpy(pBytes + nOffset, m_CollectedPCM.data() + block.nOffset,
                static_cast<size_t>(nCopy));
    nOffset += nCopy;
  }
  // The collection's memory goes back until the next one.
  std::vector<sBlock>().swap(m_Blocks);
  std::vector<uint8_t>().swap(m_CollectedPCM);
  m_bDetectStart = false;
  const bool bHuman = CountPauses(buffer.data(), static_cast<int>(buffer.size()),
                                  m_nDetectSilenceTime) >= m_nDetectSilenceCount;
  if (m_pfnDetected) m_pfnDetected(bHuman);
}

int cDetectAMD::CountPauses(const int16_t* pSamples, int nSamples, int nMinMs) {
  // A pause is quiet against the line's own noise floor (its quietest frame), not against an
  // absolute level: a noisy line has pauses too.
  std::vector<double> levels;
  for (int nPos = 0; nPos + kFrameSamples <= nSamples; nPos += kFrameSamples) {
    double dSum = 0;
    for (int i = 0; i < kFrameSamples; ++i) dSum += double(pSamples[nPos + i]) * pSamples[nPos + i];
    levels.push_back(
        std::max(kFloorDb, 10.0 * std::log10(dSum / kFrameSamples / kFullScale + 1e-30)));
  }
  if (levels.empty()) return 0;
  const auto [itQuietest, itLoudest] = std::minmax_element(levels.begin(), levels.end());
  // A quiet frame is near the floor and well below the talk.
  const double dQuiet = std::min(*itQuietest + kPauseMarginDb, *itLoudest - kTalkMarginDb);
  int nPauses = 0;
  bool bInPause = false;
  int nPauseMs = 0;
  auto close = [&] {
    if (bInPause && nPauseMs != 0 && nPauseMs >= nMinMs) ++nPauses;
    bInPause = false;
    nPauseMs = 0;
  };
  for (const double dLevel : levels) {
    if (dLevel >= dQuiet) {
      close();
    } else if (!bInPause) {
      bInPause = true;
    } else {
      nPauseMs += kFrameMs;
    }
  }
  close();
  return nPauses;
}
