#pragma once

#include "KytRTP/KytCodec/ilbc/cIlbcMode.h"

// Encoder-side LPC analysis: windowed autocorrelation, lag window,
// Levinson-Durbin recursion and bandwidth expansion, giving the LSF
// vector(s) of one frame.
class cIlbcLpcAnalysis {
 public:
  static constexpr int kLookBack = 60;
  static constexpr int kBufL = kLookBack + cIlbcMode::kMaxBlockL;  // 300

  explicit cIlbcLpcAnalysis(const cIlbcMode& mode);

  // Appends one frame of (high-passed) input and writes m_nLsfSets LSF
  // vectors of kOrder values.
  void Analyse(const float* pFrame, float* pLsf);

  // Autocorrelation pR[0..kOrder] -> LPC pA[0..kOrder] (pA[0] = 1). A
  // silent or degenerate input gives the trivial filter.
  static void Levinson(const float* pR, float* pA);

 private:
  void AnalyseWindow(const float* pSpeech, const float* pWindow, float* pLsf) const;

  const cIlbcMode& m_mode;
  float m_arrBuf[kBufL] = {};
};
