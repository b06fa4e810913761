#include "KytRTP/KytCodec/ilbc/cIlbcEncoderCore.h"

#include <algorithm>
#include <cstring>

#include "KytRTP/KytCodec/ilbc/cIlbcCodebook.h"
#include "KytRTP/KytCodec/ilbc/cIlbcCodebookSearch.h"
#include "KytRTP/KytCodec/ilbc/cIlbcFilter.h"
#include "KytRTP/KytCodec/ilbc/cIlbcFrameParams.h"
#include "KytRTP/KytCodec/ilbc/cIlbcFrameWalker.h"
#include "KytRTP/KytCodec/ilbc/cIlbcLsf.h"
#include "KytRTP/KytCodec/ilbc/cIlbcStateCoder.h"
#include "KytRTP/KytCodec/ilbc/cIlbcTables.h"

namespace {
constexpr int kOrder = cIlbcMode::kOrder;
constexpr int kSubL = cIlbcMode::kSubL;
constexpr int kStages = cIlbcMode::kStages;
constexpr float kWeightChirp = 0.4222f;  // perceptual weighting 1/A(z/0.4222)
constexpr int kTaper = 5;                // tapered edge of the start-state energy
}  // namespace

cIlbcEncoderCore::cIlbcEncoderCore(int nModeMs)
    : m_mode(nModeMs),
      m_packer(m_mode),
      m_hpIn(cIlbcTables::kHpiZeroCoefs, cIlbcTables::kHpiPoleCoefs),
      m_analysis(m_mode) {
  std::memcpy(m_arrPrevLsf, cIlbcTables::kLsfmean, sizeof m_arrPrevLsf);
  std::memcpy(m_arrPrevQuantLsf, cIlbcTables::kLsfmean, sizeof m_arrPrevQuantLsf);
}

int cIlbcEncoderCore::FindStart(const float* pResidual) const {
  const float* pEdge = cIlbcTables::kFrameclassifySampenWin;
  // The 20 ms mode uses the middle three of the five position weights.
  const int nWinOffset = m_mode.m_nSub == 4 ? 1 : 0;
  int nBest = 1;
  float fBest = -1.0f;
  for (int nPos = 1; nPos < m_mode.m_nSub; nPos++) {
    const int nFirst = (nPos - 1) * kSubL;
    const int nEnd = (nPos + 1) * kSubL;
    float fEnergy = 0.0f;
    for (int i = nFirst; i < nEnd; i++) {
      float fW = 1.0f;
      if (i < nFirst + kTaper) fW = pEdge[i - nFirst];
      if (i >= nEnd - kTaper) fW = pEdge[nEnd - i - 1];
      fEnergy += fW * pResidual[i] * pResidual[i];
    }
    fEnergy *= cIlbcTables::kFrameclassifySsqenWin[nPos - 1 + nWinOffset];
    if (fEnergy > fBest) {
      fBest = fEnergy;
      nBest = nPos;
    }
  }
  return nBest;
}

