#pragma once

#include <cstdint>

#include "util/cKytSTR.h"

// One retransmission slot of a contact (SUBSCRIBE or NOTIFY).
struct cChatContactTickData {
  cKytSTR m_pTickData;  // the request text
  cKytSTR m_pToIP;
  int32_t m_nToPort = 0;
  int32_t m_nTrigIndex = -1;  // -1 while idle
  int32_t m_nTickCount = 0;
};
