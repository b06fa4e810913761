#pragma once

#include <cstdint>
#include <memory>

#include "sip/cPacketSIP.h"
#include "sip/cTick.h"
#include "util/cKytListSTR.h"
#include "util/cKytSTR.h"

class cCallSink;
class cDigestAuth;
class cKytEventSink;
class cMediaKeys;
class cMsgSIP;
class cObjBYE;
class cObjCANCEL;
class cObjINVITE;
class cObjNOTIFY;
class cObjREFER;

// One call: an INVITE dialog and the media it starts. The dialog identity and every message text
// come from the packet base; one transaction object per method does the protocol work; the call
// owns the single retransmission timer and the digest state, and turns what its transactions see
// into events.
class cSIPCall : public cPacketSIP, public cTickSink {
 public:
  // Call statuses.
  enum eStatus : int32_t {
    STATUS_IDLE,
    STATUS_INVITE_SENT,
    STATUS_INVITE_AUTH_SENT,
    STATUS_RINGING_OUT,
    STATUS_TRYING_OUT,
    STATUS_RINGING_IN,
    STATUS_CONNECTED,
    STATUS_ACCEPTED,
    STATUS_REJECTED
  };

  // Timer ids: what the single timer slot is resending.
  enum eTick : int32_t {
    TICK_ONCE = -1,
    TICK_INVITE,
    TICK_CANCEL,
    TICK_BYE,
    TICK_FINAL_ERROR,
    TICK_OK,
    TICK_REFER,
    TICK_RINGING_IN
  };

  // initWithParam: an empty callId makes the dialog generate one.
  cSIPCall(const cKytSTR& callId, cCallSink* pCallSink, cKytEventSink* pKytEventObj);
  ~cSIPCall() override;

  int32_t GetLineNo() const { return m_nLineNo; }
  void SetLineNo(int32_t nLine) { m_nLineNo = nLine; }
  int32_t GetObjectError() const { return m_nLastError; }
  int32_t GetMagicNoDTMF() const { return m_nMagicNoDTMF; }
  int32_t GetKytTxCodecNo() const { return m_nKytTxCodecNo; }
  cDigestAuth* GetDigestAuth() const { return m_pDigestAuth.get(); }
  // Whether the account's signalling is secure: it reaches its proxy over TLS (a sips: proxy URI
  // or one with ;transport=tls). Our offers then carry SRTP (RTP/SAVP with a=crypto).
  bool IsSignallingSecure() const;
  bool IsSrtpMandatory() const;

  // User operations (through the user agent object).
  bool Connect(const cKytSTR& targetURI, const cKytListSTR& codecList);
  bool AcceptCall(const cKytListSTR& codecList);
  bool RejectCall();
  bool TransferCall(const cKytSTR& referToURI, const cKytSTR& replaces);
  bool HoldCall();
  bool UnHoldCall();
  bool Disconnect();
  // The agent shuts down: the far end hears the end of the call at once; nothing is reported.
  void EndForShutdown();
  void OnOneSecondTick();
  void UnInitCALL() {}
  // What every received request must pass before it is routed, in a call or not; nothing is
  // refused yet.
  static bool GeneralCheck(const cMsgSIP& request);

  // SIP traffic of this call's Call-ID.
  void OnReqINVITE(const cMsgSIP& request, const cKytSTR& requestText);
  void OnRepINVITE(const cMsgSIP& response);
  void OnReqACK(const cMsgSIP& request);
  void OnReqBYE(const cMsgSIP& request);
  void OnRepBYE(const cMsgSIP& response);
  void OnReqCANCEL(const cMsgSIP& request);
  void OnRepCANCEL(const cMsgSIP& response);
  void OnReqNOTIFY(const cMsgSIP& request);
  void OnRepREFER(const cMsgSIP& response);
  void OnReqINFO(const cMsgSIP& request);
  void OnRepINFO(const cMsgSIP&) {}

  // Services for the transaction objects.
  // Sends at once; any id but TICK_ONCE also (re)starts the call's one timer with this text.
  void SendToTick(int32_t nTimerId, const cKytSTR& text, const cKytSTR& toIP, int32_t nToPort);
  void KillTickAll();
  void ResetCALL();
  void CloseNewCallSIP();

