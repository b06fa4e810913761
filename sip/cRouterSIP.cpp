#include "sip/cRouterSIP.h"

#include <memory>

#include "sip/SipStatus.h"
#include "sip/cMsgSIP.h"
#include "sip/cPacketSIP.h"

namespace {

std::string MethodOf(const cMsgSIP& msg) {
  cKytSTR method;
  msg.GetMethod(method);
  return method.GetDATA();
}

}  // namespace

cRouterSIP::cRouterSIP(cKytCoreSink* pKytMainObj) : m_pKytMainObj(pKytMainObj) {}

void cRouterSIP::RouteRequest(const char* pMethod, RequestFn fnHandler) {
  m_pRequestRoutes[pMethod] = std::move(fnHandler);
}

void cRouterSIP::RouteResponse(const char* pMethod, ResponseFn fnHandler) {
  m_pResponseRoutes[pMethod] = std::move(fnHandler);
}

void cRouterSIP::OnSocketRecv(const cKytSTR& text) const {
  const std::unique_ptr<cMsgSIP> pMsg = cMsgSIP::initWithPacketSIP(text);
  if (!pMsg) return;
  if (pMsg->IsRequest()) {
    OnRequest(*pMsg, text);
  } else {
    OnResponse(*pMsg);
  }
}

void cRouterSIP::OnRequest(const cMsgSIP& request, const cKytSTR& text) const {
  if (m_fnRequestCheck && !m_fnRequestCheck(request)) return;
  // We support no extension: whatever a request requires is refused, except on ACK and CANCEL,
  // which cannot be refused.
  cKytSTR required;
  std::string method = MethodOf(request);
  if (request.GetRequire(required) && !required.IsZeroLEN() && method != "ACK" &&
      method != "CANCEL") {
    cPacketSIP::AnswerOutsideDialog(m_pKytMainObj, request, kSipBadExtension, "Bad Extension",
                                    required);
    return;
  }
  auto it = m_pRequestRoutes.find(method);
  if (it != m_pRequestRoutes.end()) {
    it->second(request, text);
  } else {
    cPacketSIP::AnswerOutsideDialog(m_pKytMainObj, request, kSipMethodNotAllowed,
                                    "Method Not Allowed");
  }
}

void cRouterSIP::OnResponse(const cMsgSIP& response) const {
  auto it = m_pResponseRoutes.find(MethodOf(response));
  if (it != m_pResponseRoutes.end()) it->second(response);
}
