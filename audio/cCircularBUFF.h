#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

// Byte ring buffer with all-or-nothing writes and reads. Every operation takes the buffer's own
// lock, so one audio thread and the media thread may use it at once.
class cCircularBUFF {
 public:
  explicit cCircularBUFF(int nSize = 0);

  // Replaces the storage with nSize bytes and empties the buffer.
  void SetSizeBUFF(int nSize);
  // Appends nSize bytes if they all fit; otherwise writes nothing and answers false.
  bool WriteToBUFF(const void* pData, int nSize);
  // Removes nSize bytes in order if that many are held; otherwise reads nothing.
  bool ReadToBUFF(void* pOut, int nSize);
  bool IsAvailable(int nSize);
  // Bytes held.
  int GetSizeBUFF();
  void ResetBUFF();

 private:
  std::mutex m_Lock;
  std::vector<uint8_t> m_pBUFF;
  int m_nTotalSize = 0;
  int m_nAvailableCount = 0;
  int m_nWriteIndex = 0;
  int m_nReadIndex = 0;
};
