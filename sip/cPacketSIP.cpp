#include "sip/cPacketSIP.h"

#include "platform/cRandom.h"
#include "sip/SipStatus.h"
#include "sip/cCSeq.h"
#include "sip/cKytCoreSink.h"
#include "sip/cMsgSIP.h"
#include "sip/cResponseSIP.h"
#include "sip/cTextSIP.h"
#include "sip/cURI.h"

namespace {

// Process-wide counters that keep identifiers distinct; the random parts make them unguessable.
// Kept unsigned so that wrapping after 2^32 uses is defined; written as their signed values.
uint32_t s_nUniqueTagId = 278;
uint32_t s_nUniqueCallId = 1437;
uint32_t s_nUniqueBranchId = 1;

int32_t NextOf(uint32_t& nCounter) { return static_cast<int32_t>(nCounter++); }

// Host and port of a URI; false when it has no host.
bool HostPortOf(const cKytSTR& uri, cKytSTR& host, int32_t& nPort) {
  cKytSTR displayName;
  cKytSTR user;
  return cURI::Parse(uri, displayName, user, host, nPort);
}

}  // namespace

cPacketSIP::cPacketSIP(cKytCoreSink* pKytMainObj, const cKytSTR& callId)
    : m_pKytMainObj(pKytMainObj) {
  GenUniqueTagId(m_pToTag);
  SetProxyURI(m_pKytMainObj->GetProxySIP());
  if (callId.IsZeroLEN()) {
    GenUniqueCallId(m_pKytMainObj->GetListenIP(), m_pCallId);
  } else {
    m_pCallId = callId;
  }
}

cPacketSIP::~cPacketSIP() = default;

void cPacketSIP::GenUniqueCallId(const cKytSTR& host, cKytSTR& callId) {
  uint32_t nFirst = cRandom::Next32();
  int32_t nCounter = NextOf(s_nUniqueCallId);
  uint32_t nSecond = cRandom::Next32();
  uint32_t nThird = cRandom::Next32();
  callId.Format("%x-%x%x-%x@%s", nFirst, static_cast<uint32_t>(nCounter), nSecond, nThird,
                host.GetDATA());
}

void cPacketSIP::GenUniqueTagId(cKytSTR& tag) {
  int32_t nCounter = NextOf(s_nUniqueTagId);
  tag.Format("%d%x", nCounter, cRandom::Next32());
}

void cPacketSIP::GenUniqueBranchId(cKytSTR& branch) {
  int32_t nCounter = NextOf(s_nUniqueBranchId);
  uint32_t nFirst = cRandom::Next32();
  uint32_t nSecond = cRandom::Next32();
  branch.Format("z9hG4bK%d%x%x", nCounter, nFirst, nSecond);
}

bool cPacketSIP::GetToTag(cKytSTR& tag) const { return cURI::GetTag(m_pToTagURI, tag); }

bool cPacketSIP::GetFromTag(cKytSTR& tag) const { return cURI::GetTag(m_pFromTagURI, tag); }

void cPacketSIP::GetToURI(cKytSTR& uri) const {
  cKytSTR displayName;
  cKytSTR user;
  cKytSTR host;
  int32_t nPort = 0;
  cURI::Parse(m_pToTagURI, displayName, user, host, nPort);
  cURI::Construct(displayName, user, host, nPort, uri);
}

void cPacketSIP::SetReqURI(const cKytSTR& target) { cURI::PrepareRequestURI(target, m_pReqURI); }

void cPacketSIP::SetProxyURI(const cKytSTR& uri) {
  cKytSTR displayName;
  cKytSTR user;
  cKytSTR host;
  int32_t nPort = 0;
  cKytSTR maddr;
  if (!cURI::Parse(uri, displayName, user, host, nPort, maddr)) {
    m_pProxyURI = "";
  } else if (!maddr.IsZeroLEN()) {
    m_pProxyURI = maddr;
  } else {
    cURI::Construct("", "", host, nPort, m_pProxyURI);
  }
}

