#pragma once

#include <cstdint>
#include <memory>

#include "sip/cRegTick.h"
#include "sip/eTransportSIP.h"
#include "util/cKytSTR.h"

class cKytCoreSink;
class cKytEventSink;
class cMd5c;
class cMsgSIP;

// Keeps the agent registered with its registrar: REGISTER with resends every 2 s and a 16 s
// time-out, digest challenges (at most 4 answered per attempt), refresh 3 s before the granted
// expiry, redirects, unregistration and CRLF keep-alive packets (every 25 s unless the page
// says otherwise), each step reported to the event sink. When the registrar's 200 shows a NAT
// between (received/rport in the Via), the agent registers again at its public address. Main thread
// only: responses come from the core's routing, seconds from OnMainTick.
class cRegSIP : public cRegTick {
 public:
  static constexpr int32_t kDefaultGrantedExpire = 20;
  static constexpr int32_t kRefreshAhead = 3;
  // CRLF keep-alive period while registered (RFC 5626 section 4.4.1 suggests under 30 s for
  // UDP, as NAT bindings of UDP flows may last no longer).
  static constexpr int32_t kDefaultKeepAlive = 25;

  cRegSIP();
  ~cRegSIP() override;

  // Keeps the session's addresses. The registrar is the SIP proxy (the outbound proxy when no
  // SIP proxy is given), port 5060 when it names none; false when it does not parse.
  bool InitOBJ(cKytCoreSink* pKytMainObj, cKytEventSink* pKytEvent, const cKytSTR& listenIP,
               int32_t nListenPort, const cKytSTR& fromURI, const cKytSTR& outboundProxy,
               const cKytSTR& sipProxy);
  // Stops every pending attempt and the refresh; the agent counts as unregistered afterwards.
  void UnInitOBJ();

  // The application's register call: new From tag and Call-ID, keeps expiry and credentials.
  bool RegisterToProxy(int32_t nExpire, const cKytSTR& loginId, const cKytSTR& loginPwd);
  bool RegisterToProxy();
  bool ReRegisterToProxy();
  // A new attempt towards the Contact of a 3xx; false (and no attempt) when it does not parse.
  bool RedirectRegisterToProxy(const cKytSTR& contact);
  // Expires 0 with the registration's Call-ID; true without sending when not registered (and a
  // registration still pending is given up).
  bool UnRegisterToProxy();

  // A response whose CSeq method is REGISTER. Responses to anything but the pending REGISTER
  // (other Call-ID, other CSeq number, nothing pending) are ignored.
  void OnResponse(const cMsgSIP& msg);
  // The transport toward the registrar failed for good (RFC 3261 section 8.1.3.1): a pending
  // attempt fails at once, as a 503 with reason naming the fault, instead of timing out.
  void OnTransportFailure(const cKytSTR& reason);

  bool IsRegister() const { return m_bRegister; }
  bool IsPending() const { return m_bPending; }
  int32_t GetObjectError() const { return m_nLastError; }

  // Hands the text to the user agent object towards the registrar.
  void SendToSocket(const cKytSTR& text);
  eTransportSIP Transport() const;

  // Builds a REGISTER: From with the registration's tag, Contact on the listen address, the
  // credentials given (Proxy-Authorization before Authorization), Expires nExpire, the next
  // CSeq, a new branch. A new Call-ID when asked for, no credentials are given and nExpire is
  // not 0. False (text empty) when the account URI does not parse.
  bool REGISTER(int32_t nExpire, bool bNewCallId, const cKytSTR& authorization,
                const cKytSTR& proxyAuthorization, cKytSTR& text);

 protected:
  void OnTickEvent(int32_t nTickId, const cKytSTR& text) override;

 private:
  // Sends a built request at once and arms the resend and time-out slots for it.
  void StartAttempt(const cKytSTR& text);
  void OnRepTrying();
  void OnRepOK(const cMsgSIP& msg);
  // Answers a 401 (bProxy false) or 407 challenge; false when it cannot.
  bool OnRepAuthREG(const cKytSTR& challenge, bool bProxy);
  // A 200 whose top Via shows the registrar saw us elsewhere than our sent-by (a NAT): takes
  // that address for our Contact and Via, tells the core and registers it, removing the binding
  // of the old Contact. True when that new attempt is under way.
  bool LearnPublicAddress(const cMsgSIP& msg);
  void OnFailToRegister(int32_t nStatusCode, const cKytSTR& reason);
  // After a time-out (cFailOverSIP::kTimedOut) or a 503: the same attempt, with a new branch and
  // CSeq, to the registrar's next server when the send path has one; false otherwise.
  bool RetryElsewhere(int32_t nStatus);
  bool IsPendingResponse(const cMsgSIP& msg) const;
  bool ParseAccount(cKytSTR& user, cKytSTR& host) const;

  std::unique_ptr<cMd5c> m_pMd5;

  cKytSTR m_pFromURI;
  cKytSTR m_pFromTag;
  cKytSTR m_pCallId;
  int32_t m_nTranCount = 1;
  int32_t m_nLastCSeq = 0;  // CSeq number of the REGISTER last built
  int32_t m_nProxyExpire = 0;
  cKytSTR m_pProxyLoginId;
  cKytSTR m_pProxyLoginPwd;
  int32_t m_nNonceCount = 1;
  int32_t m_nRepAuthCount = 0;
  cKytSTR m_pToIP;
  int32_t m_nToPort = 5060;
  cKytSTR m_pListenIP;
  int32_t m_nListenPort = 0;
  // Our Contact before the registrar showed us our public address; removed by the next
  // REGISTER and forgotten once that succeeds.
  cKytSTR m_pStaleContact;
  bool m_bRegister = false;
  bool m_bPending = false;  // an attempt waits for its final response
  bool m_bIsRegisterReq = true;
  bool m_bIsFunctionCall = false;
  bool m_bRegTryingCalled = false;
  bool m_bUnRegTryingCalled = false;
  int32_t m_nLastError = 0;
  cKytEventSink* m_pKytEvent = nullptr;   // not owned
  cKytCoreSink* m_pKytMainObj = nullptr;  // not owned
};
