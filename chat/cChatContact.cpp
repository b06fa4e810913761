#include "chat/cChatContact.h"

#include "chat/cChatSIP.h"
#include "sip/SipStatus.h"
#include "sip/cAuth.h"
#include "sip/cFailOverSIP.h"
#include "sip/cKytCoreSink.h"
#include "sip/cKytEventSink.h"
#include "sip/cMsgSIP.h"
#include "sip/cPacketSIP.h"
#include "sip/cTextSIP.h"
#include "sip/cURI.h"
#include "util/eKytError.h"

namespace {

constexpr const char* kAccept = "multipart/related, application/rlmi+xml, application/pidf+xml";
constexpr const char* kSubscriptionActive = "active;expires=3600";

bool Contains(const cKytSTR& text, const char* pNeedle) {
  return text.FindSTR(pNeedle) != cKytSTR::KYT_NOT_FOUND;
}

}  // namespace

cChatContact::cChatContact(cChatSIP* pChatSIP, const cKytSTR& userName)
    : m_nStatusId(cChatSIP::STATUS_OFFLINE),
      m_pChatSIP(pChatSIP),
      m_pUserName(userName),
      m_pObjRecvDataSUBSCRIBE(std::make_unique<cContactDataSIP>()),
      m_pObjSendDataSUBSCRIBE(std::make_unique<cContactDataSIP>()) {
  m_pChatSIP->PrepareToURI(m_pUserName, m_pToURI);
  cURI::PrepareRequestURI(m_pToURI, m_pReqURI);
}

cChatContact::~cChatContact() = default;

// ---------------------------------------------------------------------------------------------
// Status numbers and documents

void cChatContact::StatusToPIDF(int32_t nStatus, const char*& pActivity, const char*& pBasic) {
  pActivity = "unknown";
  pBasic = "open";
  switch (nStatus) {
    case cChatSIP::STATUS_OFFLINE:
      pBasic = "closed";
      break;
    case cChatSIP::STATUS_AWAY:
      pActivity = "away";
      break;
    case cChatSIP::STATUS_ON_THE_PHONE:
      pActivity = "on-the-phone";
      break;
    case cChatSIP::STATUS_BUSY:
      pActivity = "busy";
      break;
    default:
      break;
  }
}

int32_t cChatContact::PIDFToStatus(const cKytSTR& body) {
  cKytSTR lower = cTextSIP::Lower(body);
  if (Contains(lower, "<rpid:busy/>")) return cChatSIP::STATUS_BUSY;
  if (Contains(lower, "<rpid:away/>")) return cChatSIP::STATUS_AWAY;
  if (Contains(lower, "<rpid:on-the-phone/>")) return cChatSIP::STATUS_ON_THE_PHONE;
  if (Contains(lower, "<basic>closed</basic>")) return cChatSIP::STATUS_OFFLINE;
  return cChatSIP::STATUS_ONLINE;
}

void cChatContact::PreparePIDF(const cKytSTR& entity, const cKytSTR& tupleId, const char* pBasic,
                               const cKytSTR& personId, const char* pActivity, cKytSTR& body) {
  body.Format(
      "<?xml version='1.0' encoding='UTF-8'?><presence xmlns='urn:ietf:params:xml:ns:pidf' "
      "xmlns:dm='urn:ietf:params:xml:ns:pidf:data-model' "
      "xmlns:rpid='urn:ietf:params:xml:ns:pidf:rpid' xmlns:c='urn:ietf:params:xml:ns:pidf:cipid' "
      "entity='%s'><tuple id='%s'><status><basic>%s</basic></status></tuple><dm:person "
      "id='%s'><rpid:activities><rpid:%s/></rpid:activities></dm:person></presence>",
      entity.GetDATA(), tupleId.GetDATA(), pBasic, personId.GetDATA(), pActivity);
}

bool cChatContact::IsTerminated(const cKytSTR& subscriptionState) {
  cKytSTR state = cTextSIP::Lower(subscriptionState);
  if (Contains(state, "terminated;") || Contains(state, "deactivated")) return true;
  uint32_t nSemicolon = state.FindSTR(";");
  if (nSemicolon != cKytSTR::KYT_NOT_FOUND) cTextSIP::Mid(state, 0, nSemicolon, state);
  state.Trim(" ");
  state.Trim("\t");
  return state.CompareTo("terminated");
}