void cPacketSIP::SetProxyURI(const cKytSTR& defaultProxyURI, const cKytSTR& target) {
  cKytSTR displayName;
  cKytSTR user;
  cKytSTR host;
  int32_t nPort = 0;
  cKytSTR maddr;
  cURI::Parse(target, displayName, user, host, nPort, maddr);
  m_pProxyURI = maddr.IsZeroLEN() ? defaultProxyURI : maddr;
}

bool cPacketSIP::MakeContact(const cKytCoreSink* pKytMainObj, cKytSTR& contact) {
  cKytSTR displayName;
  cKytSTR user;
  cKytSTR host;
  int32_t nPort = 0;
  if (!cURI::Parse(pKytMainObj->GetFromURI(), displayName, user, host, nPort)) return false;
  cURI::ConstructContact(user, pKytMainObj->GetListenIP(), pKytMainObj->GetListenPort(),
                         pKytMainObj->GetTransport(), contact);
  return true;
}

bool cPacketSIP::SetContact(cMsgSIP& msg) const {
  cKytSTR contact;
  if (!MakeContact(m_pKytMainObj, contact)) return false;
  msg.SetContact(contact);
  return true;
}

void cPacketSIP::StartRequest(const cKytCoreSink* pKytMainObj, cMsgSIP& msg, const char* pMethod,
                              const cKytSTR& requestURI, const cKytSTR& branch, const cKytSTR& from,
                              const cKytSTR& to, const cKytSTR& callId, int32_t nCSeq) {
  msg.SetMethod(pMethod);
  msg.SetRequestURI(requestURI);
  msg.SetVia(pKytMainObj->GetListenIP(), pKytMainObj->GetListenPort(), branch,
             pKytMainObj->GetTransport());
  msg.SetFrom(from);
  msg.SetTo(to);
  msg.SetCallId(callId);
  cKytSTR cseq;
  cCSeq::Construct(pMethod, nCSeq, cseq);
  msg.SetCSeq(cseq);
  msg.SetMaxForward(kMaxForwards);
}

void cPacketSIP::BeginRequest(cMsgSIP& msg, const char* pMethod, const cKytSTR& branch,
                              int32_t nCSeq, const cKytSTR& from, const cKytSTR& to,
                              cKytSTR& toHost, int32_t& nToPort) const {
  StartRequest(m_pKytMainObj, msg, pMethod, m_pReqURI, branch, from, to, m_pCallId, nCSeq);

  cKytSTR firstRoute;
  if (m_pRoute.GetHead(firstRoute)) {
    msg.SetRoute(m_pRoute);
    HostPortOf(firstRoute, toHost, nToPort);
  } else {
    HostPortOf(m_pProxyURI, toHost, nToPort);
  }
}

bool cPacketSIP::BeginDialogRequest(cMsgSIP& msg, const char* pMethod, cKytSTR& toHost,
                                    int32_t& nToPort) {
  cKytSTR contact;
  if (!MakeContact(m_pKytMainObj, contact)) return false;
  cKytSTR branch;
  GenUniqueBranchId(branch);
  BeginRequest(msg, pMethod, branch, m_nTranCount++, m_pFromTagURI, m_pToTagURI, toHost, nToPort);
  msg.SetContact(contact);
  msg.SetUserAgent(kUserAgent);
  return true;
}

void cPacketSIP::AddCredentials(cMsgSIP& msg, const cKytSTR& authorization,
                                const cKytSTR& proxyAuthorization) {
  // Behind a challenging proxy and a challenging server a request carries both.
  if (!proxyAuthorization.IsZeroLEN()) msg.SetProxyAuthorization(proxyAuthorization);
  if (!authorization.IsZeroLEN()) msg.SetAuthorization(authorization);
}

