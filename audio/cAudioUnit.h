#pragma once

#include <cstdint>

// The step of the whole media engine: 20 ms of 8000 Hz signed 16-bit mono PCM in native byte
// order. The sound tick, the device buffers, the line mix, recording and playback all move one
// unit at a time. Also the sample arithmetic done on units.
class cAudioUnit {
 public:
  static constexpr int kSampleRate = 8000;
  static constexpr int kDurationMs = 20;
  static constexpr int kSamples = kSampleRate / 1000 * kDurationMs;
  static constexpr int kBytes = kSamples * static_cast<int>(sizeof(int16_t));

  // nValue clamped to the 16-bit range. Inline: the loops over a unit's samples that call it
  // vectorise.
  static constexpr int16_t GetSaturatedValue(int32_t nValue) {
    if (nValue > INT16_MAX) return INT16_MAX;
    if (nValue < INT16_MIN) return INT16_MIN;
    return static_cast<int16_t>(nValue);
  }
  // out = clamp(a + b) for one unit; out may alias a or b.
  static void MixTwoUnitSizeStream(const int16_t* pA, const int16_t* pB, int16_t* pOut);
};
