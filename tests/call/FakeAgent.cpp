#include "FakeAgent.h"

#include <gtest/gtest.h>

FakeAgent::FakeAgent(const std::string& user, int32_t nListenPort, int32_t nRtpPort)
    : m_nRtpPort(nRtpPort), m_Calls(&m_Pool, this, &m_Events), m_Router(this) {
  m_Calls.Attach(m_Router, [this](const cMsgSIP& request) {
    cKytSTR event;
    request.GetEvent(event);
    m_PresenceNotifies.emplace_back(event.GetDATA());
  });
  m_nListenPort = nListenPort;
  m_FromURI = ("\"" + user + "\" <sip:" + user + "@127.0.0.1>").c_str();
  m_LoginId = user.c_str();
  m_ProxySIP = "127.0.0.1";
  m_LoginPwd = "secret";
  m_DomainRealm = "127.0.0.1";
}

FakeAgent::~FakeAgent() = default;

void FakeAgent::SendToSocket(const cKytSTR& text, const cKytSTR&, int32_t) {
  m_Sent.emplace_back(text.GetDATA());
  if (m_SendHook) {
    m_SendHook(text.GetDATA());
  } else {
    m_Outbox.emplace_back(text.GetDATA());
  }
}

bool FakeAgent::StartRTP(int32_t nLine, const cKytSTR& ip, int32_t nPort, int32_t nCodec,
                         int32_t nPayload, int32_t, bool bOutbound, bool bInbound) {
  m_RtpStarts.push_back({nLine, ip.GetDATA(), nPort, nCodec, nPayload, bOutbound, bInbound});
  return true;
}

bool FakeAgent::StopRTP(int32_t nLine, bool bStopOutbound, bool bStopInbound) {
  m_RtpStops.push_back(std::to_string(nLine) + (bStopOutbound ? " out" : "") +
                       (bStopInbound ? " in" : ""));
  return true;
}

bool FakeAgent::GetRTPLineRx(int32_t nLine, cKytSTR& ip, int32_t& nPort) {
  if (nLine != 0) return false;
  ip = m_RtpIP;
  nPort = m_nRtpPort;
  return true;
}

bool FakeAgent::ChoosePriorityCodec(const cKytListSTR& codecNumbers,
                                    const cKytListSTR& payloadNumbers, int32_t& nCodec,
                                    int32_t& nPayload) {
  return m_Codecs.GetPriorityCodec(codecNumbers, payloadNumbers, nCodec, nPayload);
}

void FakeAgent::CloseCall(cSIPCall* pCall) {
  if (pCall == m_pLine) m_pLine = nullptr;
  cKytSTR callId;
  pCall->GetCallId(callId);
  m_Pool.CloseCall(callId);
}

void FakeAgent::Deliver(const std::string& text) { m_Router.OnSocketRecv(text.c_str()); }

void FakeAgent::Tick() {
  if (m_pLine) m_pLine->OnOneSecondTick();
  m_Pool.OnOneSecondTick();
}

cSIPCall* FakeAgent::Dial(const std::string& target) {
  m_pLine = m_Pool.CreateCall("", this, &m_Events);
  m_pLine->SetLineNo(0);
  m_pLine->Connect(target.c_str(), m_Codecs.GetCodecList());
  return m_pLine;
}

bool FakeAgent::Accept() {
  cSIPCall* pCall = Find(m_Events.m_LastIncomingCallId);
  // A call the pool is retiring is not taken onto the line: the pool will destroy it.
  if (!pCall || m_Pool.IsClosing(m_Events.m_LastIncomingCallId.c_str())) return false;
  m_pLine = pCall;
  pCall->SetLineNo(0);
  if (pCall->AcceptCall(m_Codecs.GetCodecList())) return true;
  // A refused call leaves the line (the pool retires it); one still ringing can be tried again.
  if (pCall->GetObjectStatus() == cSIPCall::STATUS_REJECTED) {
    pCall->SetLineNo(-1);
    m_pLine = nullptr;
  }
  return false;
}

int FakeAgent::CountSent(const std::string& prefix) const {
  int n = 0;
  for (const auto& text : m_Sent) n += text.rfind(prefix, 0) == 0 ? 1 : 0;
  return n;
}

std::string FakeAgent::LastSent(const std::string& prefix) const {
  for (auto it = m_Sent.rbegin(); it != m_Sent.rend(); ++it) {
    if (it->rfind(prefix, 0) == 0) return *it;
  }
  return "";
}

std::vector<std::string> FakeAgent::TakeOutbox() {
  std::vector<std::string> out(m_Outbox.begin(), m_Outbox.end());
  m_Outbox.clear();
  return out;
}

int Exchange(FakeAgent& a, FakeAgent& b) {
  int nMoved = 0;
  // Bounded: two agents must settle long before this.
  for (int nRound = 0; nRound < 100 && (!a.m_Outbox.empty() || !b.m_Outbox.empty()); ++nRound) {
    for (const auto& text : a.TakeOutbox()) {
      b.Deliver(text);
      ++nMoved;
    }
    for (const auto& text : b.TakeOutbox()) {
      a.Deliver(text);
      ++nMoved;
    }
  }
  EXPECT_TRUE(a.m_Outbox.empty() && b.m_Outbox.empty()) << "the agents never settled";
  return nMoved;
}
