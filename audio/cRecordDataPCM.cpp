#include "audio/cRecordDataPCM.h"

#include <algorithm>

cRecordDataPCM::cRecordDataPCM(const int16_t* pUnit) {
  std::copy(pUnit, pUnit + 160, m_pDataWritePCM);
}
