#pragma once

#include <cstdint>

#include "util/cKytSTR.h"

// One pending transaction of a cTick: what to send again, where, and how far the schedule got.
class cTickData {
 public:
  static constexpr int32_t kIdle = -128;

  // Back to the idle state of a new slot.
  void Reset();

  int32_t m_nTickCount = kIdle;
  int32_t m_nTickId = 0;
  cKytSTR m_pTickData;
  cKytSTR m_pToIP;
  int32_t m_nToPort = 0;
  int32_t m_nTrigIndex = 0;
  bool m_bCallTickEvent = false;
};
