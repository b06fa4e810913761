#pragma once

#include <cstdint>
#include <vector>

// Packet-loss concealment for decoded 8000 Hz speech, after the method of ITU-T G.711 Appendix I:
// a lost stretch is filled by repeating the last pitch period of what was played (two periods
// after 10 ms, three after 20 ms, so that a held note does not buzz), whole for 10 ms, then
// 20 % quieter every 10 ms and silent after 60 ms; the first sound after the loss is overlapped
// with the synthetic continuation, 4 ms plus 4 ms for every further 10 ms lost.
class cLossConcealer {
 public:
  static constexpr int kHistory = 390;
  static constexpr int kMinPitch = 40;
  static constexpr int kMaxPitch = 120;
  // Concealment lasts 60 ms, then silence.
  static constexpr int kMaxConcealed = 480;

  cLossConcealer();

  // Sound received and about to be played: it joins the history and, just after a loss, its
  // start is blended with the concealment.
  void OnGoodSamples(int16_t* pSamples, int nCount);
  // nCount samples of concealment, continuing any concealment before.
  void Conceal(int16_t* pOut, int nCount);
  // Samples concealed since the last sound received.
  int GetConcealed() const { return m_nConcealed; }
  void Reset();

 private:
  void AddHistory(const int16_t* pSamples, int nCount);
  int FindPitch() const;
  // The next synthetic sample, before attenuation.
  int16_t NextSynthetic();

  std::vector<int16_t> m_History;
  // The periods repeated: the last m_nPeriods pitch periods of the history at the loss.
  std::vector<int16_t> m_PitchBuffer;
  int m_nPitch = kMinPitch;
  int m_nPeriods = 1;
  int m_nReadPos = 0;
  int m_nConcealed = 0;
};