namespace {

bool Render(const cMsgSIP& msg, cKytSTR& text) {
  msg.GetMsgText(text);
  return !text.IsZeroLEN();
}

}  // namespace

bool cPacketSIP::INVITE(const cKytSTR& target, const cKytSTR& bodySDP, const cKytSTR& authorization,
                        const cKytSTR& proxyAuthorization, cKytSTR& branch, cKytSTR& toHost,
                        int32_t& nToPort, cKytSTR& text, bool bSameDialog) {
  text = "";
  cKytSTR contact;
  if (!MakeContact(m_pKytMainObj, contact)) return false;

  m_bIsUAC = true;
  m_bDialogEstablished = false;
  m_bStrictRoute = false;
  m_pRoute.DeleteAll();
  m_pRecordRoute.DeleteAll();
  SetReqURI(target);
  cURI::PrepareToURI(target, m_pToTagURI);
  // A repeated INVITE carrying credentials stays in the dialog the first one opened.
  bool bFirst = !bSameDialog && authorization.IsZeroLEN() && proxyAuthorization.IsZeroLEN();
  if (bFirst || m_pFromTagURI.IsZeroLEN()) {
    cKytSTR tag;
    GenUniqueTagId(tag);
    m_pFromTagURI.Format("%s;tag=%s", m_pKytMainObj->GetFromURI().GetDATA(), tag.GetDATA());
  }
  SetProxyURI(m_pKytMainObj->GetProxySIP());
  SetProxyURI(cKytSTR(m_pProxyURI), target);
  m_nSeqNoINVITE = m_nTranCount++;
  GenUniqueBranchId(branch);

  cMsgSIP msg;
  BeginRequest(msg, "INVITE", branch, m_nSeqNoINVITE, m_pFromTagURI, m_pToTagURI, toHost, nToPort);
  m_pInviteReqURI = m_pReqURI;
  m_pInviteTo = m_pToTagURI;
  m_pInviteHost = toHost;
  m_nInvitePort = nToPort;
  msg.SetContact(contact);
  msg.SetContentType("application/sdp");
  msg.SetAllow(kAllow);
  msg.SetUserAgent(kUserAgent);
  AddCredentials(msg, authorization, proxyAuthorization);
  msg.SetBodySDP(bodySDP);
  return Render(msg, text);
}

bool cPacketSIP::ReINVITE(const cKytSTR& bodySDP, const cKytSTR& authorization,
                          const cKytSTR& proxyAuthorization, cKytSTR& toHost, int32_t& nToPort,
                          cKytSTR& text) {
  text = "";
  cMsgSIP msg;
  if (!BeginDialogRequest(msg, "INVITE", toHost, nToPort)) return false;
  msg.SetContentType("application/sdp");
  msg.SetAllow(kAllow);
  AddCredentials(msg, authorization, proxyAuthorization);
  msg.SetBodySDP(bodySDP);
  return Render(msg, text);
}

bool cPacketSIP::ACK(const cMsgSIP& response, const cKytSTR& inviteBranch,
                     const cKytSTR& authorization, const cKytSTR& proxyAuthorization,
                     cKytSTR& toHost, int32_t& nToPort, cKytSTR& text) {
  text = "";
  cKytSTR contact;
  if (!MakeContact(m_pKytMainObj, contact)) return false;

  cKytSTR from(m_pFromTagURI);
  cKytSTR to(m_pToTagURI);
  response.GetFrom(from);
  response.GetTo(to);
  int32_t nCSeq = m_nSeqNoINVITE;
  cKytSTR cseq;
  cKytSTR method;
  cKytSTR number;
  if (response.GetCSeq(cseq) && cCSeq::Parse(cseq, method, number)) {
    nCSeq = cTextSIP::ToInt(number.GetDATA());
  }
  // The ACK of a 2xx is a transaction of its own; that of an error ends the INVITE's.
  cKytSTR branch(inviteBranch);
  if (response.Is_Status_2XX()) GenUniqueBranchId(branch);

  cMsgSIP msg;
  BeginRequest(msg, "ACK", branch, nCSeq, from, to, toHost, nToPort);
  msg.SetContact(contact);
  AddCredentials(msg, authorization, proxyAuthorization);
  return Render(msg, text);
}

