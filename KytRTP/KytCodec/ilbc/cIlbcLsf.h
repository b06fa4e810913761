#pragma once

#include "KytRTP/KytCodec/ilbc/cIlbcMode.h"

// Line spectral frequencies: split-VQ dequantisation and quantisation,
// ordering repair, sub-block interpolation and conversion to and from LPC
// polynomials. LSFs are in radians; LPC arrays hold kOrder + 1 values
// starting with 1.0.
class cIlbcLsf {
 public:
  static constexpr int kSplits = 3;

  // Concatenates the three split codevectors selected by pIndex (3 values,
  // each already within its codebook).
  static void Dequantize(const int* pIndex, float* pLsf);
  // Nearest codevector per split (squared error); writes 3 indices and
  // the quantised vector.
  static void Quantize(const float* pLsf, int* pIndex, float* pQuant);
  // Pushes LSFs apart that are closer than about 50 Hz and keeps them in
  // (0, pi); nSets consecutive vectors.
  static void Stabilize(float* pLsf, int nSets);
  // pOut = fCoef * pA + (1 - fCoef) * pB.
  static void Interpolate(const float* pA, const float* pB, float fCoef, float* pOut);
  static void ToLpc(const float* pLsf, float* pLpc);
  // Roots of the symmetric and antisymmetric polynomials of pLpc; false if
  // fewer than kOrder roots were found (pLsf then holds the mean vector).
  static bool FromLpc(const float* pLpc, float* pLsf);

  // Per sub-block LPC polynomials from this frame's LSF sets and the last
  // set of the previous frame: pLpc receives m_nSub * (kOrder + 1) values.
  static void InterpolateToLpc(const cIlbcMode& mode, const float* pPrevLsf, const float* pLsf,
                               float* pLpc);
};
