#include "cInteropAgent.h"

namespace {
const char* const kSent = "OnOutgoingDiagnostic ";
}

void cInteropAgent::Add(const std::string& sName, const std::string& sArgs) {
  m_Events.push_back(sName + " " + sArgs);
}

void cInteropAgent::AddCode(const std::string& sName, int32_t nLine, int32_t nCode,
                            const char* pReason) {
  Add(sName, std::to_string(nLine) + " " + std::to_string(nCode) + " " + pReason);
}

void cInteropAgent::OnConnecting(int32_t nLine) { AddLine("OnConnecting", nLine); }

void cInteropAgent::OnSuccessToConnect(int32_t nLine, const char* pIP, int32_t nPort,
                                       const char* pCallId) {
  Add("OnSuccessToConnect",
      std::to_string(nLine) + " " + pIP + " " + std::to_string(nPort) + " " + pCallId);
}

void cInteropAgent::OnFailToConnect(int32_t nLine) { AddLine("OnFailToConnect", nLine); }
void cInteropAgent::OnDisconnectCall(int32_t nLine) { AddLine("OnDisconnectCall", nLine); }

void cInteropAgent::OnIncomingCall(const char* pCallId, const char* pDisplay, const char* pUser,
                                   const char* pCaller, const char* pCallee) {
  Add("OnIncomingCall",
      std::string(pCallId) + " " + pDisplay + " " + pUser + " " + pCaller + " " + pCallee);
  m_sIncomingCallId = pCallId;
  if (m_nAnswerLine >= 0) m_bAccepted = AcceptCall(m_nAnswerLine, pCallId, 0, 0);
}

void cInteropAgent::OnIncomingCallRingingStart(const char* pCallId) {
  Add("OnIncomingCallRingingStart", pCallId);
}

void cInteropAgent::OnIncomingCallRingingStop(const char* pCallId) {
  Add("OnIncomingCallRingingStop", pCallId);
}

void cInteropAgent::OnProvisionalResponse(int32_t nLine, int32_t nCode, const char* pReason) {
  AddCode("OnProvisionalResponse", nLine, nCode, pReason);
}

void cInteropAgent::OnRedirectionResponse(int32_t nLine, int32_t nCode, const char* pReason,
                                          const char*) {
  AddCode("OnRedirectionResponse", nLine, nCode, pReason);
}

void cInteropAgent::OnRequestFailureResponse(int32_t nLine, int32_t nCode, const char* pReason) {
  AddCode("OnRequestFailureResponse", nLine, nCode, pReason);
}

void cInteropAgent::OnServerFailureResponse(int32_t nLine, int32_t nCode, const char* pReason) {
  AddCode("OnServerFailureResponse", nLine, nCode, pReason);
}

void cInteropAgent::OnGeneralFailureResponse(int32_t nLine, int32_t nCode, const char* pReason) {
  AddCode("OnGeneralFailureResponse", nLine, nCode, pReason);
}

void cInteropAgent::OnTryingToHold(int32_t nLine) { AddLine("OnTryingToHold", nLine); }
void cInteropAgent::OnSuccessToHold(int32_t nLine) { AddLine("OnSuccessToHold", nLine); }
void cInteropAgent::OnFailToHold(int32_t nLine) { AddLine("OnFailToHold", nLine); }
void cInteropAgent::OnTryingToUnHold(int32_t nLine) { AddLine("OnTryingToUnHold", nLine); }
void cInteropAgent::OnSuccessToUnHold(int32_t nLine) { AddLine("OnSuccessToUnHold", nLine); }
void cInteropAgent::OnFailToUnHold(int32_t nLine) { AddLine("OnFailToUnHold", nLine); }

void cInteropAgent::OnOutgoingDiagnostic(const char* pMessage, const char* pAddress,
                                         int32_t nPort) {
  Add("OnOutgoingDiagnostic", std::string(pAddress) + ":" + std::to_string(nPort) + " " + pMessage);
}

bool cInteropAgent::Heard(const std::string& sPrefix) const { return Count(sPrefix) > 0; }

size_t cInteropAgent::Count(const std::string& sPrefix) const {
  size_t n = 0;
  for (const auto& e : m_Events) n += e.rfind(sPrefix, 0) == 0 ? 1 : 0;
  return n;
}

std::string cInteropAgent::EventText(const std::string& sPrefix) const {
  for (const auto& e : m_Events) {
    if (e.rfind(sPrefix, 0) == 0) return e;
  }
  return "";
}

std::string cInteropAgent::LastSent(const std::string& sStartLine) const {
  for (auto it = m_Events.rbegin(); it != m_Events.rend(); ++it) {
    if (it->rfind(kSent, 0) != 0) continue;
    // "OnOutgoingDiagnostic <address>:<port> <message>"
    const size_t nSpace = it->find(' ', std::string(kSent).size());
    if (nSpace == std::string::npos) continue;
    if (it->compare(nSpace + 1, sStartLine.size(), sStartLine) == 0) return it->substr(nSpace + 1);
  }
  return "";
}

std::string cInteropAgent::Transcript() const {
  std::string s;
  for (const auto& e : m_Events) s += e + "\n";
  return s;
}