// ---------------------------------------------------------------------------------------------
// Operations of the page

void cChatContact::Add() {
  Online();
  m_bRemoved = false;
}

void cChatContact::Remove() {
  Offline();
  m_bRemoved = true;
  m_nRemoveCount = kRemoveSeconds;
}

void cChatContact::Online() {
  SendReqSUBSCRIBE(kSubscribeExpires, "", "");
  SendMyStatus(m_pChatSIP->GetMyStatus());
}

void cChatContact::Offline() {
  SendReqSUBSCRIBE(0, "", "");
  SendMyStatus(cChatSIP::STATUS_OFFLINE);
}

bool cChatContact::SendMyStatus(int32_t nStatus) {
  if (m_bRemoved) return true;
  return SendReqNOTIFY(nStatus);
}

void cChatContact::OnContactStatus(int32_t nStatus) {
  if (m_bRemoved) return;
  m_nStatusId = nStatus;
  if (cKytEventSink* pEvent = m_pChatSIP->GetKytEventObj()) {
    pEvent->OnChatContactStatus(m_pUserName, nStatus);
  }
}

void cChatContact::EndSendSide() {
  m_pObjSendDataSUBSCRIBE->ResetOBJ();
  m_bReceiveNOTIFY = false;
}

// ---------------------------------------------------------------------------------------------
// Requests we send

void cChatContact::PrepareDialogRequest(cMsgSIP& msg, const char* pMethod,
                                        const cContactDataSIP& data) {
  // Inside the dialog requests go to the remote target; the address-of-record would lead a proxy
  // serving its domain back to itself.
  const cKytSTR& requestURI = data.m_pRemoteTarget.IsZeroLEN() ? m_pReqURI : data.m_pRemoteTarget;
  m_pChatSIP->PrepareRequest(msg, pMethod, requestURI, data.m_pFromTagURI, data.m_pToTagURI,
                             data.m_pCallId, m_nTranCount++);
  msg.SetContact(m_pChatSIP->GetContactURI());
  msg.SetEvent("presence");
  msg.SetRoute(data.m_pObjRoute);
}

bool cChatContact::SendReqSUBSCRIBE(int32_t nExpires, const cKytSTR& authorization,
                                    const cKytSTR& proxyAuthorization) {
  if (nExpires == 0 && !m_bReceiveNOTIFY) return true;  // nothing to end
  cKytCoreSink* pCore = m_pChatSIP->GetKytMainObj();
  if (pCore == nullptr) {
    m_nObjectError = kErrBuildSubscribe;
    return false;
  }
  cContactDataSIP& data = *m_pObjSendDataSUBSCRIBE;
  if (data.IsEmpty()) {
    cPacketSIP::GenUniqueTagId(data.m_pToTag);
    data.m_pFromTagURI.Format("%s;tag=%s", pCore->GetFromURI().GetDATA(), data.m_pToTag.GetDATA());
    data.m_pToTagURI = m_pToURI;
    cPacketSIP::GenUniqueCallId(pCore->GetListenIP(), data.m_pCallId);
  }
  cMsgSIP msg;
  PrepareDialogRequest(msg, "SUBSCRIBE", data);
  if (!proxyAuthorization.IsZeroLEN()) {
    msg.SetProxyAuthorization(proxyAuthorization);
  } else if (!authorization.IsZeroLEN()) {
    msg.SetAuthorization(authorization);
  }
  msg.SetExpires(nExpires);
  if (nExpires != 0) msg.SetAccept(kAccept);
  cKytSTR text, host;
  int32_t nPort = 0;
  msg.GetMsgText(text);
  if (text.IsZeroLEN()) {
    m_nObjectError = kErrBuildSubscribe;
    return false;
  }
  m_nSubscribeExpires = nExpires;
  m_pChatSIP->GetProxyAddress(host, nPort);
  StartTick(SLOT_SUBSCRIBE, text, host, nPort, m_pChatSIP->IsStream());
  m_pChatSIP->SendToSocket(text, host, nPort);
  return true;
}

