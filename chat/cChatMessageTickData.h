#pragma once

#include <cstdint>

#include "sip/cTxTimer.h"
#include "util/cKytSTR.h"

// One MESSAGE waiting for its final response: what to resend, where, and what to report.
struct cChatMessageTickData {
  int32_t m_nSeqNo = 0;
  cKytSTR m_pTickData;  // the request text
  cKytSTR m_pToIP;
  int32_t m_nToPort = 0;
  cKytSTR m_pUniqueKey;
  int32_t m_nUserValue32bit = 0;
  int32_t m_nMessageType = 0;     // 101 plain text, 102 HTML, 103 typing
  bool m_bStopTickEvent = false;  // a provisional response stops resending, not the time-out
  cKytSTR m_pMsgText;
  cKytSTR m_pUserName;
  int32_t m_nAuthCount = 0;  // challenges answered for this message so far
  cTxTimer m_pTxTimer;
};
