#include "audio/cLossConcealer.h"

#include <algorithm>
#include <cmath>

namespace {

// Samples compared when looking for the pitch period (20 ms).
constexpr int kCorrelationWindow = 160;
constexpr int kTenMs = 80;
// Overlap on recovery: 4 ms, plus 4 ms per further 10 ms lost, at most 10 ms.
constexpr int kRecoveryStep = 32;
constexpr int kMaxRecovery = 80;

}  // namespace

cLossConcealer::cLossConcealer() : m_History(kHistory, 0) {}

void cLossConcealer::Reset() {
  std::fill(m_History.begin(), m_History.end(), 0);
  m_PitchBuffer.clear();
  m_nConcealed = 0;
}

void cLossConcealer::AddHistory(const int16_t* pSamples, int nCount) {
  if (nCount >= kHistory) {
    std::copy(pSamples + nCount - kHistory, pSamples + nCount, m_History.begin());
    return;
  }
  std::move(m_History.begin() + nCount, m_History.end(), m_History.begin());
  std::copy(pSamples, pSamples + nCount, m_History.end() - nCount);
}

int cLossConcealer::FindPitch() const {
  // The lag whose copy of the last 20 ms matches it best (normalised cross-correlation).
  const int nEnd = kHistory;
  double dBest = -1e300;
  int nBest = kMinPitch;
  for (int nLag = kMinPitch; nLag <= kMaxPitch; ++nLag) {
    double dCross = 0, dEnergy = 1;
    for (int i = nEnd - kCorrelationWindow; i < nEnd; ++i) {
      dCross += double(m_History[i]) * m_History[i - nLag];
      dEnergy += double(m_History[i - nLag]) * m_History[i - nLag];
    }
    const double dScore = dCross / std::sqrt(dEnergy);
    if (dScore > dBest) {
      dBest = dScore;
      nBest = nLag;
    }
  }
  return nBest;
}

int16_t cLossConcealer::NextSynthetic() {
  // At 10 and 20 ms the repeated stretch grows by a period, so the repetition is less regular.
  const int nWanted = 1 + std::min(m_nConcealed / kTenMs, 2);
  if (nWanted != m_nPeriods) {
    m_nPeriods = nWanted;
    m_nReadPos %= m_nPitch;
  }
  const int nSpan = m_nPeriods * m_nPitch;
  const int16_t nValue = m_PitchBuffer[m_PitchBuffer.size() - nSpan + m_nReadPos % nSpan];
  m_nReadPos = (m_nReadPos + 1) % nSpan;
  return nValue;
}

void cLossConcealer::Conceal(int16_t* pOut, int nCount) {
  if (m_nConcealed == 0) {
    m_nPitch = FindPitch();
    m_PitchBuffer.assign(m_History.end() - 3 * m_nPitch, m_History.end());
    m_nPeriods = 1;
    m_nReadPos = 0;
  }
  for (int i = 0; i < nCount; ++i) {
    const int nFade = std::max(0, m_nConcealed - kTenMs);
    const int nGain = std::max(0, kMaxConcealed - kTenMs - nFade);
    pOut[i] = static_cast<int16_t>(NextSynthetic() * nGain / (kMaxConcealed - kTenMs));
    ++m_nConcealed;
  }
}

void cLossConcealer::OnGoodSamples(int16_t* pSamples, int nCount) {
  if (m_nConcealed > 0) {
    const int nOverlap =
        std::min({kRecoveryStep * (1 + (m_nConcealed - 1) / kTenMs), kMaxRecovery, nCount});
    std::vector<int16_t> synthetic(nOverlap);
    Conceal(synthetic.data(), nOverlap);
    for (int i = 0; i < nOverlap; ++i) {
      const int nWeight = i + 1;
      pSamples[i] = static_cast<int16_t>(
          (synthetic[i] * (nOverlap + 1 - nWeight) + pSamples[i] * nWeight) / (nOverlap + 1));
    }
    m_nConcealed = 0;
  }
  AddHistory(pSamples, nCount);
}
