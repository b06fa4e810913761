#include "call/cObjNOTIFY.h"

#include "call/cSIPCall.h"
#include "sip/SipStatus.h"
#include "sip/cMsgSIP.h"

void cObjNOTIFY::OnReqNOTIFY(const cMsgSIP& request, cSIPCall* pCall) {
  pCall->SendResponse(request, kSipOk, "OK");
  cKytSTR event;
  request.GetEvent(event);
  event.MakeLower();
  if (event.FindSTR("refer") == cKytSTR::KYT_NOT_FOUND) return;
  cKytSTR body;
  request.GetBodySDP(body);
  cKytSTR upper(body);
  upper.MakeUpper();
  if (upper.FindSTR("200 OK") != cKytSTR::KYT_NOT_FOUND) {
    if (pCall->GetObjectStatus() != cSIPCall::STATUS_IDLE) pCall->OnDisconnectCall();
    pCall->Disconnect();
    return;
  }
  // "SIP/2.0 486 Busy Here": the code between the first and second space, the reason after it.
  uint32_t nFirst = body.FindSTR(" ");
  if (nFirst == cKytSTR::KYT_NOT_FOUND) return;
  uint32_t nSecond = body.FindSTR(" ", nFirst + 1);
  uint32_t nLen = body.GetLEN();
  uint32_t nCodeEnd = nSecond == cKytSTR::KYT_NOT_FOUND ? nLen : nSecond;
  cKytSTR code;
  if (nCodeEnd > nFirst + 1) body.SubSTR(nFirst + 1, nCodeEnd - nFirst - 1, code);
  cKytSTR reason;
  if (nSecond != cKytSTR::KYT_NOT_FOUND && nSecond + 1 < nLen) {
    body.SubSTR(nSecond + 1, nLen - nSecond - 1, reason);
  }
  reason.RemoveSTR("\r\n");
  reason.Trim(" ");
  int32_t nCode = code.ConvertToINT();
  if (nCode >= kSipFirstRedirection && nCode <= kSipLastStatus) {
    pCall->OnFailToTransfer(nCode, reason);
  }
}
