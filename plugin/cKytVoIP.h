#pragma once

#include <memory>

#include "plugin/KytNPAPI.h"
#include "plugin/cEventExp.h"
#include "useragent/cKytSIPUserAgentLib.h"

class cMainLoop;

// The user agent as the plug-in runs it: every event the page can hear is handed to the event
// firer. The end of a wave playback stays unheard, as the facade leaves it.
class cKytVoIP : public cKytSIPUserAgentLib {
 public:
  // initobj: the firer for this browser and instance, then the whole user agent on pMainLoop,
  // which must outlive this object.
  cKytVoIP(NPNetscapeFuncs* pBrowser, NPP pNPInstance, cMainLoop* pMainLoop);
  // Ends a running session while the page can still hear about it.
  ~cKytVoIP() override;

  void OnTryingToRegister() override;
  void OnSuccessToRegister() override;
  void OnFailToRegister() override;
  void OnFailToRegisterEx(int32_t nStatusCode, const char* pReason) override;
  void OnTryingToReRegister() override;
  void OnSuccessToReRegister() override;
  void OnFailToReRegister() override;
  void OnFailToReRegisterEx(int32_t nStatusCode, const char* pReason) override;
  void OnTryingToUnRegister() override;
  void OnSuccessToUnRegister() override;
  void OnFailToUnRegister(int32_t nStatusCode, const char* pReason) override;
  void OnConnecting(int32_t nLine) override;
  void OnSuccessToConnect(int32_t nLine, const char* pRemoteRtpIP, int32_t nRemoteRtpPort,
                          const char* pCallId) override;
  void OnFailToConnect(int32_t nLine) override;
  void OnDisconnectCall(int32_t nLine) override;
  void OnIncomingCall(const char* pCallId, const char* pCallerDisplayName,
                      const char* pCallerUserName, const char* pCallerURI,
                      const char* pCalleeURI) override;
  void OnIncomingCallRingingStart(const char* pCallId) override;
  void OnIncomingCallRingingStop(const char* pCallId) override;
  void OnProvisionalResponse(int32_t nLine, int32_t nStatusCode, const char* pReason) override;
  void OnRedirectionResponse(int32_t nLine, int32_t nStatusCode, const char* pReason,
                             const char* pContact) override;
  void OnRequestFailureResponse(int32_t nLine, int32_t nStatusCode, const char* pReason) override;
  void OnServerFailureResponse(int32_t nLine, int32_t nStatusCode, const char* pReason) override;
  void OnGeneralFailureResponse(int32_t nLine, int32_t nStatusCode, const char* pReason) override;
  void OnTryingToHold(int32_t nLine) override;
  void OnSuccessToHold(int32_t nLine) override;
  void OnFailToHold(int32_t nLine) override;
  void OnTryingToUnHold(int32_t nLine) override;
  void OnSuccessToUnHold(int32_t nLine) override;
  void OnFailToUnHold(int32_t nLine) override;
  void OnCallTransferAccepted(int32_t nLine) override;
  void OnFailToTransfer(int32_t nLine, int32_t nStatusCode, const char* pReason) override;
  void OnIncomingDiagnostic(const char* pMessage, const char* pAddress, int32_t nPort) override;
  void OnOutgoingDiagnostic(const char* pMessage, const char* pAddress, int32_t nPort) override;
  void OnDetectedAMD(int32_t nLine, bool bDetected) override;
  void OnChatContactStatus(const char* pContact, int32_t nStatus) override;
  void OnChatSendMsgTextSuccess(const char* pRecipient, const char* pText,
                                int32_t nNumber) override;
  void OnChatSendMsgTextFail(const char* pRecipient, int32_t nStatusCode, const char* pReason,
                             const char* pText, int32_t nNumber) override;
  void OnChatSendMsgTypingSuccess(const char* pRecipient, int32_t nNumber) override;
  void OnChatSendMsgTypingFail(const char* pRecipient, int32_t nStatusCode, const char* pReason,
                               int32_t nNumber) override;
  void OnChatRecvMsgText(const char* pSender, const char* pText) override;
  void OnChatRecvMsgTypingStart(const char* pSender) override;
  void OnChatRecvMsgTypingStop(const char* pSender) override;

 private:
  std::unique_ptr<cEventExp> m_pEventExp;
};
