#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "audio/cCircularBUFF.h"
#include "audio/cJitterQueue.h"

// Between a line's receive path and the 20 ms mix: orders decoded packets by RTP timestamp,
// waits until enough are queued before it plays, conceals a missing packet by repeating the last
// one a few times, and adapts its start-up depth to the network. Sequence numbers (16-bit) and
// timestamps (32-bit) are compared in serial-number arithmetic, so wrapping streams neither
// reorder nor count false losses.
class cJitterBuffer {
 public:
  static constexpr int kStartThreshold = 8;
  static constexpr int kMinThreshold = 2;
  static constexpr int kMaxThreshold = 20;
  static constexpr int kMaxPlays = 5;
  // A peer sending faster than we play must not make the queue grow without bound.
  static constexpr int kMaxQueued = 100;

  cJitterBuffer();

  // Queues a copy of the packet's PCM. An exact duplicate (same sequence number and timestamp as
  // a queued packet or as the one just played) is dropped.
  void InsertPacket(uint32_t nSeqNo, int nKytCodecNo, uint32_t uTimeStamp, const void* pPCM,
                    int nSize);
  // Fills pOut with the next unit to play; false, and pOut untouched, when there is none.
  bool GetUnitLengthPCM(void* pOut);
  void ResetBuffer();

  int GetCountPacketTotal();
  // Packets counted lost since the last call; the count restarts at 0.
  int GetCountPacketLost();
  int GetSizeJitterBuffer();
  int GetRestartThreshold();

 private:
  std::unique_ptr<cQueueObject> GetNextPacket();
  void TakeOldestPacket();
  void CalcRestartThreshold();
  void CountOutput();

  std::recursive_mutex m_Lock;
  std::unique_ptr<cJitterQueue> m_pJitterQueue;
  std::unique_ptr<cCircularBUFF> m_pCircularBUFF;
  int m_nJitterBufferDepth = 0;
  int m_nJitterBufferSize = 0;
  int m_nRestartThreshold = kStartThreshold;
  std::unique_ptr<cQueueObject> m_pLastOutputPacket;
  int m_nLastPacketRepeatCount = 0;
  bool m_bSilenceIntervalInProgress = true;
  bool m_bDynamicJitterBuffer = true;
  int m_nNumRepeats = 0;
  int m_nNumPackets = 0;
  int m_nPacketLostCount = 0;
  int m_nPacketTotalCount = 0;
};
