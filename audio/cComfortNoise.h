#pragma once

#include <cstdint>

// Comfort noise (RFC 3389) for the silences a far end does not send: white noise at the level
// its comfort-noise packets signal, until its voice comes back.
class cComfortNoise {
 public:
  // The level from a comfort-noise packet, in -dBov (0..127); uTimeStamp is the packet's.
  void SetLevel(int nMinusDbov, uint32_t uTimeStamp);
  // Voice with this timestamp ends the noise if it is newer than the noise's packet.
  void OnVoice(uint32_t uTimeStamp);
  void Stop() { m_bActive = false; }
  bool IsActive() const { return m_bActive; }
  // One unit of noise.
  void FillUnit(int16_t* pUnit);

 private:
  bool m_bActive = false;
  uint32_t m_uTimeStamp = 0;
  // Peak of the uniform noise: sqrt(3) times the signalled RMS.
  int m_nPeak = 0;
  uint32_t m_uSeed = 0x2545F491;
};
