#include "KytRTP/KytCodec/ilbc/cIlbcLsf.h"

#include <cmath>
#include <cstring>

#include "KytRTP/KytCodec/ilbc/cIlbcTables.h"

namespace {
constexpr int kOrder = cIlbcMode::kOrder;
constexpr int kHalf = kOrder / 2;
constexpr float kTwoPi = 6.283185307f;
constexpr float kInvTwoPi = 0.159154943f;
constexpr float kMinSpacing = 0.039f;  // about 50 Hz
constexpr float kPushApart = 0.0195f;
constexpr float kMinLsf = 0.01f;
constexpr float kMaxLsf = 3.14f;

// Offset of split s inside the concatenated codebook table.
int SplitOffset(int nSplit) {
  int nOffset = 0;
  for (int s = 0; s < nSplit; s++)
    nOffset += cIlbcTables::kSizeLsfcb[s] * cIlbcTables::kDimLsfcb[s];
  return nOffset;
}

// Value of a symmetric degree-kOrder polynomial (given by its first kHalf+1
// coefficients) on the unit circle at normalised frequency f, times
// exp(j*kHalf*w): a real cosine sum.
float EvalSymmetric(const float* pCoef, float fFreq) {
  const float fW = kTwoPi * fFreq;
  float fSum = pCoef[kHalf];
  for (int k = 0; k < kHalf; k++) {
    fSum += 2.0f * pCoef[k] * std::cos(static_cast<float>(kHalf - k) * fW);
  }
  return fSum;
}
}  // namespace

void cIlbcLsf::Dequantize(const int* pIndex, float* pLsf) {
  int nPos = 0;
  for (int s = 0; s < kSplits; s++) {
    const int nDim = cIlbcTables::kDimLsfcb[s];
    const float* pVec = cIlbcTables::kLsfcb + SplitOffset(s) + pIndex[s] * nDim;
    for (int j = 0; j < nDim; j++) pLsf[nPos++] = pVec[j];
  }
}

void cIlbcLsf::Quantize(const float* pLsf, int* pIndex, float* pQuant) {
  int nPos = 0;
  for (int s = 0; s < kSplits; s++) {
    const int nDim = cIlbcTables::kDimLsfcb[s];
    const float* pCb = cIlbcTables::kLsfcb + SplitOffset(s);
    int nBest = 0;
    float fBest = 0.0f;
    for (int i = 0; i < cIlbcTables::kSizeLsfcb[s]; i++) {
      float fDist = 0.0f;
      for (int j = 0; j < nDim; j++) {
        const float fDiff = pLsf[nPos + j] - pCb[i * nDim + j];
        fDist += fDiff * fDiff;
      }
      if (i == 0 || fDist < fBest) {
        fBest = fDist;
        nBest = i;
      }
    }
    pIndex[s] = nBest;
    for (int j = 0; j < nDim; j++) pQuant[nPos + j] = pCb[nBest * nDim + j];
    nPos += nDim;
  }
}

void cIlbcLsf::Stabilize(float* pLsf, int nSets) {
  for (int nPass = 0; nPass < 2; nPass++) {
    for (int m = 0; m < nSets; m++) {
      float* pSet = pLsf + m * kOrder;
      for (int k = 0; k < kOrder - 1; k++) {
        if (pSet[k + 1] - pSet[k] < kMinSpacing) {
          if (pSet[k + 1] < pSet[k]) {
            pSet[k + 1] = pSet[k] + kPushApart;
            pSet[k] = pSet[k + 1] - kPushApart;
          } else {
            pSet[k] -= kPushApart;
            pSet[k + 1] += kPushApart;
          }
        }
        if (pSet[k] < kMinLsf) pSet[k] = kMinLsf;
        if (pSet[k] > kMaxLsf) pSet[k] = kMaxLsf;
      }
    }
  }
}

void cIlbcLsf::Interpolate(const float* pA, const float* pB, float fCoef, float* pOut) {
  const float fInv = 1.0f - fCoef;
  for (int i = 0; i < kOrder; i++) pOut[i] = fCoef * pA[i] + fInv * pB[i];
}

