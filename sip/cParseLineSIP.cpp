#include "sip/cParseLineSIP.h"

#include "sip/cTextSIP.h"

bool cParseLineSIP::ReadLine(cKytSTR& line) {
  uint32_t nEnd = m_pPacketSIP.FindSTR("\r\n", m_nStartIndex);
  if (nEnd == cKytSTR::KYT_NOT_FOUND || nEnd == m_nStartIndex) return false;
  cTextSIP::Mid(m_pPacketSIP, m_nStartIndex, nEnd, line);
  m_nStartIndex = nEnd + 2;
  return true;
}
