#pragma once

#include <cstdint>

#include "sip/cKytEventSink.h"
#include "util/cKytNoCopy.h"

class cKytSIPUserAgentObject;
class cKytSIPUserAgentLib;
class cKytRTPLib;

// The one place every SIP component reports to. It adds the media side effects that belong to
// some events (hold, resume, failure and disconnect of a line) and hands each event to the
// facade. Line events of a call bound to no line (-1) are dropped here: the page only hears about
// lines. Main thread only.
class cKytEventObj : public cKytEventSink, private cKytNoCopy {
 public:
  // None of the three is owned; the core object owns this relay and outlives it.
  cKytEventObj(cKytSIPUserAgentObject* pKytMainObj, cKytSIPUserAgentLib* pKytMainLib,
               cKytRTPLib* pKytRTPLib);

  void OnTryingToRegister() override;
  void OnSuccessToRegister() override;
  void OnFailToRegister(int32_t nStatusCode, const cKytSTR& reason) override;
  void OnTryingToReRegister() override;
  void OnSuccessToReRegister() override;
  void OnFailToReRegister(int32_t nStatusCode, const cKytSTR& reason) override;
  void OnTryingToUnRegister() override;
  void OnSuccessToUnRegister() override;
  void OnFailToUnRegister(int32_t nStatusCode, const cKytSTR& reason) override;

  void OnConnecting(int32_t nLine) override;
  void OnTryingToHold(int32_t nLine) override;
  void OnTryingToUnHold(int32_t nLine) override;
  void OnSuccessToHold(int32_t nLine) override;
  void OnSuccessToUnHold(int32_t nLine) override;
  void OnFailToHold(int32_t nLine) override;
  void OnFailToUnHold(int32_t nLine) override;
  void OnFailToConnect(int32_t nLine) override;
  void OnDisconnectCall(int32_t nLine) override;
  void OnIncomingCall(const cKytSTR& callId, const cKytSTR& callerDisplayName,
                      const cKytSTR& callerUserName, const cKytSTR& callerURI,
                      const cKytSTR& calleeURI) override;
  void OnIncomingCallRingingStart(const cKytSTR& callId) override;
  void OnIncomingCallRingingStop(const cKytSTR& callId) override;
  void OnConnected(int32_t nLine, const cKytSTR& remoteRtpIP, int32_t nRemoteRtpPort,
                   const cKytSTR& callId) override;
  void OnProvisionalResponse(int32_t nLine, int32_t nStatusCode, const cKytSTR& reason) override;
  void OnRequestFailureResponse(int32_t nLine, int32_t nStatusCode, const cKytSTR& reason) override;
  void OnServerFailureResponse(int32_t nLine, int32_t nStatusCode, const cKytSTR& reason) override;
  void OnGeneralFailureResponse(int32_t nLine, int32_t nStatusCode, const cKytSTR& reason) override;
  void OnRedirectResponse(int32_t nLine, int32_t nStatusCode, const cKytSTR& reason,
                          const cKytSTR& contact) override;
  void OnCallTransferAccepted(int32_t nLine) override;
  void OnFailToTransfer(int32_t nLine, int32_t nStatusCode, const cKytSTR& reason) override;

  void OnChatContactStatus(const cKytSTR& contact, int32_t nStatus) override;
  void OnChatSendMsgTextSuccess(const cKytSTR& recipient, const cKytSTR& text,
                                int32_t nNumber) override;
  void OnChatSendMsgTextFail(const cKytSTR& recipient, int32_t nStatusCode, const cKytSTR& reason,
                             const cKytSTR& text, int32_t nNumber) override;
  void OnChatSendMsgTypingSuccess(const cKytSTR& recipient, int32_t nNumber) override;
  void OnChatSendMsgTypingFail(const cKytSTR& recipient, int32_t nStatusCode, const cKytSTR& reason,
                               int32_t nNumber) override;
  void OnChatRecvMsgText(const cKytSTR& sender, const cKytSTR& text) override;
  void OnChatRecvMsgTypingStart(const cKytSTR& sender) override;
  void OnChatRecvMsgTypingStop(const cKytSTR& sender) override;

  void OnIncomingDiagnostic(const cKytSTR& message, const cKytSTR& address, int32_t nPort) override;
  void OnOutgoingDiagnostic(const cKytSTR& message, const cKytSTR& address, int32_t nPort) override;
  void OnDetectedAMD(int32_t nLine, bool bDetected) override;
  void OnPlayWaveDone(int32_t nLine) override;

 private:
  cKytSIPUserAgentObject* m_pKytMainObj;
  cKytSIPUserAgentLib* m_pKytMainLib;
  cKytRTPLib* m_pKytRTPLib;
};
