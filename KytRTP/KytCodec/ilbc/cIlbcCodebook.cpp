#include "KytRTP/KytCodec/ilbc/cIlbcCodebook.h"

#include <cstring>

#include "KytRTP/KytCodec/ilbc/cIlbcGain.h"
#include "KytRTP/KytCodec/ilbc/cIlbcTables.h"

namespace {
constexpr int kHalfFilter = cIlbcCodebook::kFilterLen / 2;
constexpr int kCrossFade = 5;
}  // namespace

int cIlbcCodebook::SectionSize(int nMemL, int nTargetL) {
  const int nBase = nMemL - nTargetL + 1;
  return nTargetL == cIlbcMode::kSubL ? nBase + kAugmented : nBase;
}

int cIlbcCodebook::WidenIndex(int nIndex, int nMemL, int nTargetL) {
  const int nBase = nMemL - nTargetL + 1;
  const int nSection = SectionSize(nMemL, nTargetL);
  const int nNarrowSection = kNarrowRange + kAugmented;
  const int nSect = nIndex / nNarrowSection;
  int nPos = nIndex % nNarrowSection;
  if (nPos >= kNarrowRange) nPos += nBase - kNarrowRange;
  return nSect * nSection + nPos;
}

int cIlbcCodebook::NarrowIndex(int nIndex, int nMemL, int nTargetL) {
  const int nBase = nMemL - nTargetL + 1;
  const int nSection = SectionSize(nMemL, nTargetL);
  const int nSect = nIndex / nSection;
  int nPos = nIndex % nSection;
  if (nPos >= nBase) nPos -= nBase - kNarrowRange;
  return nSect * (kNarrowRange + kAugmented) + nPos;
}

void cIlbcCodebook::ExpandMemory(const float* pMem, int nMemL, float* pOut) {
  // Tap by tap over all outputs (vectorises); a tap reaching outside the memory adds nothing.
  const float* pC = cIlbcTables::kCbfilters;
  for (int k = 0; k < nMemL; k++) pOut[k] = 0.0f;
  for (int i = 0; i < kFilterLen; i++) {
    const int nShift = kHalfFilter - i;  // pOut[k] takes pMem[k + nShift]
    const int nFirst = nShift < 0 ? -nShift : 0;
    const int nEnd = nShift > 0 ? nMemL - nShift : nMemL;
    const float fC = pC[i];
    const float* pM = pMem + nShift;
    for (int k = nFirst; k < nEnd; k++) pOut[k] += fC * pM[k];
  }
}

void cIlbcCodebook::AugmentedVector(const float* pBuf, int nMemL, int nDelay, float* pOut) {
  const float* pEnd = pBuf + nMemL;
  const int nFirst = nDelay - kCrossFade;
  std::memcpy(pOut, pEnd - nDelay, sizeof(float) * static_cast<size_t>(nFirst));
  float fAlpha = 0.0f;
  for (int m = 0; m < kCrossFade; m++) {
    pOut[nFirst + m] =
        (1.0f - fAlpha) * pEnd[-kCrossFade + m] + fAlpha * pEnd[-nDelay - kCrossFade + m];
    fAlpha += 0.2f;
  }
  std::memcpy(pOut + nDelay, pEnd - nDelay,
              sizeof(float) * static_cast<size_t>(cIlbcMode::kSubL - nDelay));
}

void cIlbcCodebook::GetVector(const float* pMem, const float* pExpMem, int nMemL, int nTargetL,
                              int nIndex, float* pOut) {
  const int nBase = nMemL - nTargetL + 1;
  const int nSection = SectionSize(nMemL, nTargetL);
  const float* pBuf = pMem;
  if (nIndex >= nSection) {
    pBuf = pExpMem;
    nIndex -= nSection;
  }
  if (nIndex < nBase) {
    std::memcpy(pOut, pBuf + nMemL - nTargetL - nIndex,
                sizeof(float) * static_cast<size_t>(nTargetL));
  } else {
    AugmentedVector(pBuf, nMemL, nIndex - nBase + kAugmented, pOut);
  }
}

void cIlbcCodebook::Decode(const float* pMem, int nMemL, int nTargetL, const int* pIndex,
                           const int* pGainIndex, float* pOut) {
  // The expanded memory only when a stage takes a vector from it.
  float arrExp[cIlbcMode::kMemL];
  const int nSection = SectionSize(nMemL, nTargetL);
  if (pIndex[0] >= nSection || pIndex[1] >= nSection || pIndex[2] >= nSection) {
    ExpandMemory(pMem, nMemL, arrExp);
  }
  float arrVec[cIlbcMode::kStages][cIlbcMode::kSubL];
  float arrGain[cIlbcMode::kStages];
  float fPrev = 1.0f;
  for (int k = 0; k < cIlbcMode::kStages; k++) {
    GetVector(pMem, arrExp, nMemL, nTargetL, pIndex[k], arrVec[k]);
    arrGain[k] = cIlbcGain::Dequantize(pGainIndex[k], fPrev, k);
    fPrev = arrGain[k];
  }
  for (int j = 0; j < nTargetL; j++) {
    float fSum = arrGain[0] * arrVec[0][j];
    fSum += arrGain[1] * arrVec[1][j];
    fSum += arrGain[2] * arrVec[2][j];
    pOut[j] = fSum;
  }
}
