#include "sip/cResponseSIP.h"

#include "sip/SipStatus.h"
#include "sip/cCSeq.h"
#include "sip/cMsgSIP.h"
#include "sip/cPacketSIP.h"
#include "sip/cTextSIP.h"
#include "sip/cURI.h"
#include "sip/cVia.h"

cResponseSIP::cResponseSIP(const cMsgSIP& request, int32_t nStatusCode, const cKytSTR& reason)
    : m_Request(request), m_nStatusCode(nStatusCode), m_pReason(reason) {}

bool cResponseSIP::Build(cKytSTR& toHost, int32_t& nToPort, cKytSTR& text) const {
  text = "";
  cKytListSTR vias;
  cKytSTR topVia;
  if (!m_Request.GetVia(vias) || !vias.GetHead(topVia) ||
      !cVia::GetResponseTarget(topVia, toHost, nToPort)) {
    return false;  // nowhere to send it
  }

  cMsgSIP msg;
  msg.SetStatusCode(m_nStatusCode);
  msg.SetReasonPhrase(m_pReason);
  msg.SetVia(vias);
  cKytListSTR recordRoute;
  m_Request.GetRecordRoute(recordRoute);
  msg.SetRecordRoute(recordRoute);
  cKytSTR value;
  if (m_Request.GetCallId(value)) msg.SetCallId(value);
  if (m_Request.GetFrom(value)) msg.SetFrom(value);

  cKytSTR to;
  m_Request.GetTo(to);
  cKytSTR tag;
  if (!m_pLocalTag.IsZeroLEN() && !cURI::GetTag(to, tag)) {
    cKytSTR tagged;
    tagged.Format("%s;tag=%s", to.GetDATA(), m_pLocalTag.GetDATA());
    to = tagged;
  }
  msg.SetTo(to);

  cKytSTR cseq;
  if (m_Request.GetCSeq(cseq)) {
    cKytSTR method;
    cKytSTR number;
    if (m_nStatusCode == kSipRequestTerminated && cCSeq::Parse(cseq, method, number)) {
      cCSeq::Construct("INVITE", cTextSIP::ToInt(number.GetDATA()), cseq);
    }
    msg.SetCSeq(cseq);
  }

  cKytSTR contact;
  for (int32_t i = 0; m_pContacts.GetAt(i, contact); ++i) msg.SetContact(contact);
  cKytSTR method;
  m_Request.GetMethod(method);
  if (m_nStatusCode == kSipMethodNotAllowed ||
      (m_nStatusCode == kSipOk && method.CompareTo("OPTIONS"))) {
    msg.SetAllow(cPacketSIP::kAllow);
  }
  if (!m_pUnsupported.IsZeroLEN()) msg.SetUnsupported(m_pUnsupported);
  if (m_bCopyExpires) {
    int32_t nExpires = m_Request.GetExpires();
    if (nExpires >= 0) msg.SetExpires(nExpires);
  }
  if (!m_pBodySDP.IsZeroLEN()) {
    msg.SetContentType("application/sdp");
    msg.SetBodySDP(m_pBodySDP);
  }
  msg.SetUserAgent(cPacketSIP::kUserAgent);
  msg.GetMsgText(text);
  return !text.IsZeroLEN();
}
