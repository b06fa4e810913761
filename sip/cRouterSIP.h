#pragma once

#include <functional>
#include <string>
#include <unordered_map>

#include "util/cKytNoCopy.h"
#include "util/cKytSTR.h"

class cKytCoreSink;
class cMsgSIP;

// The one path of a received datagram: parsed, then a request goes by its method and a response
// by the method of its CSeq to the handler its owner (registration, calls, chat) registered.
// Requests pass the request check first; a request of a method nobody handles is answered
// 405 Method Not Allowed, a response nobody handles is dropped. Main thread only.
class cRouterSIP : private cKytNoCopy {
 public:
  using RequestFn = std::function<void(const cMsgSIP& request, const cKytSTR& text)>;
  using ResponseFn = std::function<void(const cMsgSIP& response)>;
  using RequestCheckFn = std::function<bool(const cMsgSIP& request)>;

  // The 405 answers go out through pKytMainObj (not owned; outlives the router).
  explicit cRouterSIP(cKytCoreSink* pKytMainObj);

  // False from the check drops the request unanswered.
  void SetRequestCheck(RequestCheckFn fnCheck) { m_fnRequestCheck = std::move(fnCheck); }
  // One handler a method (upper case, matched exactly); a later one replaces the earlier.
  void RouteRequest(const char* pMethod, RequestFn fnHandler);
  void RouteResponse(const char* pMethod, ResponseFn fnHandler);

  // A datagram from the SIP socket; what does not parse as SIP is dropped.
  void OnSocketRecv(const cKytSTR& text) const;

 private:
  void OnRequest(const cMsgSIP& request, const cKytSTR& text) const;
  void OnResponse(const cMsgSIP& response) const;

  cKytCoreSink* m_pKytMainObj;  // not owned
  RequestCheckFn m_fnRequestCheck;
  std::unordered_map<std::string, RequestFn> m_pRequestRoutes;
  std::unordered_map<std::string, ResponseFn> m_pResponseRoutes;
};
