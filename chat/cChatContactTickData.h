#pragma once

#include <cstdint>

#include "sip/cTxTimer.h"
#include "util/cKytSTR.h"

// One retransmission slot of a contact (SUBSCRIBE or NOTIFY).
struct cChatContactTickData {
  cKytSTR m_pTickData;  // the request text
  cKytSTR m_pToIP;
  int32_t m_nToPort = 0;
  cTxTimer m_pTxTimer;
};
