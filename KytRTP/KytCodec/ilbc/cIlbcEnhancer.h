#pragma once

#include "KytRTP/KytCodec/ilbc/cIlbcMode.h"

// Pitch enhancer of the decoder: each 80-sample block of excitation is
// pulled towards a weighted sum of pitch-synchronous neighbour blocks
// (three before, three after), with a bound on how far it may move.
// Works on a 640-sample history; output is delayed by 40 (20 ms mode) or
// 80 (30 ms mode) samples.
class cIlbcEnhancer {
 public:
  static constexpr int kBlockL = 80;
  static constexpr int kBufL = 640;
  static constexpr int kBlocks = kBufL / kBlockL;

  explicit cIlbcEnhancer(const cIlbcMode& mode);

  // Adds m_nBlockL new excitation samples and writes m_nBlockL enhanced,
  // delayed samples.
  void Process(const float* pResidual, float* pOut);
  // Delay of the output in samples.
  int Delay() const { return m_nDelay; }

 private:
  static constexpr int kHalfSeq = 3;  // neighbours on each side
  static constexpr int kSeqLen = 2 * kHalfSeq + 1;
  static constexpr int kSlop = 2;      // refinement range, samples
  static constexpr int kUps = 4;       // quarter-sample resolution
  static constexpr int kFiltHalf = 3;  // half length of the fractional filters
  static constexpr int kOverhang = 2;
  static constexpr int kMinLag = 20;
  static constexpr int kMaxLag = 120;

  void EstimatePeriods(int nNewBlocks);
  // Index of the entry of pLocs (kBlocks values) nearest to fPos.
  static int NearestBlock(const float* pLocs, float fPos);
  // Refines the location of one neighbour around fEstimate and extracts it
  // with quarter-sample precision; returns the refined location.
  float Refine(int nCentreStart, float fEstimate, float* pSeg) const;
  void EnhanceBlock(int nStart, float* pOut) const;

  const cIlbcMode& m_mode;
  int m_nDelay;
  float m_arrBuf[kBufL] = {};
  float m_arrPeriod[kBlocks];
};
