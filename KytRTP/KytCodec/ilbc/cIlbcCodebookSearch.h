#pragma once

#include "KytRTP/KytCodec/ilbc/cIlbcMode.h"

// Encoder search of the three-stage adaptive codebook for one target, in
// the perceptually weighted domain, followed by the gain re-scaling that
// keeps the coded power close to the target's.
class cIlbcCodebookSearch {
 public:
  // pMem: nMemL samples of unweighted codebook memory; pTarget: nTargetL
  // samples to code; pWeight: weighting filter denominator; pRange: per
  // stage, how many vectors of each base or expanded section are tried
  // (augmented vectors are always tried). Writes full-layout indices and
  // gain indices.
  static void Search(const float* pMem, int nMemL, const float* pTarget, int nTargetL,
                     const float* pWeight, const int* pRange, int* pIndex, int* pGainIndex);

 private:
  // Energies in the weighted domain: of the target and of its coded version.
  static void ScaleGain(float fTargetEn, float fCodedEn, int* pGainIndex);
};
