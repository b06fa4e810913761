#pragma once

#include "KytRTP/KytCodec/ilbc/cIlbcMode.h"

// The adaptive codebook built from a memory of already decoded excitation.
// Index layout for one target length: base vectors (delays nTargetL ..
// nMemL), then for 40-sample targets 20 augmented vectors (delays 20..39),
// then the same two sections taken from the FIR-expanded memory.
class cIlbcCodebook {
 public:
  static constexpr int kFilterLen = 8;
  static constexpr int kAugmented = 20;
  // Search range of the later stages of the first 40-sample sub-block; their
  // 7-bit indices skip the unused part of each section.
  static constexpr int kNarrowRange = 44;

  // Vectors in one section (base or expanded, augmented ones included).
  static int SectionSize(int nMemL, int nTargetL);
  static int Size(int nMemL, int nTargetL) { return 2 * SectionSize(nMemL, nTargetL); }

  // Maps a 7-bit index of a narrow stage to the full layout and back.
  static int WidenIndex(int nIndex, int nMemL, int nTargetL);
  static int NarrowIndex(int nIndex, int nMemL, int nTargetL);

  // pOut[k] = sum_i c[i] * pMem[k - i + 4], memory zero outside [0, nMemL).
  static void ExpandMemory(const float* pMem, int nMemL, float* pOut);

  // Codebook vector nIndex (< Size()) from the memory and its expansion.
  static void GetVector(const float* pMem, const float* pExpMem, int nMemL, int nTargetL,
                        int nIndex, float* pOut);

  // Sum of the three gain-scaled stage vectors. Indices in full layout and
  // gain indices must be valid.
  static void Decode(const float* pMem, int nMemL, int nTargetL, const int* pIndex,
                     const int* pGainIndex, float* pOut);

  // The augmented vector for a delay of 20..39 samples.
  static void AugmentedVector(const float* pBuf, int nMemL, int nDelay, float* pOut);
};
