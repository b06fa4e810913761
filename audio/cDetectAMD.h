#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "util/cKytNoCopy.h"

// Answering-machine detection for one line: once the far end starts talking, collects the
// received audio for the analysis time and counts its pauses; enough long pauses mean a human.
class cDetectAMD : private cKytNoCopy {
 public:
  static constexpr int kStartAnalysisTime = 6000;
  static constexpr int kStartSilenceTimeMs = 300;
  static constexpr int kStartSilenceCount = 2;

  // pfnDetected receives the verdict: true for a human, false for a machine.
  explicit cDetectAMD(std::function<void(bool)> pfnDetected);
  ~cDetectAMD();

  // Arms with the given analysis time (tick units), pause length (ms) and pause count, or
  // disarms; either way no audio is collected until the next StartAMD.
  void DetectAMD(bool bEnable, int nAnalysisTime, int nSilenceTimeMs, int nSilenceCount);
  // RTP started: armed with the start values and accepting audio.
  void StartAMD();
  // RTP stopped: no audio accepted, nothing collected.
  void StopAMD();
  // One received block of decoded PCM.
  void OnSocketRecv(uint32_t nSeqNo, int nKytCodecNo, uint32_t uTimeStamp, const void* pPCM,
                    int nSize);
  // The line adds 10 per 20 ms unit; the verdict comes when the analysis time is reached.
  void OnTimerTick(int nElapsed);

  // The number of pauses of at least nMinMs in 16-bit PCM, found in 10 ms frames: frames less
  // than 10 dB above the quietest one and 20 dB below the loudest.
  static int CountPauses(const int16_t* pSamples, int nSamples, int nMinMs);

 private:
  void ClearCollection();

  std::function<void(bool)> m_pfnDetected;
  bool m_bEnable = false;
  bool m_bAllowSocket = false;
  bool m_bDetectStart = false;
  // The collected audio: blocks in RTP timestamp order (serially; a block with the timestamp of
  // one held goes after it), their bytes in arrival order in one buffer.
  struct sBlock {
    uint32_t uTimeStamp;
    size_t nOffset;
    int nSize;
  };
  std::vector<sBlock> m_Blocks;
  std::vector<uint8_t> m_CollectedPCM;
  int64_t m_nDataSizePCM = 0;
  int m_nTickCount = 0;
  int m_nAnalysisTime = kStartAnalysisTime;
  int m_nDetectSilenceTime = kStartSilenceTimeMs;
  int m_nDetectSilenceCount = kStartSilenceCount;
};