bool cPacketSIP::CANCEL(const cKytSTR& inviteBranch, cKytSTR& toHost, int32_t& nToPort,
                        cKytSTR& text) {
  text = "";
  cKytSTR contact;
  if (!MakeContact(m_pKytMainObj, contact)) return false;
  // Request-URI, To (without the tag a provisional response brought) and next hop of the INVITE.
  cMsgSIP msg;
  StartRequest(m_pKytMainObj, msg, "CANCEL", m_pInviteReqURI, inviteBranch, m_pFromTagURI,
               m_pInviteTo, m_pCallId, m_nSeqNoINVITE);
  toHost = m_pInviteHost;
  nToPort = m_nInvitePort;
  msg.SetUserAgent(kUserAgent);
  return Render(msg, text);
}

bool cPacketSIP::BYE(const cKytSTR& authorization, const cKytSTR& proxyAuthorization,
                     cKytSTR& toHost, int32_t& nToPort, cKytSTR& text) {
  text = "";
  cMsgSIP msg;
  if (!BeginDialogRequest(msg, "BYE", toHost, nToPort)) return false;
  AddCredentials(msg, authorization, proxyAuthorization);
  return Render(msg, text);
}

bool cPacketSIP::REFER(const cKytSTR& referTo, const cKytSTR& replaces,
                       const cKytSTR& authorization, const cKytSTR& proxyAuthorization,
                       cKytSTR& toHost, int32_t& nToPort, cKytSTR& text) {
  text = "";
  cMsgSIP msg;
  if (!BeginDialogRequest(msg, "REFER", toHost, nToPort)) return false;

  cKytSTR referToValue(referTo);
  if (!replaces.IsZeroLEN()) {
    // The Replaces header rides inside the target URI, so its separators are escaped.
    cKytSTR escaped(replaces);
    escaped.Replace("@", "%40");
    escaped.Replace(";", "%3B");
    escaped.Replace("=", "%3D");
    cKytSTR target(referTo);
    uint32_t nClose = target.FindRevSTR(">");
    if (nClose != cKytSTR::KYT_NOT_FOUND) {
      cTextSIP::Mid(target, 0, nClose, target);
    } else {
      target.Format("<%s", referTo.GetDATA());
    }
    referToValue.Format("%s?Replaces=%s>", target.GetDATA(), escaped.GetDATA());
  }
  msg.SetReferTo(referToValue);

  cKytSTR referredBy = cTextSIP::Lower(m_pFromTagURI);
  uint32_t nTag = referredBy.FindSTR(";tag=");
  if (nTag != cKytSTR::KYT_NOT_FOUND) cTextSIP::Mid(referredBy, 0, nTag, referredBy);
  msg.ReferredBy(referredBy);
  AddCredentials(msg, authorization, proxyAuthorization);
  return Render(msg, text);
}

bool cPacketSIP::INFO_DTMF(int32_t nDigit, int32_t nDuration, cKytSTR& toHost, int32_t& nToPort,
                           cKytSTR& text) {
  text = "";
  cMsgSIP msg;
  if (!BeginDialogRequest(msg, "INFO", toHost, nToPort)) return false;
  msg.SetContentType("application/dtmf-relay");
  cKytSTR body;
  body.Format("Signal=%d\n\rDuration=%d\n\r", nDigit, nDuration);
  msg.SetBodySDP(body);
  return Render(msg, text);
}

