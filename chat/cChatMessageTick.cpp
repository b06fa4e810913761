#include "chat/cChatMessageTick.h"

#include <vector>

cChatMessageTick::~cChatMessageTick() = default;

cChatMessageTick::eTickStep cChatMessageTick::StepTick(const int32_t* pTrigger, int32_t& nTrigIndex,
                                                       int32_t& nTickCount) {
  if (pTrigger[nTrigIndex] == kTriggerEnd) return eTickStep::TIMEOUT;
  eTickStep step = eTickStep::NONE;
  if (pTrigger[nTrigIndex] == nTickCount) {
    ++nTrigIndex;
    step = eTickStep::RESEND;
  }
  ++nTickCount;
  return step;
}

void cChatMessageTick::SetTick(std::unique_ptr<cChatMessageTickData> pData) {
  std::string key(pData->m_pUniqueKey.GetDATA());
  m_pMessageTickData[key] = std::move(pData);
}

cChatMessageTickData* cChatMessageTick::FindTick(const cKytSTR& key) {
  auto it = m_pMessageTickData.find(key.GetDATA());
  return it == m_pMessageTickData.end() ? nullptr : it->second.get();
}

std::unique_ptr<cChatMessageTickData> cChatMessageTick::RemoveTick(const cKytSTR& key) {
  auto it = m_pMessageTickData.find(key.GetDATA());
  if (it == m_pMessageTickData.end()) return nullptr;
  std::unique_ptr<cChatMessageTickData> pData = std::move(it->second);
  m_pMessageTickData.erase(it);
  return pData;
}

void cChatMessageTick::OnMessageTick() {
  struct cResend {
    cKytSTR text;
    cKytSTR toIP;
    int32_t nToPort;
  };
  std::vector<cResend> resends;
  std::vector<std::unique_ptr<cChatMessageTickData>> timedOut;
  for (auto it = m_pMessageTickData.begin(); it != m_pMessageTickData.end();) {
    cChatMessageTickData& data = *it->second;
    eTickStep step = StepTick(m_nTrigger, data.m_nTrigIndex, data.m_nTickCount);
    if (step == eTickStep::TIMEOUT) {
      timedOut.push_back(std::move(it->second));
      it = m_pMessageTickData.erase(it);
      continue;
    }
    if (step == eTickStep::RESEND && !data.m_bStopTickEvent) {
      resends.push_back({data.m_pTickData, data.m_pToIP, data.m_nToPort});
    }
    ++it;
  }
  for (const cResend& resend : resends) OnTickEvent(resend.text, resend.toIP, resend.nToPort);
  for (const auto& pData : timedOut) OnTickEventTimeOut(*pData);
}
