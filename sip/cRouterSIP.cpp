#include "sip/cRouterSIP.h"

#include <memory>

#include "sip/SipStatus.h"
#include "sip/cMsgSIP.h"
#include "sip/cPacketSIP.h"
#include "sip/cURI.h"
#include "sip/cVia.h"
#include "util/cKytListSTR.h"

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

void cRouterSIP::OnSocketRecv(const cKytSTR& text, const cKytSTR& sourceIP,
                              int32_t nSourcePort) const {
  std::unique_ptr<cMsgSIP> pMsg = cMsgSIP::initWithPacketSIP(text);
  if (!pMsg) return;
  m_pSourceIP = sourceIP;
  if (!pMsg->IsRequest()) {
    OnResponse(*pMsg);
  } else if (sourceIP.IsZeroLEN()) {
    OnRequest(*pMsg, text);
  } else {
    // The text is what calls keep of a request and answer from later, so the stamp goes into
    // the text itself.
    const cKytSTR stamped = StampTopVia(*pMsg, text, sourceIP, nSourcePort);
    std::unique_ptr<cMsgSIP> pStamped = cMsgSIP::initWithPacketSIP(stamped);
    if (pStamped) OnRequest(*pStamped, stamped);
  }
  m_pSourceIP = "";
}

cKytSTR cRouterSIP::StampTopVia(const cMsgSIP& request, const cKytSTR& text,
                                const cKytSTR& sourceIP, int32_t nSourcePort) {
  cKytListSTR vias;
  cKytSTR topVia;
  cKytSTR stamped;
  if (!request.GetVia(vias) || !vias.GetHead(topVia) ||
      !cVia::Stamp(topVia, sourceIP, nSourcePort, stamped)) {
    return text;
  }
  // The parsed value stands verbatim in the text unless it was folded over lines; a folded
  // one is left as it is.
  const std::string sText(text.GetDATA());
  const size_t nHead = sText.find("\r\n\r\n");
  const size_t nAt = sText.find(topVia.GetDATA());
  if (nAt == std::string::npos || nAt > nHead) return text;
  std::string out = sText.substr(0, nAt) + stamped.GetDATA() + sText.substr(nAt + topVia.GetLEN());
  return cKytSTR(out.c_str());
}

bool cRouterSIP::IsFromStranger(const cMsgSIP& request) const {
  if (m_pTrustedIP.IsZeroLEN() || m_pSourceIP.IsZeroLEN() ||
      m_pSourceIP.CompareTo(m_pTrustedIP.GetDATA())) {
    return false;
  }
  if (!request.Is_INVITE_Req() && !request.Is_MESSAGE_Req() && !request.Is_SUBSCRIBE_Req()) {
    return false;
  }
  cKytSTR to, tag;
  return !(request.GetTo(to) && cURI::GetTag(to, tag));
}

void cRouterSIP::OnRequest(const cMsgSIP& request, const cKytSTR& text) const {
  if (m_fnRequestCheck && !m_fnRequestCheck(request)) return;
  if (IsFromStranger(request)) {
    cPacketSIP::AnswerOutsideDialog(m_pKytMainObj, request, kSipForbidden, "Forbidden");
    return;
  }
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
