#pragma once

#include <cstdint>
#include <vector>

// When a pending request is sent again and when it is given up, in milliseconds from the first
// send. The listed resend instants may be followed by resends at a fixed period; a schedule may
// have no resends at all (a bare time-out) or no give-up (a refresh that repeats until killed).
// Milliseconds rather than ticks, so that a finer clock can drive the same schedules.
class cTxSchedule {
 public:
  static constexpr int64_t kNever = -1;

  cTxSchedule() = default;
  // resendMs positive and ascending; nRepeatMs 0 when nothing follows the listed instants.
  cTxSchedule(std::vector<int64_t> resendMs, int64_t nGiveUpMs, int64_t nRepeatMs = 0);

  // A call's request: again at 3, 5 ... 17 s, given up at 18 s.
  static const cTxSchedule& CallRequest();
  // A call waiting for an answer with nothing to resend: given up at 16 s.
  static const cTxSchedule& CallTimeOut();
  // MESSAGE, SUBSCRIBE and NOTIFY: again at 1, 3, 5, 7 and 9 s, given up at 10 s.
  static const cTxSchedule& ChatRequest();
  // REGISTER: again every 2 s until killed. Its give-up runs apart, so that the copy due in the
  // same second still leaves before the failure.
  static const cTxSchedule& RegisterResend();
  static const cTxSchedule& RegisterGiveUp();
  // Every nPeriodMs until killed.
  static cTxSchedule Periodic(int64_t nPeriodMs);
  // The RFC 3261 retransmission: first after nT1Ms, each interval twice the one before up to
  // nCapMs (T2 for a non-INVITE; the give-up for an INVITE, whose intervals only double), given
  // up at nGiveUpMs (64*T1 for Timer B and F).
  static cTxSchedule Doubling(int64_t nT1Ms, int64_t nCapMs, int64_t nGiveUpMs);

  // The first resend instant later than nAfterMs; kNever when none is left.
  int64_t NextResendAfter(int64_t nAfterMs) const;
  int64_t GetGiveUpMs() const { return m_nGiveUpMs; }
  // The same give-up without any resend: over a stream the transport itself delivers, so only
  // the transaction's time-out (Timer B or F) runs (RFC 3261 sections 17.1.1.2 and 17.1.2.2).
  cTxSchedule GiveUpOnly() const { return cTxSchedule({}, m_nGiveUpMs); }

 private:
  std::vector<int64_t> m_pResendMs;
  int64_t m_nGiveUpMs = kNever;
  int64_t m_nRepeatMs = 0;
};
