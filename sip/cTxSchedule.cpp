#include "sip/cTxSchedule.h"

#include <utility>

cTxSchedule::cTxSchedule(std::vector<int64_t> resendMs, int64_t nGiveUpMs, int64_t nRepeatMs)
    : m_pResendMs(std::move(resendMs)), m_nGiveUpMs(nGiveUpMs), m_nRepeatMs(nRepeatMs) {}

const cTxSchedule& cTxSchedule::CallRequest() {
  static const cTxSchedule kSchedule({3000, 5000, 7000, 9000, 11000, 13000, 15000, 17000}, 18000);
  return kSchedule;
}

const cTxSchedule& cTxSchedule::CallTimeOut() {
  static const cTxSchedule kSchedule({}, 16000);
  return kSchedule;
}

const cTxSchedule& cTxSchedule::ChatRequest() {
  static const cTxSchedule kSchedule({1000, 3000, 5000, 7000, 9000}, 10000);
  return kSchedule;
}

const cTxSchedule& cTxSchedule::RegisterResend() {
  static const cTxSchedule kSchedule = Periodic(2000);
  return kSchedule;
}

const cTxSchedule& cTxSchedule::RegisterGiveUp() {
  static const cTxSchedule kSchedule({}, 16000);
  return kSchedule;
}

cTxSchedule cTxSchedule::Periodic(int64_t nPeriodMs) { return cTxSchedule({}, kNever, nPeriodMs); }

cTxSchedule cTxSchedule::Doubling(int64_t nT1Ms, int64_t nCapMs, int64_t nGiveUpMs) {
  std::vector<int64_t> resendMs;
  int64_t nAt = 0;
  int64_t nInterval = nT1Ms < 1 ? 1 : nT1Ms;
  while (nInterval < nCapMs && nAt + nInterval < nGiveUpMs) {
    nAt += nInterval;
    resendMs.push_back(nAt);
    nInterval *= 2;
  }
  // Past the doubling the interval stays at the cap.
  return cTxSchedule(std::move(resendMs), nGiveUpMs, nInterval < nCapMs ? 0 : nCapMs);
}

int64_t cTxSchedule::NextResendAfter(int64_t nAfterMs) const {
  for (int64_t nAt : m_pResendMs)
    if (nAt > nAfterMs) return nAt;
  if (m_nRepeatMs <= 0) return kNever;
  int64_t nLast = m_pResendMs.empty() ? 0 : m_pResendMs.back();
  return nLast + ((nAfterMs - nLast) / m_nRepeatMs + 1) * m_nRepeatMs;
}
