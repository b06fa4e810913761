#pragma once

#include <cstdint>

#include "util/cKytSTR.h"

// One timing slot of registration: what fires, when next (in cRegTick's second count), and how
// often.
class cRegTickData {
 public:
  // Disabled and cleared.
  void Reset();

  bool m_bTickEnable = false;
  int32_t m_nTickId = 0;
  cKytSTR m_pTickData;
  int32_t m_nTriggEvent = 0;
  int32_t m_nTickTime = 0;
};
