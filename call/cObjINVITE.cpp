#include "call/cObjINVITE.h"

#include <memory>

#include "call/cCallSink.h"
#include "call/cMediaKeys.h"
#include "call/cMsgSDP.h"
#include "call/cSIPCall.h"
#include "sip/SipStatus.h"
#include "sip/cAuth.h"
#include "sip/cCSeq.h"
#include "sip/cDigestAuth.h"
#include "sip/cFailOverSIP.h"
#include "sip/cMsgSIP.h"
#include "sip/cTextSIP.h"
#include "sip/cTickTimer.h"
#include "sip/cURI.h"
#include "sip/cVia.h"
#include "util/eKytError.h"

namespace {

// The direction that answers an offer's: each side's sending is the other's receiving.
const char* AnswerDirection(const cKytSTR& offerBody) {
  cMsgSDP offer;
  offer.initWithPacketSDP(offerBody);
  cKytSTR direction;
  if (!offer.GetHoldAttrib(direction)) return "sendrecv";
  if (direction.CompareTo("sendonly")) return "recvonly";
  if (direction.CompareTo("recvonly")) return "sendonly";
  return "inactive";
}

// The iLBC frame length an answer to the offer announces: an offer asking for 20 ms frames is
// answered with 20 (RFC 3952), anything else, or no offer, with our 30.
int32_t AnswerILBCMode(const cKytSTR& offerBody) {
  cMsgSDP offer;
  offer.initWithPacketSDP(offerBody);
  return offer.GetILBCMode();
}

cKytSTR BodyOf(const cMsgSIP& msg) {
  cKytSTR body;
  msg.GetBodySDP(body);
  return body;
}

cKytSTR ReasonOf(const cMsgSIP& msg) {
  cKytSTR reason;
  msg.GetReasonPhrase(reason);
  return reason;
}

// Whether an INVITE's offer leaves us a codec to answer with: true when the INVITE carries no
// offer (the description then comes with the ACK), or when one of the codecs of its audio stream
// is in codecList.
bool OfferSharesCodec(const cKytSTR& inviteText, const cKytListSTR& codecList) {
  std::unique_ptr<cMsgSIP> pInvite = cMsgSIP::initWithPacketSIP(inviteText);
  cKytSTR body = pInvite ? BodyOf(*pInvite) : cKytSTR();
  if (body.IsZeroLEN()) return true;
  cMsgSDP offer;
  offer.initWithPacketSDP(body);
  int32_t nPort = 0;
  cKytListSTR codecNumbers, payloadNumbers;
  if (!offer.GetMediaAudio(nPort, codecNumbers, payloadNumbers)) return false;
  for (int32_t i = 0; i < codecNumbers.GetCount(); ++i) {
    cKytSTR codec;
    if (codecNumbers.GetAt(i, codec) && codecList.Find(codec.GetDATA())) return true;
  }
  return false;
}

void CopyList(const cKytListSTR& from, cKytListSTR& to) {
  to.DeleteAll();
  from.CopyTo(to);
}

}  // namespace

cObjINVITE::cObjINVITE() : m_pMediaKeys(std::make_unique<cMediaKeys>()) {}

cObjINVITE::~cObjINVITE() = default;

void cObjINVITE::ChooseOfferKeys(cSIPCall* pCall) {
  if (pCall->IsSignallingSecure() || m_pMediaKeys->IsSecure()) {
    m_pMediaKeys->OfferSecure();
  } else {
    m_pMediaKeys->OfferPlain();
  }
}

bool cObjINVITE::ChooseAnswerKeys(const cKytSTR& offerBody, cSIPCall* pCall) {
  if (offerBody.IsZeroLEN()) {
    ChooseOfferKeys(pCall);
    return true;
  }
  cMsgSDP offer;
  offer.initWithPacketSDP(offerBody);
  // An RTP/SAVP offer is answered with SRTP whatever the signalling; a plain one over secure
  // signalling only when the page allows it.
  const bool bPlainAllowed = !pCall->IsSignallingSecure() || !pCall->IsSrtpMandatory();
  return m_pMediaKeys->AnswerOffer(offer, bPlainAllowed) != cMediaKeys::ANSWER_REFUSE;
}

