#include "sip/cRegSIP.h"

#include "sip/SipStatus.h"
#include "sip/cAuth.h"
#include "sip/cCSeq.h"
#include "sip/cFailOverSIP.h"
#include "sip/cKytCoreSink.h"
#include "sip/cKytEventSink.h"
#include "sip/cMd5c.h"
#include "sip/cMsgSIP.h"
#include "sip/cPacketSIP.h"
#include "sip/cURI.h"
#include "sip/cVia.h"
#include "util/cKytListSTR.h"
#include "util/eKytError.h"

cRegSIP::cRegSIP() : m_pMd5(std::make_unique<cMd5c>()) {}

cRegSIP::~cRegSIP() = default;

bool cRegSIP::InitOBJ(cKytCoreSink* pKytMainObj, cKytEventSink* pKytEvent, const cKytSTR& listenIP,
                      int32_t nListenPort, const cKytSTR& fromURI, const cKytSTR& outboundProxy,
                      const cKytSTR& sipProxy) {
  m_pKytMainObj = pKytMainObj;
  m_pKytEvent = pKytEvent;
  m_pListenIP = listenIP;
  m_nListenPort = nListenPort;
  m_pFromURI = fromURI;
  const cKytSTR& registrar = sipProxy.IsZeroLEN() ? outboundProxy : sipProxy;
  cKytSTR display, user, host;
  int32_t nPort = 5060;
  if (!cURI::Parse(registrar, display, user, host, nPort) || host.IsZeroLEN()) return false;
  m_pToIP = host;
  m_nToPort = nPort;
  m_pStaleContact = "";
  // On by default, so that a NAT keeps the registrar's flow open; the page may turn it off.
  SetTickKeepAlive(kDefaultKeepAlive);
  return true;
}

void cRegSIP::UnInitOBJ() {
  KillTickAll();
  m_bPending = false;
  m_bRegister = false;
}

bool cRegSIP::ParseAccount(cKytSTR& user, cKytSTR& host) const {
  cKytSTR display;
  int32_t nPort = 0;
  return cURI::Parse(m_pFromURI, display, user, host, nPort) && !host.IsZeroLEN();
}

bool cRegSIP::REGISTER(int32_t nExpire, bool bNewCallId, const cKytSTR& authorization,
                       const cKytSTR& proxyAuthorization, cKytSTR& text) {
  text = "";
  cKytSTR user, host;
  if (!ParseAccount(user, host)) return false;

  cMsgSIP msg;
  msg.SetMethod("REGISTER");
  msg.SetUserAgent(cPacketSIP::kUserAgent);
  cKytSTR from;
  from.Format("%s%s%s", m_pFromURI.GetDATA(), ";tag=", m_pFromTag.GetDATA());
  msg.SetFrom(from);
  msg.SetTo(m_pFromURI);
  cKytSTR requestURI;
  cURI::PrepareRequestURI(host, requestURI);
  msg.SetRequestURI(requestURI);
  cKytSTR contact;
  cURI::ConstructContact(user, m_pListenIP, m_nListenPort, Transport(), contact);
  msg.SetContact(contact);
  // The binding at the address we used before the registrar showed us our public one goes.
  if (!m_pStaleContact.IsZeroLEN() && nExpire != 0) {
    cKytSTR stale;
    stale.Format("%s;expires=0", m_pStaleContact.GetDATA());
    msg.SetContact(stale);
  }

  if (!proxyAuthorization.IsZeroLEN())
    msg.SetProxyAuthorization(proxyAuthorization);
  else if (!authorization.IsZeroLEN())
    msg.SetAuthorization(authorization);
  else if (nExpire != 0 && bNewCallId)
    cPacketSIP::GenUniqueCallId(host, m_pCallId);
  // A request never leaves without a Call-ID, whatever order the operations came in.
  if (m_pCallId.IsZeroLEN()) cPacketSIP::GenUniqueCallId(host, m_pCallId);

  msg.SetCallId(m_pCallId);
  msg.SetExpires(nExpire);
  cKytSTR cseq;
  m_nLastCSeq = m_nTranCount++;
  cCSeq::Construct("REGISTER", m_nLastCSeq, cseq);
  msg.SetCSeq(cseq);
  cKytSTR branch;
  cPacketSIP::GenUniqueBranchId(branch);
  msg.SetVia(m_pListenIP, m_nListenPort, branch, Transport());
  msg.SetMaxForward(cPacketSIP::kMaxForwards);
  msg.GetMsgText(text);
  return !text.IsZeroLEN();
}

