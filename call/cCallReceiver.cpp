#include "call/cCallReceiver.h"

#include "call/cCallPool.h"
#include "call/cCallSink.h"
#include "call/cSIPCall.h"
#include "sip/SipStatus.h"
#include "sip/cMsgSIP.h"
#include "sip/cPacketSIP.h"
#include "sip/cRouterSIP.h"
#include "sip/cURI.h"
#include "sip/cVia.h"

namespace {

cKytSTR CallIdOf(const cMsgSIP& msg) {
  cKytSTR callId;
  msg.GetCallId(callId);
  return callId;
}

}  // namespace

cCallReceiver::cCallReceiver(cCallPool* pCallPool, cCallSink* pKytMainObj,
                             cKytEventSink* pKytEventObj)
    : m_pCallPool(pCallPool), m_pKytMainObj(pKytMainObj), m_pKytEventObj(pKytEventObj) {}

void cCallReceiver::Attach(cRouterSIP& router, PresenceNotifyFn fnPresenceNotify) {
  m_fnPresenceNotify = std::move(fnPresenceNotify);
  router.SetRequestCheck(&cSIPCall::GeneralCheck);
  router.RouteRequest("OPTIONS",
                      [this](const cMsgSIP& request, const cKytSTR&) { OnReqOPTIONS(request); });
  router.RouteRequest("NOTIFY",
                      [this](const cMsgSIP& request, const cKytSTR&) { OnReqNOTIFY(request); });
  router.RouteRequest("INVITE", [this](const cMsgSIP& request, const cKytSTR& text) {
    OnReqINVITE(request, text);
  });
  router.RouteRequest("ACK", [this](const cMsgSIP& request, const cKytSTR&) {
    if (cSIPCall* pCall = FindCall(request)) pCall->OnReqACK(request);
  });
  router.RouteRequest("BYE", [this](const cMsgSIP& request, const cKytSTR&) { OnReqBYE(request); });
  router.RouteRequest("CANCEL",
                      [this](const cMsgSIP& request, const cKytSTR&) { OnReqCANCEL(request); });
  router.RouteRequest("INFO",
                      [this](const cMsgSIP& request, const cKytSTR&) { OnReqINFO(request); });
  router.RouteRequest("UPDATE", [this](const cMsgSIP& request, const cKytSTR&) {
    // Not a method of ours; it can only name a dialog we lack when its To has a tag.
    cKytSTR to, tag;
    if (FindCall(request) == nullptr && request.GetTo(to) && cURI::GetTag(to, tag)) {
      AnswerNoDialog(request);
    } else {
      Answer(request, kSipMethodNotAllowed, "Method Not Allowed");
    }
  });
  RouteResponseToCall(router, "INVITE", &cSIPCall::OnRepINVITE);
  RouteResponseToCall(router, "INFO", &cSIPCall::OnRepINFO);
  RouteResponseToCall(router, "CANCEL", &cSIPCall::OnRepCANCEL);
  RouteResponseToCall(router, "BYE", &cSIPCall::OnRepBYE);
  RouteResponseToCall(router, "REFER", &cSIPCall::OnRepREFER);
}

void cCallReceiver::RouteResponseToCall(cRouterSIP& router, const char* pMethod,
                                        void (cSIPCall::*pfnOnResponse)(const cMsgSIP&)) {
  router.RouteResponse(pMethod, [this, pfnOnResponse](const cMsgSIP& response) {
    if (cSIPCall* pCall = FindCall(response)) (pCall->*pfnOnResponse)(response);
  });
}

cSIPCall* cCallReceiver::FindCall(const cMsgSIP& msg) const {
  return m_pCallPool->FindCall(CallIdOf(msg));
}

void cCallReceiver::Answer(const cMsgSIP& request, int32_t nStatusCode, const char* pReason) {
  cPacketSIP::AnswerOutsideDialog(m_pKytMainObj, request, nStatusCode, pReason);
}

void cCallReceiver::AnswerNoDialog(const cMsgSIP& request) {
  Answer(request, kSipCallDoesNotExist, "Call/Transaction Does Not Exist");
}

void cCallReceiver::OnReqOPTIONS(const cMsgSIP& request) {
  cKytListSTR vias;
  cKytSTR topVia, host, branch;
  int32_t nPort = 0;
  if (!request.GetVia(vias) || !vias.GetHead(topVia) || !cVia::Parse(topVia, host, nPort, branch)) {
    return;
  }
  Answer(request, kSipOk, "OK");
}

void cCallReceiver::OnReqNOTIFY(const cMsgSIP& request) {
  if (cSIPCall* pCall = FindCall(request)) {
    pCall->OnReqNOTIFY(request);
    return;
  }
  cKytSTR event;
  if (request.GetEvent(event) && event.CompareNoCaseTo("presence") && m_fnPresenceNotify) {
    m_fnPresenceNotify(request);
    return;
  }
  // An event nobody here subscribed to (a PBX's message summary, say) is still answered.
  Answer(request, kSipBadEvent, "Bad Event");
}

void cCallReceiver::OnReqINVITE(const cMsgSIP& request, const cKytSTR& requestText) {
  if (m_bDonotDisturb) {
    Answer(request, kSipTemporarilyUnavailable, "Temporarily Unavailable");
    return;
  }
  cKytSTR callId = CallIdOf(request);
  // Without a Call-ID no later request could ever find the call.
  if (callId.IsZeroLEN()) return;
  // A re-INVITE for a dialog we do not have.
  cKytSTR to, tag;
  if (m_pCallPool->FindCall(callId) == nullptr && request.GetTo(to) && cURI::GetTag(to, tag)) {
    AnswerNoDialog(request);
    return;
  }
  // A call on its way out takes no new INVITE: it would ring again, or connect, and then be
  // destroyed under the line that took it.
  if (m_pCallPool->IsClosing(callId)) return;
  bool bNew = m_pCallPool->FindCall(callId) == nullptr;
  // Unanswered calls hold memory until they time out: a flood of INVITEs must not pile them up.
  if (bNew && m_pCallPool->GetRingingInCount() >= kMaxRingingIn) {
    Answer(request, kSipBusyHere, "Busy Here");
    return;
  }
  cSIPCall* pCall = m_pCallPool->CreateCall(callId, m_pKytMainObj, m_pKytEventObj);
  pCall->OnReqINVITE(request, requestText);
  // An INVITE the call could not take (no usable Via, no CSeq) leaves nothing to keep.
  if (bNew && pCall->GetObjectStatus() == cSIPCall::STATUS_IDLE) m_pCallPool->CloseCall(callId);
}

void cCallReceiver::OnReqBYE(const cMsgSIP& request) {
  if (cSIPCall* pCall = FindCall(request)) {
    pCall->OnReqBYE(request);
  } else {
    AnswerNoDialog(request);
  }
}

void cCallReceiver::OnReqCANCEL(const cMsgSIP& request) {
  if (cSIPCall* pCall = FindCall(request)) {
    pCall->OnReqCANCEL(request);
    return;
  }
  AnswerNoDialog(request);
}

void cCallReceiver::OnReqINFO(const cMsgSIP& request) {
  if (cSIPCall* pCall = FindCall(request)) {
    pCall->OnReqINFO(request);
  } else {
    AnswerNoDialog(request);
  }
}
