#include "KytRTP/KytCodec/ilbc/cIlbcGain.h"

#include <cmath>

#include "KytRTP/KytCodec/ilbc/cIlbcTables.h"

namespace {
const float* Table(int nStage) {
  switch (nStage) {
    case 0:
      return cIlbcTables::kGainSq5;
    case 1:
      return cIlbcTables::kGainSq4;
    default:
      return cIlbcTables::kGainSq3;
  }
}

float Scale(float fPrevGain, int nStage) {
  if (nStage == 0) return 1.0f;
  const float fAbs = std::fabs(fPrevGain);
  return fAbs < 0.1f ? 0.1f : fAbs;
}
}  // namespace

int cIlbcGain::Levels(int nStage) { return nStage == 0 ? 32 : (nStage == 1 ? 16 : 8); }

float cIlbcGain::Dequantize(int nIndex, float fPrevGain, int nStage) {
  return Scale(fPrevGain, nStage) * Table(nStage)[nIndex];
}

float cIlbcGain::Quantize(float fGain, float fPrevGain, int nStage, int* pIndex) {
  const float fScale = Scale(fPrevGain, nStage);
  const float* pTable = Table(nStage);
  int nBest = 0;
  float fBest = 0.0f;
  for (int i = 0; i < Levels(nStage); i++) {
    const float fErr = std::fabs(fGain - fScale * pTable[i]);
    if (i == 0 || fErr < fBest) {
      fBest = fErr;
      nBest = i;
    }
  }
  *pIndex = nBest;
  return fScale * pTable[nBest];
}
