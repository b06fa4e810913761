#include "KytRTP/KytCodec/ilbc/cIlbcCodebookSearch.h"

#include <cmath>
#include <cstring>

#include "KytRTP/KytCodec/ilbc/cIlbcCodebook.h"
#include "KytRTP/KytCodec/ilbc/cIlbcFilter.h"
#include "KytRTP/KytCodec/ilbc/cIlbcGain.h"
#include "KytRTP/KytCodec/ilbc/cIlbcTables.h"

namespace {
constexpr int kOrder = cIlbcMode::kOrder;
constexpr int kStages = cIlbcMode::kStages;
constexpr int kSubL = cIlbcMode::kSubL;
constexpr float kMaxGain = 1.3f;
}  // namespace

void cIlbcCodebookSearch::Search(const float* pMem, int nMemL, const float* pTarget, int nTargetL,
                                 const float* pWeight, const int* pRange, int* pIndex,
                                 int* pGainIndex) {
  // Weight memory and target together, starting from a zero filter state.
  float arrBuf[kOrder + cIlbcMode::kMemL + kSubL] = {};
  float* pW = arrBuf + kOrder;
  std::memcpy(pW, pMem, sizeof(float) * static_cast<size_t>(nMemL));
  std::memcpy(pW + nMemL, pTarget, sizeof(float) * static_cast<size_t>(nTargetL));
  cIlbcFilter::AllPole(pW, nMemL + nTargetL, pWeight, kOrder);
  float arrExp[cIlbcMode::kMemL];
  cIlbcCodebook::ExpandMemory(pW, nMemL, arrExp);
  float arrTarget[kSubL];
  std::memcpy(arrTarget, pW + nMemL, sizeof(float) * static_cast<size_t>(nTargetL));

  const int nBase = nMemL - nTargetL + 1;
  const int nSection = cIlbcCodebook::SectionSize(nMemL, nTargetL);
  const float fTargetEn = cIlbcFilter::Dot(arrTarget, arrTarget, nTargetL);
  float arrCoded[kSubL] = {};
  float fPrevGain = 1.0f;
  for (int k = 0; k < kStages; k++) {
    const int nTried = pRange[k] < nBase ? pRange[k] : nBase;
    int nBest = 0;
    float fBestMeasure = 0.0f;
    bool bFound = false;
    for (int nSect = 0; nSect < 2; nSect++) {
      for (int n = 0; n < nSection; n++) {
        if (n >= nTried && n < nBase) continue;
        const int nIdx = nSect * nSection + n;
        float arrVec[kSubL];
        cIlbcCodebook::GetVector(pW, arrExp, nMemL, nTargetL, nIdx, arrVec);
        const float fDot = cIlbcFilter::Dot(arrTarget, arrVec, nTargetL);
        const float fEn = cIlbcFilter::Dot(arrVec, arrVec, nTargetL);
        if (!(fEn > 0.0f)) continue;
        if (k == 0 && !(fDot > 0.0f)) continue;
        if (std::fabs(fDot / fEn) >= kMaxGain) continue;
        const float fMeasure = fDot * fDot / fEn;
        if (!bFound || fMeasure > fBestMeasure) {
          bFound = true;
          fBestMeasure = fMeasure;
          nBest = nIdx;
        }
      }
    }
    float arrVec[kSubL];
    cIlbcCodebook::GetVector(pW, arrExp, nMemL, nTargetL, nBest, arrVec);
    const float fEn = cIlbcFilter::Dot(arrVec, arrVec, nTargetL);
    const float fGain = fEn > 0.0f ? cIlbcFilter::Dot(arrTarget, arrVec, nTargetL) / fEn : 0.0f;
    const float fQuant = cIlbcGain::Quantize(fGain, fPrevGain, k, &pGainIndex[k]);
    for (int j = 0; j < nTargetL; j++) {
      arrTarget[j] -= fQuant * arrVec[j];
      arrCoded[j] += fQuant * arrVec[j];
    }
    pIndex[k] = nBest;
    fPrevGain = fQuant;
  }
  ScaleGain(fTargetEn, cIlbcFilter::Dot(arrCoded, arrCoded, nTargetL), pGainIndex);
}

void cIlbcCodebookSearch::ScaleGain(float fTargetEn, float fCodedEn, int* pGainIndex) {
  // Squared-error matching loses power on poorly predicted targets; raise
  // the first gain (the others scale with it) while the coded power stays
  // below the target's, to at most twice the searched gain.
  if (!(fCodedEn > 0.0f)) return;
  const float fGain = cIlbcTables::kGainSq5[pGainIndex[0]];
  int nIdx = pGainIndex[0];
  while (nIdx + 1 < cIlbcGain::Levels(0)) {
    const float fNext = cIlbcTables::kGainSq5[nIdx + 1];
    if (fNext > 2.0f * fGain) break;
    if (fCodedEn * fNext * fNext / (fGain * fGain) >= fTargetEn) break;
    nIdx++;
  }
  pGainIndex[0] = nIdx;
}
