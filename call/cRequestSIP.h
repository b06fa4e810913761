#pragma once

#include <functional>

#include "util/cKytSTR.h"

class cCallPool;
class cKytCoreSink;
class cKytEventSink;
class cMsgSIP;

// Routes the requests that concern calls to the call with their Call-ID, and answers at once
// those that match no call (through a short-lived call object's response builder; no state kept).
class cRequestSIP {
 public:
  // Takes a NOTIFY of event "presence" that belongs to no call (the chat and presence manager).
  using PresenceNotifyFn = std::function<void(const cMsgSIP& request)>;

  cRequestSIP() = default;
  cRequestSIP(const cRequestSIP&) = delete;
  cRequestSIP& operator=(const cRequestSIP&) = delete;

  void OnReqOPTIONS(const cMsgSIP& request, cCallPool* pCallPool, cKytCoreSink* pKytMainObj,
                    cKytEventSink* pKytEventObj);
  void OnReqNOTIFY(const cMsgSIP& request, cCallPool* pCallPool, cKytCoreSink* pKytMainObj,
                   cKytEventSink* pKytEventObj, const PresenceNotifyFn& presenceNotify);
  // Do-not-disturb answers every INVITE 480 without creating a call.
  void OnReqINVITE(const cKytSTR& requestText, const cMsgSIP& request, bool bDonotDisturb,
                   cCallPool* pCallPool, cKytCoreSink* pKytMainObj, cKytEventSink* pKytEventObj);
  void OnReqACK(const cMsgSIP& request, cCallPool* pCallPool, cKytCoreSink* pKytMainObj,
                cKytEventSink* pKytEventObj);
  void OnReqBYE(const cMsgSIP& request, cCallPool* pCallPool, cKytCoreSink* pKytMainObj,
                cKytEventSink* pKytEventObj);
  void OnReqCANCEL(const cMsgSIP& request, cCallPool* pCallPool, cKytCoreSink* pKytMainObj,
                   cKytEventSink* pKytEventObj);
  void OnReqINFO(const cMsgSIP& request, cCallPool* pCallPool, cKytCoreSink* pKytMainObj,
                 cKytEventSink* pKytEventObj);

 private:
  // Answers a request outside any call.
  static void Answer(const cMsgSIP& request, int32_t nStatusCode, const char* pReason,
                     cKytCoreSink* pKytMainObj, cKytEventSink* pKytEventObj);
  static cKytSTR CallIdOf(const cMsgSIP& request);
};
