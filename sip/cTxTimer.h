#pragma once

#include <cstdint>

#include "sip/cTxSchedule.h"

// Where one pending request stands on its cTxSchedule. The owner steps it once per tick of its
// clock and acts on the answer; a time-out leaves the timer idle, a resend keeps it running.
class cTxTimer {
 public:
  enum class eTxStep { NONE, RESEND, TIMEOUT };

  // Restarts from the first send, replacing whatever was running.
  void Start(const cTxSchedule& schedule);
  void Stop();
  bool IsActive() const { return m_bActive; }

  // Moves the time on by nTickMs. A give-up due wins over a resend due; resends that fell due
  // within one tick count as one.
  eTxStep Step(int64_t nTickMs);

  // Milliseconds until the next resend or the give-up, whichever comes first; -1 when idle or
  // nothing is left to happen.
  int64_t GetMsToNext() const;

 private:
  cTxSchedule m_pSchedule;
  int64_t m_nElapsedMs = 0;
  int64_t m_nNextResendMs = cTxSchedule::kNever;
  bool m_bActive = false;
};
