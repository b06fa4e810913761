#include "call/cSIPCall.h"

#include "call/cCallSink.h"
#include "call/cMediaKeys.h"
#include "call/cMsgSDP.h"
#include "call/cObjBYE.h"
#include "call/cObjCANCEL.h"
#include "call/cObjINVITE.h"
#include "call/cObjNOTIFY.h"
#include "call/cObjREFER.h"
#include "platform/cRandom.h"
#include "sip/SipStatus.h"
#include "sip/cAuth.h"
#include "sip/cDigestAuth.h"
#include "sip/cKytEventSink.h"
#include "sip/cMsgSIP.h"
#include "sip/eTransportSIP.h"

cSIPCall::cSIPCall(const cKytSTR& callId, cCallSink* pCallSink, cKytEventSink* pKytEventObj)
    : cPacketSIP(pCallSink, callId),
      m_pCallSink(pCallSink),
      m_pKytEventObj(pKytEventObj),
      m_pINVITE(std::make_unique<cObjINVITE>()),
      m_pBYE(std::make_unique<cObjBYE>()),
      m_pCANCEL(std::make_unique<cObjCANCEL>()),
      m_pNOTIFY(std::make_unique<cObjNOTIFY>()),
      m_pREFER(std::make_unique<cObjREFER>()),
      m_pTick(std::make_unique<cTick>(this)),
      m_pDigestAuth(std::make_unique<cDigestAuth>()) {
  ResetCALL();
}

cSIPCall::~cSIPCall() = default;

const cKytSTR& cSIPCall::LoginId() const { return m_pKytMainObj->GetProxyLoginId(); }

bool cSIPCall::IsSignallingSecure() const {
  return m_pCallSink->GetTransport() == eTransportSIP::TLS;
}

bool cSIPCall::IsSrtpMandatory() const { return m_pCallSink->IsSrtpMandatory(); }

void cSIPCall::SetMediaKeys(const cMediaKeys& keys) {
  m_pCallSink->SetMediaKeys(m_nLineNo, keys.Send(), keys.Receive());
}

const cKytSTR& cSIPCall::LoginPwd() const { return m_pKytMainObj->GetProxyLoginPwd(); }

bool cSIPCall::Connect(const cKytSTR& targetURI, const cKytListSTR& codecList) {
  return m_pINVITE->Connect(targetURI, LoginId(), codecList, this, m_pCallSink, m_nLastError);
}

bool cSIPCall::AcceptCall(const cKytListSTR& codecList) {
  return m_pINVITE->AcceptCall(LoginId(), codecList, this, m_pCallSink, m_nLastError);
}

bool cSIPCall::RejectCall() {
  m_pINVITE->RejectCall(this);
  return true;
}

bool cSIPCall::TransferCall(const cKytSTR& referToURI, const cKytSTR& replaces) {
  return m_pREFER->SendReqREFER(referToURI, replaces, this);
}

bool cSIPCall::HoldCall() {
  return m_pINVITE->HoldCall(LoginId(), this, m_pCallSink, m_nLastError);
}

bool cSIPCall::UnHoldCall() {
  return m_pINVITE->UnHoldCall(LoginId(), this, m_pCallSink, m_nLastError);
}

bool cSIPCall::Disconnect() {
  int32_t nOldStatus = GetObjectStatus();
  if (nOldStatus == STATUS_IDLE) return true;
  StopRTP(true, true);
  KillTickAll();
  SetObjectStatus(STATUS_IDLE);
  if (nOldStatus == STATUS_CONNECTED) return SendReqBYE();
  if (IsUserAgentClient() && nOldStatus >= STATUS_INVITE_SENT && nOldStatus <= STATUS_TRYING_OUT) {
    // A CANCEL may only follow a provisional response; before one it waits for it.
    if (nOldStatus == STATUS_INVITE_SENT || nOldStatus == STATUS_INVITE_AUTH_SENT) {
      m_pINVITE->CancelOnProvisional();
      return true;
    }
    return SendReqCANCEL();
  }
  ResetCALL();
  return true;
}

void cSIPCall::EndForShutdown() {
  int32_t nStatus = GetObjectStatus();
  KillTickAll();
  SetObjectStatus(STATUS_IDLE);
  if (nStatus == STATUS_CONNECTED || nStatus == STATUS_ACCEPTED) {
    StopRTP(true, true);
    SendReqBYE();
  } else if (nStatus == STATUS_TRYING_OUT || nStatus == STATUS_RINGING_OUT) {
    // Only a call that heard a provisional response may be cancelled.
    SendReqCANCEL();
  } else if (nStatus == STATUS_RINGING_IN) {
    m_pINVITE->RefuseForShutdown(this);
  }
  KillTickAll();
}