bool cObjINVITE::TakeAnswerKeys(const cKytSTR& answerBody, cSIPCall* pCall) {
  if (answerBody.IsZeroLEN()) return true;
  cMsgSDP answer;
  answer.initWithPacketSDP(answerBody);
  if (!m_pMediaKeys->TakeAnswer(answer)) return false;
  pCall->SetMediaKeys(*m_pMediaKeys);
  return true;
}

void cObjINVITE::DropUnkeyedCall(cSIPCall* pCall) {
  if (pCall->GetObjectStatus() == cSIPCall::STATUS_CONNECTED) {
    pCall->EndDialog();
  } else {
    pCall->OnFailToConnect();
  }
  pCall->SendReqBYE();
}

bool cObjINVITE::BuildDescription(cCallSink* pKytMainObj, const cSIPCall* pCall,
                                  const cKytSTR& loginId, const char* pDirection,
                                  bool bHoldConnection, const cKytListSTR& codecList,
                                  int32_t nILBCModeMs, cKytSTR& body) {
  cKytSTR ip;
  int32_t nPort = 0;
  if (!pKytMainObj->GetRTPLineRx(pCall->GetLineNo(), ip, nPort) || ip.IsZeroLEN()) return false;
  // One origin for the dialog; each new description counts its version up.
  if (m_nSdpSessionId == 0) {
    m_nSdpSessionId = cMsgSDP::NewSessionId();
    m_nSdpVersion = m_nSdpSessionId;
  } else {
    ++m_nSdpVersion;
  }
  cMsgSDP sdp;
  sdp.SetILBCMode(nILBCModeMs);
  sdp.SetCrypto(m_pMediaKeys->OurLines());
  return sdp.CreateSDP(loginId, pDirection, bHoldConnection ? cKytSTR("0.0.0.0") : ip, ip, nPort,
                       codecList, m_nSdpSessionId, m_nSdpVersion, body) &&
         !body.IsZeroLEN();
}

bool cObjINVITE::Connect(const cKytSTR& targetURI, const cKytSTR& loginId,
                         const cKytListSTR& codecList, cSIPCall* pCall, cCallSink* pKytMainObj,
                         int32_t& nError) {
  CopyList(codecList, m_pCodecNoList);
  m_nSdpSessionId = 0;
  ChooseOfferKeys(pCall);
  cKytSTR offer;
  if (!BuildDescription(pKytMainObj, pCall, loginId, "sendrecv", false, m_pCodecNoList,
                        cMsgSDP::kILBCMode30, offer)) {
    nError = kErrBuildSdp;
    return false;
  }
  cKytSTR host;
  int32_t nPort = 0;
  cKytSTR text;
  if (!pCall->PrepareReqINVITE(targetURI, offer, "", "", m_pLastINVITE_ViaBranch, host, nPort,
                               text)) {
    nError = kErrBuildInvite;
    return false;
  }
  pCall->GetDigestAuth()->ResetOBJ();
  ForgetChallenges();
  m_bCancelOnProvisional = false;
  m_pLastSendReqINVITE = text;
  m_nHoldMethodCall = HOLD_NONE;
  pCall->SetObjectStatus(cSIPCall::STATUS_INVITE_SENT);
  pCall->SendToTick(cSIPCall::TICK_INVITE, text, host, nPort);
  pCall->OnConnecting();
  return true;
}

bool cObjINVITE::AcceptCall(const cKytSTR& loginId, const cKytListSTR& codecList, cSIPCall* pCall,
                            cCallSink* pKytMainObj, int32_t& nError) {
  if (pCall->GetObjectStatus() != cSIPCall::STATUS_RINGING_IN) return true;
  if (!OfferSharesCodec(m_pLastRecvReqINVITE, codecList)) {
    // Answering with our own codecs would connect a call that can carry no audio.
    Refuse(kSipNotAcceptableHere, "Not Acceptable Here", pCall);
    nError = kErrNoCommonCodec;
    return false;
  }
  CopyList(codecList, m_pCodecNoList);
  cKytSTR answer;
  std::unique_ptr<cMsgSIP> pOffer = cMsgSIP::initWithPacketSIP(m_pLastRecvReqINVITE);
  const cKytSTR offerBody = pOffer ? BodyOf(*pOffer) : cKytSTR();
  const char* pDirection = pOffer ? AnswerDirection(offerBody) : "sendrecv";
  if (!BuildDescription(pKytMainObj, pCall, loginId, pDirection, false, m_pCodecNoList,
                        AnswerILBCMode(offerBody), answer)) {
    // Nothing went out: the call keeps ringing and can still be accepted or refused.
    nError = kErrBuildSdp;
    return false;
  }
  cKytSTR host;
  int32_t nPort = 0;
  cKytSTR text;
  if (!pCall->RESPONSE_MSG_STR(m_pLastRecvReqINVITE, kSipOk, "OK", answer, host, nPort, text)) {
    nError = kErrBuildSdp;
    return false;
  }
  pCall->SetObjectStatus(cSIPCall::STATUS_ACCEPTED);
  // The far end sends with its key from our answer on; an offer of ours waits for the ACK.
  if (!offerBody.IsZeroLEN()) pCall->SetMediaKeys(*m_pMediaKeys);
  pCall->GetDigestAuth()->ResetOBJ();
  std::unique_ptr<cMsgSIP> pInvite = cMsgSIP::initWithPacketSIP(m_pLastRecvReqINVITE);
  if (pInvite) SendOK(*pInvite, text, host, nPort, pCall);
  return true;
}

