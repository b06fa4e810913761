#include "util/cKytHashSTR.h"

cKytHashSTR::cKytHashSTR(uint32_t nHashTableSize)
    : m_nHashTableSize(nHashTableSize == 0 ? 1 : nHashTableSize), m_Buckets(m_nHashTableSize) {}

cKytHashSTR::~cKytHashSTR() {
  // Unlink iteratively so a long chain cannot exhaust the stack.
  for (auto& head : m_Buckets) {
    while (head) head = std::move(head->m_pNext);
  }
}

uint32_t cKytHashSTR::HashOf(const char* pKey) {
  uint32_t h = 0;
  for (const char* p = pKey ? pKey : ""; *p; ++p) {
    h = h * 33u + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(*p)));
  }
  return h;
}

void cKytHashSTR::Add(const char* pKey, void* pValue) {
  auto node = std::make_unique<cKytHashLinkData>();
  node->m_pKytSTR.CopyFROM(pKey);
  node->m_pData = pValue;
  auto& head = m_Buckets[BucketOf(pKey)];
  node->m_pNext = std::move(head);
  head = std::move(node);
  ++m_nTotalItemCount;
}

bool cKytHashSTR::Find(const char* pKey, void*& pValue) const {
  for (const cKytHashLinkData* p = m_Buckets[BucketOf(pKey)].get(); p; p = p->m_pNext.get()) {
    if (p->m_pKytSTR.CompareTo(pKey)) {
      pValue = p->m_pData;
      return true;
    }
  }
  return false;
}

bool cKytHashSTR::Remove(const char* pKey, void*& pValue) {
  for (auto* link = &m_Buckets[BucketOf(pKey)]; *link; link = &(*link)->m_pNext) {
    if ((*link)->m_pKytSTR.CompareTo(pKey)) {
      if (m_pTrvsNode == link->get()) m_pTrvsNode = (*link)->m_pNext.get();
      pValue = (*link)->m_pData;
      *link = std::move((*link)->m_pNext);
      --m_nTotalItemCount;
      return true;
    }
  }
  return false;
}

void cKytHashSTR::TrvsSTART() {
  m_nTrvsBucket = 0;
  m_pTrvsNode = m_Buckets[0].get();
}

bool cKytHashSTR::TrvsNEXT(cKytSTR& key, void*& pValue) {
  while (!m_pTrvsNode) {
    if (++m_nTrvsBucket >= m_nHashTableSize) return false;
    m_pTrvsNode = m_Buckets[m_nTrvsBucket].get();
  }
  key = m_pTrvsNode->m_pKytSTR;
  pValue = m_pTrvsNode->m_pData;
  m_pTrvsNode = m_pTrvsNode->m_pNext.get();
  return true;
}
