#pragma once

#include <cstdint>
#include <memory>

#include "sip/SipStatus.h"
#include "util/cKytListSTR.h"
#include "util/cKytNoCopy.h"
#include "util/cKytSTR.h"

class cCallSink;
class cMediaKeys;
class cMsgSIP;
class cSIPCall;

// The INVITE side of a call: dialling out with its responses and one digest challenge, ringing,
// accepting and refusing an incoming call, hold and resume by re-INVITE, answering the other
// side's re-INVITEs, and the ACKs that close these exchanges.
class cObjINVITE : private cKytNoCopy {
 public:
  enum eHold : int32_t { HOLD_NONE = 0, HOLD_HOLD = 1, HOLD_UNHOLD = 2 };

  cObjINVITE();
  ~cObjINVITE();

  bool Connect(const cKytSTR& targetURI, const cKytSTR& loginId, const cKytListSTR& codecList,
               cSIPCall* pCall, cCallSink* pKytMainObj, int32_t& nError);
  bool AcceptCall(const cKytSTR& loginId, const cKytListSTR& codecList, cSIPCall* pCall,
                  cCallSink* pKytMainObj, int32_t& nError);
  void RejectCall(cSIPCall* pCall);
  // The ringing call's INVITE answered 480: we are going away.
  void RefuseForShutdown(cSIPCall* pCall) {
    Refuse(kSipTemporarilyUnavailable, "Temporarily Unavailable", pCall);
  }
  bool HoldCall(const cKytSTR& loginId, cSIPCall* pCall, cCallSink* pKytMainObj, int32_t& nError);
  bool UnHoldCall(const cKytSTR& loginId, cSIPCall* pCall, cCallSink* pKytMainObj, int32_t& nError);
  void OnTimeOutREQ(cSIPCall* pCall);
  // Nobody answered an incoming call in time: 480 to the caller, the ringing stops.
  void OnRingingInTimeOut(cSIPCall* pCall);
  // The call was hung up before any provisional response: the first one is met with CANCEL.
  void CancelOnProvisional() { m_bCancelOnProvisional = true; }
  // Our 2xx was never acknowledged: the session ends with BYE, and the page hears of it.
  void OnNoACK(cSIPCall* pCall);
  // Counts down to sending again the hold or resume that met a 491.
  void OnOneSecondTick(const cKytSTR& loginId, cSIPCall* pCall, cCallSink* pKytMainObj);
  void OnReqINVITE(const cMsgSIP& request, const cKytSTR& requestText, const cKytSTR& loginId,
                   cCallSink* pKytMainObj, cSIPCall* pCall);
  void OnReqACK(const cMsgSIP& request, cSIPCall* pCall);
  void OnRepINVITE(const cMsgSIP& response, const cKytSTR& loginId, const cKytSTR& password,
                   cSIPCall* pCall);
  void GetViaBranch(cKytSTR& branch) const { branch = m_pLastINVITE_ViaBranch; }
  void GetLastRecvINVITE(cKytSTR& text) const { text = m_pLastRecvReqINVITE; }

