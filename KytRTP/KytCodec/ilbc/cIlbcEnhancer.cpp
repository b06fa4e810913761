#include "KytRTP/KytCodec/ilbc/cIlbcEnhancer.h"

#include <cmath>
#include <cstring>

#include "KytRTP/KytCodec/ilbc/cIlbcFilter.h"
#include "KytRTP/KytCodec/ilbc/cIlbcTables.h"

namespace {
constexpr int kDsTaps = 7;
constexpr int kDsDelay = 3;
constexpr float kAlpha = 0.05f;   // allowed relative change of a block
constexpr float kTiny = 0.0001f;  // guards the divisions of the mixing rule
constexpr int kTaps = 7;          // fractional-delay filter length

// Phase p of the fractional filters, p = 0..3.
const float* Phase(int p) { return cIlbcTables::kPolyphaser + p * kTaps; }
}  // namespace

cIlbcEnhancer::cIlbcEnhancer(const cIlbcMode& mode)
    : m_mode(mode), m_nDelay(mode.m_nModeMs == 20 ? 40 : 80) {
  for (float& fPeriod : m_arrPeriod) fPeriod = 40.0f;
}

void cIlbcEnhancer::EstimatePeriods(int nNewBlocks) {
  // Low-pass and decimate the new blocks plus the longest lag before them.
  const int nLen = nNewBlocks * kBlockL + kMaxLag;
  const int nStart = kBufL - nLen;
  float arrDs[(3 * kBlockL + kMaxLag) / 2];
  const float* pC = cIlbcTables::kLpfiltCoefs;
  for (int i = 0; i < nLen / 2; i++) {
    float fSum = 0.0f;
    for (int j = 0; j < kDsTaps; j++) {
      const int n = nStart + 2 * i + kDsDelay - j;
      if (n < kBufL) fSum += pC[j] * m_arrBuf[n];
    }
    arrDs[i] = fSum;
  }
  std::memmove(m_arrPeriod, m_arrPeriod + nNewBlocks,
               sizeof(float) * static_cast<size_t>(kBlocks - nNewBlocks));
  // Per new block, the lag with the best positive normalised correlation.
  const int nHalf = kBlockL / 2;
  // Windows by start position: lag l starts at pBlk - l, i.e. at index kMaxLag / 2 - l.
  constexpr int nLags = (kMaxLag - kMinLag) / 2;
  for (int b = 0; b < nNewBlocks; b++) {
    const float* pBlk = arrDs + (kMaxLag + b * kBlockL) / 2;
    const float* pRegion = pBlk - kMaxLag / 2 + 1;
    float arrCorr[nLags];
    float arrEn[nLags];
    cIlbcFilter::Correlate(pBlk, nHalf, pRegion, 1, nLags, arrCorr);
    cIlbcFilter::Energies(pRegion, nHalf, 1, nLags, arrEn);
    int nBest = kMinLag / 2;
    float fBest = 0.0f;
    for (int nLag = kMinLag / 2; nLag < kMaxLag / 2; nLag++) {
      const float fCorr = arrCorr[kMaxLag / 2 - 1 - nLag];
      const float fEn = arrEn[kMaxLag / 2 - 1 - nLag];
      const float fMeasure = fCorr > 0.0f && fEn > 0.0f ? fCorr * fCorr / fEn : 0.0f;
      if (nLag == kMinLag / 2 || fMeasure > fBest) {
        fBest = fMeasure;
        nBest = nLag;
      }
    }
    m_arrPeriod[kBlocks - nNewBlocks + b] = static_cast<float>(2 * nBest);
  }
}

int cIlbcEnhancer::NearestBlock(const float* pLocs, float fPos) {
  int nBest = 0;
  for (int i = 1; i < kBlocks; i++) {
    if (std::fabs(pLocs[i] - fPos) < std::fabs(pLocs[nBest] - fPos)) nBest = i;
  }
  return nBest;
}

