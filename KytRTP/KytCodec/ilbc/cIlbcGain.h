#pragma once

// Codebook gain quantisers: stage 0 uses the 5-bit table directly, stages
// 1 and 2 the 4- and 3-bit tables scaled by the previous stage's quantised
// gain (at least 0.1).
class cIlbcGain {
 public:
  static int Levels(int nStage);
  // nIndex must be below Levels(nStage).
  static float Dequantize(int nIndex, float fPrevGain, int nStage);
  // Nearest level; returns the quantised gain and writes its index.
  static float Quantize(float fGain, float fPrevGain, int nStage, int* pIndex);
};
