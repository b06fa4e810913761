#include "KytRTP/KytCodec/ilbc/cIlbcStateCoder.h"

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
  float arrRev[cIlbcMode::kMaxStateShort];
  for (int k = 0; k < nLen; k++) {
    arrRev[k] = cIlbcTables::kStateSq3[pIndex[nLen - 1 - k]] * fMax;
  }
  float arrFilt[kMaxLen];
  Disperse(arrRev, nLen, pLpc, arrFilt);
  for (int k = 0; k < nLen; k++) pOut[k] = arrFilt[nLen - 1 - k] + arrFilt[2 * nLen - 1 - k];
}