void cRegSIP::StartAttempt(const cKytSTR& text) {
  // Armed before sending, so that an answer however quick finds the attempt in place.
  m_bPending = true;
  // Over a stream the transport delivers: no resend, only the give-up.
  if (Transport() == eTransportSIP::UDP) SetTickSendREG(text);
  SetTickTimeOutSendREG();
  SendToSocket(text);
}

bool cRegSIP::RegisterToProxy(int32_t nExpire, const cKytSTR& loginId, const cKytSTR& loginPwd) {
  cPacketSIP::GenUniqueTagId(m_pFromTag);
  m_pStaleContact = "";
  m_nProxyExpire = nExpire;
  m_pProxyLoginId = loginId;
  m_pProxyLoginPwd = loginPwd;
  return RegisterToProxy();
}

bool cRegSIP::RegisterToProxy() {
  KillTickAll();
  m_bPending = false;
  if (m_pFromTag.IsZeroLEN()) cPacketSIP::GenUniqueTagId(m_pFromTag);
  m_bIsRegisterReq = true;
  m_bIsFunctionCall = true;
  m_bRegTryingCalled = false;
  m_nRepAuthCount = 0;
  cKytSTR text;
  if (!REGISTER(m_nProxyExpire, true, "", "", text)) {
    m_nLastError = kErrBuildRegister;
    return false;
  }
  StartAttempt(text);
  return true;
}

bool cRegSIP::ReRegisterToProxy() {
  m_bPending = false;
  m_bIsRegisterReq = true;
  m_bIsFunctionCall = false;
  m_bRegTryingCalled = false;
  m_nRepAuthCount = 0;
  cKytSTR text;
  if (!REGISTER(m_nProxyExpire, false, "", "", text)) {
    m_nLastError = kErrBuildRegister;
    return false;
  }
  StartAttempt(text);
  return true;
}

bool cRegSIP::RedirectRegisterToProxy(const cKytSTR& contact) {
  cKytSTR display, user, host;
  int32_t nPort = 5060;
  if (!cURI::Parse(contact, display, user, host, nPort) || host.IsZeroLEN()) {
    m_bPending = false;
    return false;
  }
  m_pToIP = host;
  m_nToPort = nPort;
  m_pFromURI = contact;
  return ReRegisterToProxy();
}

bool cRegSIP::UnRegisterToProxy() {
  KillTickAll();
  if (!m_bRegister) {
    // A registration still under way is given up: the application wants to be unregistered.
    m_bPending = false;
    return true;
  }
  m_bPending = false;
  m_bIsRegisterReq = false;
  m_bUnRegTryingCalled = false;
  m_nRepAuthCount = 0;
  cKytSTR text;
  if (!REGISTER(0, false, "", "", text)) {
    m_nLastError = kErrBuildUnRegister;
    return false;
  }
  StartAttempt(text);
  return true;
}

eTransportSIP cRegSIP::Transport() const {
  return m_pKytMainObj != nullptr ? m_pKytMainObj->GetTransport() : eTransportSIP::UDP;
}

void cRegSIP::OnTransportFailure(const cKytSTR& reason) {
  if (!m_bPending) return;
  OnFailToRegister(kSipServiceUnavailable, reason);
}

void cRegSIP::SendToSocket(const cKytSTR& text) {
  if (m_pKytMainObj != nullptr) m_pKytMainObj->SendToSocket(text, m_pToIP, m_nToPort);
}

