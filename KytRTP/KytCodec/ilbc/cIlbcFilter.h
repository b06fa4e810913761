#pragma once

// Plain filter loops shared by the iLBC encoder and decoder. Filters with
// memory read it from the nOrder samples just before the data pointer.
class cIlbcFilter {
 public:
  // pData[i] = pData[i] - sum_k pA[k] * pData[i - k], k = 1..nOrder.
  static void AllPole(float* pData, int nLen, const float* pA, int nOrder);
  // pOut[i] = sum_k pB[k] * pIn[i - k], k = 0..nOrder.
  static void AllZero(const float* pIn, int nLen, const float* pB, int nOrder, float* pOut);
  // pOut[k] = pIn[k] * fChirp^k, k = 0..nOrder.
  static void BwExpand(const float* pIn, float fChirp, int nOrder, float* pOut);
  // Dot product of two vectors.
  static float Dot(const float* pA, const float* pB, int nLen);
};
