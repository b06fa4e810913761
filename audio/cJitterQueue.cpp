#include "audio/cJitterQueue.h"

void cJitterQueue::AddObject(std::unique_ptr<cQueueObject> pObject) {
  std::lock_guard<std::recursive_mutex> lock(m_Lock);
  auto it = m_pQueueList.begin();
  while (it != m_pQueueList.end() && IsNewerTimeStamp((*it)->m_uTimeStamp, pObject->m_uTimeStamp))
    ++it;
  m_pQueueList.insert(it, std::move(pObject));
}

std::unique_ptr<cQueueObject> cJitterQueue::RemoveTail() {
  std::lock_guard<std::recursive_mutex> lock(m_Lock);
  if (m_pQueueList.empty()) return nullptr;
  std::unique_ptr<cQueueObject> pObject = std::move(m_pQueueList.back());
  m_pQueueList.pop_back();
  return pObject;
}

const cQueueObject* cJitterQueue::GetTail() const {
  std::lock_guard<std::recursive_mutex> lock(m_Lock);
  return m_pQueueList.empty() ? nullptr : m_pQueueList.back().get();
}

bool cJitterQueue::HasPacket(uint32_t nSeqNo, uint32_t uTimeStamp) const {
  std::lock_guard<std::recursive_mutex> lock(m_Lock);
  for (const auto& pObject : m_pQueueList)
    if (pObject->m_nSeqNo == nSeqNo && pObject->m_uTimeStamp == uTimeStamp) return true;
  return false;
}

int cJitterQueue::GetCount() const {
  std::lock_guard<std::recursive_mutex> lock(m_Lock);
  return static_cast<int>(m_pQueueList.size());
}

void cJitterQueue::RemoveAll() {
  std::lock_guard<std::recursive_mutex> lock(m_Lock);
  m_pQueueList.clear();
}
