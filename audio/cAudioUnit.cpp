#include "audio/cAudioUnit.h"

void cAudioUnit::MixTwoUnitSizeStream(const int16_t* pA, const int16_t* pB, int16_t* pOut) {
  for (int i = 0; i < kSamples; ++i)
    pOut[i] = GetSaturatedValue(static_cast<int32_t>(pA[i]) + pB[i]);
}