void cRegSIP::OnTickEvent(int32_t nTickId, const cKytSTR& text) {
  switch (nTickId) {
    case kTickSendREG:
      SendToSocket(text);
      break;
    case kTickTimeOutSendREG:
      if (!RetryElsewhere(cFailOverSIP::kTimedOut))
        OnFailToRegister(-1, "Fail to register (time out)");
      break;
    case kTickReREG:
      KillTickAll();
      ReRegisterToProxy();
      break;
    case kTickKeepAlive:
      if (m_bRegister) SendToSocket("\r\n\r\n");
      break;
    default:
      break;
  }
}

bool cRegSIP::IsPendingResponse(const cMsgSIP& msg) const {
  if (!m_bPending || msg.IsRequest() || !msg.Is_Rep_For("REGISTER")) return false;
  cKytSTR callId, cseq, method, number;
  if (!msg.GetCallId(callId) || !callId.CompareTo(m_pCallId.GetDATA())) return false;
  if (!msg.GetCSeq(cseq) || !cCSeq::Parse(cseq, method, number)) return false;
  return number.ConvertToINT() == m_nLastCSeq;
}

void cRegSIP::OnResponse(const cMsgSIP& msg) {
  if (!IsPendingResponse(msg)) return;
  int32_t nStatus = msg.GetStatusCode();
  if (msg.Is_Status_1XX()) {
    // Provisional answers leave the resends and the time-out running.
    if (nStatus == kSipTrying) OnRepTrying();
    return;
  }
  KillTickAll();
  if (msg.Is_Status_2XX()) {
    OnRepOK(msg);
    return;
  }
  if ((nStatus == kSipUnauthorized || nStatus == kSipProxyAuthenticationRequired) &&
      m_nRepAuthCount < cAuth::kMaxAuthAnswers) {
    cKytSTR challenge;
    bool bHasChallenge =
        nStatus == kSipUnauthorized ? msg.GetAuthWWW(challenge) : msg.GetAuthPROXY(challenge);
    if (bHasChallenge) {
      ++m_nRepAuthCount;
      if (OnRepAuthREG(challenge, nStatus == kSipProxyAuthenticationRequired)) return;
    }
  }
  if (msg.Is_Status_3XX() && m_bIsRegisterReq) {
    cKytSTR contact;
    msg.GetContact(contact);
    if (!RedirectRegisterToProxy(contact)) m_bPending = false;
    return;
  }
  if (RetryElsewhere(nStatus)) return;
  cKytSTR reason;
  msg.GetReasonPhrase(reason);
  OnFailToRegister(nStatus, reason);
}

bool cRegSIP::RetryElsewhere(int32_t nStatus) {
  if (!cFailOverSIP::NextServer(m_pKytMainObj, nStatus)) return false;
  m_nRepAuthCount = 0;
  m_nNonceCount = 1;
  cKytSTR text;
  if (!REGISTER(m_bIsRegisterReq ? m_nProxyExpire : 0, false, "", "", text)) return false;
  KillTickAll();
  StartAttempt(text);
  return true;
}

void cRegSIP::OnRepTrying() {
  if (m_pKytEvent == nullptr) return;
  if (!m_bIsRegisterReq) {
    if (m_bUnRegTryingCalled) return;
    m_bUnRegTryingCalled = true;
    m_pKytEvent->OnTryingToUnRegister();
    return;
  }
  if (m_bRegTryingCalled) return;
  m_bRegTryingCalled = true;
  if (m_bIsFunctionCall)
    m_pKytEvent->OnTryingToRegister();
  else
    m_pKytEvent->OnTryingToReRegister();
}

