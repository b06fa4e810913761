#include "audio/cCircularBUFF.h"

#include <algorithm>
#include <cstring>

cCircularBUFF::cCircularBUFF(int nSize) { SetSizeBUFF(nSize); }

void cCircularBUFF::SetSizeBUFF(int nSize) {
  std::lock_guard<std::mutex> lock(m_Lock);
  m_nTotalSize = std::max(nSize, 0);
  m_pBUFF.assign(m_nTotalSize, 0);
  m_nAvailableCount = m_nWriteIndex = m_nReadIndex = 0;
}

bool cCircularBUFF::WriteToBUFF(const void* pData, int nSize) {
  std::lock_guard<std::mutex> lock(m_Lock);
  if (nSize < 0 || nSize > m_nTotalSize - m_nAvailableCount) return false;
  if (nSize == 0) return true;
  const auto* pBytes = static_cast<const uint8_t*>(pData);
  const int nFirst = std::min(nSize, m_nTotalSize - m_nWriteIndex);
  std::memcpy(m_pBUFF.data() + m_nWriteIndex, pBytes, nFirst);
  std::memcpy(m_pBUFF.data(), pBytes + nFirst, nSize - nFirst);
  m_nWriteIndex = (m_nWriteIndex + nSize) % m_nTotalSize;
  m_nAvailableCount += nSize;
  return true;
}

bool cCircularBUFF::ReadToBUFF(void* pOut, int nSize) {
  std::lock_guard<std::mutex> lock(m_Lock);
  if (nSize < 0 || nSize > m_nAvailableCount) return false;
  if (nSize == 0) return true;
  auto* pBytes = static_cast<uint8_t*>(pOut);
  const int nFirst = std::min(nSize, m_nTotalSize - m_nReadIndex);
  std::memcpy(pBytes, m_pBUFF.data() + m_nReadIndex, nFirst);
  std::memcpy(pBytes + nFirst, m_pBUFF.data(), nSize - nFirst);
  m_nReadIndex = (m_nReadIndex + nSize) % m_nTotalSize;
  m_nAvailableCount -= nSize;
  return true;
}

bool cCircularBUFF::IsAvailable(int nSize) {
  std::lock_guard<std::mutex> lock(m_Lock);
  return nSize <= m_nAvailableCount;
}

int cCircularBUFF::GetSizeBUFF() {
  std::lock_guard<std::mutex> lock(m_Lock);
  return m_nAvailableCount;
}

void cCircularBUFF::ResetBUFF() {
  std::lock_guard<std::mutex> lock(m_Lock);
  m_nAvailableCount = m_nWriteIndex = m_nReadIndex = 0;
}
