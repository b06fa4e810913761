#include "audio/cRecordDataPCM.h"

#include <algorithm>

cRecordDataPCM::cRecordDataPCM(const int16_t* pUnit) {
  std::copy(pUnit, pUnit + cAudioUnit::kSamples, m_pDataWritePCM);
}
