#include "plugin/cKytVoIP.h"

cKytVoIP::cKytVoIP(NPNetscapeFuncs* pBrowser, NPP pNPInstance, cMainLoop* pMainLoop)
    : cKytSIPUserAgentLib(pMainLoop),
      m_pEventExp(std::make_unique<cEventExp>(pBrowser, pNPInstance)) {}

cKytVoIP::~cKytVoIP() {
  UnInitialize();
  m_pEventExp.reset();
}

void cKytVoIP::OnTryingToRegister() { m_pEventExp->Fire_OnTryingToRegister(); }
void cKytVoIP::OnSuccessToRegister() { m_pEventExp->Fire_OnSuccessToRegister(); }
void cKytVoIP::OnFailToRegister() { m_pEventExp->Fire_OnFailToRegister(); }
void cKytVoIP::OnFailToRegisterEx(int32_t nStatusCode, const char* pReason) {
  m_pEventExp->Fire_OnFailToRegisterEx(nStatusCode, pReason);
}
void cKytVoIP::OnTryingToReRegister() { m_pEventExp->Fire_OnTryingToReRegister(); }
void cKytVoIP::OnSuccessToReRegister() { m_pEventExp->Fire_OnSuccessToReRegister(); }
void cKytVoIP::OnFailToReRegister() { m_pEventExp->Fire_OnFailToReRegister(); }
void cKytVoIP::OnFailToReRegisterEx(int32_t nStatusCode, const char* pReason) {
  m_pEventExp->Fire_OnFailToReRegisterEx(nStatusCode, pReason);
}
void cKytVoIP::OnTryingToUnRegister() { m_pEventExp->Fire_OnTryingToUnRegister(); }
void cKytVoIP::OnSuccessToUnRegister() { m_pEventExp->Fire_OnSuccessToUnRegister(); }
void cKytVoIP::OnFailToUnRegister(int32_t, const char*) { m_pEventExp->Fire_OnFailToUnRegister(); }
void cKytVoIP::OnConnecting(int32_t nLine) { m_pEventExp->Fire_OnConnecting(nLine); }
void cKytVoIP::OnSuccessToConnect(int32_t nLine, const char* pRemoteRtpIP, int32_t nRemoteRtpPort,
                                  const char*) {
  m_pEventExp->Fire_OnSuccessToConnect(nLine, pRemoteRtpIP, nRemoteRtpPort);
}
void cKytVoIP::OnFailToConnect(int32_t nLine) { m_pEventExp->Fire_OnFailToConnect(nLine); }
void cKytVoIP::OnDisconnectCall(int32_t nLine) { m_pEventExp->Fire_OnDisconnectCall(nLine); }
void cKytVoIP::OnIncomingCall(const char* pCallId, const char* pCallerDisplayName,
                              const char* pCallerUserName, const char* pCallerURI,
                              const char* pCalleeURI) {
  m_pEventExp->Fire_OnIncomingCall(pCallId, pCallerDisplayName, pCallerUserName, pCallerURI,
                                   pCalleeURI);
}
void cKytVoIP::OnIncomingCallRingingStart(const char* pCallId) {
  m_pEventExp->Fire_OnIncomingCallRingingStart(pCallId);
}
void cKytVoIP::OnIncomingCallRingingStop(const char* pCallId) {
  m_pEventExp->Fire_OnIncomingCallRingingStop(pCallId);
}
void cKytVoIP::OnProvisionalResponse(int32_t nLine, int32_t nStatusCode, const char* pReason) {
  m_pEventExp->Fire_OnProvisionalResponse(nLine, nStatusCode, pReason);
}
void cKytVoIP::OnRedirectionResponse(int32_t nLine, int32_t nStatusCode, const char* pReason,
                                     const char* pContact) {
  m_pEventExp->Fire_OnRedirectionResponse(nLine, nStatusCode, pReason, pContact);
}
void cKytVoIP::OnRequestFailureResponse(int32_t nLine, int32_t nStatusCode, const char* pReason) {
  m_pEventExp->Fire_OnRequestFailureResponse(nLine, nStatusCode, pReason);
}
void cKytVoIP::OnServerFailureResponse(int32_t nLine, int32_t nStatusCode, const char* pReason) {
  m_pEventExp->Fire_OnServerFailureResponse(nLine, nStatusCode, pReason);
}
void cKytVoIP::OnGeneralFailureResponse(int32_t nLine, int32_t nStatusCode, const char* pReason) {
  m_pEventExp->Fire_OnGeneralFailureResponse(nLine, nStatusCode, pReason);
}
void cKytVoIP::OnTryingToHold(int32_t nLine) { m_pEventExp->Fire_OnTryingToHold(nLine); }
void cKytVoIP::OnSuccessToHold(int32_t nLine) { m_pEventExp->Fire_OnSuccessToHold(nLine); }
void cKytVoIP::OnFailToHold(int32_t nLine) { m_pEventExp->Fire_OnFailToHold(nLine); }
void cKytVoIP::OnTryingToUnHold(int32_t nLine) { m_pEventExp->Fire_OnTryingToUnHold(nLine); }
void cKytVoIP::OnSuccessToUnHold(int32_t nLine) { m_pEventExp->Fire_OnSuccessToUnHold(nLine); }
void cKytVoIP::OnFailToUnHold(int32_t nLine) { m_pEventExp->Fire_OnFailToUnHold(nLine); }
void cKytVoIP::OnCallTransferAccepted(int32_t nLine) {
  m_pEventExp->Fire_OnCallTransferAccepted(nLine);
}
void cKytVoIP::OnFailToTransfer(int32_t nLine, int32_t nStatusCode, const char* pReason) {
  m_pEventExp->Fire_OnFailToTransfer(nLine, nStatusCode, pReason);
}
void cKytVoIP::OnIncomingDiagnostic(const char* pMessage, const char* pAddress, int32_t nPort) {
  m_pEventExp->Fire_OnIncomingDiagnostic(pMessage, pAddress, nPort);
}
void cKytVoIP::OnOutgoingDiagnostic(const char* pMessage, const char* pAddress, int32_t nPort) {
  m_pEventExp->Fire_OnOutgoingDiagnostic(pMessage, pAddress, nPort);
}
void cKytVoIP::OnDetectedAMD(int32_t nLine, bool bDetected) {
  m_pEventExp->Fire_OnDetectedAMD(nLine, bDetected);
}
void cKytVoIP::OnChatContactStatus(const char* pContact, int32_t nStatus) {
  m_pEventExp->Fire_OnChatContactStatus(pContact, nStatus);
}
void cKytVoIP::OnChatSendMsgTextSuccess(const char* pRecipient, const char* pText,
                                        int32_t nNumber) {
  m_pEventExp->Fire_OnChatSendMsgTextSuccess(pRecipient, pText, nNumber);
}
void cKytVoIP::OnChatSendMsgTextFail(const char* pRecipient, int32_t nStatusCode,
                                     const char* pReason, const char* pText, int32_t nNumber) {
  m_pEventExp->Fire_OnChatSendMsgTextFail(pRecipient, nStatusCode, pReason, pText, nNumber);
}
void cKytVoIP::OnChatSendMsgTypingSuccess(const char* pRecipient, int32_t nNumber) {
  m_pEventExp->Fire_OnChatSendMsgTypingSuccess(pRecipient, nNumber);
}
void cKytVoIP::OnChatSendMsgTypingFail(const char* pRecipient, int32_t nStatusCode,
                                       const char* pReason, int32_t nNumber) {
  m_pEventExp->Fire_OnChatSendMsgTypingFail(pRecipient, nStatusCode, pReason, nNumber);
}
void cKytVoIP::OnChatRecvMsgText(const char* pSender, const char* pText) {
  m_pEventExp->Fire_OnChatRecvMsgText(pSender, pText);
}
void cKytVoIP::OnChatRecvMsgTypingStart(const char* pSender) {
  m_pEventExp->Fire_OnChatRecvMsgTypingStart(pSender);
}
void cKytVoIP::OnChatRecvMsgTypingStop(const char* pSender) {
  m_pEventExp->Fire_OnChatRecvMsgTypingStop(pSender);
}
