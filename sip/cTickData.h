#pragma once

#include <cstdint>

#include "sip/cTxTimer.h"
#include "util/cKytSTR.h"

// The pending transaction of a cTick: what to send again, where, and how far its schedule got.
class cTickData {
 public:
  // Back to the idle state.
  void Reset();

  int32_t m_nTickId = 0;
  cKytSTR m_pTickData;
  cKytSTR m_pToIP;
  int32_t m_nToPort = 0;
  cTxTimer m_pTxTimer;
};