void cObjINVITE::RejectCall(cSIPCall* pCall) {
  if (pCall->GetObjectStatus() != cSIPCall::STATUS_RINGING_IN) return;
  Refuse(kSipBusyHere, "Busy Here", pCall);
}

void cObjINVITE::Refuse(int32_t nCode, const char* pReason, cSIPCall* pCall) {
  pCall->SetObjectStatus(cSIPCall::STATUS_REJECTED);
  cKytSTR host;
  int32_t nPort = 0;
  cKytSTR text;
  if (pCall->RESPONSE_MSG_STR(m_pLastRecvReqINVITE, nCode, pReason, "", host, nPort, text)) {
    pCall->SendToTick(cSIPCall::TICK_FINAL_ERROR, text, host, nPort);
  }
}

bool cObjINVITE::HoldCall(const cKytSTR& loginId, cSIPCall* pCall, cCallSink* pKytMainObj,
                          int32_t& nError) {
  return SendReINVITE(HOLD_HOLD, loginId, pCall, pKytMainObj, nError);
}

bool cObjINVITE::UnHoldCall(const cKytSTR& loginId, cSIPCall* pCall, cCallSink* pKytMainObj,
                            int32_t& nError) {
  return SendReINVITE(HOLD_UNHOLD, loginId, pCall, pKytMainObj, nError);
}

bool cObjINVITE::SendReINVITE(int32_t nHoldMethod, const cKytSTR& loginId, cSIPCall* pCall,
                              cCallSink* pKytMainObj, int32_t& nError) {
  if (pCall->GetObjectStatus() != cSIPCall::STATUS_CONNECTED) {
    nError = kErrNoCallOnLine;
    return false;
  }
  // One INVITE transaction of ours at a time in a dialog.
  if (m_bReINVITEPending || m_nRetryInMs >= 0) {
    nError = kErrLineBusy;
    return false;
  }
  bool bHold = nHoldMethod == HOLD_HOLD;
  ChooseOfferKeys(pCall);
  cKytSTR offer;
  if (!BuildDescription(pKytMainObj, pCall, loginId, bHold ? "sendonly" : "sendrecv", bHold,
                        m_pCodecNoList, cMsgSDP::kILBCMode30, offer)) {
    nError = kErrBuildSdp;
    return false;
  }
  cKytSTR host;
  int32_t nPort = 0;
  cKytSTR text;
  if (!pCall->PrepareReqReINVITE(offer, "", "", host, nPort, text)) {
    nError = kErrBuildInvite;
    return false;
  }
  m_pLastSendReqINVITE = text;
  m_nHoldMethodCall = nHoldMethod;
  m_bReINVITEPending = true;
  TakeSentBranch();
  ForgetChallenges();
  pCall->SendToTick(cSIPCall::TICK_INVITE, text, host, nPort);
  if (bHold) {
    pCall->OnTryingToHold();
  } else {
    pCall->OnTryingToUnHold();
  }
  return true;
}

void cObjINVITE::OnOneSecondTick(const cKytSTR& loginId, cSIPCall* pCall, cCallSink* pKytMainObj) {
  if (m_nRetryInMs < 0) return;
  m_nRetryInMs -= cTickTimer::kTickMs;
  if (m_nRetryInMs > 0) return;
  m_nRetryInMs = -1;
  int32_t nError = 0;
  if (pCall->GetObjectStatus() != cSIPCall::STATUS_CONNECTED ||
      !SendReINVITE(m_nHoldMethodCall, loginId, pCall, pKytMainObj, nError)) {
    OnFailToHoldOrResume(pCall);
  }
}

