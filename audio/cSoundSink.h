#pragma once

#include <cstdint>

// What the sound device's 20 ms tick feeds and asks for: the media object implements it.
class cSoundSink {
 public:
  virtual ~cSoundSink() = default;
  // One microphone unit, after mute, gain and boost.
  virtual void OnMicData(const int16_t* pUnit) = 0;
  // The speaker unit of this tick and the two channel units; false when nothing was heard.
  virtual bool GetSpkPlay(int16_t* pSpkUnit, int16_t* pChannel0, int16_t* pChannel1) = 0;
};
