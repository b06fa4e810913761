#pragma once

#include "KytRTP/KytCodec/ilbc/cIlbcMode.h"

// The scalar-quantised start state: a 6-bit scale (log10 of the peak) and
// 3 bits per sample, coded in the all-pass-dispersed, perceptually
// weighted domain.
class cIlbcStateCoder {
 public:
  // Quantises m_nStateShort residual samples. pLpc: quantised LPC of the
  // sub-block where the state begins; the quantisation error is shaped by
  // the weighting filter pWeight1 for the first nSplit samples and pWeight2
  // after them. Writes the scale index and one index per sample.
  static void Encode(const cIlbcMode& mode, const float* pResidual, const float* pLpc,
                     const float* pWeight1, const float* pWeight2, int nSplit, int* pScale,
                     int* pIndex);
  // Rebuilds m_nStateShort residual samples from valid indices.
  static void Decode(const cIlbcMode& mode, int nScale, const int* pIndex, const float* pLpc,
                     float* pOut);
};
