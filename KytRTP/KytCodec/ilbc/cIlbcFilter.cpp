#include "KytRTP/KytCodec/ilbc/cIlbcFilter.h"

#include <cstring>

void cIlbcFilter::AllPole(float* pData, int nLen, const float* pA, int nOrder) {
  // Oldest samples first, so that only the last step waits for the sample just computed; a
  // local sum, as through pData every step would be stored and reloaded (pA might alias it).
  for (int i = 0; i < nLen; i++) {
    float fSum = pData[i];
    for (int k = nOrder; k >= 1; k--) fSum -= pA[k] * pData[i - k];
    pData[i] = fSum;
  }
}

void cIlbcFilter::AllZero(const float* pIn, int nLen, const float* pB, int nOrder, float* pOut) {
  for (int i = 0; i < nLen; i++) {
    float fSum = pB[0] * pIn[i];
    for (int k = 1; k <= nOrder; k++) fSum += pB[k] * pIn[i - k];
    pOut[i] = fSum;
  }
}

void cIlbcFilter::BwExpand(const float* pIn, float fChirp, int nOrder, float* pOut) {
  float fFactor = fChirp;
  pOut[0] = pIn[0];
  for (int k = 1; k <= nOrder; k++) {
    pOut[k] = fFactor * pIn[k];
    fFactor *= fChirp;
  }
}

float cIlbcFilter::Dot(const float* pA, const float* pB, int nLen) {
  float fSum = 0.0f;
  for (int i = 0; i < nLen; i++) fSum += pA[i] * pB[i];
  return fSum;
}

namespace {

// kN vectors of Correlate (pA given) or Energies (pA null), their sums in registers across the
// samples.
template <int kN>
void SumBlock(const float* pA, int nLen, const float* pBuf, int nStride, float* pOut) {
  float arrSum[kN] = {};
  for (int j = 0; j < nLen; j++) {
    const float* pB = pBuf + j * nStride;
    if (pA != nullptr) {
      const float fA = pA[j];
      for (int i = 0; i < kN; i++) arrSum[i] += fA * pB[i];
    } else {
      for (int i = 0; i < kN; i++) arrSum[i] += pB[i] * pB[i];
    }
  }
  std::memcpy(pOut, arrSum, sizeof arrSum);
}

void Sums(const float* pA, int nLen, const float* pBuf, int nStride, int nCount, float* pOut) {
  int i = 0;
  for (; i + 16 <= nCount; i += 16) SumBlock<16>(pA, nLen, pBuf + i, nStride, pOut + i);
  for (; i + 4 <= nCount; i += 4) SumBlock<4>(pA, nLen, pBuf + i, nStride, pOut + i);
  for (; i < nCount; i++) SumBlock<1>(pA, nLen, pBuf + i, nStride, pOut + i);
}

}  // namespace

void cIlbcFilter::Correlate(const float* pA, int nLen, const float* pBuf, int nStride, int nCount,
                            float* pOut) {
  Sums(pA, nLen, pBuf, nStride, nCount, pOut);
}

void cIlbcFilter::Energies(const float* pBuf, int nLen, int nStride, int nCount, float* pOut) {
  Sums(nullptr, nLen, pBuf, nStride, nCount, pOut);
}
