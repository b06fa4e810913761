#include "util/cKytListSTR.h"

using Guard = std::lock_guard<std::mutex>;

void cKytListSTR::AddHead(const cKytSTR& str) {
  Guard g(m_Lock);
  m_Items.insert(m_Items.begin(), str);
}

void cKytListSTR::AddTail(const cKytSTR& str) {
  Guard g(m_Lock);
  m_Items.push_back(str);
}

void cKytListSTR::AddTailSTR(const char* pText) { AddTail(cKytSTR(pText)); }

bool cKytListSTR::GetHead(cKytSTR& target) const { return GetAt(0, target); }

bool cKytListSTR::GetAt(int32_t nIndex, cKytSTR& target) const {
  Guard g(m_Lock);
  if (nIndex < 0 || static_cast<size_t>(nIndex) >= m_Items.size()) return false;
  target = m_Items[static_cast<size_t>(nIndex)];
  return true;
}

bool cKytListSTR::RemoveHead(cKytSTR& target) {
  Guard g(m_Lock);
  if (m_Items.empty()) return false;
  target = std::move(m_Items.front());
  m_Items.erase(m_Items.begin());
  return true;
}

bool cKytListSTR::Remove(const char* pText) {
  Guard g(m_Lock);
  for (auto it = m_Items.begin(); it != m_Items.end(); ++it) {
    if (it->CompareTo(pText)) {
      m_Items.erase(it);
      return true;
    }
  }
  return false;
}

int32_t cKytListSTR::FindIndex(const char* pText) const {
  Guard g(m_Lock);
  for (size_t i = 0; i < m_Items.size(); ++i) {
    if (m_Items[i].CompareTo(pText)) return static_cast<int32_t>(i);
  }
  return -1;
}

int32_t cKytListSTR::FindNoCaseIndex(const char* pText) const {
  Guard g(m_Lock);
  for (size_t i = 0; i < m_Items.size(); ++i) {
    if (m_Items[i].CompareNoCaseTo(pText)) return static_cast<int32_t>(i);
  }
  return -1;
}

int32_t cKytListSTR::GetCount() const {
  Guard g(m_Lock);
  return static_cast<int32_t>(m_Items.size());
}

void cKytListSTR::DeleteAll() {
  Guard g(m_Lock);
  m_Items.clear();
  m_nTrvsIndex = 0;
}

void cKytListSTR::CopyTo(cKytListSTR& other) const {
  if (&other == this) return;
  std::vector<cKytSTR> copies;
  {
    Guard g(m_Lock);
    copies.assign(m_Items.begin(), m_Items.end());
  }
  Guard g(other.m_Lock);
  for (auto& s : copies) other.m_Items.push_back(std::move(s));
}

void cKytListSTR::TrvsSTART() {
  Guard g(m_Lock);
  m_nTrvsIndex = 0;
}

bool cKytListSTR::TrvsNEXT(cKytSTR& target) {
  Guard g(m_Lock);
  if (m_nTrvsIndex >= m_Items.size()) return false;
  target = m_Items[m_nTrvsIndex++];
  return true;
}
