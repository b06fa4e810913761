#include "chat/cChatMessageTick.h"

#include <vector>

#include "sip/cTickTimer.h"
#include "sip/cTxSchedule.h"

cChatMessageTick::~cChatMessageTick() = default;

void cChatMessageTick::SetTick(std::unique_ptr<cChatMessageTickData> pData, bool bStream) {
  const cTxSchedule& schedule = cTxSchedule::ChatRequest();
  pData->m_pTxTimer.Start(bStream ? schedule.GiveUpOnly() : schedule);
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
    cTxTimer::eTxStep step = data.m_pTxTimer.Step(cTickTimer::kTickMs);
    if (step == cTxTimer::eTxStep::TIMEOUT) {
      timedOut.push_back(std::move(it->second));
      it = m_pMessageTickData.erase(it);
      continue;
    }
    if (step == cTxTimer::eTxStep::RESEND && !data.m_bStopTickEvent) {
      resends.push_back({data.m_pTickData, data.m_pToIP, data.m_nToPort});
    }
    ++it;
  }
  for (const cResend& resend : resends) OnTickEvent(resend.text, resend.toIP, resend.nToPort);
  for (const auto& pData : timedOut) OnTickEventTimeOut(*pData);
}
