#include "call/cObjCANCEL.h"

#include <memory>

#include "call/cSIPCall.h"
#include "sip/SipStatus.h"
#include "sip/cMsgSIP.h"
#include "sip/cVia.h"
#include "util/eKytError.h"

namespace {

bool TopViaBranch(const cMsgSIP& message, cKytSTR& branch) {
  cKytListSTR vias;
  cKytSTR topVia;
  cKytSTR host;
  int32_t nPort = 0;
  return message.GetVia(vias) && vias.GetHead(topVia) && cVia::Parse(topVia, host, nPort, branch);
}

// Whether a CANCEL names the INVITE this call last received (same top Via branch).
bool CancelsInvite(const cMsgSIP& request, const cKytSTR& lastInviteText) {
  cKytSTR cancelBranch;
  cKytSTR inviteBranch;
  std::unique_ptr<cMsgSIP> pInvite = cMsgSIP::initWithPacketSIP(lastInviteText);
  return pInvite && TopViaBranch(request, cancelBranch) && TopViaBranch(*pInvite, inviteBranch) &&
         !cancelBranch.IsZeroLEN() && cancelBranch.CompareTo(inviteBranch.GetDATA());
}

}  // namespace

bool cObjCANCEL::SendReqCANCEL(cSIPCall* pCall, const cKytSTR& inviteBranch, int32_t& nError) {
  cKytSTR host;
  int32_t nPort = 0;
  cKytSTR text;
  if (!pCall->PrepareReqCANCEL(inviteBranch, host, nPort, text)) {
    nError = kErrBuildCancel;
    return false;
  }
  pCall->SendToTick(cSIPCall::TICK_CANCEL, text, host, nPort);
  return true;
}

void cObjCANCEL::OnReqCANCEL(const cMsgSIP& request, cSIPCall* pCall,
                             const cKytSTR& lastInviteText) {
  if (pCall->GetObjectStatus() != cSIPCall::STATUS_RINGING_IN) {
    // The INVITE has its final answer already: the CANCEL changes nothing but is still answered,
    // 200 when it names that INVITE's transaction and 481 when it names none of ours.
    if (CancelsInvite(request, lastInviteText)) {
      pCall->SendResponse(request, kSipOk, "OK");
    } else {
      pCall->SendResponse(request, kSipCallDoesNotExist, "Call/Transaction Does Not Exist");
    }
    return;
  }
  pCall->SetObjectStatus(cSIPCall::STATUS_IDLE);
  cKytSTR host;
  int32_t nPort = 0;
  cKytSTR text;
  if (pCall->RESPONSE_MSG_STR(lastInviteText, kSipRequestTerminated, "Request Terminated", "", host,
                              nPort, text)) {
    pCall->SendToTick(cSIPCall::TICK_FINAL_ERROR, text, host, nPort);
  }
  pCall->SendResponse(request, kSipOk, "OK");
  pCall->OnIncomingCallRingingStop();
  // A call that was never taken onto a line has nothing left to do: let the pool retire it once
  // late retransmissions have had time to find it.
  if (pCall->GetLineNo() < 0) pCall->CloseNewCallSIP();
}

void cObjCANCEL::OnRepCANCEL(const cMsgSIP& response, cSIPCall* pCall) {
  if (response.Is_Status_2XX()) {
    pCall->KillTickAll();
  } else {
    pCall->StatusResponse(response);
  }
}