bool cSIPCall::SendReqBYE() { return m_pBYE->SendReqBYE(this, m_nLastError); }

bool cSIPCall::SendReqCANCEL() {
  cKytSTR branch;
  m_pINVITE->GetViaBranch(branch);
  return m_pCANCEL->SendReqCANCEL(this, branch, m_nLastError);
}

namespace {
// Three minutes: Timer C of a proxy (RFC 3261 section 16.6), after which nobody waits any more.
constexpr int64_t kTimerCMs = 180000;
}  // namespace

void cSIPCall::ArmTimerC() { m_pTick->SetTimeOutTick(TICK_INVITE, kTimerCMs); }

void cSIPCall::ArmRingingInTimeOut() { m_pTick->SetTimeOutTick(TICK_RINGING_IN, kTimerCMs); }

bool cSIPCall::EndsDialog(int32_t nStatusCode) {
  return nStatusCode == kSipCallDoesNotExist || nStatusCode == kSipRequestTimeout;
}

void cSIPCall::EndDialog() {
  if (GetObjectStatus() == STATUS_IDLE) return;
  SetObjectStatus(STATUS_IDLE);
  KillTickAll();
  StopRTP(true, true);
  OnDisconnectCall();
}

int64_t cSIPCall::ReINVITERetryDelayMs() const {
  // 2.1 to 4 s for the Call-ID's owner, up to 2 s for the other side.
  uint32_t nRandom = cRandom::Next32();
  return IsUserAgentClient() ? 2100 + nRandom % 1900 : nRandom % 2000;
}

void cSIPCall::OnOneSecondTick() {
  m_pTick->OnMainTick();
  // Apart from the one timer, which the answers to the far end's requests keep busy.
  m_pINVITE->OnOneSecondTick(LoginId(), this, m_pCallSink);
}

bool cSIPCall::GeneralCheck(const cMsgSIP&) { return true; }

void cSIPCall::OnReqINVITE(const cMsgSIP& request, const cKytSTR& requestText) {
  m_pINVITE->OnReqINVITE(request, requestText, LoginId(), m_pCallSink, this);
}

void cSIPCall::OnRepINVITE(const cMsgSIP& response) {
  m_pINVITE->OnRepINVITE(response, LoginId(), LoginPwd(), this);
}

void cSIPCall::OnReqACK(const cMsgSIP& request) { m_pINVITE->OnReqACK(request, this); }

void cSIPCall::OnReqBYE(const cMsgSIP& request) { m_pBYE->OnReqBYE(request, this); }

void cSIPCall::OnRepBYE(const cMsgSIP& response) {
  m_pBYE->OnRepBYE(response, LoginId(), LoginPwd(), this);
}

void cSIPCall::OnReqCANCEL(const cMsgSIP& request) {
  cKytSTR lastInvite;
  m_pINVITE->GetLastRecvINVITE(lastInvite);
  m_pCANCEL->OnReqCANCEL(request, this, lastInvite);
}

void cSIPCall::OnRepCANCEL(const cMsgSIP& response) { m_pCANCEL->OnRepCANCEL(response, this); }

void cSIPCall::OnReqNOTIFY(const cMsgSIP& request) { m_pNOTIFY->OnReqNOTIFY(request, this); }

void cSIPCall::OnRepREFER(const cMsgSIP& response) {
  m_pREFER->OnRepREFER(response, LoginId(), LoginPwd(), this);
}

void cSIPCall::OnReqINFO(const cMsgSIP& request) { SendResponse(request, kSipOk, "OK"); }

void cSIPCall::SendToTick(int32_t nTimerId, const cKytSTR& text, const cKytSTR& toIP,
                          int32_t nToPort) {
  m_pKytMainObj->SendToSocket(text, toIP, nToPort);
  if (nTimerId == TICK_OK) {
    // A 2xx to an INVITE goes again after T1, doubling up to T2, until the ACK comes; without
    // one in 64*T1 the session is given up.
    static const cTxSchedule s_OkSchedule = cTxSchedule::Doubling(500, 4000, 32000);
    m_pTick->SetTick(nTimerId, text, toIP, nToPort, s_OkSchedule);
  } else if (nTimerId != TICK_ONCE) {
    const cTxSchedule& schedule = cTxSchedule::CallRequest();
    m_pTick->SetTick(
        nTimerId, text, toIP, nToPort,
        m_pKytMainObj->GetTransport() == eTransportSIP::UDP ? schedule : schedule.GiveUpOnly());
  }
}

