#include "sip/cTickTimer.h"

#include <utility>

cTickTimer::cTickTimer(cMainLoop* pMainLoop, std::function<void()> onOneSecondTick)
    : m_pMainLoop(pMainLoop), m_OnOneSecondTick(std::move(onOneSecondTick)) {}

cTickTimer::~cTickTimer() { StopOneSecondTick(); }

bool cTickTimer::StartOneSecondTick() {
  if (m_nTimerId != 0) return true;
  if (m_pMainLoop == nullptr) return false;
  m_nTimerId = m_pMainLoop->StartTimer(kTickMs, [this] { OnTimerTicked(); });
  return m_nTimerId != 0;
}

void cTickTimer::StopOneSecondTick() {
  if (m_nTimerId == 0) return;
  m_pMainLoop->StopTimer(m_nTimerId);
  m_nTimerId = 0;
}

void cTickTimer::OnTimerTicked() {
  if (m_OnOneSecondTick) m_OnOneSecondTick();
}
