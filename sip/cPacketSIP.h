#pragma once

#include <cstdint>

#include "util/cKytListSTR.h"
#include "util/cKytNoCopy.h"
#include "util/cKytSTR.h"

class cKytCoreSink;
class cMsgSIP;

// Dialog state of one call and the builders of every request and response the call sends. It
// neither sends nor times: each builder answers the text and where to send it. Session settings
// (local URI, listen address, proxy) are read from the user agent object at each use.
class cPacketSIP : private cKytNoCopy {
 public:
  static constexpr const char* kUserAgent = "KytSIPUserAgentiOS/3.4";
  static constexpr const char* kMaxForwards = "70";
  // Exactly the methods a request to us may carry: REFER and REGISTER are only sent.
  static constexpr const char* kAllow =
      "ACK, INFO, BYE, CANCEL, INVITE, NOTIFY, OPTIONS, MESSAGE, SUBSCRIBE";

  // initWithCallId: takes callId, or generates one on the listen address when it is empty.
  cPacketSIP(cKytCoreSink* pKytMainObj, const cKytSTR& callId);
  virtual ~cPacketSIP();

  // Identifiers: Call-ID "%x-%x%x-%x@host", tag "%d%x", branch "z9hG4bK%d%x%x" (counter in the
  // second, first and first field; the rest random).
  static void GenUniqueCallId(const cKytSTR& host, cKytSTR& callId);
  static void GenUniqueTagId(cKytSTR& tag);
  static void GenUniqueBranchId(cKytSTR& branch);

  // Queries.
  bool IsUserAgentClient() const { return m_bIsUAC; }
  cKytCoreSink* GetKytMainObj() const { return m_pKytMainObj; }
  void GetCallId(cKytSTR& callId) const { callId = m_pCallId; }
  bool GetToTag(cKytSTR& tag) const;    // tag of the remote party's value
  bool GetFromTag(cKytSTR& tag) const;  // tag of the local party's value
  void GetToURI(cKytSTR& uri) const;    // remote party without tag
  void GetReqURI(cKytSTR& uri) const { uri = m_pReqURI; }
  void GetRTPToIP(cKytSTR& ip) const { ip = m_pRTPToIP; }
  int32_t GetRTPToPort() const { return m_nRTPToPort; }
  int32_t GetObjectStatus() const { return m_nObjectStatus; }
  void SetObjectStatus(int32_t nStatus) { m_nObjectStatus = nStatus; }
  void ResetPacketSIP() { m_nObjectStatus = 0; }
  bool IsSeqNoSameINVITE(int32_t nSeqNo) const { return nSeqNo == m_nSeqNoINVITE; }

  // Remote target and next hop.
  void SetReqURI(const cKytSTR& target);
  // The next hop becomes the URI's maddr value, else the URI rebuilt from its host and port.
  void SetProxyURI(const cKytSTR& uri);
  // The next hop becomes the target's maddr value, else defaultProxyURI.
  void SetProxyURI(const cKytSTR& defaultProxyURI, const cKytSTR& target);
  // Adds "<sip:user@listenIP:listenPort>"; false when the local URI does not parse.
  bool SetContact(cMsgSIP& msg) const;

  // Requests. Each answers true with the text and its destination; false (text empty) when the
  // Contact cannot be built. Credentials: Proxy-Authorization and Authorization, each when
  // given. An INVITE without credentials opens a new dialog (new From tag) unless bSameDialog:
  // the same call tried at another server.
  bool INVITE(const cKytSTR& target, const cKytSTR& bodySDP, const cKytSTR& authorization,
              const cKytSTR& proxyAuthorization, cKytSTR& branch, cKytSTR& toHost, int32_t& nToPort,
              cKytSTR& text, bool bSameDialog = false);
  bool ReINVITE(const cKytSTR& bodySDP, const cKytSTR& authorization,
                const cKytSTR& proxyAuthorization, cKytSTR& toHost, int32_t& nToPort,
                cKytSTR& text);
  // inviteBranch is used for an error response; a 2xx gets a new branch.
  bool ACK(const cMsgSIP& response, const cKytSTR& inviteBranch, const cKytSTR& authorization,
           const cKytSTR& proxyAuthorization, cKytSTR& toHost, int32_t& nToPort, cKytSTR& text);
  bool CANCEL(const cKytSTR& inviteBranch, cKytSTR& toHost, int32_t& nToPort, cKytSTR& text);
  bool BYE(const cKytSTR& authorization, const cKytSTR& proxyAuthorization, cKytSTR& toHost,
           int32_t& nToPort, cKytSTR& text);
  // replaces empty: blind transfer; otherwise attended, "?Replaces=" escaped into the target.
  bool REFER(const cKytSTR& referTo, const cKytSTR& replaces, const cKytSTR& authorization,
             const cKytSTR& proxyAuthorization, cKytSTR& toHost, int32_t& nToPort, cKytSTR& text);
  bool INFO_DTMF(int32_t nDigit, int32_t nDuration, cKytSTR& toHost, int32_t& nToPort,
                 cKytSTR& text);