 private:
  // Hold (sendonly, no connection address) or resume (sendrecv) by re-INVITE.
  bool SendReINVITE(int32_t nHoldMethod, const cKytSTR& loginId, cSIPCall* pCall,
                    cCallSink* pKytMainObj, int32_t& nError);
  void AnswerReINVITE(const cMsgSIP& request, const cKytSTR& loginId, cCallSink* pKytMainObj,
                      cSIPCall* pCall);
  // Final refusal of the ringing INVITE: resent like a 486 until its ACK closes the call.
  void Refuse(int32_t nCode, const char* pReason, cSIPCall* pCall);
  void OnChallenge(const cMsgSIP& response, const cKytSTR& loginId, const cKytSTR& password,
                   cSIPCall* pCall);
  // Whether a challenge may be answered: MD5 (or no algorithm named), a realm not answered yet
  // for this INVITE unless its nonce went stale, and not too many answers in a row.
  bool MayAnswer(const cMsgSIP& response);
  // A challenge we do not answer ends the INVITE: acknowledged and reported; a dialling call is
  // over, a hold or resume leaves the call as it was.
  void GiveUpChallenge(const cMsgSIP& response, bool bReINVITE, cSIPCall* pCall);
  void ForgetChallenges();
  // The call's first INVITE again, as a new transaction (new branch, next CSeq, same Call-ID and
  // From tag), to the next server after a time-out (cFailOverSIP::kTimedOut) or a 503; false
  // when there is none.
  bool RetryElsewhere(int32_t nStatus, cSIPCall* pCall);
  // The Via branch of the INVITE last sent, for the ACK of an error to it.
  void TakeSentBranch();
  // A description of the call's line: its receive address in the origin, and in the connection
  // line unless it puts the remote party on hold. nILBCModeMs is the iLBC frame length it
  // announces.
  bool BuildDescription(cCallSink* pKytMainObj, const cSIPCall* pCall, const cKytSTR& loginId,
                        const char* pDirection, bool bHoldConnection, const cKytListSTR& codecList,
                        int32_t nILBCModeMs, cKytSTR& body);
  void OnRepOK(const cMsgSIP& response, cSIPCall* pCall);
  // Our next offer's keys: SRTP over secure signalling or when the call already has it.
  void ChooseOfferKeys(cSIPCall* pCall);
  // Our answer's keys for a remote offer (an empty one: we offer in our 2xx); false when the
  // offer must be refused with 488.
  bool ChooseAnswerKeys(const cKytSTR& offerBody, cSIPCall* pCall);
  // The keys of an answer to our offer go to the line; false when the answer does not honour
  // our offer's SRTP, and no media may start from it.
  bool TakeAnswerKeys(const cKytSTR& answerBody, cSIPCall* pCall);
  // The far end answered in a way that would leave the media unprotected: the call ends.
  static void DropUnkeyedCall(cSIPCall* pCall);
  // A final error to our re-INVITE: the call stays as last agreed, unless the far end has lost
  // the dialog; a 491 is tried again later.
  void OnReINVITEError(const cMsgSIP& response, cSIPCall* pCall);
  void OnFailToHoldOrResume(cSIPCall* pCall);
  void SendACK(const cMsgSIP& response, cSIPCall* pCall);
  static void TakeIncomingParties(const cMsgSIP& request, cSIPCall* pCall);

  // Sends a 2xx to the received INVITE, kept for the INVITE's retransmissions.
  void SendOK(const cMsgSIP& request, const cKytSTR& text, const cKytSTR& host, int32_t nPort,
              cSIPCall* pCall);
  cKytSTR m_pLastINVITE_ViaBranch;
  cKytSTR m_pOKText;  // our last 2xx to an INVITE, and the CSeq it answers
  cKytSTR m_pOKCSeq;
  cKytSTR m_pOKHost;
  int32_t m_nOKPort = 0;
  cKytSTR m_pLastSendReqINVITE;
  cKytSTR m_pLastRecvReqINVITE;
  int32_t m_nHoldMethodCall = HOLD_NONE;
  // Our re-INVITE awaits its final response: no second one may start, and one from the far
  // end meanwhile is answered 491.
  bool m_bReINVITEPending = false;
  bool m_bCancelOnProvisional = false;
  int64_t m_nRetryInMs = -1;  // -1: no retry waiting
  cKytListSTR m_pCodecNoList;
  std::unique_ptr<cMediaKeys> m_pMediaKeys;
  uint32_t m_nSdpSessionId = 0;  // 0 until the dialog's first description
  uint32_t m_nSdpVersion = 0;
  // "status realm" of each challenge answered for the current INVITE, and how many answers.
  cKytListSTR m_pAnsweredRealms;
  int32_t m_nAuthAnswers = 0;
};
