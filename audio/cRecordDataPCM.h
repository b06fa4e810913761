#pragma once

#include <cstdint>

// One recorded 20 ms unit.
class cRecordDataPCM {
 public:
  explicit cRecordDataPCM(const int16_t* pUnit);
  const int16_t* GetBUFF() const { return m_pDataWritePCM; }

 private:
  int16_t m_pDataWritePCM[160];
};
