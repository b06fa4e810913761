#include "call/cRequestSIP.h"

#include "call/cCallPool.h"
#include "call/cSIPCall.h"
#include "sip/cMsgSIP.h"
#include "sip/cVia.h"

cKytSTR cRequestSIP::CallIdOf(const cMsgSIP& request) {
  cKytSTR callId;
  request.GetCallId(callId);
  return callId;
}

void cRequestSIP::Answer(const cMsgSIP& request, int32_t nStatusCode, const char* pReason,
                         cKytCoreSink* pKytMainObj, cKytEventSink* pKytEventObj) {
  cSIPCall temporary(CallIdOf(request), pKytMainObj, pKytEventObj);
  temporary.SendResponse(request, nStatusCode, pReason);
}

void cRequestSIP::OnReqOPTIONS(const cMsgSIP& request, cCallPool*, cKytCoreSink* pKytMainObj,
                               cKytEventSink* pKytEventObj) {
  cKytListSTR vias;
  cKytSTR topVia, host, branch;
  int32_t nPort = 0;
  if (!request.GetVia(vias) || !vias.GetHead(topVia) || !cVia::Parse(topVia, host, nPort, branch)) {
    return;
  }
  Answer(request, 200, "OK", pKytMainObj, pKytEventObj);
}

void cRequestSIP::OnReqNOTIFY(const cMsgSIP& request, cCallPool* pCallPool, cKytCoreSink*,
                              cKytEventSink*, const PresenceNotifyFn& presenceNotify) {
  if (cSIPCall* pCall = pCallPool->FindCall(CallIdOf(request))) {
    pCall->OnReqNOTIFY(request);
    return;
  }
  cKytSTR event;
  if (request.GetEvent(event) && event.CompareNoCaseTo("presence") && presenceNotify) {
    presenceNotify(request);
  }
}

void cRequestSIP::OnReqINVITE(const cKytSTR& requestText, const cMsgSIP& request,
                              bool bDonotDisturb, cCallPool* pCallPool, cKytCoreSink* pKytMainObj,
                              cKytEventSink* pKytEventObj) {
  if (bDonotDisturb) {
    Answer(request, 480, "Temporarily Unavailable", pKytMainObj, pKytEventObj);
    return;
  }
  cKytSTR callId = CallIdOf(request);
  // Without a Call-ID no later request could ever find the call.
  if (callId.IsZeroLEN()) return;
  // A call on its way out takes no new INVITE: it would ring again, or connect, and then be
  // destroyed under the line that took it.
  if (pCallPool->IsClosing(callId)) return;
  bool bNew = pCallPool->FindCall(callId) == nullptr;
  cSIPCall* pCall = pCallPool->CreateCall(callId, pKytMainObj, pKytEventObj);
  pCall->OnReqINVITE(request, requestText);
  // An INVITE the call could not take (no usable Via, no CSeq) leaves nothing to keep.
  if (bNew && pCall->GetObjectStatus() == cSIPCall::STATUS_IDLE) pCallPool->CloseCall(callId);
}

void cRequestSIP::OnReqACK(const cMsgSIP& request, cCallPool* pCallPool, cKytCoreSink*,
                           cKytEventSink*) {
  if (cSIPCall* pCall = pCallPool->FindCall(CallIdOf(request))) pCall->OnReqACK(request);
}

void cRequestSIP::OnReqBYE(const cMsgSIP& request, cCallPool* pCallPool, cKytCoreSink* pKytMainObj,
                           cKytEventSink* pKytEventObj) {
  if (cSIPCall* pCall = pCallPool->FindCall(CallIdOf(request))) {
    pCall->OnReqBYE(request);
  } else {
    Answer(request, 200, "OK", pKytMainObj, pKytEventObj);
  }
}

void cRequestSIP::OnReqCANCEL(const cMsgSIP& request, cCallPool* pCallPool,
                              cKytCoreSink* pKytMainObj, cKytEventSink* pKytEventObj) {
  if (cSIPCall* pCall = pCallPool->FindCall(CallIdOf(request))) {
    pCall->OnReqCANCEL(request);
    return;
  }
  Answer(request, 487, "Request Terminated", pKytMainObj, pKytEventObj);
  Answer(request, 200, "OK", pKytMainObj, pKytEventObj);
}

void cRequestSIP::OnReqINFO(const cMsgSIP& request, cCallPool* pCallPool, cKytCoreSink* pKytMainObj,
                            cKytEventSink* pKytEventObj) {
  if (cSIPCall* pCall = pCallPool->FindCall(CallIdOf(request))) {
    pCall->OnReqINFO(request);
  } else {
    Answer(request, 200, "OK", pKytMainObj, pKytEventObj);
  }
}
