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
constexpr int kAugmented = cIlbcCodebook::kAugmented;
constexpr float kMaxGain = 1.3f;

// The codebook of one target in the weighted domain: the energies of all its vectors do not
// depend on the stage, so they are found once; each stage then only correlates its target.
// pGain[i] = pCorr[i] / pEn[i], pMeasure[i] = pCorr[i]^2 / pEn[i]; meaningful where pEn[i] > 0.
void Ratios(const float* pCorr, const float* pEn, int nCount, float* pGain, float* pMeasure) {
  for (int i = 0; i < nCount; i++) {
    pGain[i] = pCorr[i] / pEn[i];
    pMeasure[i] = pCorr[i] * pCorr[i] / pEn[i];
  }
}

struct sSection {
  const float* pBuf;                  // memory whose windows are the base vectors
  float arrBaseEn[cIlbcMode::kMemL];  // by start position in pBuf
  float arrAugT[kSubL][kAugmented];   // augmented vectors (delays 20..39), by sample
  float arrAugEn[kAugmented];
  // This stage's correlations, gains and matches (correlation^2 / energy), by start position
  // and by delay; computed in bulk so the divisions vectorise.
  float arrBaseCorr[cIlbcMode::kMemL];
  float arrBaseGain[cIlbcMode::kMemL];
  float arrBaseMeasure[cIlbcMode::kMemL];
  float arrAugCorr[kAugmented];
  float arrAugGain[kAugmented];
  float arrAugMeasure[kAugmented];
};
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

  // Base vector n starts at nBase - 1 - n in its memory.
  const int nBase = nMemL - nTargetL + 1;
  const int nAug = cIlbcCodebook::SectionSize(nMemL, nTargetL) - nBase;
  sSection arrSect[2];
  arrSect[0].pBuf = pW;
  arrSect[1].pBuf = arrExp;
  for (sSection& sect : arrSect) {
    cIlbcFilter::Energies(sect.pBuf, nTargetL, 1, nBase, sect.arrBaseEn);
    for (int a = 0; a < nAug; a++) {
      float arrVec[kSubL];
      cIlbcCodebook::AugmentedVector(sect.pBuf, nMemL, a + kAugmented, arrVec);
      for (int j = 0; j < nTargetL; j++) sect.arrAugT[j][a] = arrVec[j];
    }
    if (nAug > 0)
      cIlbcFilter::Energies(sect.arrAugT[0], nTargetL, kAugmented, kAugmented, sect.arrAugEn);
  }

  const int nSection = nBase + nAug;
  const float fTargetEn = cIlbcFilter::Dot(arrTarget, arrTarget, nTargetL);
  float arrCoded[kSubL] = {};
  float fPrevGain = 1.0f;
  for (int k = 0; k < kStages; k++) {
    const int nTried = pRange[k] < nBase ? pRange[k] : nBase;
    const int nFirstPos = nBase - nTried;
    int nBest = 0;
    float fBestMeasure = 0.0f;
    bool bFound = false;
    for (int nSect = 0; nSect < 2; nSect++) {
      sSection& sect = arrSect[nSect];
      cIlbcFilter::Correlate(arrTarget, nTargetL, sect.pBuf + nFirstPos, 1, nTried,
                             sect.arrBaseCorr + nFirstPos);
      Ratios(sect.arrBaseCorr + nFirstPos, sect.arrBaseEn + nFirstPos, nTried,
             sect.arrBaseGain + nFirstPos, sect.arrBaseMeasure + nFirstPos);
      if (nAug > 0) {
        cIlbcFilter::Correlate(arrTarget, nTargetL, sect.arrAugT[0], kAugmented, kAugmented,
                               sect.arrAugCorr);
        Ratios(sect.arrAugCorr, sect.arrAugEn, kAugmented, sect.arrAugGain, sect.arrAugMeasure);
      }
      for (int n = 0; n < nSection; n++) {
        if (n >= nTried && n < nBase) continue;
        const bool bAug = n >= nBase;
        const int nAt = bAug ? n - nBase : nBase - 1 - n;
        const float fDot = bAug ? sect.arrAugCorr[nAt] : sect.arrBaseCorr[nAt];
        const float fEn = bAug ? sect.arrAugEn[nAt] : sect.arrBaseEn[nAt];
        if (!(fEn > 0.0f)) continue;
        if (k == 0 && !(fDot > 0.0f)) continue;
        if (std::fabs(bAug ? sect.arrAugGain[nAt] : sect.arrBaseGain[nAt]) >= kMaxGain) continue;
        const float fMeasure = bAug ? sect.arrAugMeasure[nAt] : sect.arrBaseMeasure[nAt];
        if (!bFound || fMeasure > fBestMeasure) {
          bFound = true;
          fBestMeasure = fMeasure;
          nBest = nSect * nSection + n;
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
