#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "audio/cCircularBUFF.h"
#include "audio/cJitterQueue.h"

class cFrameDecoder;
class cLossConcealer;

// Between a line's receive path and the 20 ms mix: orders packets by RTP timestamp and
// plays them at a steady playout point. It waits until its target depth is queued before it
// plays; a packet older than the playout point is dropped, never played out of order; a missing
// packet is concealed from the pitch of what was played (cLossConcealer), fading out over 60 ms,
// or, after a packet kept coded, by its codec's own decoder (cFrameDecoder).
// The target depth grows when packets come late and shrinks slowly while the network is calm; the
// depth itself is only trimmed on a quiet packet, so a steady sound is never cut. Sequence numbers
// (16-bit) and timestamps (32-bit) are compared in serial-number arithmetic.
class cJitterBuffer {
 public:
  static constexpr int kStartThreshold = 6;
  static constexpr int kMinThreshold = 2;
  static constexpr int kMaxThreshold = 20;
  // A peer sending faster than we play must not make the queue grow without bound.
  static constexpr int kMaxQueued = 100;
  // Outputs over which the network must stay calm before the target shrinks by one packet.
  static constexpr int kCalmWindow = 250;

  cJitterBuffer();
  ~cJitterBuffer();

  // Queues a copy of the packet's PCM. An exact duplicate, or a packet older than the playout
  // point (late), is dropped; one far older restarts the stream.
  void InsertPacket(uint32_t nSeqNo, int nKytCodecNo, uint32_t uTimeStamp, const void* pPCM,
                    int nSize);
  // Queues a coded payload, by the same rules, to be decoded by the frame decoder as it plays.
  void InsertCoded(uint32_t nSeqNo, int nKytCodecNo, uint32_t uTimeStamp, const void* pPayload,
                   int nSize);
  // Decodes the packets kept coded; without one they are dropped as they come to play.
  void SetFrameDecoder(cFrameDecoder* pDecoder) { m_pFrameDecoder = pDecoder; }
  // Fills pOut with the next unit to play; false, and pOut untouched, when there is none.
  bool GetUnitLengthPCM(void* pOut);
  // Back to waiting for a new stream; the lost count is kept.
  void ResetBuffer();

  int GetCountPacketTotal();
  // Packets counted lost since the last call; the count restarts at 0.
  int GetCountPacketLost();
  // Packets that came after their playout time and were dropped.
  int GetCountPacketLate();
  int GetSizeJitterBuffer();
  // The target depth, in packets.
  int GetRestartThreshold();

 private:
  // A packet object for these bytes: the spare one when there is one.
  std::unique_ptr<cQueueObject> MakePacket(uint32_t nSeqNo, int nKytCodecNo, uint32_t uTimeStamp,
                                           const void* pData, int nSize);
  void Insert(std::unique_ptr<cQueueObject> pObject);
  std::unique_ptr<cQueueObject> GetNextPacket();
  // The oldest packet as PCM: one kept coded is decoded now, in stream order (null if it fails).
  std::unique_ptr<cQueueObject> TakeDecodedPacket();
  std::unique_ptr<cQueueObject> Conceal(bool bAdvance);
  std::unique_ptr<cQueueObject> TakeOldestPacket();
  void DropOldestPacket();
  void RaiseTarget();
  void CountOutput();

  std::recursive_mutex m_Lock;
  std::unique_ptr<cJitterQueue> m_pJitterQueue;
  std::unique_ptr<cCircularBUFF> m_pCircularBUFF;
  int m_nJitterBufferDepth = 0;
  int m_nRestartThreshold = kStartThreshold;
  std::unique_ptr<cLossConcealer> m_pConcealer;
  cFrameDecoder* m_pFrameDecoder = nullptr;
  // The codec whose decoder conceals the next loss (-1: the last packet played was PCM).
  int m_nConcealingCodec = -1;
  // Samples concealed since the last packet played.
  int m_nConcealed = 0;
  // Samples of the last packet played: the length of a concealed frame (0: nothing to conceal).
  int m_nLastFrameSamples = 0;
  bool m_bPlaying = false;
  // The timestamp the next frame played must carry; valid once a stream has played.
  bool m_bHaveNext = false;
  uint32_t m_uNextTimeStamp = 0;
  // This window's lowest depth and its trouble (underruns, late packets).
  int m_nWindowOutputs = 0;
  int m_nWindowMinDepth = kMaxQueued;
  int m_nWindowTrouble = 0;
  int m_nOutputsSinceRaise = 0;
  bool m_bDropPending = false;
  bool m_bInsertPending = false;
  // A quiet packet to be played once more: the buffer deepens by a frame unheard.
  std::unique_ptr<cQueueObject> m_pInserted;
  // The last packet played, kept with its storage for the next one to arrive: queuing a packet
  // then allocates nothing.
  std::unique_ptr<cQueueObject> m_pSpare;
  int m_nPacketLostCount = 0;
  int m_nPacketLateCount = 0;
  int m_nPacketTotalCount = 0;
};
