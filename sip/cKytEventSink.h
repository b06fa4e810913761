#pragma once

#include <cstdint>

#include "util/cKytSTR.h"

// Where every SIP component reports what happened. The user agent's event relay implements it;
// tests implement it to watch a component. A line of -1 is a call bound to no line.
class cKytEventSink {
 public:
  virtual ~cKytEventSink() = default;

  // Registration.
  virtual void OnTryingToRegister() = 0;
  virtual void OnSuccessToRegister() = 0;
  virtual void OnFailToRegister(int32_t nStatusCode, const cKytSTR& reason) = 0;
  virtual void OnTryingToReRegister() = 0;
  virtual void OnSuccessToReRegister() = 0;
  virtual void OnFailToReRegister(int32_t nStatusCode, const cKytSTR& reason) = 0;
  virtual void OnTryingToUnRegister() = 0;
  virtual void OnSuccessToUnRegister() = 0;
  virtual void OnFailToUnRegister(int32_t nStatusCode, const cKytSTR& reason) = 0;

  // Calls.
  virtual void OnConnecting(int32_t nLine) = 0;
  virtual void OnTryingToHold(int32_t nLine) = 0;
  virtual void OnTryingToUnHold(int32_t nLine) = 0;
  virtual void OnSuccessToHold(int32_t nLine) = 0;
  virtual void OnSuccessToUnHold(int32_t nLine) = 0;
  virtual void OnFailToHold(int32_t nLine) = 0;
  virtual void OnFailToUnHold(int32_t nLine) = 0;
  virtual void OnFailToConnect(int32_t nLine) = 0;
  virtual void OnDisconnectCall(int32_t nLine) = 0;
  virtual void OnIncomingCall(const cKytSTR& callId, const cKytSTR& callerDisplayName,
                              const cKytSTR& callerUserName, const cKytSTR& callerURI,
                              const cKytSTR& calleeURI) = 0;
  virtual void OnIncomingCallRingingStart(const cKytSTR& callId) = 0;
  virtual void OnIncomingCallRingingStop(const cKytSTR& callId) = 0;
  virtual void OnConnected(int32_t nLine, const cKytSTR& remoteRtpIP, int32_t nRemoteRtpPort,
                           const cKytSTR& callId) = 0;
  virtual void OnProvisionalResponse(int32_t nLine, int32_t nStatusCode, const cKytSTR& reason) = 0;
  virtual void OnRequestFailureResponse(int32_t nLine, int32_t nStatusCode,
                                        const cKytSTR& reason) = 0;
  virtual void OnServerFailureResponse(int32_t nLine, int32_t nStatusCode,
                                       const cKytSTR& reason) = 0;
  virtual void OnGeneralFailureResponse(int32_t nLine, int32_t nStatusCode,
                                        const cKytSTR& reason) = 0;
  virtual void OnRedirectResponse(int32_t nLine, int32_t nStatusCode, const cKytSTR& reason,
                                  const cKytSTR& contact) = 0;
  virtual void OnCallTransferAccepted(int32_t nLine) = 0;
  virtual void OnFailToTransfer(int32_t nLine, int32_t nStatusCode, const cKytSTR& reason) = 0;

  // Chat and presence.
  virtual void OnChatContactStatus(const cKytSTR& contact, int32_t nStatus) = 0;
  virtual void OnChatSendMsgTextSuccess(const cKytSTR& recipient, const cKytSTR& text,
                                        int32_t nNumber) = 0;
  virtual void OnChatSendMsgTextFail(const cKytSTR& recipient, int32_t nStatusCode,
                                     const cKytSTR& reason, const cKytSTR& text,
                                     int32_t nNumber) = 0;
  virtual void OnChatSendMsgTypingSuccess(const cKytSTR& recipient, int32_t nNumber) = 0;
  virtual void OnChatSendMsgTypingFail(const cKytSTR& recipient, int32_t nStatusCode,
                                       const cKytSTR& reason, int32_t nNumber) = 0;
  virtual void OnChatRecvMsgText(const cKytSTR& sender, const cKytSTR& text) = 0;
  virtual void OnChatRecvMsgTypingStart(const cKytSTR& sender) = 0;
  virtual void OnChatRecvMsgTypingStop(const cKytSTR& sender) = 0;

  // Diagnostics and media.
  virtual void OnIncomingDiagnostic(const cKytSTR& message, const cKytSTR& address,
                                    int32_t nPort) = 0;
  virtual void OnOutgoingDiagnostic(const cKytSTR& message, const cKytSTR& address,
                                    int32_t nPort) = 0;
  virtual void OnDetectedAMD(int32_t nLine, bool bDetected) = 0;
  virtual void OnPlayWaveDone(int32_t nLine) = 0;
};
