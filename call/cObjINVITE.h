#pragma once

#include <cstdint>

#include "util/cKytListSTR.h"
#include "util/cKytNoCopy.h"
#include "util/cKytSTR.h"

class cCallSink;
class cMsgSIP;
class cSIPCall;

// The INVITE side of a call: dialling out with its responses and one digest challenge, ringing,
// accepting and refusing an incoming call, hold and resume by re-INVITE, answering the other
// side's re-INVITEs, and the ACKs that close these exchanges.
class cObjINVITE : private cKytNoCopy {
 public:
  enum eHold : int32_t { HOLD_NONE = 0, HOLD_HOLD = 1, HOLD_UNHOLD = 2 };

  cObjINVITE() = default;

  bool Connect(const cKytSTR& targetURI, const cKytSTR& loginId, const cKytListSTR& codecList,
               cSIPCall* pCall, cCallSink* pKytMainObj, int32_t& nError);
  bool AcceptCall(const cKytSTR& loginId, const cKytListSTR& codecList, cSIPCall* pCall,
                  cCallSink* pKytMainObj, int32_t& nError);
  void RejectCall(cSIPCall* pCall);
  bool HoldCall(const cKytSTR& loginId, cSIPCall* pCall, cCallSink* pKytMainObj, int32_t& nError);
  bool UnHoldCall(const cKytSTR& loginId, cSIPCall* pCall, cCallSink* pKytMainObj, int32_t& nError);
  void OnTimeOutREQ(cSIPCall* pCall);
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
  void OnRepOK(const cMsgSIP& response, cSIPCall* pCall);
  void SendACK(const cMsgSIP& response, cSIPCall* pCall);
  static void TakeIncomingParties(const cMsgSIP& request, cSIPCall* pCall);

  cKytSTR m_pLastINVITE_ViaBranch;
  cKytSTR m_pLastSendReqINVITE;
  cKytSTR m_pLastRecvReqINVITE;
  int32_t m_nHoldMethodCall = HOLD_NONE;
  cKytListSTR m_pCodecNoList;
  // "status realm" of each challenge answered for the current INVITE, and how many answers.
  cKytListSTR m_pAnsweredRealms;
  int32_t m_nAuthAnswers = 0;
};
