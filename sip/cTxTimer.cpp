#include "sip/cTxTimer.h"

void cTxTimer::Start(const cTxSchedule& schedule) {
  m_pSchedule = schedule;
  m_nElapsedMs = 0;
  m_nNextResendMs = m_pSchedule.NextResendAfter(0);
  m_bActive = true;
}

void cTxTimer::Stop() { *this = cTxTimer(); }

cTxTimer::eTxStep cTxTimer::Step(int64_t nTickMs) {
  if (!m_bActive) return eTxStep::NONE;
  m_nElapsedMs += nTickMs;
  int64_t nGiveUpMs = m_pSchedule.GetGiveUpMs();
  if (nGiveUpMs != cTxSchedule::kNever && m_nElapsedMs >= nGiveUpMs) {
    Stop();
    return eTxStep::TIMEOUT;
  }
  if (m_nNextResendMs == cTxSchedule::kNever || m_nElapsedMs < m_nNextResendMs)
    return eTxStep::NONE;
  m_nNextResendMs = m_pSchedule.NextResendAfter(m_nElapsedMs);
  return eTxStep::RESEND;
}

int64_t cTxTimer::GetMsToNext() const {
  if (!m_bActive) return -1;
  int64_t nNextMs = m_nNextResendMs;
  int64_t nGiveUpMs = m_pSchedule.GetGiveUpMs();
  if (nNextMs == cTxSchedule::kNever || (nGiveUpMs != cTxSchedule::kNever && nGiveUpMs < nNextMs))
    nNextMs = nGiveUpMs;
  return nNextMs == cTxSchedule::kNever ? -1 : nNextMs - m_nElapsedMs;
}
