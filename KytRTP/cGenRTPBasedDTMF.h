#pragma once

#include <cstdint>
#include <deque>

#include "KytRTP/cRTPBasedDTMFObj.h"

// The telephone events a line still has to send, as ready-made packets, and the microphone
// units that stay silent after them.
class cGenRTPBasedDTMF {
 public:
  static constexpr int kPacketsPerEvent = 8;
  static constexpr int kSilenceUnitsPerFirstPacket = 18;

  // Queues the eight packets of one event.
  void DigitDTMF(int nEvent, int nPayloadType);
  bool IsDigitAvail() const { return !m_pListDigitDTMF.empty(); }
  // Takes the oldest packet; false when none is queued.
  bool GenDigitDTMF(cRTPBasedDTMFObj& packet);
  // True (and one unit fewer to go) while the microphone must stay silent after an event.
  bool IsStopVoice();
  // Drops the queued packets; the silence still owed stays.
  void DeleteAll() { m_pListDigitDTMF.clear(); }

 private:
  std::deque<cRTPBasedDTMFObj> m_pListDigitDTMF;
  int m_nStopDataCount = 0;
};
