#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "util/cKytSTR.h"

// Ordered list of owned string copies. Every operation holds the list's own lock, so one list may
// be shared between threads.
class cKytListSTR {
 public:
  cKytListSTR() = default;
  cKytListSTR(const cKytListSTR&) = delete;
  cKytListSTR& operator=(const cKytListSTR&) = delete;

  void AddHead(const cKytSTR& str);
  void AddTail(const cKytSTR& str);
  void AddTailSTR(const char* pText);

  bool GetHead(cKytSTR& target) const;
  bool GetAt(int32_t nIndex, cKytSTR& target) const;
  bool RemoveHead(cKytSTR& target);
  bool Remove(const char* pText);

  bool Find(const char* pText) const { return FindIndex(pText) >= 0; }
  int32_t FindIndex(const char* pText) const;
  bool FindNoCase(const char* pText) const { return FindNoCaseIndex(pText) >= 0; }
  int32_t FindNoCaseIndex(const char* pText) const;

  int32_t GetCount() const;
  void DeleteAll();
  void CopyTo(cKytListSTR& other) const;

  void TrvsSTART();
  bool TrvsNEXT(cKytSTR& target);

 private:
  mutable std::mutex m_Lock;
  // A vector rather than a deque: an empty list then costs no allocation, and lists stay short.
  std::vector<cKytSTR> m_Items;
  size_t m_nTrvsIndex = 0;
};
