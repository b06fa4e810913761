#pragma once

#include <cstdint>
#include <memory>
#include <vector>

// One packet waiting in a jitter queue: decoded PCM, or a coded payload to be decoded as it plays.
class cQueueObject {
 public:
  cQueueObject(uint32_t nSeqNo, int nKytCodecNo, uint32_t uTimeStamp, const void* pData,
               int nDataSize);

  std::unique_ptr<cQueueObject> CloneObject() const;
  // Becomes a new packet (PCM), keeping the storage it has.
  void Assign(uint32_t nSeqNo, int nKytCodecNo, uint32_t uTimeStamp, const void* pData,
              int nDataSize);

  uint32_t m_nSeqNo;
  int m_nKytCodecNo;
  uint32_t m_uTimeStamp;
  int m_nDataSize;
  std::vector<uint8_t> m_pData;
  bool m_bCoded = false;
};