void cObjINVITE::OnFailToHoldOrResume(cSIPCall* pCall) {
  m_bReINVITEPending = false;
  if (m_nHoldMethodCall == HOLD_HOLD) pCall->OnFailToHold();
  if (m_nHoldMethodCall == HOLD_UNHOLD) pCall->OnFailToUnHold();
}

void cObjINVITE::OnReINVITEError(const cMsgSIP& response, cSIPCall* pCall) {
  SendACK(response, pCall);
  if (!m_bReINVITEPending) return;  // a late or repeated answer
  int32_t nCode = response.GetStatusCode();
  if (cSIPCall::EndsDialog(nCode)) {
    m_bReINVITEPending = false;
    pCall->EndDialog();
    return;
  }
  if (nCode == kSipRequestPending) {
    m_bReINVITEPending = false;
    m_nRetryInMs = pCall->ReINVITERetryDelayMs();
    return;
  }
  OnFailToHoldOrResume(pCall);
}

void cObjINVITE::SendOK(const cMsgSIP& request, const cKytSTR& text, const cKytSTR& host,
                        int32_t nPort, cSIPCall* pCall) {
  m_pOKText = text;
  m_pOKHost = host;
  m_nOKPort = nPort;
  m_pOKCSeq = "";
  request.GetCSeq(m_pOKCSeq);
  pCall->SendToTick(cSIPCall::TICK_OK, text, host, nPort);
}

void cObjINVITE::OnNoACK(cSIPCall* pCall) {
  int32_t nStatus = pCall->GetObjectStatus();
  if (nStatus == cSIPCall::STATUS_ACCEPTED) {
    pCall->OnFailToConnect();
  } else if (nStatus == cSIPCall::STATUS_CONNECTED) {
    pCall->EndDialog();
  } else {
    return;
  }
  pCall->SendReqBYE();
}

void cObjINVITE::OnTimeOutREQ(cSIPCall* pCall) {
  if (pCall->GetObjectStatus() == cSIPCall::STATUS_CONNECTED) {
    m_bReINVITEPending = false;
    if (m_nHoldMethodCall == HOLD_HOLD) pCall->OnFailToHold();
    if (m_nHoldMethodCall == HOLD_UNHOLD) pCall->OnFailToUnHold();
    return;
  }
  // Without any provisional response there is nothing to cancel (and a CANCEL may not be sent).
  int32_t nStatus = pCall->GetObjectStatus();
  bool bHeard = nStatus == cSIPCall::STATUS_TRYING_OUT || nStatus == cSIPCall::STATUS_RINGING_OUT;
  bool bDialling =
      nStatus == cSIPCall::STATUS_INVITE_SENT || nStatus == cSIPCall::STATUS_INVITE_AUTH_SENT;
  if (bDialling && RetryElsewhere(cFailOverSIP::kTimedOut, pCall)) return;
  cKytSTR host;
  int32_t nPort = 0;
  cKytSTR text;
  if (bHeard && pCall->PrepareReqCANCEL(m_pLastINVITE_ViaBranch, host, nPort, text)) {
    pCall->SendToTick(cSIPCall::TICK_ONCE, text, host, nPort);
  }
  pCall->OnFailToConnect();
}