void cSIPCall::KillTickAll() { m_pTick->KillTick(); }

void cSIPCall::ResetCALL() {
  KillTickAll();
  ResetPacketSIP();
}

void cSIPCall::CloseNewCallSIP() { m_pCallSink->CloseCall(this); }

void cSIPCall::DialogCredentials(const char* pMethod, const cKytSTR& authorization,
                                 const cKytSTR& proxyAuthorization, cKytSTR& authOut,
                                 cKytSTR& proxyAuthOut) const {
  authOut = authorization;
  proxyAuthOut = proxyAuthorization;
  if (!authorization.IsZeroLEN() || !proxyAuthorization.IsZeroLEN()) return;
  m_pDigestAuth->PrepareAuthParamINVITE(pMethod, m_pReqURI, authOut, proxyAuthOut);
}

bool cSIPCall::PrepareReqINVITE(const cKytSTR& target, const cKytSTR& bodySDP,
                                const cKytSTR& authorization, const cKytSTR& proxyAuthorization,
                                cKytSTR& branch, cKytSTR& toHost, int32_t& nToPort, cKytSTR& text,
                                bool bSameDialog) {
  return INVITE(target, bodySDP, authorization, proxyAuthorization, branch, toHost, nToPort, text,
                bSameDialog);
}

bool cSIPCall::PrepareReqReINVITE(const cKytSTR& bodySDP, const cKytSTR& authorization,
                                  const cKytSTR& proxyAuthorization, cKytSTR& toHost,
                                  int32_t& nToPort, cKytSTR& text) {
  cKytSTR auth, proxyAuth;
  DialogCredentials("INVITE", authorization, proxyAuthorization, auth, proxyAuth);
  return ReINVITE(bodySDP, auth, proxyAuth, toHost, nToPort, text);
}

bool cSIPCall::PrepareReqACK(const cMsgSIP& response, const cKytSTR& inviteBranch, cKytSTR& toHost,
                             int32_t& nToPort, cKytSTR& text) {
  cKytSTR auth, proxyAuth;
  DialogCredentials("ACK", "", "", auth, proxyAuth);
  return ACK(response, inviteBranch, auth, proxyAuth, toHost, nToPort, text);
}

bool cSIPCall::PrepareReqCANCEL(const cKytSTR& inviteBranch, cKytSTR& toHost, int32_t& nToPort,
                                cKytSTR& text) {
  return CANCEL(inviteBranch, toHost, nToPort, text);
}

bool cSIPCall::PrepareReqBYE(const cKytSTR& authorization, const cKytSTR& proxyAuthorization,
                             cKytSTR& toHost, int32_t& nToPort, cKytSTR& text) {
  cKytSTR auth, proxyAuth;
  DialogCredentials("BYE", authorization, proxyAuthorization, auth, proxyAuth);
  return BYE(auth, proxyAuth, toHost, nToPort, text);
}

bool cSIPCall::PrepareReqREFER(const cKytSTR& referTo, const cKytSTR& replaces,
                               const cKytSTR& authorization, const cKytSTR& proxyAuthorization,
                               cKytSTR& toHost, int32_t& nToPort, cKytSTR& text) {
  cKytSTR auth, proxyAuth;
  DialogCredentials("REFER", authorization, proxyAuthorization, auth, proxyAuth);
  return REFER(referTo, replaces, auth, proxyAuth, toHost, nToPort, text);
}

bool cSIPCall::SendResponse(const cMsgSIP& request, int32_t nStatusCode, const char* pReason) {
  cKytSTR host;
  int32_t nPort = 0;
  cKytSTR text;
  if (!RESPONSE(request, nStatusCode, pReason, "", host, nPort, text)) return false;
  SendToTick(TICK_ONCE, text, host, nPort);
  return true;
}

bool cSIPCall::GetChallenge(const cMsgSIP& response, cKytSTR& challenge) {
  return response.GetStatusCode() == kSipUnauthorized ? response.GetAuthWWW(challenge)
                                                      : response.GetAuthPROXY(challenge);
}

