#include "KytRTP/KytCodec/ilbc/cIlbcMode.h"

cIlbcMode::cIlbcMode(int nModeMs) {
  const bool b20 = nModeMs == 20;
  m_nModeMs = b20 ? 20 : 30;
  m_nBlockL = b20 ? 160 : 240;
  m_nSub = b20 ? 4 : 6;
  m_nCbSub = m_nSub - 2;
  m_nLsfSets = b20 ? 1 : 2;
  m_nStateShort = b20 ? 57 : 58;
  m_nBytes = b20 ? 38 : 50;
  m_nStartMax = m_nSub - 1;
}
