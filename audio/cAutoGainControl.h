#pragma once

#include <cstdint>

// Per-direction gain stage of the sound device. 0 is off; 1 to 20 multiply speech by about that.
class cAutoGainControl {
 public:
  // Levels outside 0..20 are ignored.
  void SetAutoGain(int nLevel);
  int GetAutoGain() const { return m_nAGC; }
  void ApplyAutoGain(int16_t* pSamples, int nCount) const;

 private:
  int m_nAGC = 0;
};
