#include "chat/cChatSIP.h"

#include <chrono>

#include "chat/cChatContact.h"
#include "chat/cChatContactList.h"
#include "chat/cChatMessage.h"
#include "platform/cRandom.h"
#include "sip/SipStatus.h"
#include "sip/cAuth.h"
#include "sip/cKytCoreSink.h"
#include "sip/cMd5c.h"
#include "sip/cMsgSIP.h"
#include "sip/cPacketSIP.h"
#include "sip/cResponseSIP.h"
#include "sip/cRouterSIP.h"
#include "sip/cURI.h"

namespace {

double SteadySeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// The identifiers' "%d" part stays non-negative, as a C library generator's would.
int32_t RandomDecimal() { return static_cast<int32_t>(cRandom::Next32() >> 1); }

// The entity sits in a single-quoted attribute; a quote or markup character in the account's
// user name must not break the document.
void EscapeXML(const cKytSTR& text, cKytSTR& escaped) {
  escaped = text;
  escaped.Replace("&", "&amp;");
  escaped.Replace("<", "&lt;");
  escaped.Replace(">", "&gt;");
  escaped.Replace("'", "&apos;");
  escaped.Replace("\"", "&quot;");
}

}  // namespace

cChatSIP::cChatSIP()
    : m_pChatMessage(std::make_unique<cChatMessage>(this)),
      m_pChatContactList(std::make_unique<cChatContactList>()),
      m_fnClock(SteadySeconds) {
  m_pTupleIdXML.Format("t%d%x", RandomDecimal(), cRandom::Next32());
  m_pPersonIdXML.Format("p%d%x", RandomDecimal(), cRandom::Next32());
}

cChatSIP::~cChatSIP() = default;

bool cChatSIP::InitOBJ(cKytCoreSink* pKytMainObj, cKytEventSink* pKytEventObj) {
  m_pKytMainObj = pKytMainObj;
  m_pKytEventObj = pKytEventObj;
  m_pChatMessage->ResetOBJ();
  cKytSTR displayName, user, host;
  int32_t nPort = 0;
  if (m_pKytMainObj == nullptr ||
      !cURI::Parse(m_pKytMainObj->GetFromURI(), displayName, user, host, nPort)) {
    return false;
  }
  cKytSTR entity;
  entity.Format("sip:%s@%s", user.GetDATA(), m_pKytMainObj->GetDomainRealm().GetDATA());
  EscapeXML(entity, m_pEntityXML);
  m_pContactUser = user;
  return true;
}

const cKytSTR& cChatSIP::GetContactURI() const {
  m_pContactURI = "";
  if (m_pKytMainObj == nullptr) return m_pContactURI;
  m_pContactURI.Format("<sip:%s@%s:%d>", m_pContactUser.GetDATA(),
                       m_pKytMainObj->GetListenIP().GetDATA(), m_pKytMainObj->GetListenPort());
  return m_pContactURI;
}

// ---------------------------------------------------------------------------------------------
// Messages

bool cChatSIP::SendMsgText(const cKytSTR& userName, const cKytSTR& text, int32_t nKind,
                           int32_t nUserValue) {
  if (m_pChatMessage->SendMsgText(userName, text, nKind, nUserValue)) return true;
  m_nObjectError = m_pChatMessage->GetObjectError();
  return false;
}

bool cChatSIP::SendMsgTyping(const cKytSTR& userName, int32_t nUserValue) {
  if (m_pChatMessage->SendMsgTyping(userName, nUserValue)) return true;
  m_nObjectError = m_pChatMessage->GetObjectError();
  return false;
}

void cChatSIP::OnReqMESSAGE(const cMsgSIP& request) { m_pChatMessage->OnReqMESSAGE(request); }

void cChatSIP::OnRepMESSAGE(const cMsgSIP& response) { m_pChatMessage->OnRepMESSAGE(response); }

// ---------------------------------------------------------------------------------------------
// Presence

bool cChatSIP::AddContact(const cKytSTR& userName) {
  auto pContact = std::make_shared<cChatContact>(this, userName);
  m_pChatContactList->AddContact(pContact);
  pContact->Add();
  return true;
}

void cChatSIP::RemoveContact(const cKytSTR& userName) {
  if (auto pContact = m_pChatContactList->FindContact(userName)) pContact->Remove();
}

void cChatSIP::SetMyStatus(int32_t nStatus) {
  m_nMyStatusId = nStatus;
  for (const auto& pContact : m_pChatContactList->GetAllContacts()) {
    pContact->SendMyStatus(nStatus);
  }
}

bool cChatSIP::UserOf(const cKytSTR& value, cKytSTR& user) {
  cKytSTR displayName, host;
  int32_t nPort = 0;
  return cURI::Parse(value, displayName, user, host, nPort);
}

void cChatSIP::OnReqSUBSCRIBE(const cMsgSIP& request) {
  cKytSTR from, user;
  if (!request.GetFrom(from) || !UserOf(from, user)) return;
  if (auto pContact = m_pChatContactList->FindContact(user)) pContact->OnReqSUBSCRIBE(request);
}

void cChatSIP::OnReqNOTIFY(const cMsgSIP& request) {
  cKytSTR from, user;
  if (!request.GetFrom(from) || !UserOf(from, user)) return;
  if (auto pContact = m_pChatContactList->FindContact(user)) {
    pContact->OnReqNOTIFY(request);
  } else {
    // No subscription of ours to this sender: it must not wait for an answer in vain.
    SendResponse(request, kSipCallDoesNotExist, "Call/Transaction Does Not Exist", "");
  }
}