void cObjINVITE::OnRepINVITE(const cMsgSIP& response, const cKytSTR& loginId,
                             const cKytSTR& password, cSIPCall* pCall) {
  pCall->KillTickAll();
  int32_t nStatus = pCall->GetObjectStatus();
  int32_t nCode = response.GetStatusCode();
  if (m_bCancelOnProvisional) {
    m_bCancelOnProvisional = false;
    if (response.Is_Status_1XX()) {
      pCall->SendReqCANCEL();
      return;
    }
  }
  bool bDialling =
      nStatus == cSIPCall::STATUS_INVITE_SENT || nStatus == cSIPCall::STATUS_INVITE_AUTH_SENT;
  // Timer C runs from each provisional response while the call is dialled.
  bool bOutgoing = bDialling || nStatus == cSIPCall::STATUS_TRYING_OUT ||
                   nStatus == cSIPCall::STATUS_RINGING_OUT;
  if (bOutgoing && response.Is_Status_1XX()) pCall->ArmTimerC();
  if (nCode == kSipTrying) {
    if (bDialling) pCall->SetObjectStatus(cSIPCall::STATUS_TRYING_OUT);
    pCall->OnProvisionalResponse(nCode, ReasonOf(response));
  } else if (nCode == kSipRinging) {
    if (!bDialling && nStatus != cSIPCall::STATUS_TRYING_OUT) return;
    pCall->ON_INVITE_RINGING(response);
    pCall->SetObjectStatus(cSIPCall::STATUS_RINGING_OUT);
    if (TakeAnswerKeys(BodyOf(response), pCall)) pCall->StartRTP(BodyOf(response), true, true);
    pCall->OnProvisionalResponse(nCode, ReasonOf(response));
  } else if (response.Is_Status_2XX()) {
    OnRepOK(response, pCall);
  } else if (nCode == kSipUnauthorized || nCode == kSipProxyAuthenticationRequired) {
    OnChallenge(response, loginId, password, pCall);
  } else if (nCode == kSipSessionProgress) {
    pCall->ON_INVITE_SESSION_PROGRESS(response);
    if (TakeAnswerKeys(BodyOf(response), pCall)) pCall->StartRTP(BodyOf(response), true, true);
    pCall->OnProvisionalResponse(nCode, ReasonOf(response));
  } else if (nStatus == cSIPCall::STATUS_CONNECTED && !response.Is_Status_1XX()) {
    // An error inside the dialog is not the end of the call.
    OnReINVITEError(response, pCall);
  } else if (bOutgoing && nCode == kSipServiceUnavailable) {
    // Acknowledged before the send path moves on: the ACK belongs to the server that refused.
    SendACK(response, pCall);
    if (!RetryElsewhere(nCode, pCall)) pCall->StatusResponse(response, true);
  } else {
    pCall->StatusResponse(response);
  }
}

bool cObjINVITE::RetryElsewhere(int32_t nStatus, cSIPCall* pCall) {
  std::unique_ptr<cMsgSIP> pSent = cMsgSIP::initWithPacketSIP(m_pLastSendReqINVITE);
  cKytSTR offer;
  if (!pSent || !pSent->GetBodySDP(offer) ||
      !cFailOverSIP::NextServer(pCall->GetKytMainObj(), nStatus)) {
    return false;
  }
  cKytSTR target, host, text;
  int32_t nPort = 0;
  pCall->GetToURI(target);
  if (!pCall->PrepareReqINVITE(target, offer, "", "", m_pLastINVITE_ViaBranch, host, nPort, text,
                               true)) {
    return false;
  }
  // The next server knows nothing of the last one's challenges.
  pCall->GetDigestAuth()->ResetOBJ();
  ForgetChallenges();
  m_pLastSendReqINVITE = text;
  pCall->SetObjectStatus(cSIPCall::STATUS_INVITE_SENT);
  pCall->SendToTick(cSIPCall::TICK_INVITE, text, host, nPort);
  return true;
}

void cObjINVITE::SendACK(const cMsgSIP& response, cSIPCall* pCall) {
  cKytSTR host;
  int32_t nPort = 0;
  cKytSTR text;
  if (pCall->PrepareReqACK(response, m_pLastINVITE_ViaBranch, host, nPort, text)) {
    pCall->SendToTick(cSIPCall::TICK_ONCE, text, host, nPort);
  }
}

void cObjINVITE::OnRepOK(const cMsgSIP& response, cSIPCall* pCall) {
  int32_t nStatus = pCall->GetObjectStatus();
  m_bReINVITEPending = false;
  pCall->ON_INVITE_OK(response);
  SendACK(response, pCall);
  if (nStatus == cSIPCall::STATUS_IDLE) {
    // The call was already given up here (hung up, cancelled or timed out) when the far side
    // answered: close the dialog it just opened instead of connecting a call nobody wants.
    pCall->SendReqBYE();
    return;
  }
  if (!TakeAnswerKeys(BodyOf(response), pCall)) {
    DropUnkeyedCall(pCall);
    return;
  }
  if (nStatus != cSIPCall::STATUS_CONNECTED) {
    pCall->SetObjectStatus(cSIPCall::STATUS_CONNECTED);
    int32_t nCodec = -1;
    cKytSTR ip;
    int32_t nPort = 0;
    if (pCall->StartRTP(BodyOf(response), true, true, nCodec, ip, nPort)) {
      pCall->OnConnected(nCodec, ip, nPort);
    }
  } else if (m_nHoldMethodCall == HOLD_HOLD) {
    pCall->OnSuccessToHold();
  } else if (m_nHoldMethodCall == HOLD_UNHOLD) {
    pCall->StartRTP(BodyOf(response), true, true);
    pCall->OnSuccessToUnHold();
  }
}