bool cPacketSIP::ManageRecordRoute(const cMsgSIP& msg) {
  if (m_bDialogEstablished) return m_bStrictRoute;
  m_bStrictRoute = false;
  m_pRecordRoute.DeleteAll();
  m_pRoute.DeleteAll();
  cKytListSTR received;
  if (!msg.GetRecordRoute(received)) return false;

  cKytSTR value;
  for (int32_t i = 0; received.GetAt(i, value); ++i) {
    // The caller walks the Record-Route back to front.
    if (m_bIsUAC) {
      m_pRecordRoute.AddHead(value);
      m_pRoute.AddHead(value);
    } else {
      m_pRecordRoute.AddTail(value);
      m_pRoute.AddTail(value);
    }
  }

  cKytSTR first;
  m_pRecordRoute.GetHead(first);
  if (cTextSIP::Lower(first).FindSTR(";lr") != cKytSTR::KYT_NOT_FOUND) return false;

  // A strict router wants to be the Request-URI; the remote target then closes the route.
  cKytSTR contact;
  if (msg.GetContact(contact)) m_pRoute.AddTail(contact);
  m_pRoute.RemoveHead(first);
  SetReqURI(first);
  m_bStrictRoute = true;
  return true;
}

void cPacketSIP::TakeRemoteTarget(const cKytSTR& contact) {
  SetProxyURI(contact);
  SetReqURI(contact);
}

void cPacketSIP::RefreshRemoteTarget(const cMsgSIP& msg) {
  cKytSTR contact;
  if (!msg.GetContact(contact) || contact.IsZeroLEN()) return;
  if (!m_bStrictRoute) {
    TakeRemoteTarget(contact);
    return;
  }
  // Behind a strict router the remote target is the last Route entry.
  cKytListSTR route;
  cKytSTR value;
  for (int32_t i = 0; i + 1 < m_pRoute.GetCount() && m_pRoute.GetAt(i, value); ++i) {
    route.AddTail(value);
  }
  route.AddTail(contact);
  m_pRoute.DeleteAll();
  route.CopyTo(m_pRoute);
}

bool cPacketSIP::ON_INVITE_REQ(const cMsgSIP& request) {
  cKytSTR to;
  cKytSTR from;
  cKytSTR callId;
  cKytSTR cseq;
  cKytSTR method;
  cKytSTR number;
  if (!request.GetTo(to) || !request.GetFrom(from) || !request.GetCallId(callId) ||
      !request.GetCSeq(cseq) || !cCSeq::Parse(cseq, method, number)) {
    return false;
  }

  if (m_bDialogEstablished) {
    // A re-INVITE (or a resent INVITE): the dialog keeps its parties, sides and route set.
    m_nSeqNoINVITE = cTextSIP::ToInt(number.GetDATA());
    RefreshRemoteTarget(request);
    return true;
  }
  m_bIsUAC = false;
  cKytSTR tag;
  if (cURI::GetTag(to, tag)) {
    m_pFromTagURI = to;
  } else {
    m_pFromTagURI.Format("%s;tag=%s", to.GetDATA(), m_pToTag.GetDATA());
  }
  m_pToTagURI = from;
  m_pCallId = callId;
  m_nSeqNoINVITE = cTextSIP::ToInt(number.GetDATA());

  if (!ManageRecordRoute(request)) {
    // Without a Contact the caller is reached at the address it gave in From.
    cKytSTR contact(from);
    request.GetContact(contact);
    TakeRemoteTarget(contact);
  }
  m_bDialogEstablished = true;
  return true;
}

bool cPacketSIP::ON_INVITE_RINGING(const cMsgSIP& response) {
  if (m_bDialogEstablished) return true;
  response.GetTo(m_pToTagURI);
  // Only a provisional response with a tag opens an early dialog with a route set of its own.
  cKytSTR tag;
  if (cURI::GetTag(m_pToTagURI, tag)) ManageRecordRoute(response);
  return true;
}

bool cPacketSIP::ON_INVITE_SESSION_PROGRESS(const cMsgSIP& response) {
  return ON_INVITE_RINGING(response);
}

