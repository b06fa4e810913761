#include "call/cCallPool.h"

#include <vector>

#include "call/cSIPCall.h"

cCallPool::cCallPool() = default;

cCallPool::~cCallPool() = default;

cSIPCall* cCallPool::CreateCall(const cKytSTR& callId, cCallSink* pCallSink,
                                cKytEventSink* pKytEventObj) {
  if (cSIPCall* pFound = FindCall(callId)) return pFound;
  auto pCall = std::make_unique<cSIPCall>(callId, pCallSink, pKytEventObj);
  cKytSTR key;
  pCall->GetCallId(key);
  cSIPCall* pResult = pCall.get();
  m_pCallList[key.GetDATA()] = std::move(pCall);
  return pResult;
}

cSIPCall* cCallPool::FindCall(const cKytSTR& callId) const {
  if (callId.IsZeroLEN()) return nullptr;
  auto it = m_pCallList.find(callId.GetDATA());
  return it == m_pCallList.end() ? nullptr : it->second.get();
}

void cCallPool::CloseCall(const cKytSTR& callId) {
  cSIPCall* pCall = FindCall(callId);
  if (!pCall) return;
  pCall->SetLineNo(-1);
  // Closing twice keeps the first schedule.
  m_pCloseList.try_emplace(callId.GetDATA(), std::make_unique<cCloseCallData>(callId));
}

int32_t cCallPool::GetRingingInCount() const {
  int32_t nCount = 0;
  for (const auto& [key, pCall] : m_pCallList) {
    if (pCall->GetObjectStatus() == cSIPCall::STATUS_RINGING_IN && m_pCloseList.count(key) == 0)
      ++nCount;
  }
  return nCount;
}

bool cCallPool::IsClosing(const cKytSTR& callId) const {
  return m_pCloseList.count(callId.GetDATA()) != 0;
}

void cCallPool::EndAll() {
  m_pRetired.clear();
  for (auto& [key, pCall] : m_pCallList) {
    pCall->EndForShutdown();
    m_pRetired.push_back(std::move(pCall));
  }
  m_pCloseList.clear();
  m_pCallList.clear();
}

void cCallPool::OnOneSecondTick() {
  // An incoming call rings before any line takes it, and its time-out must count all the same.
  // Looked up afresh each: an event of one may end another.
  std::vector<std::string> ringing;
  for (const auto& [key, pCall] : m_pCallList) {
    if (pCall->GetLineNo() < 0 && pCall->GetObjectStatus() == cSIPCall::STATUS_RINGING_IN &&
        m_pCloseList.count(key) == 0) {
      ringing.push_back(key);
    }
  }
  for (const std::string& key : ringing) {
    if (cSIPCall* pCall = FindCall(key.c_str())) pCall->OnOneSecondTick();
  }
  if (m_nSecondCount++ < SWEEP_INTERVAL) return;
  m_nSecondCount = 0;
  std::vector<std::string> collected;
  for (auto& [key, pData] : m_pCloseList) {
    if (pData->m_bDestroy) {
      collected.push_back(key);
    } else {
      pData->m_bDestroy = true;
    }
  }
  for (const std::string& key : collected) {
    m_pCallList.erase(key);
    m_pCloseList.erase(key);
  }
}