void cObjINVITE::TakeSentBranch() {
  // The ACK of an error to the re-INVITE belongs to the re-INVITE's transaction.
  std::unique_ptr<cMsgSIP> pSent = cMsgSIP::initWithPacketSIP(m_pLastSendReqINVITE);
  cKytListSTR vias;
  cKytSTR topVia;
  if (!pSent || !pSent->GetVia(vias) || !vias.GetHead(topVia)) return;
  // As written, letter case kept.
  uint32_t nAt = topVia.FindSTR("branch=");
  if (nAt == cKytSTR::KYT_NOT_FOUND) return;
  uint32_t nEnd = topVia.FindSTR(";", nAt);
  cTextSIP::Mid(topVia, nAt + 7, nEnd == cKytSTR::KYT_NOT_FOUND ? topVia.GetLEN() : nEnd,
                m_pLastINVITE_ViaBranch);
}

void cObjINVITE::ForgetChallenges() {
  m_pAnsweredRealms.DeleteAll();
  m_nAuthAnswers = 0;
}

bool cObjINVITE::MayAnswer(const cMsgSIP& response) {
  cKytSTR challenge;
  if (!cSIPCall::GetChallenge(response, challenge) || challenge.IsZeroLEN()) return false;
  // Answering another algorithm with MD5 could only be refused again.
  cKytSTR algorithm;
  if (cAuth::FindToken(challenge, "algorithm=", algorithm) && !algorithm.CompareNoCaseTo("MD5")) {
    return false;
  }
  cKytSTR realm, stale;
  cAuth::FindToken(challenge, "realm=", realm);
  bool bStale = cAuth::FindToken(challenge, "stale=", stale) && stale.CompareNoCaseTo("true");
  cKytSTR key;
  key.Format("%d %s", response.GetStatusCode(), realm.GetDATA());
  bool bAnswered = m_pAnsweredRealms.Find(key.GetDATA());
  // The same realm again with a fresh nonce means the credentials were refused.
  if ((bAnswered && !bStale) || m_nAuthAnswers >= cAuth::kMaxAuthAnswers) return false;
  if (!bAnswered) m_pAnsweredRealms.AddTail(key);
  ++m_nAuthAnswers;
  return true;
}

void cObjINVITE::GiveUpChallenge(const cMsgSIP& response, bool bReINVITE, cSIPCall* pCall) {
  if (!bReINVITE) {
    pCall->StatusResponse(response);
    return;
  }
  SendACK(response, pCall);
  OnFailToHoldOrResume(pCall);
}

void cObjINVITE::OnChallenge(const cMsgSIP& response, const cKytSTR& loginId,
                             const cKytSTR& password, cSIPCall* pCall) {
  int32_t nStatus = pCall->GetObjectStatus();
  bool bReINVITE = nStatus == cSIPCall::STATUS_CONNECTED && m_nHoldMethodCall != HOLD_NONE;
  // A call given up here (status 0), or a connected call whose last INVITE was not a hold or
  // resume, must not be dialled again by a late challenge; the challenge is still acknowledged.
  bool bDialling =
      nStatus == cSIPCall::STATUS_INVITE_SENT || nStatus == cSIPCall::STATUS_INVITE_AUTH_SENT ||
      nStatus == cSIPCall::STATUS_RINGING_OUT || nStatus == cSIPCall::STATUS_TRYING_OUT;
  if (!bDialling && !bReINVITE) {
    SendACK(response, pCall);
    return;
  }
  cKytSTR authorization, proxyAuthorization, offer;
  if (!MayAnswer(response) ||
      !pCall->AnswerChallenge(response, m_pLastSendReqINVITE, "INVITE", loginId, password,
                              !bReINVITE, authorization, proxyAuthorization, offer)) {
    GiveUpChallenge(response, bReINVITE, pCall);
    return;
  }
  SendACK(response, pCall);
  cKytSTR host;
  int32_t nPort = 0;
  cKytSTR text;
  if (bReINVITE) {
    if (!pCall->PrepareReqReINVITE(offer, authorization, proxyAuthorization, host, nPort, text)) {
      return;
    }
  } else {
    // A proxy's challenge answered earlier still has to be passed when the server challenges,
    // and the other way round.
    cKytSTR reqURI;
    pCall->GetReqURI(reqURI);
    if (authorization.IsZeroLEN()) {
      pCall->GetDigestAuth()->PrepareAuthParam(kSipUnauthorized, "INVITE", reqURI, authorization);
    } else {
      pCall->GetDigestAuth()->PrepareAuthParam(kSipProxyAuthenticationRequired, "INVITE", reqURI,
                                               proxyAuthorization);
    }
    cKytSTR target;
    pCall->GetToURI(target);
    if (!pCall->PrepareReqINVITE(target, offer, authorization, proxyAuthorization,
                                 m_pLastINVITE_ViaBranch, host, nPort, text)) {
      return;
    }
    pCall->SetObjectStatus(cSIPCall::STATUS_INVITE_AUTH_SENT);
  }
  m_pLastSendReqINVITE = text;
  if (bReINVITE) TakeSentBranch();
  pCall->SendToTick(cSIPCall::TICK_INVITE, text, host, nPort);
}