void cIlbcEncoderCore::Encode(const float* pSamples, uint8_t* pFrame) {
  const int nBlockL = m_mode.m_nBlockL;
  const int nSets = m_mode.m_nLsfSets;
  float arrSpeech[kOrder + cIlbcMode::kMaxBlockL];
  std::memcpy(arrSpeech, m_arrInputMem, sizeof m_arrInputMem);
  float* pSpeech = arrSpeech + kOrder;
  m_hpIn.Process(pSamples, pSpeech, nBlockL);

  // Spectral envelope: quantised filters for the residual and the decoder,
  // unquantised ones (widened) for the perceptual weighting.
  cIlbcFrameParams params;
  float arrLsf[cIlbcMode::kMaxLsfSets * kOrder];
  float arrQuant[cIlbcMode::kMaxLsfSets * kOrder];
  m_analysis.Analyse(pSpeech, arrLsf);
  for (int m = 0; m < nSets; m++) {
    cIlbcLsf::Quantize(arrLsf + m * kOrder, params.m_arrLsf + 3 * m, arrQuant + m * kOrder);
  }
  cIlbcLsf::Stabilize(arrQuant, nSets);
  float arrSynth[cIlbcMode::kMaxSub * kLpcStride];
  float arrWeight[cIlbcMode::kMaxSub * kLpcStride];
  cIlbcLsf::InterpolateToLpc(m_mode, m_arrPrevQuantLsf, arrQuant, arrSynth);
  cIlbcLsf::InterpolateToLpc(m_mode, m_arrPrevLsf, arrLsf, arrWeight);
  for (int s = 0; s < m_mode.m_nSub; s++) {
    float* pW = arrWeight + s * kLpcStride;
    cIlbcFilter::BwExpand(pW, kWeightChirp, kOrder, pW);
  }
  std::memcpy(m_arrPrevQuantLsf, arrQuant + (nSets - 1) * kOrder, sizeof m_arrPrevQuantLsf);
  std::memcpy(m_arrPrevLsf, arrLsf + (nSets - 1) * kOrder, sizeof m_arrPrevLsf);

  // Residual through the quantised analysis filters.
  float arrResidual[cIlbcMode::kMaxBlockL];
  for (int s = 0; s < m_mode.m_nSub; s++) {
    cIlbcFilter::AllZero(pSpeech + s * kSubL, kSubL, arrSynth + s * kLpcStride, kOrder,
                         arrResidual + s * kSubL);
  }
  std::memcpy(m_arrInputMem, pSpeech + nBlockL - kOrder, sizeof m_arrInputMem);

  // Start state: the louder 57/58 samples of the loudest sub-block pair.
  const int nShort = m_mode.m_nStateShort;
  const int nRestL = cIlbcMode::kStateLen - nShort;
  params.m_nStart = FindStart(arrResidual);
  const int nStateStart = (params.m_nStart - 1) * kSubL;
  const float* pPair = arrResidual + nStateStart;
  const float fHeadEn = cIlbcFilter::Dot(pPair, pPair, nRestL);
  const float fTailEn = cIlbcFilter::Dot(pPair + nShort, pPair + nShort, nRestL);
  params.m_nStateFirst = fHeadEn > fTailEn ? 1 : 0;
  const int nOffset = params.m_nStateFirst ? 0 : nRestL;
  const float* pWeight1 = arrWeight + (params.m_nStart - 1) * kLpcStride;
  cIlbcStateCoder::Encode(m_mode, pPair + nOffset, arrSynth + (params.m_nStart - 1) * kLpcStride,
                          pWeight1, pWeight1 + kLpcStride, kSubL - nOffset, &params.m_nScale,
                          params.m_arrState);
  float arrState[cIlbcMode::kMaxStateShort];
  cIlbcStateCoder::Decode(m_mode, params.m_nScale, params.m_arrState,
                          arrSynth + (params.m_nStart - 1) * kLpcStride, arrState);

  // Everything else from the adaptive codebook, in decoding order.
  float arrDecoded[cIlbcMode::kMaxBlockL];
  auto code = [&](const cIlbcFrameWalker::sStep& step, float* pOut) {
    float arrTarget[kSubL];
    const float* pSrc = arrResidual + step.nPos;
    if (step.bReversed) {
      std::reverse_copy(pSrc, pSrc + step.nTargetL, arrTarget);
    } else {
      std::copy(pSrc, pSrc + step.nTargetL, arrTarget);
    }
    const int* pRange = cIlbcTables::kSearchRange + (step.nCoded + 1) * kStages;
    int arrIndex[kStages];
    int* pGain = step.nCoded < 0 ? params.m_arrExtraGain : params.m_arrGain + step.nCoded * kStages;
    cIlbcCodebookSearch::Search(step.pMem, step.nMemL, arrTarget, step.nTargetL,
                                arrWeight + step.nSub * kLpcStride, pRange, arrIndex, pGain);
    cIlbcCodebook::Decode(step.pMem, step.nMemL, step.nTargetL, arrIndex, pGain, pOut);
    int* pCb = step.nCoded < 0 ? params.m_arrExtraCb : params.m_arrCb + step.nCoded * kStages;
    for (int k = 0; k < kStages; k++) {
      pCb[k] = (step.nCoded == 0 && k > 0)
                   ? cIlbcCodebook::NarrowIndex(arrIndex[k], step.nMemL, step.nTargetL)
                   : arrIndex[k];
    }
  };
  cIlbcFrameWalker::Walk(m_mode, params.m_nStart, params.m_nStateFirst != 0, arrState, arrDecoded,
                         code);
  m_packer.Pack(params, pFrame);
}
