#pragma once

#include <array>
#include <cstdint>

// Comfort noise (RFC 3389) for the silences a far end does not send: white noise shaped by the
// all-pole model its comfort-noise packets carry, at the level they signal, until its voice comes
// back. The model's reflection coefficients k1..kM give the synthesis filter 1/A(z), with
// A(z) = 1 + a1 z^-1 + ... + aM z^-M (a negative k1 tilts the noise towards the low band).
class cComfortNoise {
 public:
  // Coefficients used; a longer model is cut to its first ones, which is still a stable filter.
  static constexpr int kMaxOrder = 16;

  // A comfort-noise payload: the level in -dBov (0..127), then one quantised reflection coefficient
  // a byte, k = (N - 127) / 128, any number of them; uTimeStamp is the packet's. An empty payload
  // is ignored.
  void SetNoise(const uint8_t* pPayload, int nLength, uint32_t uTimeStamp);
  // Voice with this timestamp ends the noise if it is newer than the noise's packet.
  void OnVoice(uint32_t uTimeStamp);
  void Stop() { m_bActive = false; }
  bool IsActive() const { return m_bActive; }
  // One unit of noise.
  void FillUnit(int16_t* pUnit);

 private:
  bool m_bActive = false;
  uint32_t m_uTimeStamp = 0;
  int m_nOrder = 0;
  // a1..aM, and the last M samples played, newest first.
  std::array<double, kMaxOrder> m_Predictor{};
  std::array<double, kMaxOrder> m_History{};
  // Peak of the uniform excitation: what gives the signalled RMS once it is filtered.
  double m_dPeak = 0.0;
  uint32_t m_uSeed = 0x2545F491;
};