  // Dialog updates from received messages.
  bool ON_INVITE_REQ(const cMsgSIP& request);
  bool ON_INVITE_RINGING(const cMsgSIP& response);
  bool ON_INVITE_SESSION_PROGRESS(const cMsgSIP& response);
  bool ON_INVITE_OK(const cMsgSIP& response);
  // True when a strict router took over the Request-URI. Once the dialog is established the route
  // set stays as it was then and this only answers whether a strict router holds it.
  bool ManageRecordRoute(const cMsgSIP& msg);
  // A target refresh (re-INVITE or its 2xx): the Contact becomes the remote target; the route
  // set is left alone.
  void RefreshRemoteTarget(const cMsgSIP& msg);
  bool IsDialogEstablished() const { return m_bDialogEstablished; }

  // Responses to a request; the destination is the request's topmost Via. forwardUser (3xx
  // only) adds a Contact on the proxy before the agent's own.
  bool RESPONSE(const cMsgSIP& request, int32_t nStatusCode, const cKytSTR& reason,
                const cKytSTR& body, const cKytSTR& forwardUser, cKytSTR& toHost, int32_t& nToPort,
                cKytSTR& text);
  bool RESPONSE(const cMsgSIP& request, int32_t nStatusCode, const cKytSTR& reason,
                const cKytSTR& body, cKytSTR& toHost, int32_t& nToPort, cKytSTR& text);
  bool RESPONSE_MSG_STR(const cKytSTR& requestText, int32_t nStatusCode, const cKytSTR& reason,
                        const cKytSTR& body, cKytSTR& toHost, int32_t& nToPort, cKytSTR& text);
  // Answers once, through the sink, a request that belongs to no dialog here: a new local tag
  // and the agent's own Contact. False when nothing could be built.
  // unsupported, when given, goes into an Unsupported header (the answer to a Require).
  static bool AnswerOutsideDialog(cKytCoreSink* pKytMainObj, const cMsgSIP& request,
                                  int32_t nStatusCode, const char* pReason,
                                  const cKytSTR& unsupported = "");
  // Start line, our Via, From, To, Call-ID, CSeq and Max-Forwards: the head of every request
  // this agent sends, in or outside a dialog.
  static void StartRequest(const cKytCoreSink* pKytMainObj, cMsgSIP& msg, const char* pMethod,
                           const cKytSTR& requestURI, const cKytSTR& branch, const cKytSTR& from,
                           const cKytSTR& to, const cKytSTR& callId, int32_t nCSeq);

 protected:
  cKytCoreSink* m_pKytMainObj;  // not owned

  cKytSTR m_pCallId;
  cKytSTR m_pFromTagURI;
  cKytSTR m_pToTagURI;
  cKytSTR m_pToTag;
  cKytSTR m_pReqURI;
  cKytSTR m_pProxyURI;
  cKytListSTR m_pRoute;
  cKytListSTR m_pRecordRoute;
  int32_t m_nTranCount = 1;
  int32_t m_nSeqNoINVITE = 1;
  bool m_bIsUAC = false;
  // Set by the 2xx (caller) or the INVITE (called side) that establishes the dialog; from then on
  // the route set is never rebuilt.
  bool m_bDialogEstablished = false;
  bool m_bStrictRoute = false;
  // The initial INVITE as sent, which its CANCEL repeats whatever the dialog learned since.
  cKytSTR m_pInviteReqURI;
  cKytSTR m_pInviteTo;
  cKytSTR m_pInviteHost;
  int32_t m_nInvitePort = 0;
  cKytSTR m_pRTPToIP;
  int32_t m_nRTPToPort = 0;
  int32_t m_nObjectStatus = 0;

 private:
  // "<sip:user@listenIP:listenPort>" from the configured local URI; false when it does not parse.
  static bool MakeContact(const cKytCoreSink* pKytMainObj, cKytSTR& contact);
  // A response from the one builder, with localTag as the dialog's tag and our Contact.
  static bool Respond(const cKytCoreSink* pKytMainObj, const cKytSTR& localTag,
                      const cMsgSIP& request, int32_t nStatusCode, const cKytSTR& reason,
                      const cKytSTR& body, const cKytSTR& forwardUser, cKytSTR& toHost,
                      int32_t& nToPort, cKytSTR& text, const cKytSTR& unsupported = "");
  // Start line, Via, From, To, Call-ID, CSeq, Max-Forwards and the route set of a request, and
  // where it goes: the first route entry, else the next hop.
  void BeginRequest(cMsgSIP& msg, const char* pMethod, const cKytSTR& branch, int32_t nCSeq,
                    const cKytSTR& from, const cKytSTR& to, cKytSTR& toHost,
                    int32_t& nToPort) const;
  // A new transaction inside the dialog: next CSeq, new branch, Contact and User-Agent. False,
  // with nothing changed, when the Contact cannot be built.
  bool BeginDialogRequest(cMsgSIP& msg, const char* pMethod, cKytSTR& toHost, int32_t& nToPort);
  static void AddCredentials(cMsgSIP& msg, const cKytSTR& authorization,
                             const cKytSTR& proxyAuthorization);
  // The remote target (next hop and Request-URI) from a Contact value.
  void TakeRemoteTarget(const cKytSTR& contact);
};
