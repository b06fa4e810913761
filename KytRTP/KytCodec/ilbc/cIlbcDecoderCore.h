#pragma once

#include <cstdint>
#include <memory>

#include "KytRTP/KytCodec/ilbc/cIlbcBiquad.h"
#include "KytRTP/KytCodec/ilbc/cIlbcBitPacker.h"
#include "KytRTP/KytCodec/ilbc/cIlbcEnhancer.h"
#include "KytRTP/KytCodec/ilbc/cIlbcFrameParams.h"
#include "KytRTP/KytCodec/ilbc/cIlbcMode.h"
#include "KytRTP/KytCodec/ilbc/cIlbcPlc.h"

// Decoder state and the per-frame decoding steps.
class cIlbcDecoderCore {
 public:
  cIlbcDecoderCore(int nModeMs, bool bEnhancer);

  const cIlbcMode& Mode() const { return m_mode; }
  void Decode(const uint8_t* pFrame, float* pOut);
  void DecodeLost(float* pOut);

  // Whether every field of an unpacked frame can be decoded (start-state
  // position, empty-frame bit, codebook indices within their codebooks).
  bool IsDecodable(const cIlbcFrameParams& params) const;
  // Rebuilds the frame's excitation from valid fields; pLpc holds the
  // per-sub-block synthesis filters.
  void DecodeResidual(const cIlbcFrameParams& params, const float* pLpc, float* pResidual) const;

 private:
  static constexpr int kLpcStride = cIlbcMode::kOrder + 1;

  // Synthesis (1/A per sub-block) and output high-pass. With the enhancer
  // the excitation lags by Delay() samples, so the filters lag as well.
  void Synthesize(const float* pExcitation, float* pOut);
  // Enhancer (if on) and synthesis of one frame of excitation.
  void Output(const float* pExcitation, float* pOut);

  cIlbcMode m_mode;
  cIlbcBitPacker m_packer;
  cIlbcBiquad m_hpOut;
  float m_arrPrevLsf[cIlbcMode::kOrder];
  std::unique_ptr<cIlbcEnhancer> m_pEnhancer;  // null when switched off
  std::unique_ptr<cIlbcPlc> m_pPlc;
  float m_arrLpc[cIlbcMode::kMaxSub * kLpcStride];
  float m_arrPrevLpc[cIlbcMode::kMaxSub * kLpcStride];
  float m_arrSynthMem[cIlbcMode::kOrder] = {};
};
