#include "useragent/cKytEventObj.h"

#include "KytRTP/cKytRTPLib.h"
#include "useragent/cKytSIPUserAgentLib.h"
#include "useragent/cKytSIPUserAgentObject.h"

// Texts are copied before the facade sees them: a page function may call back into the agent
// and change the very value the component handed us.
// NOLINTBEGIN(performance-unnecessary-copy-initialization)

namespace {
constexpr int32_t NO_LINE = -1;
}

cKytEventObj::cKytEventObj(cKytSIPUserAgentObject* pKytMainObj, cKytSIPUserAgentLib* pKytMainLib,
                           cKytRTPLib* pKytRTPLib)
    : m_pKytMainObj(pKytMainObj), m_pKytMainLib(pKytMainLib), m_pKytRTPLib(pKytRTPLib) {}

void cKytEventObj::OnTryingToRegister() { m_pKytMainLib->OnTryingToRegister(); }

void cKytEventObj::OnSuccessToRegister() { m_pKytMainLib->OnSuccessToRegister(); }

void cKytEventObj::OnFailToRegister(int32_t nStatusCode, const cKytSTR& reason) {
  const cKytSTR sReason(reason);
  m_pKytMainLib->OnFailToRegister();
  m_pKytMainLib->OnFailToRegisterEx(nStatusCode, sReason.GetDATA());
}

void cKytEventObj::OnTryingToReRegister() { m_pKytMainLib->OnTryingToReRegister(); }

void cKytEventObj::OnSuccessToReRegister() { m_pKytMainLib->OnSuccessToReRegister(); }

void cKytEventObj::OnFailToReRegister(int32_t nStatusCode, const cKytSTR& reason) {
  const cKytSTR sReason(reason);
  m_pKytMainLib->OnFailToReRegister();
  m_pKytMainLib->OnFailToReRegisterEx(nStatusCode, sReason.GetDATA());
}

void cKytEventObj::OnTryingToUnRegister() { m_pKytMainLib->OnTryingToUnRegister(); }

void cKytEventObj::OnSuccessToUnRegister() { m_pKytMainLib->OnSuccessToUnRegister(); }

void cKytEventObj::OnFailToUnRegister(int32_t nStatusCode, const cKytSTR& reason) {
  const cKytSTR sReason(reason);
  m_pKytMainLib->OnFailToUnRegister(nStatusCode, sReason.GetDATA());
}

void cKytEventObj::OnConnecting(int32_t nLine) {
  if (nLine == NO_LINE) return;
  m_pKytMainLib->OnConnecting(nLine);
}

void cKytEventObj::OnTryingToHold(int32_t nLine) {
  if (nLine == NO_LINE) return;
  m_pKytMainLib->OnTryingToHold(nLine);
}

void cKytEventObj::OnTryingToUnHold(int32_t nLine) {
  if (nLine == NO_LINE) return;
  m_pKytRTPLib->UnHoldLine(nLine);
  m_pKytMainLib->OnTryingToUnHold(nLine);
}

void cKytEventObj::OnSuccessToHold(int32_t nLine) {
  if (nLine == NO_LINE) return;
  m_pKytRTPLib->HoldLine(nLine);
  m_pKytMainLib->OnSuccessToHold(nLine);
}

void cKytEventObj::OnSuccessToUnHold(int32_t nLine) {
  if (nLine == NO_LINE) return;
  m_pKytRTPLib->UnHoldLine(nLine);
  m_pKytMainLib->OnSuccessToUnHold(nLine);
}

void cKytEventObj::OnFailToHold(int32_t nLine) {
  if (nLine == NO_LINE) return;
  m_pKytMainLib->OnFailToHold(nLine);
}

void cKytEventObj::OnFailToUnHold(int32_t nLine) {
  if (nLine == NO_LINE) return;
  m_pKytMainLib->OnFailToUnHold(nLine);
}

void cKytEventObj::OnFailToConnect(int32_t nLine) {
  if (nLine == NO_LINE) return;
  m_pKytMainObj->OnFailToConnect(nLine);
  m_pKytMainLib->OnFailToConnect(nLine);
}

