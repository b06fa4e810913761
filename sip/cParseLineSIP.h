#pragma once

#include <cstdint>

#include "util/cKytSTR.h"

// Cuts the head of a SIP message into lines separated by CRLF.
class cParseLineSIP {
 public:
  explicit cParseLineSIP(const cKytSTR& packet)
      : m_pPacketSIP(packet), m_nLength(m_pPacketSIP.GetLEN()) {}

  // The next line without its CRLF. False when no CRLF follows or the line is empty: both end
  // the head.
  bool ReadLine(cKytSTR& line);

 private:
  cKytSTR m_pPacketSIP;
  uint32_t m_nLength;  // kept so that each line costs its own length, not the whole head's
  uint32_t m_nStartIndex = 0;
};
