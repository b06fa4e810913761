#pragma once

#include <cstdint>
#include <functional>

#include "platform/cMainLoop.h"
#include "util/cKytNoCopy.h"

// The one repeating one-second timer of the user agent. Every SIP retransmission, time-out,
// refresh and keep-alive is counted in its ticks. The action is the user agent object's
// OnOneSecondTick; it runs on the main thread.
class cTickTimer : private cKytNoCopy {
 public:
  // The length of one tick, the step every schedule counted in these ticks moves by.
  static constexpr uint32_t kTickMs = 1000;

  cTickTimer(cMainLoop* pMainLoop, std::function<void()> onOneSecondTick);
  ~cTickTimer();

  // Starts the repeating timer; a running timer is left as it is. False when the loop refuses.
  bool StartOneSecondTick();
  void StopOneSecondTick();
  bool IsRunning() const { return m_nTimerId != 0; }

 private:
  void OnTimerTicked();

  cMainLoop* m_pMainLoop;
  std::function<void()> m_OnOneSecondTick;
  uint32_t m_nTimerId = 0;  // 0 while stopped
};
