#include "audio/cQueueObject.h"

cQueueObject::cQueueObject(uint32_t nSeqNo, int nKytCodecNo, uint32_t uTimeStamp, const void* pData,
                           int nDataSize)
    : m_nSeqNo(nSeqNo),
      m_nKytCodecNo(nKytCodecNo),
      m_uTimeStamp(uTimeStamp),
      m_nDataSize(nDataSize > 0 ? nDataSize : 0),
      m_pData(static_cast<const uint8_t*>(pData),
              static_cast<const uint8_t*>(pData) + m_nDataSize) {}

void cQueueObject::Assign(uint32_t nSeqNo, int nKytCodecNo, uint32_t uTimeStamp, const void* pData,
                          int nDataSize) {
  m_nSeqNo = nSeqNo;
  m_nKytCodecNo = nKytCodecNo;
  m_uTimeStamp = uTimeStamp;
  m_nDataSize = nDataSize > 0 ? nDataSize : 0;
  m_pData.assign(static_cast<const uint8_t*>(pData),
                 static_cast<const uint8_t*>(pData) + m_nDataSize);
  m_bCoded = false;
}

std::unique_ptr<cQueueObject> cQueueObject::CloneObject() const {
  return std::make_unique<cQueueObject>(*this);
}
