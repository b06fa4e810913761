#pragma once

#include <cstdint>

#include "sip/cTxTimer.h"
#include "util/cKytSTR.h"

// One timing slot of registration: what fires, and where it stands on its schedule.
class cRegTickData {
 public:
  // Disabled and cleared.
  void Reset();

  int32_t m_nTickId = 0;
  cKytSTR m_pTickData;
  cTxTimer m_pTxTimer;
  int64_t m_nArmedTick = -1;  // cRegTick's tick count when armed
};
