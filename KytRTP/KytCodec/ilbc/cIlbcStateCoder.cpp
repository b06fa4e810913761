#include "KytRTP/KytCodec/ilbc/cIlbcStateCoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "KytRTP/KytCodec/ilbc/cIlbcFilter.h"
#include "KytRTP/KytCodec/ilbc/cIlbcTables.h"

namespace {
constexpr int kOrder = cIlbcMode::kOrder;
constexpr int kMaxLen = 2 * cIlbcMode::kMaxStateShort;

// Runs the all-pass dispersion filter (reversed A over A, zero start) on
// nLen samples followed by nLen zeros; pOut gets 2 * nLen samples.
void Disperse(const float* pIn, int nLen, const float* pLpc, float* pOut) {
  float arrNum[kOrder + 1];
  for (int k = 0; k <= kOrder; k++) arrNum[k] = pLpc[kOrder - k];
  float arrIn[kOrder + kMaxLen] = {};
  std::memcpy(arrIn + kOrder, pIn, sizeof(float) * static_cast<size_t>(nLen));
  float arrOut[kOrder + kMaxLen] = {};
  cIlbcFilter::AllZero(arrIn + kOrder, 2 * nLen, arrNum, kOrder, arrOut + kOrder);
  cIlbcFilter::AllPole(arrOut + kOrder, 2 * nLen, pLpc, kOrder);
  std::memcpy(pOut, arrOut + kOrder, sizeof(float) * static_cast<size_t>(2 * nLen));
}
}  // namespace

void cIlbcStateCoder::Decode(const cIlbcMode& mode, int nScale, const int* pIndex,
                             const float* pLpc, float* pOut) {
  const int nLen = mode.m_nStateShort;
  const float fMax =
      static_cast<float>(std::pow(10.0, static_cast<double>(cIlbcTables::kStateFrgq[nScale]))) /
      4.5f;
  float arrRev[cIlbcMode::kMaxStateShort] = {};
  for (int k = 0; k < nLen; k++) {
    arrRev[k] = cIlbcTables::kStateSq3[pIndex[nLen - 1 - k]] * fMax;
  }
  float arrFilt[kMaxLen];
  Disperse(arrRev, nLen, pLpc, arrFilt);
  for (int k = 0; k < nLen; k++) pOut[k] = arrFilt[nLen - 1 - k] + arrFilt[2 * nLen - 1 - k];
}

void cIlbcStateCoder::Encode(const cIlbcMode& mode, const float* pResidual, const float* pLpc,
                             const float* pWeight1, const float* pWeight2, int nSplit, int* pScale,
                             int* pIndex) {
  const int nLen = mode.m_nStateShort;
  float arrFilt[kMaxLen];
  Disperse(pResidual, nLen, pLpc, arrFilt);
  float arrDisp[cIlbcMode::kMaxStateShort];
  float fMax = 0.0f;
  for (int k = 0; k < nLen; k++) {
    arrDisp[k] = arrFilt[k] + arrFilt[k + nLen];
    fMax = std::max(fMax, std::fabs(arrDisp[k]));
  }
  // Nearest level of log10 of the peak.
  const float fLogMax = fMax < 1.0f ? 0.0f : std::log10(fMax);
  int nScale = 0;
  for (int i = 1; i < 64; i++) {
    if (std::fabs(cIlbcTables::kStateFrgq[i] - fLogMax) <
        std::fabs(cIlbcTables::kStateFrgq[nScale] - fLogMax)) {
      nScale = i;
    }
  }
  *pScale = nScale;
  const float fScale = 4.5f / static_cast<float>(std::pow(
                                  10.0, static_cast<double>(cIlbcTables::kStateFrgq[nScale])));

  // Sample-by-sample quantisation that keeps the weighted error small: the
  // target of each sample removes the weighted error of the samples before.
  float arrErr[kOrder + cIlbcMode::kMaxStateShort] = {};
  float* pErr = arrErr + kOrder;
  for (int n = 0; n < nLen; n++) {
    const float* pW = n < nSplit ? pWeight1 : pWeight2;
    float fTarget = arrDisp[n] * fScale;
    for (int k = 1; k <= kOrder; k++) fTarget -= pW[k] * pErr[n - k];
    int nBest = 0;
    for (int i = 1; i < 8; i++) {
      if (std::fabs(cIlbcTables::kStateSq3[i] - fTarget) <
          std::fabs(cIlbcTables::kStateSq3[nBest] - fTarget)) {
        nBest = i;
      }
    }
    pIndex[n] = nBest;
    pErr[n] = fTarget - cIlbcTables::kStateSq3[nBest];
  }
}
