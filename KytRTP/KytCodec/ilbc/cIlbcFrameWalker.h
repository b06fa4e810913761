#pragma once

#include <algorithm>
#include <cstring>
#include <iterator>

#include "KytRTP/KytCodec/ilbc/cIlbcMode.h"

// The order in which encoder and decoder code a frame's excitation: the
// scalar start state, the rest of its 80 samples, then the 40-sample
// sub-blocks after it (forward in time) and before it (time-reversed),
// each from a codebook memory of what is already coded.
class cIlbcFrameWalker {
 public:
  struct sStep {
    const float* pMem;  // codebook memory, in the step's time direction
    int nMemL;
    int nTargetL;
    int nCoded;      // 40-sample sub-blocks coded before this one; -1: state rest
    int nSub;        // sub-block whose filters apply
    int nPos;        // first sample of the target in the frame
    bool bReversed;  // target and memory run backward in time
  };

  // pState: the m_nStateShort decoded state samples. For each step,
  // code(step, pOut) writes nTargetL coded samples in the step's direction;
  // they are placed into pResidual (m_nBlockL samples).
  template <typename tCode>
  static void Walk(const cIlbcMode& mode, int nStart, bool bStateFirst, const float* pState,
                   float* pResidual, tCode code) {
    constexpr int kSubL = cIlbcMode::kSubL;
    constexpr int kMemL = cIlbcMode::kMemL;
    const int nShort = mode.m_nStateShort;
    const int nRestL = cIlbcMode::kStateLen - nShort;
    const int nStateStart = (nStart - 1) * kSubL;
    float arrMem[kMemL] = {};
    float arrVec[kSubL];
    const int nStMemL = cIlbcMode::kStateMemL;

    // Rest of the 80 samples: the memory ends with the state.
    sStep step{arrMem, nStMemL, nRestL, -1, 0, 0, !bStateFirst};
    if (bStateFirst) {
      std::memcpy(pResidual + nStateStart, pState, sizeof(float) * static_cast<size_t>(nShort));
      std::memcpy(arrMem + nStMemL - nShort, pState, sizeof(float) * static_cast<size_t>(nShort));
      step.nPos = nStateStart + nShort;
      step.nSub = nStart;
      code(step, arrVec);
      std::memcpy(pResidual + step.nPos, arrVec, sizeof(float) * static_cast<size_t>(nRestL));
    } else {
      std::memcpy(pResidual + nStateStart + nRestL, pState,
                  sizeof(float) * static_cast<size_t>(nShort));
      std::reverse_copy(pState, pState + nShort, arrMem + nStMemL - nShort);
      step.nPos = nStateStart;
      step.nSub = nStart - 1;
      code(step, arrVec);
      std::reverse_copy(arrVec, arrVec + nRestL, pResidual + nStateStart);
    }

    // Sub-blocks after the state: the memory ends with the 80 samples.
    int nCoded = 0;
    const int nForward = mode.m_nSub - nStart - 1;
    if (nForward > 0) {
      std::fill(std::begin(arrMem), std::end(arrMem), 0.0f);
      std::memcpy(arrMem + kMemL - cIlbcMode::kStateLen, pResidual + nStateStart,
                  sizeof(float) * cIlbcMode::kStateLen);
      for (int s = 0; s < nForward; s++) {
        const int nSub = nStart + 1 + s;
        const sStep fwd{arrMem, kMemL, kSubL, nCoded++, nSub, nSub * kSubL, false};
        code(fwd, arrVec);
        std::memcpy(pResidual + fwd.nPos, arrVec, sizeof(float) * kSubL);
        std::memmove(arrMem, arrMem + kSubL, sizeof(float) * (kMemL - kSubL));
        std::memcpy(arrMem + kMemL - kSubL, arrVec, sizeof(float) * kSubL);
      }
    }

    // Sub-blocks before the state, time-reversed: the memory ends with the
    // reversed samples that follow the target.
    const int nBackward = nStart - 1;
    if (nBackward > 0) {
      std::fill(std::begin(arrMem), std::end(arrMem), 0.0f);
      const int nAvail = std::min(kMemL, mode.m_nBlockL - nStateStart);
      std::reverse_copy(pResidual + nStateStart, pResidual + nStateStart + nAvail,
                        arrMem + kMemL - nAvail);
      for (int s = 0; s < nBackward; s++) {
        const int nSub = nStart - 2 - s;
        const sStep back{arrMem, kMemL, kSubL, nCoded++, nSub, nSub * kSubL, true};
        code(back, arrVec);
        std::reverse_copy(arrVec, arrVec + kSubL, pResidual + back.nPos);
        std::memmove(arrMem, arrMem + kSubL, sizeof(float) * (kMemL - kSubL));
        std::memcpy(arrMem + kMemL - kSubL, arrVec, sizeof(float) * kSubL);
      }
    }
  }
};