void cRegSIP::OnRepOK(const cMsgSIP& msg) {
  m_nNonceCount = 1;
  m_bPending = false;
  if (!m_bIsRegisterReq) {
    m_bRegister = false;
    if (m_pKytEvent != nullptr) m_pKytEvent->OnSuccessToUnRegister();
    return;
  }
  if (LearnPublicAddress(msg)) return;
  m_pStaleContact = "";
  m_bRegister = true;
  int32_t nGranted = msg.GetExpires();
  if (nGranted <= 0) nGranted = msg.GetContactExpires();
  if (nGranted <= 0) nGranted = kDefaultGrantedExpire;
  int32_t nRefresh = nGranted - kRefreshAhead;
  // The refresh is in place before the application hears of the success, so that whatever it
  // does from inside the event (unregister, register anew) is not undone afterwards.
  SetTickReREG(nRefresh < 1 ? kRefreshAhead : nRefresh);
  if (m_pKytEvent == nullptr) return;
  if (m_bIsFunctionCall)
    m_pKytEvent->OnSuccessToRegister();
  else
    m_pKytEvent->OnSuccessToReRegister();
}

bool cRegSIP::LearnPublicAddress(const cMsgSIP& msg) {
  cKytListSTR vias;
  cKytSTR topVia, ip, param;
  int32_t nPort = 0;
  if (!msg.GetVia(vias) || !vias.GetHead(topVia) || !cVia::GetResponseTarget(topVia, ip, nPort))
    return false;
  // Only what the registrar saw counts, not the sent-by we wrote ourselves; and a second
  // change within the same attempt is not chased (the new REGISTER is sent once per change).
  if (!cVia::GetParam(topVia, "received", param) && !cVia::GetParam(topVia, "rport", param))
    return false;
  if ((ip.CompareTo(m_pListenIP.GetDATA()) && nPort == m_nListenPort) ||
      !m_pStaleContact.IsZeroLEN()) {
    return false;
  }
  cKytSTR user, host;
  if (!ParseAccount(user, host)) return false;
  cURI::ConstructContact(user, m_pListenIP, m_nListenPort, Transport(), m_pStaleContact);
  m_pListenIP = ip;
  m_nListenPort = nPort;
  if (m_pKytMainObj != nullptr) m_pKytMainObj->OnPublicAddress(ip, nPort);
  cKytSTR text;
  if (!REGISTER(m_nProxyExpire, false, "", "", text)) return false;
  // The page hears of the registration once, when the binding at the public address stands.
  m_nRepAuthCount = 0;
  StartAttempt(text);
  return true;
}

bool cRegSIP::OnRepAuthREG(const cKytSTR& challenge, bool bProxy) {
  cKytSTR realm, qop, nonce, opaque;
  cAuth::Parse(challenge, realm, qop, nonce, opaque);
  cKytSTR user, host;
  if (!ParseAccount(user, host)) return false;
  // The digest URI is the REGISTER's own Request-URI: "sip:" and the account's domain.
  cKytSTR digestURI;
  cURI::PrepareRequestURI(host, digestURI);
  cKytSTR nonceCount, clientNonce, response;
  m_pMd5->DigestCalc(m_pProxyLoginId, m_pProxyLoginPwd, "REGISTER", digestURI, realm, qop, nonce,
                     nonceCount, clientNonce, m_nNonceCount, response);
  cKytSTR credentials;
  cAuth::Construct(m_pProxyLoginId, realm, nonce, digestURI, clientNonce, nonceCount, qop, opaque,
                   response, credentials);
  cKytSTR text;
  if (!REGISTER(m_bIsRegisterReq ? m_nProxyExpire : 0, false, bProxy ? cKytSTR() : credentials,
                bProxy ? credentials : cKytSTR(), text))
    return false;
  KillTickAll();
  StartAttempt(text);
  return true;
}

void cRegSIP::OnFailToRegister(int32_t nStatusCode, const cKytSTR& reason) {
  KillTickAll();
  m_nNonceCount = 1;
  m_bRegister = false;
  m_bPending = false;
  if (m_pKytEvent == nullptr) return;
  if (!m_bIsRegisterReq)
    m_pKytEvent->OnFailToUnRegister(nStatusCode, reason);
  else if (m_bIsFunctionCall)
    m_pKytEvent->OnFailToRegister(nStatusCode, reason);
  else
    m_pKytEvent->OnFailToReRegister(nStatusCode, reason);
}