bool cChatContact::SendReqNOTIFY(int32_t nStatus) {
  if (!m_bSendNOTIFY) {
    m_nObjectError = kErrNoSubscriber;
    return false;
  }
  if (m_pChatSIP->GetKytMainObj() == nullptr) {
    m_nObjectError = kErrBuildNotify;
    return false;
  }
  const char* pActivity = nullptr;
  const char* pBasic = nullptr;
  StatusToPIDF(nStatus, pActivity, pBasic);
  cKytSTR body;
  PreparePIDF(m_pChatSIP->GetEntityXML(), m_pChatSIP->GetTupleIdXML(), pBasic,
              m_pChatSIP->GetPersonIdXML(), pActivity, body);
  cMsgSIP msg;
  PrepareDialogRequest(msg, "NOTIFY", *m_pObjRecvDataSUBSCRIBE);
  msg.SetSubscriptionState(kSubscriptionActive);
  msg.SetContentType("application/pidf+xml");
  msg.SetBodySDP(body);
  cKytSTR text, host;
  int32_t nPort = 0;
  msg.GetMsgText(text);
  if (text.IsZeroLEN()) {
    m_nObjectError = kErrBuildNotify;
    return false;
  }
  m_pChatSIP->GetProxyAddress(host, nPort);
  StartTick(SLOT_NOTIFY, text, host, nPort, m_pChatSIP->IsStream());
  m_pChatSIP->SendToSocket(text, host, nPort);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Requests and responses we receive

void cChatContact::OnReqSUBSCRIBE(const cMsgSIP& request) {
  cKytSTR to, toTag;
  request.GetTo(to);
  bool bToTagged = cURI::GetTag(to, toTag);
  cContactDataSIP& data = *m_pObjRecvDataSUBSCRIBE;

  if (request.GetExpires() == 0) {
    m_bSendNOTIFY = false;
    if (!bToTagged && data.m_pToTag.IsZeroLEN()) cPacketSIP::GenUniqueTagId(data.m_pToTag);
    m_pChatSIP->SendResponse(request, kSipOk, "OK", data.m_pToTag);
    return;
  }

  m_bSendNOTIFY = true;
  if (bToTagged) {
    data.m_pToTag = toTag;
    data.m_pFromTagURI = to;
  } else {
    cPacketSIP::GenUniqueTagId(data.m_pToTag);
    data.m_pFromTagURI.Format("%s;tag=%s", to.GetDATA(), data.m_pToTag.GetDATA());
  }
  data.m_pToTagURI = "";
  request.GetFrom(data.m_pToTagURI);
  data.m_pCallId = "";
  request.GetCallId(data.m_pCallId);
  // A refresh inside the dialog keeps the route set of the SUBSCRIBE that created it.
  if (!bToTagged || !data.m_bRouteFixed) {
    data.m_pObjRoute.DeleteAll();
    request.GetRecordRoute(data.m_pObjRoute);
    data.m_bRouteFixed = true;
  }
  TakeRemoteTarget(request, data);
  m_pChatSIP->SendResponse(request, kSipAccepted, "Accepted", data.m_pToTag);
  SendMyStatus(m_pChatSIP->GetMyStatus());

  // Subscribe back, at most once in a few seconds: two agents that list each other would
  // otherwise answer each other's subscriptions with new ones for ever. A removed contact is
  // on its way out and subscribes to nothing.
  double fNow = m_pChatSIP->GetTickNow();
  if (m_bRemoved || fNow - m_fSubscribeLastTick <= kSubscribeBackSeconds) return;
  m_fSubscribeLastTick = fNow;
  // A new subscription from the contact gets a new one from us; a refresh inside its dialog
  // leaves ours where it is.
  if (!bToTagged) m_pObjSendDataSUBSCRIBE->ResetOBJ();
  SendReqSUBSCRIBE(kSubscribeExpires, "", "");
}

void cChatContact::OnReqNOTIFY(const cMsgSIP& request) {
  m_pChatSIP->SendResponse(request, kSipOk, "OK", "");
  if (!m_bReceiveNOTIFY) return;
  cContactDataSIP& data = *m_pObjSendDataSUBSCRIBE;
  // A NOTIFY may arrive before the 2xx of our SUBSCRIBE; then it establishes the dialog, its
  // Record-Route read as a called party reads it.
  if (!data.m_bRouteFixed) {
    data.m_pObjRoute.DeleteAll();
    request.GetRecordRoute(data.m_pObjRoute);
    data.m_bRouteFixed = true;
  }
  TakeRemoteTarget(request, data);
  cKytSTR state;
  request.GetSubscriptionState(state);
  if (IsTerminated(state)) {
    EndSendSide();
    OnContactStatus(cChatSIP::STATUS_OFFLINE);
    return;
  }
  cKytSTR body;
  if (request.GetBodySDP(body)) OnContactStatus(PIDFToStatus(body));
}

void cChatContact::OnRepSUBSCRIBE(const cMsgSIP& response) {
  // Only our current subscription counts: an answer to one given up since (a new dialog after
  // a subscribe-back, an earlier failure) would mix another dialog's tag into it.
  cKytSTR callId;
  response.GetCallId(callId);
  cContactDataSIP& data = *m_pObjSendDataSUBSCRIBE;
  if (data.IsEmpty() || !callId.CompareTo(data.m_pCallId.GetDATA())) return;
  // A provisional answer is no outcome; the final one (or the time-out) decides.
  if (response.Is_Status_1XX()) return;
  StopTick(SLOT_SUBSCRIBE);

  int32_t nStatusCode = response.GetStatusCode();
  if (response.Is_Status_2XX()) {
    m_nAuthCount = 0;
    if (response.GetExpires() == 0) {
      EndSendSide();
      return;
    }
    m_bReceiveNOTIFY = true;
    response.GetTo(data.m_pToTagURI);
    if (!data.m_bRouteFixed) {
      data.m_bRouteFixed = true;
      // The subscriber walks the Record-Route of the 2xx back to front.
      data.m_pObjRoute.DeleteAll();
      cKytListSTR recorded;
      response.GetRecordRoute(recorded);
      cKytSTR value;
      for (int32_t i = 0; recorded.GetAt(i, value); ++i) data.m_pObjRoute.AddHead(value);
    }
    TakeRemoteTarget(response, data);
    return;
  }
  if (nStatusCode == kSipUnauthorized || nStatusCode == kSipProxyAuthenticationRequired) {
    cKytSTR authorization, proxyAuthorization;
    if (m_nAuthCount < cAuth::kMaxAuthAnswers &&
        m_pChatSIP->PrepareCredentials(response, "SUBSCRIBE", "", m_nNonceCount, authorization,
                                       proxyAuthorization)) {
      ++m_nAuthCount;
      // The answer asks for what the challenged request asked, an end stays an end.
      SendReqSUBSCRIBE(m_nSubscribeExpires, authorization, proxyAuthorization);
      return;
    }
  }
  if (RetryElsewhere(nStatusCode)) return;
  m_nAuthCount = 0;
  EndSendSide();
  OnContactStatus(cChatSIP::STATUS_OFFLINE);
}

bool cChatContact::RetryElsewhere(int32_t nStatus) {
  // Once the dialog stands (a 2xx or a NOTIFY fixed its route set), its requests follow it.
  if (m_pObjSendDataSUBSCRIBE->m_bRouteFixed ||
      !cFailOverSIP::NextServer(m_pChatSIP->GetKytMainObj(), nStatus)) {
    return false;
  }
  m_nAuthCount = 0;
  return SendReqSUBSCRIBE(m_nSubscribeExpires, "", "");
}

void cChatContact::OnRepNOTIFY(const cMsgSIP&) { StopTick(SLOT_NOTIFY); }

void cChatContact::TakeRemoteTarget(const cMsgSIP& msg, cContactDataSIP& data) {
  cKytSTR contact;
  if (msg.GetContact(contact) && !contact.IsZeroLEN()) {
    cURI::PrepareRequestURI(contact, data.m_pRemoteTarget);
  }
}

// ---------------------------------------------------------------------------------------------
// Time

void cChatContact::OnTickEvent(const cKytSTR& text, const cKytSTR& toIP, int32_t nToPort) {
  m_pChatSIP->SendToSocket(text, toIP, nToPort);
}

void cChatContact::OnTickEventTimeOut(int32_t nSlot) {
  if (nSlot != SLOT_SUBSCRIBE || RetryElsewhere(cFailOverSIP::kTimedOut)) return;
  EndSendSide();
  OnContactStatus(cChatSIP::STATUS_OFFLINE);
}

void cChatContact::OnOneSecondTick() {
  OnContactTick();
  if (m_bRemoved) {
    --m_nRemoveCount;
    return;
  }
  if (--m_nAutoReOnlineTick > 0) return;
  m_nAutoReOnlineTick = kReOnlineSeconds;
  Online();
}
