#pragma once

#include <cstdint>
#include <functional>

#include "util/cKytNoCopy.h"
#include "util/cKytSTR.h"

class cCallPool;
class cCallSink;
class cKytEventSink;
class cMsgSIP;
class cRouterSIP;
class cSIPCall;

// The call side of the router: takes the requests and responses that concern calls to the call
// with their Call-ID, and answers at once, keeping nothing, the requests that match no call.
class cCallReceiver : private cKytNoCopy {
 public:
  // Incoming calls ringing at once; one more INVITE is answered 486.
  static constexpr int32_t kMaxRingingIn = 8;

  // Takes a NOTIFY of event "presence" that belongs to no call (the chat and presence manager).
  using PresenceNotifyFn = std::function<void(const cMsgSIP& request)>;

  // None is owned; all outlive this object.
  cCallReceiver(cCallPool* pCallPool, cCallSink* pKytMainObj, cKytEventSink* pKytEventObj);

  // Registers the request check, the requests OPTIONS, NOTIFY, INVITE, ACK, BYE, CANCEL and INFO
  // and the responses to INVITE, INFO, CANCEL, BYE and REFER.
  void Attach(cRouterSIP& router, PresenceNotifyFn fnPresenceNotify);
  // Do-not-disturb answers every INVITE 480 without creating a call.
  void SetDonotDisturb(bool bEnable) { m_bDonotDisturb = bEnable; }

 private:
  // 481: the request names a dialog or transaction we do not have.
  void AnswerNoDialog(const cMsgSIP& request);
  void OnReqOPTIONS(const cMsgSIP& request);
  void OnReqNOTIFY(const cMsgSIP& request);
  void OnReqINVITE(const cMsgSIP& request, const cKytSTR& requestText);
  void OnReqBYE(const cMsgSIP& request);
  void OnReqCANCEL(const cMsgSIP& request);
  void OnReqINFO(const cMsgSIP& request);
  // Routes the responses to one method to their call; those of no call are dropped.
  void RouteResponseToCall(cRouterSIP& router, const char* pMethod,
                           void (cSIPCall::*pfnOnResponse)(const cMsgSIP&));
  cSIPCall* FindCall(const cMsgSIP& msg) const;
  // Answers a request outside any call.
  void Answer(const cMsgSIP& request, int32_t nStatusCode, const char* pReason);

  cCallPool* m_pCallPool;         // not owned
  cCallSink* m_pKytMainObj;       // not owned
  cKytEventSink* m_pKytEventObj;  // not owned
  PresenceNotifyFn m_fnPresenceNotify;
  bool m_bDonotDisturb = false;
};
