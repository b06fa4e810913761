#include "call/cObjREFER.h"

#include "call/cSIPCall.h"
#include "sip/SipStatus.h"
#include "sip/cMsgSIP.h"

bool cObjREFER::SendReqREFER(const cKytSTR& referToURI, const cKytSTR& replaces, cSIPCall* pCall) {
  cKytSTR host;
  int32_t nPort = 0;
  cKytSTR text;
  if (!pCall->PrepareReqREFER(referToURI, replaces, "", "", host, nPort, text)) return false;
  m_pREFER_ToURI = referToURI;
  m_pREFER_Replace = replaces;
  m_pLastSendReqREFER = text;
  pCall->SendToTick(cSIPCall::TICK_REFER, text, host, nPort);
  return true;
}

void cObjREFER::OnRepREFER(const cMsgSIP& response, const cKytSTR& loginId, const cKytSTR& password,
                           cSIPCall* pCall) {
  pCall->KillTickAll();
  int32_t nCode = response.GetStatusCode();
  if (response.Is_Status_2XX()) {
    pCall->OnCallTransferAccepted();
    return;
  }
  if (response.Is_Status_1XX()) return;
  if (nCode != kSipUnauthorized && nCode != kSipProxyAuthenticationRequired) {
    // A refused transfer leaves the call up, unless the far end no longer knows the dialog.
    if (cSIPCall::EndsDialog(nCode)) {
      pCall->EndDialog();
      return;
    }
    cKytSTR reason;
    response.GetReasonPhrase(reason);
    pCall->OnFailToTransfer(nCode, reason);
    return;
  }
  cKytSTR authorization, proxyAuthorization, body;
  if (!pCall->AnswerChallenge(response, m_pLastSendReqREFER, "REFER", loginId, password, false,
                              authorization, proxyAuthorization, body)) {
    return;
  }
  cKytSTR host;
  int32_t nPort = 0;
  cKytSTR text;
  if (!pCall->PrepareReqREFER(m_pREFER_ToURI, m_pREFER_Replace, authorization, proxyAuthorization,
                              host, nPort, text)) {
    return;
  }
  m_pLastSendReqREFER = text;
  pCall->SendToTick(cSIPCall::TICK_REFER, text, host, nPort);
}
