#include "cTickProbeBackend.h"

#include <cmath>

#include "audio/cAudioUnit.h"
#include "audio/cSound.h"

cTickProbeBackend::cTickProbeBackend(std::vector<tClock::time_point>* pTicks) : m_pTicks(pTicks) {}

int cTickProbeBackend::Open(cSound* pSound) {
  m_pSound = pSound;
  return 0;
}

void cTickProbeBackend::Close() { m_pSound = nullptr; }

void cTickProbeBackend::OnSoundTick() {
  if (!m_pSound) return;
  m_pTicks->push_back(tClock::now());
  int16_t unit[cAudioUnit::kSamples];
  m_pSound->OnPlayFillData(unit, cAudioUnit::kBytes);
  for (int16_t& nSample : unit) {
    nSample = static_cast<int16_t>(8000.0 * std::sin(2.0 * M_PI * (m_nPhase++ % 8) / 8.0));
  }
  m_pSound->OnRecordDone(unit, cAudioUnit::kBytes);
}
