#include "audio/cComfortNoise.h"

#include <algorithm>
#include <cmath>

#include "audio/cAudioUnit.h"

void cComfortNoise::SetLevel(int nMinusDbov, uint32_t uTimeStamp) {
  // 0 dBov is the full 16-bit scale.
  const double dRms = 32767.0 * std::pow(10.0, -std::clamp(nMinusDbov, 0, 127) / 20.0);
  m_nPeak = static_cast<int>(std::min(32767.0, dRms * std::sqrt(3.0)));
  m_uTimeStamp = uTimeStamp;
  m_bActive = true;
}

void cComfortNoise::OnVoice(uint32_t uTimeStamp) {
  if (m_bActive && static_cast<int32_t>(uTimeStamp - m_uTimeStamp) > 0) m_bActive = false;
}

void cComfortNoise::FillUnit(int16_t* pUnit) {
  for (int i = 0; i < cAudioUnit::kSamples; ++i) {
    m_uSeed = m_uSeed * 1664525u + 1013904223u;
    // The top 16 bits, as a value in [-1, 1), scaled to the peak.
    const int nValue = static_cast<int16_t>(m_uSeed >> 16);
    pUnit[i] = static_cast<int16_t>(nValue * m_nPeak / 32768);
  }
}
