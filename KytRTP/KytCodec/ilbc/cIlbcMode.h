#pragma once

// Frame geometry of one iLBC mode (20 or 30 ms frames).
class cIlbcMode {
 public:
  static constexpr int kSubL = 40;       // samples per sub-block
  static constexpr int kStateLen = 80;   // two sub-blocks hold the start state
  static constexpr int kOrder = 10;      // LPC order
  static constexpr int kStages = 3;      // codebook stages
  static constexpr int kMemL = 147;      // codebook memory, 40-sample targets
  static constexpr int kStateMemL = 85;  // codebook memory, start-state remainder
  static constexpr int kMaxBlockL = 240;
  static constexpr int kMaxSub = 6;
  static constexpr int kMaxCbSub = 4;  // 40-sample sub-blocks coded by codebook
  static constexpr int kMaxLsfSets = 2;
  static constexpr int kMaxStateShort = 58;

  // nModeMs: 20 selects 20 ms frames, anything else 30 ms.
  explicit cIlbcMode(int nModeMs);

  int m_nModeMs;
  int m_nBlockL;      // 160 | 240
  int m_nSub;         // 4 | 6
  int m_nCbSub;       // 2 | 4
  int m_nLsfSets;     // 1 | 2
  int m_nStateShort;  // 57 | 58
  int m_nBytes;       // 38 | 50
  int m_nStartMax;    // highest valid start-state position, 3 | 5
};
