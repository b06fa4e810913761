#include "chat/cObjMESSAGE.h"

#include "chat/cChatSIP.h"
#include "sip/cKytCoreSink.h"
#include "sip/cMsgSIP.h"
#include "sip/cPacketSIP.h"
#include "sip/cURI.h"

const char* const cObjMESSAGE::kTypingActiveXML =
    "<?xml version='1.0' encoding='UTF-8'?>\n"
    "<isComposing xmlns='urn:ietf:params:xml:ns:im-iscomposing'\n"
    "  xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance'>\n"
    "    <state>active</state>\n"
    "    <contenttype>text/html</contenttype>\n"
    "    <refresh>10</refresh>\r"
    "</isComposing>";

cObjMESSAGE::cObjMESSAGE(cChatSIP* pChatSIP) : m_pChatSIP(pChatSIP) {}

void cObjMESSAGE::ResetOBJ() {
  m_pCallId = "";
  m_pFromTagURI = "";
}

bool cObjMESSAGE::PrepareReqMESSAGE(const cKytSTR& userName, const cKytSTR& authorization,
                                    const cKytSTR& proxyAuthorization, const cKytSTR& text,
                                    int32_t nKind, int32_t& nSeqNo, cKytSTR& toHost,
                                    int32_t& nToPort, cKytSTR& request) {
  request = "";
  cKytCoreSink* pCore = m_pChatSIP->GetKytMainObj();
  if (pCore == nullptr) return false;
  if (m_pCallId.IsZeroLEN()) {
    cKytSTR tag;
    cPacketSIP::GenUniqueTagId(tag);
    m_pFromTagURI.Format("%s;tag=%s", pCore->GetFromURI().GetDATA(), tag.GetDATA());
    cPacketSIP::GenUniqueCallId(pCore->GetListenIP(), m_pCallId);
  }

  cKytSTR to, requestURI;
  m_pChatSIP->PrepareToURI(userName, to);
  cURI::PrepareRequestURI(to, requestURI);
  nSeqNo = m_nTranCount++;
  cMsgSIP msg;
  m_pChatSIP->PrepareRequest(msg, "MESSAGE", requestURI, m_pFromTagURI, to, m_pCallId, nSeqNo);
  if (!proxyAuthorization.IsZeroLEN()) {
    msg.SetProxyAuthorization(proxyAuthorization);
  } else if (!authorization.IsZeroLEN()) {
    msg.SetAuthorization(authorization);
  }
  if (nKind == KIND_TEXT) {
    msg.SetContentType("text/plain");
    msg.SetBodySDP(text);
  } else if (nKind == KIND_TYPING) {
    msg.SetContentType("application/im-iscomposing+xml");
    msg.SetBodySDP(kTypingActiveXML);
  } else {
    msg.SetContentType("text/html");
    msg.SetBodySDP(text);
  }
  m_pChatSIP->GetProxyAddress(toHost, nToPort);
  msg.GetMsgText(request);
  return !request.IsZeroLEN();
}