void cObjINVITE::OnReqINVITE(const cMsgSIP& request, const cKytSTR& requestText,
                             const cKytSTR& loginId, cCallSink* pKytMainObj, cSIPCall* pCall) {
  cKytListSTR vias;
  cKytSTR topVia;
  if (!request.GetVia(vias) || !vias.GetHead(topVia)) return;
  cKytSTR viaHost;
  int32_t nViaPort = 0;
  cKytSTR branch;
  if (!cVia::Parse(topVia, viaHost, nViaPort, branch)) return;
  // A resent INVITE we already accepted gets the same 2xx, not a new answer.
  cKytSTR cseq;
  int32_t nStatus = pCall->GetObjectStatus();
  if (!m_pOKText.IsZeroLEN() && request.GetCSeq(cseq) && cseq.CompareTo(m_pOKCSeq.GetDATA())) {
    // Once the call is over the INVITE's transaction is too: no new call rings from it.
    if (nStatus == cSIPCall::STATUS_ACCEPTED || nStatus == cSIPCall::STATUS_CONNECTED) {
      pCall->SendToTick(cSIPCall::TICK_ONCE, m_pOKText, m_pOKHost, m_nOKPort);
    }
    return;
  }
  if (m_bReINVITEPending && nStatus == cSIPCall::STATUS_CONNECTED) {
    // Both sides offered at once: ours stands, theirs is tried again later.
    pCall->SendResponse(request, kSipRequestPending, "Request Pending");
    return;
  }
  if (!pCall->ON_INVITE_REQ(request)) return;
  const bool bNewOffer = nStatus == cSIPCall::STATUS_CONNECTED || nStatus == cSIPCall::STATUS_IDLE;
  const bool bKeyed = !bNewOffer || ChooseAnswerKeys(BodyOf(request), pCall);
  if (nStatus == cSIPCall::STATUS_CONNECTED && !bKeyed) {
    // The call goes on as last agreed.
    pCall->SendResponse(request, kSipNotAcceptableHere, "Not Acceptable Here");
    return;
  }
  m_pLastINVITE_ViaBranch = branch;
  m_pLastRecvReqINVITE = requestText;
  pCall->SendResponse(request, kSipTrying, "Trying");
  if (nStatus == cSIPCall::STATUS_CONNECTED) {
    AnswerReINVITE(request, loginId, pKytMainObj, pCall);
    return;
  }
  if (!bKeyed) {
    // No media we could protect as asked: refused before it rings.
    Refuse(kSipNotAcceptableHere, "Not Acceptable Here", pCall);
    return;
  }
  pCall->SendResponse(request, kSipRinging, "Ringing");
  if (nStatus != cSIPCall::STATUS_IDLE) return;
  pCall->SetObjectStatus(cSIPCall::STATUS_RINGING_IN);
  pCall->ArmRingingInTimeOut();
  TakeIncomingParties(request, pCall);
}

