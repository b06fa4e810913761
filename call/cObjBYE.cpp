#include "call/cObjBYE.h"

#include "call/cSIPCall.h"
#include "sip/SipStatus.h"
#include "sip/cMsgSIP.h"
#include "util/eKytError.h"

bool cObjBYE::SendReqBYE(cSIPCall* pCall, int32_t& nError) {
  cKytSTR host;
  int32_t nPort = 0;
  cKytSTR text;
  if (!pCall->PrepareReqBYE("", "", host, nPort, text)) {
    nError = kErrBuildBye;
    return false;
  }
  m_pLastSendReqBYE = text;
  pCall->SendToTick(cSIPCall::TICK_BYE, text, host, nPort);
  return true;
}

void cObjBYE::OnReqBYE(const cMsgSIP& request, cSIPCall* pCall) {
  if (pCall->GetObjectStatus() != cSIPCall::STATUS_IDLE) {
    pCall->SetObjectStatus(cSIPCall::STATUS_IDLE);
    pCall->KillTickAll();
    pCall->StopRTP(true, true);
    pCall->OnDisconnectCall();
  }
  pCall->SendResponse(request, kSipOk, "OK");
}

void cObjBYE::OnRepBYE(const cMsgSIP& response, const cKytSTR& loginId, const cKytSTR& password,
                       cSIPCall* pCall) {
  int32_t nCode = response.GetStatusCode();
  if (response.Is_Status_2XX()) {
    pCall->ResetCALL();
    return;
  }
  if (nCode != kSipUnauthorized && nCode != kSipProxyAuthenticationRequired) {
    pCall->StatusResponse(response);
    return;
  }
  cKytSTR authorization, proxyAuthorization, body;
  if (!pCall->AnswerChallenge(response, m_pLastSendReqBYE, "BYE", loginId, password, false,
                              authorization, proxyAuthorization, body)) {
    return;
  }
  cKytSTR host;
  int32_t nPort = 0;
  cKytSTR text;
  if (!pCall->PrepareReqBYE(authorization, proxyAuthorization, host, nPort, text)) return;
  m_pLastSendReqBYE = text;
  pCall->SendToTick(cSIPCall::TICK_BYE, text, host, nPort);
}