  // Builders; credentials of the dialog are added when the caller passes none.
  bool PrepareReqINVITE(const cKytSTR& target, const cKytSTR& bodySDP, const cKytSTR& authorization,
                        const cKytSTR& proxyAuthorization, cKytSTR& branch, cKytSTR& toHost,
                        int32_t& nToPort, cKytSTR& text, bool bSameDialog = false);
  bool PrepareReqReINVITE(const cKytSTR& bodySDP, const cKytSTR& authorization,
                          const cKytSTR& proxyAuthorization, cKytSTR& toHost, int32_t& nToPort,
                          cKytSTR& text);
  bool PrepareReqACK(const cMsgSIP& response, const cKytSTR& inviteBranch, cKytSTR& toHost,
                     int32_t& nToPort, cKytSTR& text);
  bool PrepareReqCANCEL(const cKytSTR& inviteBranch, cKytSTR& toHost, int32_t& nToPort,
                        cKytSTR& text);
  bool PrepareReqBYE(const cKytSTR& authorization, const cKytSTR& proxyAuthorization,
                     cKytSTR& toHost, int32_t& nToPort, cKytSTR& text);
  bool PrepareReqREFER(const cKytSTR& referTo, const cKytSTR& replaces,
                       const cKytSTR& authorization, const cKytSTR& proxyAuthorization,
                       cKytSTR& toHost, int32_t& nToPort, cKytSTR& text);
  // Builds a response and sends it once; false when it could not be built.
  bool SendResponse(const cMsgSIP& request, int32_t nStatusCode, const char* pReason);
  // Ends the dialog with BYE (resent until answered); false with the error set.
  bool SendReqBYE();
  // CANCEL of our INVITE, resent until answered; false with the error set.
  bool SendReqCANCEL();
  // Timer C: a dialled call that hears only provisional responses for three minutes is given up.
  void ArmTimerC();
  // The server side of an incoming INVITE gives up after as long: a call nobody answers is
  // refused 480 and freed.
  void ArmRingingInTimeOut();
  // 481 and 408 to a request inside the dialog mean the far end no longer has it: the call ends
  // here too, reported as if the far end had hung up.
  static bool EndsDialog(int32_t nStatusCode);
  void EndDialog();
  // Our re-INVITE met one of the far end's (491): the delay before it is sent again, random and
  // longer when we own the Call-ID, so that the two sides do not collide again.
  int64_t ReINVITERetryDelayMs() const;

  // Credentials answering a 401 (Authorization) or 407 (Proxy-Authorization) to the request
  // sentText, for the given method; the other output is emptied and sentBody receives the
  // request's body. bStore keeps the challenge so that the dialog's later requests carry
  // credentials. False when the request does not parse, the challenge header is missing or no
  // credentials result.
  bool AnswerChallenge(const cMsgSIP& response, const cKytSTR& sentText, const char* pMethod,
                       const cKytSTR& loginId, const cKytSTR& password, bool bStore,
                       cKytSTR& authorization, cKytSTR& proxyAuthorization, cKytSTR& sentBody);
  static bool GetChallenge(const cMsgSIP& response, cKytSTR& challenge);

  // Media from a remote description: the codec is chosen in the remote's order against the
  // enabled list, and the line starts sending and/or receiving.
  bool StartRTP(const cKytSTR& description, bool bOutbound, bool bInbound, int32_t& nCodec,
                cKytSTR& remoteIP, int32_t& nRemotePort);
  bool StartRTP(const cKytSTR& description, bool bOutbound, bool bInbound);
  bool StopRTP(bool bOutbound, bool bInbound);
  // The line's SRTP keys follow what the descriptions agreed.
  void SetMediaKeys(const cMediaKeys& keys);

  // Final and unclassified responses: ACK (for INVITE answers not bAcknowledged yet), reset and
  // the failure event.
  void StatusResponse(const cMsgSIP& response, bool bAcknowledged = false);

  // Events, with what each implies for the call.
  void OnConnecting();
  void OnIncomingCall(const cKytSTR& displayName, const cKytSTR& userName, const cKytSTR& fromURI,
                      const cKytSTR& toURI);
  void OnIncomingCallRingingStart();
  void OnIncomingCallRingingStop();
  void OnConnected(int32_t nCodec, const cKytSTR& remoteIP, int32_t nRemotePort);
  void OnFailToConnect();
  void OnProvisionalResponse(int32_t nStatusCode, const cKytSTR& reason);
  void OnDisconnectCall();
  void OnTryingToHold();
  void OnSuccessToHold();
  void OnFailToHold();
  void OnTryingToUnHold();
  void OnSuccessToUnHold();
  void OnFailToUnHold();
  void OnCallTransferAccepted();
  void OnFailToTransfer(int32_t nStatusCode, const cKytSTR& reason);

  // Timer upcalls.
  void OnTickEvent(int32_t nTickId, const cKytSTR& text, const cKytSTR& toIP,
                   int32_t nToPort) override;
  void OnTickEventTimeOut(int32_t nTickId) override;

 private:
  const cKytSTR& LoginId() const;
  const cKytSTR& LoginPwd() const;
  // Adds the dialog's stored credentials for a method when none were given.
  void DialogCredentials(const char* pMethod, const cKytSTR& authorization,
                         const cKytSTR& proxyAuthorization, cKytSTR& authOut,
                         cKytSTR& proxyAuthOut) const;

  cCallSink* m_pCallSink;         // not owned; the same object as the packet's core sink
  cKytEventSink* m_pKytEventObj;  // not owned
  int32_t m_nLineNo = -1;
  int32_t m_nLastError = 0;
  std::unique_ptr<cObjINVITE> m_pINVITE;
  std::unique_ptr<cObjBYE> m_pBYE;
  std::unique_ptr<cObjCANCEL> m_pCANCEL;
  std::unique_ptr<cObjNOTIFY> m_pNOTIFY;
  std::unique_ptr<cObjREFER> m_pREFER;
  std::unique_ptr<cTick> m_pTick;
  int32_t m_nKytTxCodecNo = -1;
  int32_t m_nMagicNoDTMF = -1;
  std::unique_ptr<cDigestAuth> m_pDigestAuth;
};
