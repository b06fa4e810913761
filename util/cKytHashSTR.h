#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "util/cKytSTR.h"

// One node of a bucket chain: a copy of the key and a value the table does not own.
struct cKytHashLinkData {
  cKytSTR m_pKytSTR;
  void* m_pData = nullptr;
  std::unique_ptr<cKytHashLinkData> m_pNext;
};

// String-keyed table of opaque values; keys compare exactly, with case. Not locked: its owner
// uses it from one thread.
class cKytHashSTR {
 public:
  explicit cKytHashSTR(uint32_t nHashTableSize = 10);
  cKytHashSTR(const cKytHashSTR&) = delete;
  cKytHashSTR& operator=(const cKytHashSTR&) = delete;
  ~cKytHashSTR();

  // Inserts at the head of the key's bucket; an equal key already present stays, behind it.
  void Add(const char* pKey, void* pValue);
  bool Find(const char* pKey, void*& pValue) const;
  bool Remove(const char* pKey, void*& pValue);
  uint32_t GetCount() const { return m_nTotalItemCount; }

  // Buckets in index order; inside a bucket, newest first.
  void TrvsSTART();
  bool TrvsNEXT(cKytSTR& key, void*& pValue);

  static uint32_t HashOf(const char* pKey);

 private:
  uint32_t BucketOf(const char* pKey) const { return HashOf(pKey) % m_nHashTableSize; }

  uint32_t m_nHashTableSize;
  std::vector<std::unique_ptr<cKytHashLinkData>> m_Buckets;  // chain heads
  uint32_t m_nTotalItemCount = 0;
  uint32_t m_nTrvsBucket = 0;
  const cKytHashLinkData* m_pTrvsNode = nullptr;
};