bool cSIPCall::AnswerChallenge(const cMsgSIP& response, const cKytSTR& sentText,
                               const char* pMethod, const cKytSTR& loginId, const cKytSTR& password,
                               bool bStore, cKytSTR& authorization, cKytSTR& proxyAuthorization,
                               cKytSTR& sentBody) {
  std::unique_ptr<cMsgSIP> pSent = cMsgSIP::initWithPacketSIP(sentText);
  cKytSTR challenge;
  if (!pSent || !GetChallenge(response, challenge) || challenge.IsZeroLEN()) return false;
  cKytSTR realm, qop, nonce, opaque;
  cAuth::Parse(challenge, realm, qop, nonce, opaque);
  cKytSTR digestURI, nonceCount, clientNonce, digest;
  pSent->GetRequestURI(digestURI);
  m_pDigestAuth->CalculateDigestResponse(loginId, password, pMethod, digestURI, realm, qop, nonce,
                                         nonceCount, clientNonce, digest);
  cKytSTR credentials;
  cAuth::Construct(loginId, realm, nonce, digestURI, clientNonce, nonceCount, qop, opaque, digest,
                   credentials);
  if (credentials.IsZeroLEN()) return false;
  int32_t nCode = response.GetStatusCode();
  authorization = nCode == kSipUnauthorized ? credentials : cKytSTR();
  proxyAuthorization = nCode == kSipUnauthorized ? cKytSTR() : credentials;
  pSent->GetBodySDP(sentBody);
  if (bStore) {
    m_pDigestAuth->StoreAuthParamINVITE(loginId, password, realm, qop, nonce, nonceCount,
                                        clientNonce, opaque, nCode);
  }
  return true;
}

bool cSIPCall::StartRTP(const cKytSTR& description, bool bOutbound, bool bInbound, int32_t& nCodec,
                        cKytSTR& remoteIP, int32_t& nRemotePort) {
  if (description.IsZeroLEN()) return false;
  cMsgSDP sdp;
  sdp.initWithPacketSDP(description);
  m_nMagicNoDTMF = sdp.GetMagicNoDTMF();
  cKytSTR ip;
  int32_t nPort = 0;
  cKytListSTR codecNumbers;
  cKytListSTR payloadNumbers;
  if (!sdp.GetAudioConnectionIP(ip) || !sdp.GetMediaAudio(nPort, codecNumbers, payloadNumbers)) {
    return false;
  }
  // The media engine carries IPv4 only: an IPv6 connection address is read, never sent to.
  if (ip.FindSTR(":") != cKytSTR::KYT_NOT_FOUND) return false;
  int32_t nChosen = -1;
  int32_t nPayload = -1;
  if (!m_pCallSink->ChoosePriorityCodec(codecNumbers, payloadNumbers, nChosen, nPayload)) {
    return false;
  }
  // 20 ms iLBC frames when the remote's description asks for them, whether offer or answer: an
  // offer's mode=20 was answered with mode=20 (RFC 3952).
  m_pCallSink->StartRTP(m_nLineNo, ip, nPort, nChosen, nPayload, sdp.GetILBCMode(), bOutbound,
                        bInbound);
  m_pRTPToIP = ip;
  m_nRTPToPort = nPort;
  nCodec = nChosen;
  remoteIP = ip;
  nRemotePort = nPort;
  return true;
}

bool cSIPCall::StartRTP(const cKytSTR& description, bool bOutbound, bool bInbound) {
  int32_t nCodec = -1;
  cKytSTR ip;
  int32_t nPort = 0;
  return StartRTP(description, bOutbound, bInbound, nCodec, ip, nPort);
}

bool cSIPCall::StopRTP(bool bOutbound, bool bInbound) {
  return m_pCallSink->StopRTP(m_nLineNo, bOutbound, bInbound);
}

