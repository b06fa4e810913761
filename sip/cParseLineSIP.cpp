#include "sip/cParseLineSIP.h"

#include <string>

bool cParseLineSIP::ReadLine(cKytSTR& line) {
  if (m_nStartIndex >= m_nLength) return false;
  // A plain scan: library searches would measure the whole remaining head at every line.
  const char* pText = m_pPacketSIP.GetDATA();
  uint32_t nEnd = m_nStartIndex;
  while (nEnd + 1 < m_nLength && !(pText[nEnd] == '\r' && pText[nEnd + 1] == '\n')) ++nEnd;
  if (nEnd + 1 >= m_nLength || nEnd == m_nStartIndex) return false;
  line = std::string(pText + m_nStartIndex, pText + nEnd).c_str();
  m_nStartIndex = nEnd + 2;
  return true;
}
