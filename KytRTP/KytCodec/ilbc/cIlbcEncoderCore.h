#pragma once

#include <cstdint>

#include "KytRTP/KytCodec/ilbc/cIlbcBiquad.h"
#include "KytRTP/KytCodec/ilbc/cIlbcBitPacker.h"
#include "KytRTP/KytCodec/ilbc/cIlbcLpcAnalysis.h"
#include "KytRTP/KytCodec/ilbc/cIlbcMode.h"

// Encoder state and the per-frame encoding steps.
class cIlbcEncoderCore {
 public:
  explicit cIlbcEncoderCore(int nModeMs);

  const cIlbcMode& Mode() const { return m_mode; }
  void Encode(const float* pSamples, uint8_t* pFrame);

 private:
  static constexpr int kLpcStride = cIlbcMode::kOrder + 1;

  // Chooses the two sub-blocks of highest (edge-tapered) residual energy;
  // returns their 1-based position.
  int FindStart(const float* pResidual) const;

  cIlbcMode m_mode;
  cIlbcBitPacker m_packer;
  cIlbcBiquad m_hpIn;
  cIlbcLpcAnalysis m_analysis;
  float m_arrPrevLsf[cIlbcMode::kOrder];
  float m_arrPrevQuantLsf[cIlbcMode::kOrder];
  float m_arrInputMem[cIlbcMode::kOrder] = {};  // analysis filter history
};
