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
  // pOut[i] = sum_j pA[j] * pBuf[i + j * nStride], j = 0..nLen-1, for nCount vectors: the
  // windows of one signal (nStride 1) or vectors stored sample by sample (nStride = nCount).
  // Each sum runs in the order of Dot, so the figures equal Dot's on the same vectors; the loop
  // over the vectors is the inner one, which the compiler vectorises.
  static void Correlate(const float* pA, int nLen, const float* pBuf, int nStride, int nCount,
                        float* pOut);
  // pOut[i] = energy of vector i, laid out and summed as in Correlate.
  static void Energies(const float* pBuf, int nLen, int nStride, int nCount, float* pOut);
};