void cKytEventObj::OnDisconnectCall(int32_t nLine) {
  if (nLine == NO_LINE) return;
  m_pKytMainObj->OnDisconnectCall(nLine);
  m_pKytMainLib->OnDisconnectCall(nLine);
}

void cKytEventObj::OnIncomingCall(const cKytSTR& callId, const cKytSTR& callerDisplayName,
                                  const cKytSTR& callerUserName, const cKytSTR& callerURI,
                                  const cKytSTR& calleeURI) {
  const cKytSTR sCallId(callId), sDisplay(callerDisplayName), sUser(callerUserName),
      sCaller(callerURI), sCallee(calleeURI);
  m_pKytMainLib->OnIncomingCall(sCallId.GetDATA(), sDisplay.GetDATA(), sUser.GetDATA(),
                                sCaller.GetDATA(), sCallee.GetDATA());
}

void cKytEventObj::OnIncomingCallRingingStart(const cKytSTR& callId) {
  const cKytSTR sCallId(callId);
  m_pKytMainLib->OnIncomingCallRingingStart(sCallId.GetDATA());
}

void cKytEventObj::OnIncomingCallRingingStop(const cKytSTR& callId) {
  const cKytSTR sCallId(callId);
  m_pKytMainLib->OnIncomingCallRingingStop(sCallId.GetDATA());
}

void cKytEventObj::OnConnected(int32_t nLine, const cKytSTR& remoteRtpIP, int32_t nRemoteRtpPort,
                               const cKytSTR& callId) {
  if (nLine == NO_LINE) return;
  const cKytSTR sIP(remoteRtpIP), sCallId(callId);
  m_pKytMainLib->OnSuccessToConnect(nLine, sIP.GetDATA(), nRemoteRtpPort, sCallId.GetDATA());
}

void cKytEventObj::OnProvisionalResponse(int32_t nLine, int32_t nStatusCode,
                                         const cKytSTR& reason) {
  if (nLine == NO_LINE) return;
  const cKytSTR sReason(reason);
  m_pKytMainLib->OnProvisionalResponse(nLine, nStatusCode, sReason.GetDATA());
}

void cKytEventObj::OnRequestFailureResponse(int32_t nLine, int32_t nStatusCode,
                                            const cKytSTR& reason) {
  if (nLine == NO_LINE) return;
  const cKytSTR sReason(reason);
  m_pKytMainObj->OnFailureResponse(nLine, nStatusCode, sReason);
  m_pKytMainLib->OnRequestFailureResponse(nLine, nStatusCode, sReason.GetDATA());
}

void cKytEventObj::OnServerFailureResponse(int32_t nLine, int32_t nStatusCode,
                                           const cKytSTR& reason) {
  if (nLine == NO_LINE) return;
  const cKytSTR sReason(reason);
  m_pKytMainObj->OnFailureResponse(nLine, nStatusCode, sReason);
  m_pKytMainLib->OnServerFailureResponse(nLine, nStatusCode, sReason.GetDATA());
}

void cKytEventObj::OnGeneralFailureResponse(int32_t nLine, int32_t nStatusCode,
                                            const cKytSTR& reason) {
  if (nLine == NO_LINE) return;
  const cKytSTR sReason(reason);
  m_pKytMainObj->OnFailureResponse(nLine, nStatusCode, sReason);
  m_pKytMainLib->OnGeneralFailureResponse(nLine, nStatusCode, sReason.GetDATA());
}

void cKytEventObj::OnRedirectResponse(int32_t nLine, int32_t nStatusCode, const cKytSTR& reason,
                                      const cKytSTR& contact) {
  if (nLine == NO_LINE) return;
  const cKytSTR sReason(reason), sContact(contact);
  m_pKytMainObj->OnFailureResponse(nLine, nStatusCode, sReason);
  m_pKytMainLib->OnRedirectionResponse(nLine, nStatusCode, sReason.GetDATA(), sContact.GetDATA());
}