bool cPacketSIP::ON_INVITE_OK(const cMsgSIP& response) {
  if (m_bDialogEstablished) {
    RefreshRemoteTarget(response);
    return true;
  }
  response.GetTo(m_pToTagURI);
  cKytSTR contact;
  if (!ManageRecordRoute(response) && response.GetContact(contact) && !contact.IsZeroLEN()) {
    TakeRemoteTarget(contact);
  }
  m_bDialogEstablished = true;
  return true;
}

bool cPacketSIP::Respond(const cKytCoreSink* pKytMainObj, const cKytSTR& localTag,
                         const cMsgSIP& request, int32_t nStatusCode, const cKytSTR& reason,
                         const cKytSTR& body, const cKytSTR& forwardUser, cKytSTR& toHost,
                         int32_t& nToPort, cKytSTR& text, const cKytSTR& unsupported) {
  text = "";
  cKytSTR ownContact;
  if (!MakeContact(pKytMainObj, ownContact)) return false;
  cResponseSIP response(request, nStatusCode, reason);
  // A 100 Trying is answered hop by hop and names no dialog.
  if (nStatusCode != kSipTrying) response.SetLocalTag(localTag);
  if (nStatusCode < kSipFirstRedirection || nStatusCode > kSipLastRedirection) {
    response.AddContact(ownContact);
  } else if (!forwardUser.IsZeroLEN()) {
    cKytSTR proxyHost;
    int32_t nProxyPort = 0;
    HostPortOf(pKytMainObj->GetProxySIP(), proxyHost, nProxyPort);
    cKytSTR forward;
    cURI::Construct("", forwardUser, proxyHost, nProxyPort, forward);
    response.AddContact(forward);
    response.AddContact(ownContact);
  }
  response.SetBodySDP(body);
  response.SetUnsupported(unsupported);
  return response.Build(toHost, nToPort, text);
}

bool cPacketSIP::RESPONSE(const cMsgSIP& request, int32_t nStatusCode, const cKytSTR& reason,
                          const cKytSTR& body, const cKytSTR& forwardUser, cKytSTR& toHost,
                          int32_t& nToPort, cKytSTR& text) {
  return Respond(m_pKytMainObj, m_pToTag, request, nStatusCode, reason, body, forwardUser, toHost,
                 nToPort, text);
}

bool cPacketSIP::AnswerOutsideDialog(cKytCoreSink* pKytMainObj, const cMsgSIP& request,
                                     int32_t nStatusCode, const char* pReason,
                                     const cKytSTR& unsupported) {
  cKytSTR tag;
  GenUniqueTagId(tag);
  cKytSTR host;
  int32_t nPort = 0;
  cKytSTR text;
  if (!Respond(pKytMainObj, tag, request, nStatusCode, pReason, "", "", host, nPort, text,
               unsupported)) {
    return false;
  }
  pKytMainObj->SendToSocket(text, host, nPort);
  return true;
}

bool cPacketSIP::RESPONSE(const cMsgSIP& request, int32_t nStatusCode, const cKytSTR& reason,
                          const cKytSTR& body, cKytSTR& toHost, int32_t& nToPort, cKytSTR& text) {
  return RESPONSE(request, nStatusCode, reason, body, "", toHost, nToPort, text);
}

bool cPacketSIP::RESPONSE_MSG_STR(const cKytSTR& requestText, int32_t nStatusCode,
                                  const cKytSTR& reason, const cKytSTR& body, cKytSTR& toHost,
                                  int32_t& nToPort, cKytSTR& text) {
  std::unique_ptr<cMsgSIP> pRequest = cMsgSIP::initWithPacketSIP(requestText);
  if (!pRequest) {
    text = "";
    return false;
  }
  return RESPONSE(*pRequest, nStatusCode, reason, body, toHost, nToPort, text);
}
