#pragma once

#include <cstdint>

#include "audio/cAudioUnit.h"

// One recorded unit.
class cRecordDataPCM {
 public:
  explicit cRecordDataPCM(const int16_t* pUnit);
  const int16_t* GetBUFF() const { return m_pDataWritePCM; }

 private:
  int16_t m_pDataWritePCM[cAudioUnit::kSamples];
};