void cSIPCall::StatusResponse(const cMsgSIP& response, bool bAcknowledged) {
  int32_t nCode = response.GetStatusCode();
  cKytSTR reason;
  response.GetReasonPhrase(reason);
  if (response.Is_Status_1XX()) {
    OnProvisionalResponse(nCode, reason);
    return;
  }
  if (nCode < kSipFirstRedirection || nCode > kSipLastStatus) return;
  // Only an INVITE's final answer is acknowledged; other requests have no ACK.
  if (!bAcknowledged && response.Is_Rep_For("INVITE")) {
    cKytSTR branch;
    m_pINVITE->GetViaBranch(branch);
    cKytSTR host;
    int32_t nPort = 0;
    cKytSTR text;
    if (PrepareReqACK(response, branch, host, nPort, text)) {
      SendToTick(TICK_ONCE, text, host, nPort);
    }
  }
  ResetCALL();
  if (response.Is_Status_3XX()) {
    cKytSTR contact;
    response.GetContact(contact);
    m_pKytEventObj->OnRedirectResponse(m_nLineNo, nCode, reason, contact);
  } else if (response.Is_Status_4XX()) {
    m_pKytEventObj->OnRequestFailureResponse(m_nLineNo, nCode, reason);
  } else if (response.Is_Status_5XX()) {
    m_pKytEventObj->OnServerFailureResponse(m_nLineNo, nCode, reason);
  } else {
    m_pKytEventObj->OnGeneralFailureResponse(m_nLineNo, nCode, reason);
  }
}

void cSIPCall::OnConnecting() { m_pKytEventObj->OnConnecting(m_nLineNo); }

void cSIPCall::OnIncomingCall(const cKytSTR& displayName, const cKytSTR& userName,
                              const cKytSTR& fromURI, const cKytSTR& toURI) {
  m_pKytEventObj->OnIncomingCall(m_pCallId, displayName, userName, fromURI, toURI);
}

void cSIPCall::OnIncomingCallRingingStart() {
  if (GetObjectStatus() == STATUS_RINGING_IN) m_pKytEventObj->OnIncomingCallRingingStart(m_pCallId);
}

void cSIPCall::OnIncomingCallRingingStop() { m_pKytEventObj->OnIncomingCallRingingStop(m_pCallId); }

void cSIPCall::OnConnected(int32_t nCodec, const cKytSTR& remoteIP, int32_t nRemotePort) {
  m_nKytTxCodecNo = nCodec;
  m_pKytEventObj->OnConnected(m_nLineNo, remoteIP, nRemotePort, m_pCallId);
}

void cSIPCall::OnFailToConnect() {
  KillTickAll();
  SetObjectStatus(STATUS_IDLE);
  m_pKytEventObj->OnFailToConnect(m_nLineNo);
}

void cSIPCall::OnProvisionalResponse(int32_t nStatusCode, const cKytSTR& reason) {
  m_pKytEventObj->OnProvisionalResponse(m_nLineNo, nStatusCode, reason);
}

void cSIPCall::OnDisconnectCall() { m_pKytEventObj->OnDisconnectCall(m_nLineNo); }

void cSIPCall::OnTryingToHold() { m_pKytEventObj->OnTryingToHold(m_nLineNo); }

void cSIPCall::OnSuccessToHold() { m_pKytEventObj->OnSuccessToHold(m_nLineNo); }

void cSIPCall::OnFailToHold() { m_pKytEventObj->OnFailToHold(m_nLineNo); }

void cSIPCall::OnTryingToUnHold() { m_pKytEventObj->OnTryingToUnHold(m_nLineNo); }

void cSIPCall::OnSuccessToUnHold() { m_pKytEventObj->OnSuccessToUnHold(m_nLineNo); }

void cSIPCall::OnFailToUnHold() { m_pKytEventObj->OnFailToUnHold(m_nLineNo); }

void cSIPCall::OnCallTransferAccepted() { m_pKytEventObj->OnCallTransferAccepted(m_nLineNo); }

void cSIPCall::OnFailToTransfer(int32_t nStatusCode, const cKytSTR& reason) {
  m_pKytEventObj->OnFailToTransfer(m_nLineNo, nStatusCode, reason);
}

void cSIPCall::OnTickEvent(int32_t, const cKytSTR& text, const cKytSTR& toIP, int32_t nToPort) {
  m_pKytMainObj->SendToSocket(text, toIP, nToPort);
}

void cSIPCall::OnTickEventTimeOut(int32_t nTickId) {
  switch (nTickId) {
    case TICK_INVITE:
      m_pINVITE->OnTimeOutREQ(this);
      break;
    case TICK_CANCEL:
    case TICK_BYE:
      ResetCALL();
      break;
    case TICK_FINAL_ERROR:
      if (GetObjectStatus() == STATUS_REJECTED) CloseNewCallSIP();
      break;
    case TICK_OK:
      m_pINVITE->OnNoACK(this);
      break;
    case TICK_RINGING_IN:
      m_pINVITE->OnRingingInTimeOut(this);
      break;

    default:
      break;
  }
}
