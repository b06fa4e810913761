#include "audio/cAudioUnit.h"

int16_t cAudioUnit::GetSaturatedValue(int32_t nValue) {
  if (nValue > INT16_MAX) return INT16_MAX;
  if (nValue < INT16_MIN) return INT16_MIN;
  return static_cast<int16_t>(nValue);
}

void cAudioUnit::MixTwoUnitSizeStream(const int16_t* pA, const int16_t* pB, int16_t* pOut) {
  for (int i = 0; i < kSamples; ++i)
    pOut[i] = GetSaturatedValue(static_cast<int32_t>(pA[i]) + pB[i]);
}