float cIlbcEnhancer::Refine(int nCentreStart, float fEstimate, float* pSeg) const {
  constexpr int kDim = 2 * kSlop + 1;
  const int nRounded = static_cast<int>(fEstimate - 0.5f);
  int nFirst = nRounded - kSlop;
  if (nFirst < 0) nFirst = 0;
  int nLast = nRounded + kSlop;
  if (nLast + kBlockL >= kBufL) nLast = kBufL - kBlockL - 1;
  const int nDim = nLast - nFirst + 1;
  float arrCorr[kDim] = {};
  if (nDim == kDim) {
    // The usual case, with all sums in registers.
    const float* pC = m_arrBuf + nCentreStart;
    const float* pB = m_arrBuf + nFirst;
    for (int j = 0; j < kBlockL; j++) {
      for (int i = 0; i < kDim; i++) arrCorr[i] += pC[j] * pB[j + i];
    }
  } else {
    cIlbcFilter::Correlate(m_arrBuf + nCentreStart, kBlockL, m_arrBuf + nFirst, 1, nDim, arrCorr);
  }
  // Quarter-sample interpolation of the correlation; phase p gives the value
  // p/4 after a lag. The sequence is shorter than the filters, so only their
  // inner taps are used, with nothing beyond the searched lags.
  int nBestUps = 0;
  float fBest = 0.0f;
  for (int u = 0; u < nDim * kUps; u++) {
    const int i = u / kUps;
    const float* pH = Phase(u % kUps);
    float fSum = 0.0f;
    for (int k = 1; k < kTaps - 1; k++) {
      const int n = i + kFiltHalf - k;
      if (n >= 0 && n < nDim) fSum += pH[k] * arrCorr[n];
    }
    if (u == 0 || fSum > fBest) {
      fBest = fSum;
      nBestUps = u;
    }
  }
  // Extract the neighbour: lag l + p/4 is read as lag l + 1 delayed by
  // (4 - p)/4 samples.
  const int nFrac = nBestUps % kUps;
  const int nInt = nFirst + (nBestUps + kUps - 1) / kUps;
  const float* pH = Phase((kUps - nFrac) % kUps);
  const int nBase = nInt - kFiltHalf;  // pSeg[j] takes m_arrBuf[nBase + j + k] with tap k
  if (nBase >= 0 && nBase + kBlockL + kTaps - 1 <= kBufL) {
    // All taps inside the history: one pass, the taps in registers.
    float arrH[kTaps];
    std::memcpy(arrH, pH, sizeof arrH);
    const float* pB = m_arrBuf + nBase;
    for (int j = 0; j < kBlockL; j++) {
      float fSum = 0.0f;
      for (int k = 0; k < kTaps; k++) fSum += arrH[k] * pB[j + k];
      pSeg[j] = fSum;
    }
  } else {
    // Tap by tap; a tap reaching outside the history adds nothing.
    for (int j = 0; j < kBlockL; j++) pSeg[j] = 0.0f;
    for (int k = 0; k < kTaps; k++) {
      const int nShift = nBase + k;
      const int nFirstJ = nShift < 0 ? -nShift : 0;
      const int nEndJ = nShift + kBlockL > kBufL ? kBufL - nShift : kBlockL;
      const float fH = pH[k];
      // Indexed from the buffer itself: a pointer before its start would be out of bounds.
      for (int j = nFirstJ; j < nEndJ; j++) pSeg[j] += fH * m_arrBuf[nShift + j];
    }
  }
  // The next neighbour is sought from one sample after the lag found, as the
  // reference decoder does (its pitch-synchronous chain runs one sample late).
  return static_cast<float>(nFirst) + static_cast<float>(nBestUps) / static_cast<float>(kUps) +
         1.0f;
}

