#pragma once

#include "KytRTP/KytCodec/ilbc/cIlbcMode.h"

// The quantisation indices of one iLBC frame, as carried in the bitstream.
// Codebook indices are in transmitted form (see cIlbcCodebook for the
// widening of the first sub-block's later stages).
struct cIlbcFrameParams {
  int m_arrLsf[cIlbcMode::kMaxLsfSets * 3] = {};
  int m_nStart = 0;       // 1-based position of the two start-state sub-blocks
  int m_nStateFirst = 0;  // 1: state is the first part of those 80 samples
  int m_nScale = 0;       // index into the max-amplitude table
  int m_arrState[cIlbcMode::kMaxStateShort] = {};
  int m_arrExtraCb[cIlbcMode::kStages] = {};
  int m_arrExtraGain[cIlbcMode::kStages] = {};
  int m_arrCb[cIlbcMode::kMaxCbSub * cIlbcMode::kStages] = {};
  int m_arrGain[cIlbcMode::kMaxCbSub * cIlbcMode::kStages] = {};
  int m_nLastBit = 0;  // empty-frame indicator
};
