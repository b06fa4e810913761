#include "KytRTP/KytCodec/ilbc/cIlbcFilter.h"

void cIlbcFilter::AllPole(float* pData, int nLen, const float* pA, int nOrder) {
  for (int i = 0; i < nLen; i++) {
    for (int k = 1; k <= nOrder; k++) pData[i] -= pA[k] * pData[i - k];
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
