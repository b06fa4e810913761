#include "sip/cParseLineSIP.h"

#include <cstring>

bool cParseLineSIP::ReadLine(cKytSTR& line) {
  if (m_nStartIndex >= m_nLength) return false;
  // Searched within the known length: a search up to the terminator would measure the whole
  // remaining head at every line.
  const char* pText = m_pPacketSIP.GetDATA();
  uint32_t nEnd = m_nStartIndex;
  while (nEnd + 1 < m_nLength) {
    const void* pCR = memchr(pText + nEnd, '\r', m_nLength - 1 - nEnd);
    if (pCR == nullptr) {
      nEnd = m_nLength;
      break;
    }
    nEnd = static_cast<uint32_t>(static_cast<const char*>(pCR) - pText);
    if (pText[nEnd + 1] == '\n') break;
    ++nEnd;
  }
  if (nEnd + 1 >= m_nLength || nEnd == m_nStartIndex) return false;
  m_pPacketSIP.SubSTR(m_nStartIndex, nEnd - m_nStartIndex, line);
  m_nStartIndex = nEnd + 2;
  return true;
}