void cKytEventObj::OnCallTransferAccepted(int32_t nLine) {
  if (nLine == NO_LINE) return;
  m_pKytMainLib->OnCallTransferAccepted(nLine);
}

void cKytEventObj::OnFailToTransfer(int32_t nLine, int32_t nStatusCode, const cKytSTR& reason) {
  if (nLine == NO_LINE) return;
  const cKytSTR sReason(reason);
  m_pKytMainLib->OnFailToTransfer(nLine, nStatusCode, sReason.GetDATA());
}

void cKytEventObj::OnChatContactStatus(const cKytSTR& contact, int32_t nStatus) {
  const cKytSTR sContact(contact);
  m_pKytMainLib->OnChatContactStatus(sContact.GetDATA(), nStatus);
}

void cKytEventObj::OnChatSendMsgTextSuccess(const cKytSTR& recipient, const cKytSTR& text,
                                            int32_t nNumber) {
  const cKytSTR sRecipient(recipient), sText(text);
  m_pKytMainLib->OnChatSendMsgTextSuccess(sRecipient.GetDATA(), sText.GetDATA(), nNumber);
}

void cKytEventObj::OnChatSendMsgTextFail(const cKytSTR& recipient, int32_t nStatusCode,
                                         const cKytSTR& reason, const cKytSTR& text,
                                         int32_t nNumber) {
  const cKytSTR sRecipient(recipient), sReason(reason), sText(text);
  m_pKytMainLib->OnChatSendMsgTextFail(sRecipient.GetDATA(), nStatusCode, sReason.GetDATA(),
                                       sText.GetDATA(), nNumber);
}

void cKytEventObj::OnChatSendMsgTypingSuccess(const cKytSTR& recipient, int32_t nNumber) {
  const cKytSTR sRecipient(recipient);
  m_pKytMainLib->OnChatSendMsgTypingSuccess(sRecipient.GetDATA(), nNumber);
}

void cKytEventObj::OnChatSendMsgTypingFail(const cKytSTR& recipient, int32_t nStatusCode,
                                           const cKytSTR& reason, int32_t nNumber) {
  const cKytSTR sRecipient(recipient), sReason(reason);
  m_pKytMainLib->OnChatSendMsgTypingFail(sRecipient.GetDATA(), nStatusCode, sReason.GetDATA(),
                                         nNumber);
}

void cKytEventObj::OnChatRecvMsgText(const cKytSTR& sender, const cKytSTR& text) {
  const cKytSTR sSender(sender), sText(text);
  m_pKytMainLib->OnChatRecvMsgText(sSender.GetDATA(), sText.GetDATA());
}

void cKytEventObj::OnChatRecvMsgTypingStart(const cKytSTR& sender) {
  const cKytSTR sSender(sender);
  m_pKytMainLib->OnChatRecvMsgTypingStart(sSender.GetDATA());
}

void cKytEventObj::OnChatRecvMsgTypingStop(const cKytSTR& sender) {
  const cKytSTR sSender(sender);
  m_pKytMainLib->OnChatRecvMsgTypingStop(sSender.GetDATA());
}

void cKytEventObj::OnIncomingDiagnostic(const cKytSTR& message, const cKytSTR& address,
                                        int32_t nPort) {
  const cKytSTR sMessage(message), sAddress(address);
  m_pKytMainLib->OnIncomingDiagnostic(sMessage.GetDATA(), sAddress.GetDATA(), nPort);
}

void cKytEventObj::OnOutgoingDiagnostic(const cKytSTR& message, const cKytSTR& address,
                                        int32_t nPort) {
  const cKytSTR sMessage(message), sAddress(address);
  m_pKytMainLib->OnOutgoingDiagnostic(sMessage.GetDATA(), sAddress.GetDATA(), nPort);
}

void cKytEventObj::OnDetectedAMD(int32_t nLine, bool bDetected) {
  m_pKytMainLib->OnDetectedAMD(nLine, bDetected);
}

void cKytEventObj::OnPlayWaveDone(int32_t nLine) { m_pKytMainLib->OnPlayWaveDone(nLine); }

// NOLINTEND(performance-unnecessary-copy-initialization)
