#include "cInteropAgent.h"

namespace {
const char* const kSent = "OnOutgoingDiagnostic ";
}

void cInteropAgent::OnIncomingCall(const char* pCallId, const char* pDisplay, const char* pUser,
                                   const char* pCaller, const char* pCallee) {
  cRecordingLib::OnIncomingCall(pCallId, pDisplay, pUser, pCaller, pCallee);
  m_sIncomingCallId = pCallId;
  if (m_nAnswerLine >= 0) m_bAccepted = AcceptCall(m_nAnswerLine, pCallId, 0, 0);
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
