#pragma once

#include <cstdint>
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

  // A datagram from the SIP socket; what does not parse as SIP is dropped. With the address it
  // came from, a request's top Via gets received and rport (cVia::Stamp) before anyone reads
  // it, so that every response to it goes back where it came from.
  void OnSocketRecv(const cKytSTR& text) const { OnSocketRecv(text, "", 0); }
  void OnSocketRecv(const cKytSTR& text, const cKytSTR& sourceIP, int32_t nSourcePort) const;

  // Once registered through a proxy, out-of-dialog INVITE, MESSAGE and SUBSCRIBE are taken
  // only from this address (the one the registrar answered from) and refused 403 from any
  // other; empty (the default) takes them from anyone.
  void SetTrustedSource(const cKytSTR& ip) { m_pTrustedIP = ip; }
  // The address of the datagram being handled; empty outside a handler or when unknown.
  const cKytSTR& GetSourceIP() const { return m_pSourceIP; }

 private:
  void OnRequest(const cMsgSIP& request, const cKytSTR& text) const;
  void OnResponse(const cMsgSIP& response) const;
  bool IsFromStranger(const cMsgSIP& request) const;
  // The text with its top Via stamped; the text as it is when the Via cannot be.
  static cKytSTR StampTopVia(const cMsgSIP& request, const cKytSTR& text, const cKytSTR& sourceIP,
                             int32_t nSourcePort);

  cKytCoreSink* m_pKytMainObj;  // not owned
  RequestCheckFn m_fnRequestCheck;
  cKytSTR m_pTrustedIP;
  mutable cKytSTR m_pSourceIP;
  std::unordered_map<std::string, RequestFn> m_pRequestRoutes;
  std::unordered_map<std::string, ResponseFn> m_pResponseRoutes;
};
