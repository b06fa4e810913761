#include "KytRTP/KytCodec/ilbc/cIlbcLpcAnalysis.h"

#include <algorithm>
#include <cstring>

#include "KytRTP/KytCodec/ilbc/cIlbcFilter.h"
#include "KytRTP/KytCodec/ilbc/cIlbcLsf.h"
#include "KytRTP/KytCodec/ilbc/cIlbcTables.h"

namespace {
constexpr int kOrder = cIlbcMode::kOrder;
constexpr int kWinL = 240;
constexpr float kChirp = 0.9025f;  // bandwidth expansion before the LSF search
}  // namespace

cIlbcLpcAnalysis::cIlbcLpcAnalysis(const cIlbcMode& mode) : m_mode(mode) {}

void cIlbcLpcAnalysis::Levinson(const float* pR, float* pA) {
  std::fill(pA, pA + kOrder + 1, 0.0f);
  pA[0] = 1.0f;
  float fErr = pR[0];
  if (!(fErr > 0.0f)) return;
  float arrTmp[kOrder + 1];
  for (int i = 1; i <= kOrder; i++) {
    float fAcc = pR[i];
    for (int j = 1; j < i; j++) fAcc += pA[j] * pR[i - j];
    const float fK = -fAcc / fErr;
    std::memcpy(arrTmp, pA, sizeof arrTmp);
    for (int j = 1; j < i; j++) pA[j] = arrTmp[j] + fK * arrTmp[i - j];
    pA[i] = fK;
    fErr *= 1.0f - fK * fK;
    if (!(fErr > 0.0f)) return;
  }
}

void cIlbcLpcAnalysis::AnalyseWindow(const float* pSpeech, const float* pWindow,
                                     float* pLsf) const {
  float arrWin[kWinL];
  for (int i = 0; i < kWinL; i++) arrWin[i] = pSpeech[i] * pWindow[i];
  float arrR[kOrder + 1];
  for (int nLag = 0; nLag <= kOrder; nLag++) {
    arrR[nLag] =
        cIlbcFilter::Dot(arrWin, arrWin + nLag, kWinL - nLag) * cIlbcTables::kLpcLagwin[nLag];
  }
  float arrA[kOrder + 1];
  Levinson(arrR, arrA);
  float arrBw[kOrder + 1];
  cIlbcFilter::BwExpand(arrA, kChirp, kOrder, arrBw);
  cIlbcLsf::FromLpc(arrBw, pLsf);
}

void cIlbcLpcAnalysis::Analyse(const float* pFrame, float* pLsf) {
  const int nNew = m_mode.m_nBlockL;
  std::memmove(m_arrBuf, m_arrBuf + nNew, sizeof(float) * static_cast<size_t>(kBufL - nNew));
  std::memcpy(m_arrBuf + kBufL - nNew, pFrame, sizeof(float) * static_cast<size_t>(nNew));
  if (m_mode.m_nLsfSets == 2) {
    AnalyseWindow(m_arrBuf, cIlbcTables::kLpcWin, pLsf);
    AnalyseWindow(m_arrBuf + kLookBack, cIlbcTables::kLpcAsymwin, pLsf + kOrder);
  } else {
    AnalyseWindow(m_arrBuf + kBufL - kWinL, cIlbcTables::kLpcAsymwin, pLsf);
  }
}