void cIlbcLsf::ToLpc(const float* pLsf, float* pLpc) {
  float arrFreq[kOrder];
  for (int i = 0; i < kOrder; i++) arrFreq[i] = pLsf[i] * kInvTwoPi;
  // An out-of-range vector is respaced evenly between safe end points.
  if (arrFreq[0] <= 0.0f || arrFreq[kOrder - 1] >= 0.5f) {
    if (arrFreq[0] <= 0.0f) arrFreq[0] = 0.022f;
    if (arrFreq[kOrder - 1] >= 0.5f) arrFreq[kOrder - 1] = 0.499f;
    const float fStep = (arrFreq[kOrder - 1] - arrFreq[0]) / static_cast<float>(kOrder - 1);
    for (int i = 1; i < kOrder - 1; i++) arrFreq[i] = arrFreq[i - 1] + fStep;
  }
  // P'(z) from the even-numbered frequencies, Q'(z) from the odd ones.
  float arrP[kOrder + 1] = {1.0f};
  float arrQ[kOrder + 1] = {1.0f};
  for (int i = 0; i < kHalf; i++) {
    const float fCosP = -2.0f * std::cos(kTwoPi * arrFreq[2 * i]);
    const float fCosQ = -2.0f * std::cos(kTwoPi * arrFreq[2 * i + 1]);
    const int nDeg = 2 * i;
    for (int k = nDeg + 2; k >= 2; k--) {
      arrP[k] += fCosP * arrP[k - 1] + arrP[k - 2];
      arrQ[k] += fCosQ * arrQ[k - 1] + arrQ[k - 2];
    }
    arrP[1] += fCosP * arrP[0];
    arrQ[1] += fCosQ * arrQ[0];
  }
  // A = ((1 + 1/z) P' + (1 - 1/z) Q') / 2.
  pLpc[0] = 1.0f;
  for (int k = 1; k <= kOrder; k++) {
    const float fP = arrP[k] + arrP[k - 1];
    const float fQ = arrQ[k] - arrQ[k - 1];
    pLpc[k] = 0.5f * (fP + fQ);
  }
}

bool cIlbcLsf::FromLpc(const float* pLpc, float* pLsf) {
  // Symmetric P(z) = A(z) + z^-11 A(1/z) without its root at -1, and
  // antisymmetric Q(z) = A(z) - z^-11 A(1/z) without its root at +1.
  float arrP[kHalf + 1];
  float arrQ[kHalf + 1];
  float fPrevP = 0.0f;
  float fPrevQ = 0.0f;
  for (int k = 0; k <= kHalf; k++) {
    const float fFwd = pLpc[k];
    const float fRev = k == 0 ? 0.0f : pLpc[kOrder + 1 - k];
    arrP[k] = fFwd + fRev - fPrevP;
    arrQ[k] = fFwd - fRev + fPrevQ;
    fPrevP = arrP[k];
    fPrevQ = arrQ[k];
  }
  const float* arrPoly[2] = {arrP, arrQ};
  int nFound = 0;
  int nPoly = 0;
  float fFreq = 0.0f;
  float fOld = EvalSymmetric(arrPoly[nPoly], fFreq);
  const float fCoarse = cIlbcTables::kLsfSearchSteps[0];
  while (nFound < kOrder && fFreq < 0.5f) {
    const float fNext = fFreq + fCoarse;
    const float fNew = EvalSymmetric(arrPoly[nPoly], fNext);
    if ((fOld <= 0.0f && fNew > 0.0f) || (fOld >= 0.0f && fNew < 0.0f)) {
      // Narrow the bracket with the finer steps, then interpolate linearly.
      float fLo = fFreq;
      float fLoVal = fOld;
      float fHiVal = fNew;
      for (int s = 1; s < 4; s++) {
        const float fMid = fLo + cIlbcTables::kLsfSearchSteps[s];
        const float fMidVal = EvalSymmetric(arrPoly[nPoly], fMid);
        if ((fLoVal <= 0.0f) == (fMidVal <= 0.0f)) {
          fLo = fMid;
          fLoVal = fMidVal;
        } else {
          fHiVal = fMidVal;
        }
      }
      const float fStep = cIlbcTables::kLsfSearchSteps[3];
      const float fDen = fLoVal - fHiVal;
      const float fRoot = fDen != 0.0f ? fLo + fStep * fLoVal / fDen : fLo;
      pLsf[nFound++] = fRoot * kTwoPi;
      fFreq = fRoot;
      nPoly ^= 1;
      fOld = EvalSymmetric(arrPoly[nPoly], fFreq);
    } else {
      fFreq = fNext;
      fOld = fNew;
    }
  }
  if (nFound < kOrder) {
    std::memcpy(pLsf, cIlbcTables::kLsfmean, sizeof(float) * kOrder);
    return false;
  }
  return true;
}

void cIlbcLsf::InterpolateToLpc(const cIlbcMode& mode, const float* pPrevLsf, const float* pLsf,
                                float* pLpc) {
  float arrLsf[kOrder];
  const int nStride = kOrder + 1;
  if (mode.m_nLsfSets == 1) {
    for (int s = 0; s < mode.m_nSub; s++) {
      Interpolate(pPrevLsf, pLsf, cIlbcTables::kLsfWeight20ms[s], arrLsf);
      ToLpc(arrLsf, pLpc + s * nStride);
    }
    return;
  }
  // First sub-block sits between the previous frame and the first set; the
  // rest move from the first set to the second.
  Interpolate(pPrevLsf, pLsf, cIlbcTables::kLsfWeight30ms[0], arrLsf);
  ToLpc(arrLsf, pLpc);
  for (int s = 1; s < mode.m_nSub; s++) {
    Interpolate(pLsf, pLsf + kOrder, cIlbcTables::kLsfWeight30ms[s], arrLsf);
    ToLpc(arrLsf, pLpc + s * nStride);
  }
}
