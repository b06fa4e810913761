#pragma once

#include <cstdint>

// Frame constants of the voice codecs and the sample arithmetic shared by the media engine.
// All PCM is signed 16-bit mono at 8000 Hz in native byte order.
class cCodecRTP {
 public:
  static constexpr int kCodecNone = -1;
  static constexpr int kCodecG711u = 0;
  static constexpr int kCodecG711a = 1;
  static constexpr int kCodecGSM = 2;
  static constexpr int kCodeciLBC = 3;

  // One sound unit: 20 ms of 8000 Hz 16-bit mono.
  static constexpr int kUnitSamples = 160;
  static constexpr int kUnitBytes = kUnitSamples * 2;

  // Each returns -1 for an unknown codec number.
  static int GetFrameSizePCM(int nCodecNo);
  static int GetFrameSizeCOMPRESS(int nCodecNo);
  static int GetMinFrameSize(int nCodecNo);
  static int GetMinFrameDuration(int nCodecNo);

  static int16_t GetSaturatedValue(int32_t nValue);
  // out = clamp(a + b) for one unit; out may alias a or b.
  static void MixTwoUnitSizeStream(const int16_t* pA, const int16_t* pB, int16_t* pOut);
};
