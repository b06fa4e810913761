#include "audio/cAutoGainControl.h"

#include "audio/cAudioUnit.h"

void cAutoGainControl::SetAutoGain(int nLevel) {
  if (nLevel >= 0 && nLevel <= 20) m_nAGC = nLevel;
}

void cAutoGainControl::ApplyAutoGain(int16_t* pSamples, int nCount) const {
  if (m_nAGC == 0 || nCount <= 0) return;
  int64_t nSum = 0;
  for (int i = 0; i < nCount; ++i) nSum += pSamples[i];
  const int nMean = static_cast<int>(nSum / nCount);
  if (nMean == m_nAGC) return;
  for (int i = 0; i < nCount; ++i) {
    const int32_t nValue =
        nMean < m_nAGC ? pSamples[i] * (m_nAGC - nMean) : pSamples[i] / (nMean - m_nAGC);
    pSamples[i] = cAudioUnit::GetSaturatedValue(nValue);
  }
}