void cIlbcEnhancer::EnhanceBlock(int nStart, float* pOut) const {
  constexpr float fHalf = 0.5f * kBlockL;
  float arrSeq[kSeqLen][kBlockL];
  float arrPos[kSeqLen];
  int arrBlk[kSeqLen];
  arrPos[kHalfSeq] = static_cast<float>(nStart);
  arrBlk[kHalfSeq] = NearestBlock(cIlbcTables::kEnhPlocs, arrPos[kHalfSeq] + fHalf);
  std::memcpy(arrSeq[kHalfSeq], m_arrBuf + nStart, sizeof(float) * kBlockL);

  // Earlier neighbours: one period back from the last one found.
  for (int q = kHalfSeq - 1; q >= 0; q--) {
    const float fPeriod = m_arrPeriod[arrBlk[q + 1]];
    arrPos[q] = arrPos[q + 1] - fPeriod;
    arrBlk[q] = NearestBlock(cIlbcTables::kEnhPlocs, arrPos[q] + fHalf - fPeriod);
    if (arrPos[q] - kOverhang >= 0.0f) {
      arrPos[q] = Refine(nStart, arrPos[q], arrSeq[q]);
    } else {
      std::memset(arrSeq[q], 0, sizeof arrSeq[q]);
    }
  }
  // Later neighbours: the period is taken from the block whose centre, one
  // period earlier, is nearest.
  float arrLocs[kBlocks];
  for (int i = 0; i < kBlocks; i++) arrLocs[i] = cIlbcTables::kEnhPlocs[i] - m_arrPeriod[i];
  for (int q = kHalfSeq + 1; q < kSeqLen; q++) {
    arrBlk[q] = NearestBlock(arrLocs, arrPos[q - 1] + fHalf);
    arrPos[q] = arrPos[q - 1] + m_arrPeriod[arrBlk[q]];
    if (arrPos[q] + kBlockL + kOverhang < kBufL) {
      arrPos[q] = Refine(nStart, arrPos[q], arrSeq[q]);
    } else {
      std::memset(arrSeq[q], 0, sizeof arrSeq[q]);
    }
  }

  // Raised-cosine weighted sum of the neighbours.
  float arrSmooth[kBlockL] = {};
  for (int q = 0; q < kSeqLen; q++) {
    if (q == kHalfSeq) continue;
    const float fW =
        0.5f * (1.0f - std::cos(2.0f * static_cast<float>(M_PI) * static_cast<float>(q + 1) /
                                static_cast<float>(2 * kHalfSeq + 2)));
    for (int j = 0; j < kBlockL; j++) arrSmooth[j] += fW * arrSeq[q][j];
  }
  const float* pX = arrSeq[kHalfSeq];
  const float fXX = cIlbcFilter::Dot(pX, pX, kBlockL);
  const float fYY = cIlbcFilter::Dot(arrSmooth, arrSmooth, kBlockL);
  const float fXY = cIlbcFilter::Dot(pX, arrSmooth, kBlockL);
  if (fYY < kTiny) {
    std::memcpy(pOut, pX, sizeof(float) * kBlockL);
    return;
  }
  // The smoothed block scaled to the block's energy, if close enough...
  const float fC = std::sqrt(fXX / fYY);
  float fErr = 0.0f;
  for (int j = 0; j < kBlockL; j++) {
    const float fD = pX[j] - fC * arrSmooth[j];
    fErr += fD * fD;
  }
  if (fErr < kAlpha * fXX) {
    for (int j = 0; j < kBlockL; j++) pOut[j] = fC * arrSmooth[j];
    return;
  }
  // ...otherwise the mix of both that keeps the energy and sits exactly at
  // the allowed distance.
  const float fDen = fYY * fXX - fXY * fXY;
  float fA = 0.0f;
  float fB = 1.0f;
  if (fDen > kTiny) {
    fA = std::sqrt((kAlpha - kAlpha * kAlpha / 4.0f) * fXX * fXX / fDen);
    fB = 1.0f - kAlpha / 2.0f - fA * fXY / fXX;
  }
  for (int j = 0; j < kBlockL; j++) pOut[j] = fA * arrSmooth[j] + fB * pX[j];
}

void cIlbcEnhancer::Process(const float* pResidual, float* pOut) {
  const int nNew = m_mode.m_nBlockL;
  std::memmove(m_arrBuf, m_arrBuf + nNew, sizeof(float) * static_cast<size_t>(kBufL - nNew));
  std::memcpy(m_arrBuf + kBufL - nNew, pResidual, sizeof(float) * static_cast<size_t>(nNew));
  const int nNewBlocks = nNew / kBlockL;
  EstimatePeriods(nNewBlocks);
  const int nFirst = kBufL - nNew - m_nDelay;
  for (int b = 0; b < nNewBlocks; b++) EnhanceBlock(nFirst + b * kBlockL, pOut + b * kBlockL);
}
