#pragma once

#include "KytRTP/KytCodec/ilbc/cIlbcMode.h"

// The scalar-quantised start state: a 6-bit scale (log10 of the peak) and
// 3 bits per sample, coded in the all-pass-dispersed, perceptually
// weighted domain.
class cIlbcStateCoder {
 public:
  // Rebuilds m_nStateShort residual samples from valid indices.
  static void Decode(const cIlbcMode& mode, int nScale, const int* pIndex, const float* pLpc,
                     float* pOut);
};