void cObjINVITE::OnRingingInTimeOut(cSIPCall* pCall) {
  if (pCall->GetObjectStatus() != cSIPCall::STATUS_RINGING_IN) return;
  pCall->SetObjectStatus(cSIPCall::STATUS_IDLE);
  cKytSTR host;
  int32_t nPort = 0;
  cKytSTR text;
  if (pCall->RESPONSE_MSG_STR(m_pLastRecvReqINVITE, kSipTemporarilyUnavailable,
                              "Temporarily Unavailable", "", host, nPort, text)) {
    pCall->SendToTick(cSIPCall::TICK_FINAL_ERROR, text, host, nPort);
  }
  pCall->OnIncomingCallRingingStop();
  if (pCall->GetLineNo() < 0) pCall->CloseNewCallSIP();
}

void cObjINVITE::TakeIncomingParties(const cMsgSIP& request, cSIPCall* pCall) {
  cKytSTR toValue, fromValue;
  request.GetTo(toValue);
  request.GetFrom(fromValue);
  cKytSTR toDisplay, toUser, toHost, toURI;
  int32_t nToPort = 0;
  cURI::Parse(toValue, toDisplay, toUser, toHost, nToPort);
  cURI::Construct(toDisplay, toUser, toHost, nToPort == 5060 ? 0 : nToPort, toURI);
  cKytSTR fromDisplay, fromUser, fromHost, fromURI;
  int32_t nFromPort = 0;
  cURI::Parse(fromValue, fromDisplay, fromUser, fromHost, nFromPort);
  cURI::Construct(fromDisplay, fromUser, fromHost, nFromPort == 5060 ? 0 : nFromPort, fromURI);
  fromDisplay.Trim("\"");
  fromUser.Trim("\"");
  pCall->OnIncomingCall(fromDisplay, fromUser, fromURI, toURI);
  pCall->OnIncomingCallRingingStart();
}

void cObjINVITE::AnswerReINVITE(const cMsgSIP& request, const cKytSTR& loginId,
                                cCallSink* pKytMainObj, cSIPCall* pCall) {
  cKytSTR answer;
  const cKytSTR offer = BodyOf(request);
  if (!BuildDescription(pKytMainObj, pCall, loginId, AnswerDirection(offer), false, m_pCodecNoList,
                        AnswerILBCMode(offer), answer)) {
    return;
  }
  cKytSTR host;
  int32_t nPort = 0;
  cKytSTR text;
  if (pCall->RESPONSE(request, kSipOk, "OK", answer, host, nPort, text)) {
    if (!offer.IsZeroLEN()) pCall->SetMediaKeys(*m_pMediaKeys);
    SendOK(request, text, host, nPort, pCall);
  }
}

void cObjINVITE::OnReqACK(const cMsgSIP& request, cSIPCall* pCall) {
  int32_t nStatus = pCall->GetObjectStatus();
  if (nStatus == cSIPCall::STATUS_ACCEPTED) {
    cKytSTR cseq, method, number;
    if (!request.GetCSeq(cseq) || !cCSeq::Parse(cseq, method, number) ||
        !pCall->IsSeqNoSameINVITE(number.ConvertToINT())) {
      return;
    }
  }
  pCall->KillTickAll();
  std::unique_ptr<cMsgSIP> pInvite = cMsgSIP::initWithPacketSIP(m_pLastRecvReqINVITE);
  cKytSTR offer = pInvite ? BodyOf(*pInvite) : cKytSTR();
  cKytSTR description = BodyOf(request);
  if (description.IsZeroLEN()) description = offer;
  if (nStatus == cSIPCall::STATUS_ACCEPTED) {
    pCall->SetObjectStatus(cSIPCall::STATUS_CONNECTED);
    // Our 2xx carried the offer: the ACK's answer keys the media.
    if (offer.IsZeroLEN() && !TakeAnswerKeys(description, pCall)) {
      DropUnkeyedCall(pCall);
      return;
    }
    int32_t nCodec = -1;
    cKytSTR ip;
    int32_t nPort = 0;
    if (pCall->StartRTP(description, true, true, nCodec, ip, nPort)) {
      pCall->OnConnected(nCodec, ip, nPort);
    }
  } else if (nStatus == cSIPCall::STATUS_CONNECTED) {
    cMsgSDP remote;
    remote.initWithPacketSDP(offer);
    pCall->StartRTP(description, !remote.IsRemoteHold(), true);
  } else if (nStatus == cSIPCall::STATUS_REJECTED) {
    pCall->CloseNewCallSIP();
  }
}
