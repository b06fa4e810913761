// A received datagram: parsing accepts or refuses it, the readers of an accepted message work on
// whatever it holds, and its rendering parses back to the same start line and header rows (the
// second rendering equals the first).

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "sip/cCSeq.h"
#include "sip/cMsgSIP.h"
#include "sip/cURI.h"
#include "sip/cVia.h"

namespace {

void ReadAll(const cMsgSIP& msg) {
  cKytListSTR vias;
  if (msg.GetVia(vias)) {
    for (int32_t i = 0; i < vias.GetCount(); ++i) {
      cKytSTR via, host, branch;
      int32_t nPort = 0;
      if (vias.GetAt(i, via)) cVia::Parse(via, host, nPort, branch);
    }
  }
  cKytListSTR routes;
  msg.GetRecordRoute(routes);
  cKytSTR value, method, number, display, user, host, tag;
  int32_t nPort = 0;
  if (msg.GetCSeq(value)) cCSeq::Parse(value, method, number);
  for (auto getter : {&cMsgSIP::GetFrom, &cMsgSIP::GetTo, &cMsgSIP::GetContact}) {
    if (!(msg.*getter)(value)) continue;
    cURI::Parse(value, display, user, host, nPort);
    cURI::GetTag(value, tag);
  }
  msg.GetExpires();
  msg.GetContactExpires();
}

bool SameStartLine(const cMsgSIP& a, const cMsgSIP& b) {
  cKytSTR methodA, methodB, uriA, uriB, reasonA, reasonB;
  a.GetMethod(methodA);
  b.GetMethod(methodB);
  a.GetRequestURI(uriA);
  b.GetRequestURI(uriB);
  a.GetReasonPhrase(reasonA);
  b.GetReasonPhrase(reasonB);
  return a.IsRequest() == b.IsRequest() && a.GetStatusCode() == b.GetStatusCode() &&
         methodA.CompareTo(methodB.GetDATA()) && uriA.CompareTo(uriB.GetDATA()) &&
         reasonA.CompareTo(reasonB.GetDATA());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  // The socket hands a datagram over as text: up to its first zero byte.
  const std::string datagram(reinterpret_cast<const char*>(pData), nSize);
  std::unique_ptr<cMsgSIP> pMsg = cMsgSIP::initWithPacketSIP(datagram.c_str());
  if (!pMsg) return 0;
  ReadAll(*pMsg);
  cKytSTR rendered;
  pMsg->GetMsgText(rendered);
  std::unique_ptr<cMsgSIP> pAgain = cMsgSIP::initWithPacketSIP(rendered);
  if (!pAgain || !SameStartLine(*pMsg, *pAgain)) std::abort();
  cKytSTR again;
  pAgain->GetMsgText(again);
  if (!again.CompareTo(rendered.GetDATA())) std::abort();
  return 0;
}
