#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "util/cKytNoCopy.h"
#include "util/cKytSTR.h"

class cChatContactList;
class cChatMessage;
class cKytCoreSink;
class cKytEventSink;
class cMsgSIP;
class cRouterSIP;

// Instant messages and presence of one user agent. The user agent object owns it, has the router
// hand it the MESSAGE and SUBSCRIBE requests and the responses to MESSAGE, SUBSCRIBE and NOTIFY,
// hands it the presence NOTIFY requests, and ticks it once a second. Session settings are read from
// the user agent object at each use. Main thread only.
class cChatSIP : private cKytNoCopy {
 public:
  // Presence status numbers, sent and received.
  enum ePresence : int32_t {
    STATUS_ONLINE = 0,
    STATUS_OFFLINE = 1,
    STATUS_AWAY = 2,
    STATUS_ON_THE_PHONE = 3,
    STATUS_BUSY = 4
  };

  cChatSIP();
  ~cChatSIP();

  // Takes the session: the entity of our presence documents and the Contact of presence
  // requests and of responses come from the account's From URI and the listen address. False
  // when the From URI does not parse. The messages then start a new Call-ID and From tag.
  bool InitOBJ(cKytCoreSink* pKytMainObj, cKytEventSink* pKytEventObj);

  // Messages. kind 101 sends text/plain, any other text/html. False (error 41) when no request
  // could be built; otherwise the outcome comes back as an event carrying nUserValue.
  bool SendMsgText(const cKytSTR& userName, const cKytSTR& text, int32_t nKind, int32_t nUserValue);
  bool SendMsgTyping(const cKytSTR& userName, int32_t nUserValue);
  void OnReqMESSAGE(const cMsgSIP& request);
  void OnRepMESSAGE(const cMsgSIP& response);

  // Presence.
  bool AddContact(const cKytSTR& userName);
  void RemoveContact(const cKytSTR& userName);
  void SetMyStatus(int32_t nStatus);
  int32_t GetMyStatus() const { return m_nMyStatusId; }
  // Requests go to the contact named by the user part of From, responses by that of To;
  // messages about names not in the list are dropped without an answer.
  void OnReqSUBSCRIBE(const cMsgSIP& request);
  void OnReqNOTIFY(const cMsgSIP& request);
  void OnRepSUBSCRIBE(const cMsgSIP& response);
  void OnRepNOTIFY(const cMsgSIP& response);

  // Registers the requests MESSAGE and SUBSCRIBE and the responses to MESSAGE, SUBSCRIBE and
  // NOTIFY with the router.
  void Attach(cRouterSIP& router);

  // Retransmissions, time-outs, the duplicate filter, refreshes and deletion of removed contacts.
  void OnOneSecondTick();

  int32_t GetObjectError() const { return m_nObjectError; }

  // What the message and contact parts share.
  cKytCoreSink* GetKytMainObj() const { return m_pKytMainObj; }
  // Whether requests travel over a stream (TCP or TLS) and so are never resent.
  bool IsStream() const;
  cKytEventSink* GetKytEventObj() const { return m_pKytEventObj; }
  cChatContactList* GetChatContactList() const { return m_pChatContactList.get(); }
  // On the session's current address: a NAT found by the registrar changes it.
  const cKytSTR& GetContactURI() const;
  const cKytSTR& GetEntityXML() const { return m_pEntityXML; }
  const cKytSTR& GetTupleIdXML() const { return m_pTupleIdXML; }
  const cKytSTR& GetPersonIdXML() const { return m_pPersonIdXML; }

  // "\"user\" <sip:user@realm>": the To of messages and presence requests to a user name.
  void PrepareToURI(const cKytSTR& userName, cKytSTR& to) const;
  // Start line, Via (new branch), From, To, Call-ID, CSeq, Max-Forwards, User-Agent and Allow
  // of a request outside any call.
  void PrepareRequest(cMsgSIP& msg, const char* pMethod, const cKytSTR& requestURI,
                      const cKytSTR& from, const cKytSTR& to, const cKytSTR& callId,
                      int32_t nCSeq) const;
  // The configured SIP proxy's host and port.
  void GetProxyAddress(cKytSTR& host, int32_t& nPort) const;
  void SendToSocket(const cKytSTR& text, const cKytSTR& host, int32_t nPort) const;
  // Answers a request once, towards its top Via: To kept, or with localTag appended when the
  // request's To has no tag and localTag is given; Contact ours; Expires copied when present.
  bool SendResponse(const cMsgSIP& request, int32_t nStatusCode, const char* pReason,
                    const cKytSTR& localTag) const;
  // Credentials answering the 401/407 response for a request of method whose Request-URI is
  // made from the response's To. False when the response carries no challenge.
  bool PrepareCredentials(const cMsgSIP& response, const char* pMethod, const cKytSTR& body,
                          int32_t& nNonceCount, cKytSTR& authorization,
                          cKytSTR& proxyAuthorization) const;

  // Seconds on a monotonic clock; tests replace the clock.
  double GetTickNow() const { return m_fnClock(); }
  void SetClock(std::function<double()> fnClock) { m_fnClock = std::move(fnClock); }

 private:
  static bool UserOf(const cKytSTR& value, cKytSTR& user);

  cKytCoreSink* m_pKytMainObj = nullptr;    // not owned
  cKytEventSink* m_pKytEventObj = nullptr;  // not owned
  std::unique_ptr<cChatMessage> m_pChatMessage;
  std::unique_ptr<cChatContactList> m_pChatContactList;
  cKytSTR m_pTupleIdXML;
  cKytSTR m_pPersonIdXML;
  cKytSTR m_pEntityXML;
  cKytSTR m_pContactUser;
  mutable cKytSTR m_pContactURI;  // the last one built
  int32_t m_nMyStatusId = STATUS_OFFLINE;
  int32_t m_nObjectError = 0;
  std::function<double()> m_fnClock;
};
