#include "KytRTP/KytCodec/ilbc/cIlbcDecoderCore.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "KytRTP/KytCodec/ilbc/cIlbcCodebook.h"
#include "KytRTP/KytCodec/ilbc/cIlbcFilter.h"
#include "KytRTP/KytCodec/ilbc/cIlbcFrameWalker.h"
#include "KytRTP/KytCodec/ilbc/cIlbcLsf.h"
#include "KytRTP/KytCodec/ilbc/cIlbcStateCoder.h"
#include "KytRTP/KytCodec/ilbc/cIlbcTables.h"

namespace {
constexpr int kOrder = cIlbcMode::kOrder;
constexpr int kSubL = cIlbcMode::kSubL;
constexpr int kStages = cIlbcMode::kStages;
}  // namespace

cIlbcDecoderCore::cIlbcDecoderCore(int nModeMs, bool bEnhancer)
    : m_mode(nModeMs),
      m_packer(m_mode),
      m_hpOut(cIlbcTables::kHpoZeroCoefs, cIlbcTables::kHpoPoleCoefs) {
  std::memcpy(m_arrPrevLsf, cIlbcTables::kLsfmean, sizeof m_arrPrevLsf);
  std::fill(std::begin(m_arrLpc), std::end(m_arrLpc), 0.0f);
  for (int s = 0; s < cIlbcMode::kMaxSub; s++) m_arrLpc[s * kLpcStride] = 1.0f;
  std::memcpy(m_arrPrevLpc, m_arrLpc, sizeof m_arrPrevLpc);
  if (bEnhancer) m_pEnhancer = std::make_unique<cIlbcEnhancer>(m_mode);
  m_pPlc = std::make_unique<cIlbcPlc>(m_mode);
}

bool cIlbcDecoderCore::IsDecodable(const cIlbcFrameParams& params) const {
  if (params.m_nLastBit != 0 || params.m_nStart < 1 || params.m_nStart > m_mode.m_nStartMax) {
    return false;
  }
  const int nExtraL = cIlbcMode::kStateLen - m_mode.m_nStateShort;
  const int nExtraSize = cIlbcCodebook::Size(cIlbcMode::kStateMemL, nExtraL);
  for (int k = 0; k < kStages; k++) {
    if (params.m_arrExtraCb[k] >= nExtraSize) return false;
  }
  // The 40-sample sub-blocks use every index their bit widths allow.
  return true;
}

void cIlbcDecoderCore::DecodeResidual(const cIlbcFrameParams& params, const float* pLpc,
                                      float* pResidual) const {
  float arrState[cIlbcMode::kMaxStateShort];
  cIlbcStateCoder::Decode(m_mode, params.m_nScale, params.m_arrState,
                          pLpc + (params.m_nStart - 1) * kLpcStride, arrState);
  auto decode = [&](const cIlbcFrameWalker::sStep& step, float* pOut) {
    if (step.nCoded < 0) {
      cIlbcCodebook::Decode(step.pMem, step.nMemL, step.nTargetL, params.m_arrExtraCb,
                            params.m_arrExtraGain, pOut);
      return;
    }
    int arrIndex[kStages];
    for (int k = 0; k < kStages; k++) {
      const int nIdx = params.m_arrCb[step.nCoded * kStages + k];
      arrIndex[k] = (step.nCoded == 0 && k > 0)
                        ? cIlbcCodebook::WidenIndex(nIdx, step.nMemL, step.nTargetL)
                        : nIdx;
    }
    cIlbcCodebook::Decode(step.pMem, step.nMemL, step.nTargetL, arrIndex,
                          params.m_arrGain + step.nCoded * kStages, pOut);
  };
  cIlbcFrameWalker::Walk(m_mode, params.m_nStart, params.m_nStateFirst != 0, arrState, pResidual,
                         decode);
}

void cIlbcDecoderCore::Synthesize(const float* pExcitation, float* pOut) {
  float arrBuf[kOrder + cIlbcMode::kMaxBlockL];
  std::memcpy(arrBuf, m_arrSynthMem, sizeof m_arrSynthMem);
  std::memcpy(arrBuf + kOrder, pExcitation, sizeof(float) * static_cast<size_t>(m_mode.m_nBlockL));
  const int nLag = m_pEnhancer ? m_pEnhancer->Delay() / kSubL : 0;
  for (int s = 0; s < m_mode.m_nSub; s++) {
    const float* pA = s < nLag ? m_arrPrevLpc + (m_mode.m_nSub - nLag + s) * kLpcStride
                               : m_arrLpc + (s - nLag) * kLpcStride;
    cIlbcFilter::AllPole(arrBuf + kOrder + s * kSubL, kSubL, pA, kOrder);
  }
  std::memcpy(m_arrSynthMem, arrBuf + m_mode.m_nBlockL, sizeof m_arrSynthMem);
  m_hpOut.Process(arrBuf + kOrder, pOut, m_mode.m_nBlockL);
}

void cIlbcDecoderCore::Decode(const uint8_t* pFrame, float* pOut) {
  cIlbcFrameParams params;
  m_packer.Unpack(pFrame, params);
  if (!IsDecodable(params)) {
    DecodeLost(pOut);
    return;
  }
  float arrLsf[cIlbcMode::kMaxLsfSets * kOrder];
  for (int m = 0; m < m_mode.m_nLsfSets; m++) {
    cIlbcLsf::Dequantize(params.m_arrLsf + 3 * m, arrLsf + m * kOrder);
  }
  cIlbcLsf::Stabilize(arrLsf, m_mode.m_nLsfSets);
  std::memcpy(m_arrPrevLpc, m_arrLpc, sizeof m_arrPrevLpc);
  cIlbcLsf::InterpolateToLpc(m_mode, m_arrPrevLsf, arrLsf, m_arrLpc);
  std::memcpy(m_arrPrevLsf, arrLsf + (m_mode.m_nLsfSets - 1) * kOrder, sizeof m_arrPrevLsf);

  float arrResidual[cIlbcMode::kMaxBlockL];
  DecodeResidual(params, m_arrLpc, arrResidual);
  m_pPlc->Received(arrResidual);
  Output(arrResidual, pOut);
}

void cIlbcDecoderCore::DecodeLost(float* pOut) {
  // The last synthesis filter stays in use for the whole frame.
  std::memcpy(m_arrPrevLpc, m_arrLpc, sizeof m_arrPrevLpc);
  const float* pLast = m_arrPrevLpc + (m_mode.m_nSub - 1) * kLpcStride;
  for (int s = 0; s < m_mode.m_nSub; s++) {
    std::memcpy(m_arrLpc + s * kLpcStride, pLast, sizeof(float) * kLpcStride);
  }
  float arrResidual[cIlbcMode::kMaxBlockL];
  m_pPlc->Conceal(arrResidual);
  Output(arrResidual, pOut);
}

void cIlbcDecoderCore::Output(const float* pExcitation, float* pOut) {
  if (m_pEnhancer) {
    float arrEnhanced[cIlbcMode::kMaxBlockL];
    m_pEnhancer->Process(pExcitation, arrEnhanced);
    Synthesize(arrEnhanced, pOut);
  } else {
    Synthesize(pExcitation, pOut);
  }
}
