#pragma once

#include <cstdint>

#include "KytRTP/KytCodec/ilbc/cIlbcMode.h"

// Packet-loss concealment in the excitation domain: a lost frame gets a
// pitch-periodic repetition of the last excitation mixed with randomly
// picked past samples (more random the less periodic the past was), faded
// out over long bursts. The first frame received after a loss is merged
// with the continuation of the concealment so that no step is heard.
class cIlbcPlc {
 public:
  explicit cIlbcPlc(const cIlbcMode& mode);

  // Writes m_nBlockL samples of substitute excitation.
  void Conceal(float* pExcitation);
  // Called with every decoded frame's excitation (may modify it).
  void Received(float* pExcitation);
  // Consecutive frames concealed so far.
  int LostFrames() const { return m_nLost; }

 private:
  static constexpr int kMinLag = 20;
  static constexpr int kMaxLag = 120;
  static constexpr int kMerge = 40;  // overlap of concealment and new frame

  void AnalysePast();
  float NextRandom();
  // Sample nIndex of the last period of the past excitation, repeated.
  float Periodic(int nIndex) const;

  const cIlbcMode& m_mode;
  float m_arrPast[cIlbcMode::kMaxBlockL] = {};
  int m_nLag = kMaxLag;
  float m_fVoicing = 0.0f;
  int m_nLost = 0;
  uint32_t m_nSeed = 777;
};
