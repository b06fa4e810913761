#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "audio/cAudioBackend.h"

// A sound device for measuring the sound tick: each tick gives a 1 kHz tone unit to the
// microphone, drains the speaker and notes when the tick came.
class cTickProbeBackend : public cAudioBackend {
 public:
  using tClock = std::chrono::steady_clock;

  explicit cTickProbeBackend(std::vector<tClock::time_point>* pTicks);

  int Open(cSound* pSound) override;
  void Close() override;
  void OnSoundTick() override;

 private:
  std::vector<tClock::time_point>* m_pTicks;
  cSound* m_pSound = nullptr;
  uint32_t m_nPhase = 0;
};
