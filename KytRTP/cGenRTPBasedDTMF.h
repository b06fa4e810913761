#pragma once

#include <cstdint>
#include <deque>

#include "KytRTP/cRTPBasedDTMFObj.h"

// The telephone events a line has to send (RFC 4733), one 20 ms tick at a time. Each event has
// the timestamp of the instant it starts, a packet a tick with the duration so far, then three
// end packets with its final duration; the next queued event starts a gap after that one ended.
class cGenRTPBasedDTMF {
 public:
  static constexpr int kDurationMs = 100;
  static constexpr int kEndPackets = 3;
  // Ticks between an event's last end packet and the start of the next one.
  static constexpr int kGapTicks = 2;

  // Queues one event.
  void DigitDTMF(int nEvent, int nPayloadType);
  // One tick. When an event is due, answers true with its packet for this tick; uClock is the
  // stream's timestamp now, which a starting event takes as its own.
  bool GenDigitDTMF(uint32_t uClock, cRTPBasedDTMFObj& packet);
  // While events are being sent, queued or waiting for their gap, the microphone stays silent.
  bool IsBusy() const { return m_bActive || m_nGapLeft > 0 || !m_Queue.empty(); }
  // Drops the queued events and the one being sent.
  void DeleteAll();

 private:
  struct sEvent {
    int nEvent = 0;
    int nPayloadType = 0;
  };
  std::deque<sEvent> m_Queue;
  bool m_bActive = false;
  sEvent m_Current;
  uint32_t m_uStart = 0;
  int m_nElapsed = 0;
  int m_nEndSent = 0;
  int m_nGapLeft = 0;
};