void cChatSIP::OnRepSUBSCRIBE(const cMsgSIP& response) {
  cKytSTR to, user;
  if (!response.GetTo(to) || !UserOf(to, user)) return;
  if (auto pContact = m_pChatContactList->FindContact(user)) pContact->OnRepSUBSCRIBE(response);
}

void cChatSIP::OnRepNOTIFY(const cMsgSIP& response) {
  cKytSTR to, user;
  if (!response.GetTo(to) || !UserOf(to, user)) return;
  if (auto pContact = m_pChatContactList->FindContact(user)) pContact->OnRepNOTIFY(response);
}

void cChatSIP::Attach(cRouterSIP& router) {
  router.RouteRequest("MESSAGE",
                      [this](const cMsgSIP& request, const cKytSTR&) { OnReqMESSAGE(request); });
  router.RouteRequest("SUBSCRIBE",
                      [this](const cMsgSIP& request, const cKytSTR&) { OnReqSUBSCRIBE(request); });
  router.RouteResponse("MESSAGE", [this](const cMsgSIP& response) { OnRepMESSAGE(response); });
  router.RouteResponse("SUBSCRIBE", [this](const cMsgSIP& response) { OnRepSUBSCRIBE(response); });
  router.RouteResponse("NOTIFY", [this](const cMsgSIP& response) { OnRepNOTIFY(response); });
}

void cChatSIP::OnOneSecondTick() {
  m_pChatMessage->OnOneSecondTick();
  for (const auto& pContact : m_pChatContactList->GetAllContacts()) pContact->OnOneSecondTick();
  m_pChatContactList->RemoveDeletedContacts();
}

// ---------------------------------------------------------------------------------------------
// Shared by messages and contacts

void cChatSIP::PrepareToURI(const cKytSTR& userName, cKytSTR& to) const {
  cKytSTR realm;
  if (m_pKytMainObj != nullptr) realm = m_pKytMainObj->GetDomainRealm();
  cURI::Construct(userName, userName, realm, 0, to);
}

void cChatSIP::PrepareRequest(cMsgSIP& msg, const char* pMethod, const cKytSTR& requestURI,
                              const cKytSTR& from, const cKytSTR& to, const cKytSTR& callId,
                              int32_t nCSeq) const {
  cKytSTR branch;
  cPacketSIP::GenUniqueBranchId(branch);
  cPacketSIP::StartRequest(m_pKytMainObj, msg, pMethod, requestURI, branch, from, to, callId,
                           nCSeq);
  msg.SetUserAgent(cPacketSIP::kUserAgent);
  msg.SetAllow(cPacketSIP::kAllow);
}

void cChatSIP::GetProxyAddress(cKytSTR& host, int32_t& nPort) const {
  host = "";
  nPort = 0;
  if (m_pKytMainObj == nullptr) return;
  cKytSTR displayName, user;
  cURI::Parse(m_pKytMainObj->GetProxySIP(), displayName, user, host, nPort);
}

bool cChatSIP::IsStream() const {
  return m_pKytMainObj != nullptr && m_pKytMainObj->GetTransport() != eTransportSIP::UDP;
}

void cChatSIP::SendToSocket(const cKytSTR& text, const cKytSTR& host, int32_t nPort) const {
  if (m_pKytMainObj != nullptr && !text.IsZeroLEN()) m_pKytMainObj->SendToSocket(text, host, nPort);
}

bool cChatSIP::SendResponse(const cMsgSIP& request, int32_t nStatusCode, const char* pReason,
                            const cKytSTR& localTag) const {
  if (m_pKytMainObj == nullptr) return false;
  cResponseSIP response(request, nStatusCode, pReason);
  response.SetLocalTag(localTag);
  response.AddContact(GetContactURI());
  response.CopyExpires();
  cKytSTR host, text;
  int32_t nPort = 0;
  if (!response.Build(host, nPort, text)) return false;  // nowhere to answer
  SendToSocket(text, host, nPort);
  return true;
}

bool cChatSIP::PrepareCredentials(const cMsgSIP& response, const char* pMethod, const cKytSTR& body,
                                  int32_t& nNonceCount, cKytSTR& authorization,
                                  cKytSTR& proxyAuthorization) const {
  authorization = "";
  proxyAuthorization = "";
  bool bProxy = response.GetStatusCode() == kSipProxyAuthenticationRequired;
  cKytSTR challenge;
  if (m_pKytMainObj == nullptr ||
      !(bProxy ? response.GetAuthPROXY(challenge) : response.GetAuthWWW(challenge))) {
    return false;
  }
  cKytSTR realm, qop, nonce, opaque;
  cAuth::Parse(challenge, realm, qop, nonce, opaque);
  cKytSTR to, digestURI;
  response.GetTo(to);
  cURI::PrepareRequestURI(to, digestURI);
  const cKytSTR& login = m_pKytMainObj->GetProxyLoginId();
  cKytSTR nonceCount, clientNonce, digest;
  cMd5c md5;
  md5.DigestCalc(login, m_pKytMainObj->GetProxyLoginPwd(), pMethod, digestURI, realm, qop, nonce,
                 nonceCount, clientNonce, nNonceCount, digest, body);
  cKytSTR value;
  cAuth::Construct(login, realm, nonce, digestURI, clientNonce, nonceCount, qop, opaque, digest,
                   value);
  (bProxy ? proxyAuthorization : authorization) = value;
  return !value.IsZeroLEN();
}
