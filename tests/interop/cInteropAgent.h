#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "useragent/cKytSIPUserAgentLib.h"

// Our user agent as the interop tests drive it: it writes down the call events it hears, one
// line each ("OnProvisionalResponse 0 180 Ringing"), with every SIP text it sends once
// diagnostics are on, and, when told a line, answers every incoming call on that line from
// inside OnIncomingCall, as a page would.
class cInteropAgent : public cKytSIPUserAgentLib {
 public:
  using cKytSIPUserAgentLib::cKytSIPUserAgentLib;

  void OnConnecting(int32_t nLine) override;
  void OnSuccessToConnect(int32_t nLine, const char* pIP, int32_t nPort,
                          const char* pCallId) override;
  void OnFailToConnect(int32_t nLine) override;
  void OnDisconnectCall(int32_t nLine) override;
  void OnIncomingCall(const char* pCallId, const char* pDisplay, const char* pUser,
                      const char* pCaller, const char* pCallee) override;
  void OnIncomingCallRingingStart(const char* pCallId) override;
  void OnIncomingCallRingingStop(const char* pCallId) override;
  void OnProvisionalResponse(int32_t nLine, int32_t nCode, const char* pReason) override;
  void OnRedirectionResponse(int32_t nLine, int32_t nCode, const char* pReason,
                             const char* pContact) override;
  void OnRequestFailureResponse(int32_t nLine, int32_t nCode, const char* pReason) override;
  void OnServerFailureResponse(int32_t nLine, int32_t nCode, const char* pReason) override;
  void OnGeneralFailureResponse(int32_t nLine, int32_t nCode, const char* pReason) override;
  void OnTryingToHold(int32_t nLine) override;
  void OnSuccessToHold(int32_t nLine) override;
  void OnFailToHold(int32_t nLine) override;
  void OnTryingToUnHold(int32_t nLine) override;
  void OnSuccessToUnHold(int32_t nLine) override;
  void OnFailToUnHold(int32_t nLine) override;
  void OnOutgoingDiagnostic(const char* pMessage, const char* pAddress, int32_t nPort) override;

  bool Heard(const std::string& sPrefix) const;
  size_t Count(const std::string& sPrefix) const;
  // The first event with this prefix, or empty.
  std::string EventText(const std::string& sPrefix) const;
  // The last SIP text we sent whose start line begins so ("SIP/2.0 200", "INVITE "), or empty.
  std::string LastSent(const std::string& sStartLine) const;
  std::string Transcript() const;

  std::vector<std::string> m_Events;
  int32_t m_nAnswerLine = -1;  // -1: let incoming calls ring
  std::string m_sIncomingCallId;
  bool m_bAccepted = false;

 private:
  void Add(const std::string& sName, const std::string& sArgs);
  void AddLine(const std::string& sName, int32_t nLine) { Add(sName, std::to_string(nLine)); }
  void AddCode(const std::string& sName, int32_t nLine, int32_t nCode, const char* pReason);
};
