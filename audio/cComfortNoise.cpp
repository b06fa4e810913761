#include "audio/cComfortNoise.h"

#include <algorithm>
#include <cmath>

#include "audio/cAudioUnit.h"

namespace {

// The poles are drawn in to this radius at most, so that any model, however sharp, rings out
// within a few milliseconds and its level can be measured: a1..aM scaled by its powers.
constexpr double kPoleRadius = 0.98;
// Samples of the filter's impulse response summed for its power gain (the rest is below 1e-17).
constexpr int kGainSamples = 1000;

}  // namespace

void cComfortNoise::SetNoise(const uint8_t* pPayload, int nLength, uint32_t uTimeStamp) {
  if (!pPayload || nLength < 1) return;
  m_nOrder = std::min(nLength - 1, kMaxOrder);
  // From reflection to direct-form coefficients, one stage at a time.
  std::array<double, kMaxOrder> previous{};
  m_Predictor.fill(0.0);
  for (int m = 0; m < m_nOrder; ++m) {
    const double k = (pPayload[1 + m] - 127) / 128.0;
    previous = m_Predictor;
    for (int i = 0; i < m; ++i) m_Predictor[i] = previous[i] + k * previous[m - 1 - i];
    m_Predictor[m] = k;
  }
  double dScale = 1.0;
  for (int i = 0; i < m_nOrder; ++i) m_Predictor[i] *= (dScale *= kPoleRadius);
  // The filter's power gain, from its impulse response.
  std::array<double, kMaxOrder> response{};
  double dGain = 0.0;
  for (int n = 0; n < kGainSamples; ++n) {
    double dValue = n == 0 ? 1.0 : 0.0;
    for (int i = 0; i < m_nOrder; ++i) dValue -= m_Predictor[i] * response[i];
    std::copy_backward(response.begin(), response.end() - 1, response.end());
    response[0] = dValue;
    dGain += dValue * dValue;
  }
  // 0 dBov is the full 16-bit scale; a uniform excitation's peak is sqrt(3) times its RMS.
  const double dRms = 32767.0 * std::pow(10.0, -(pPayload[0] & 0x7F) / 20.0);
  m_dPeak = std::min(32767.0, dRms * std::sqrt(3.0 / dGain));
  if (!m_bActive) m_History.fill(0.0);
  m_uTimeStamp = uTimeStamp;
  m_bActive = true;
}

void cComfortNoise::OnVoice(uint32_t uTimeStamp) {
  if (m_bActive && static_cast<int32_t>(uTimeStamp - m_uTimeStamp) > 0) m_bActive = false;
}

void cComfortNoise::FillUnit(int16_t* pUnit) {
  for (int n = 0; n < cAudioUnit::kSamples; ++n) {
    m_uSeed = m_uSeed * 1664525u + 1013904223u;
    // The top 16 bits, as a value in [-1, 1), scaled to the peak.
    double dValue = static_cast<int16_t>(m_uSeed >> 16) * m_dPeak / 32768.0;
    for (int i = 0; i < m_nOrder; ++i) dValue -= m_Predictor[i] * m_History[i];
    std::copy_backward(m_History.begin(), m_History.end() - 1, m_History.end());
    m_History[0] = dValue;
    pUnit[n] = static_cast<int16_t>(std::clamp(dValue, -32768.0, 32767.0));
  }
}
