#include "useragent/cKytSIPUserAgentObject.h"

#include <cctype>
#include <initializer_list>
#include <string>

#include "KytRTP/cKytRTP.h"
#include "KytRTP/cSrtpContext.h"
#include "call/cCallPool.h"
#include "call/cCallReceiver.h"
#include "call/cCodecSIP.h"
#include "call/cMsgSDP.h"
#include "call/cSIPCall.h"
#include "chat/cChatSIP.h"
#include "platform/cNetInterfaces.h"
#include "sip/cGenListenPortSIP.h"
#include "sip/cMsgSIP.h"
#include "sip/cMyIP.h"
#include "sip/cQuoteSIP.h"
#include "sip/cRegSIP.h"
#include "sip/cRouterSIP.h"
#include "sip/cSocketSIP.h"
#include "sip/cTickTimer.h"
#include "sip/cURI.h"
#include "useragent/cKytEventObj.h"
#include "util/eKytError.h"

namespace {
constexpr int32_t STATUS_IDLE = 0;
constexpr int32_t STATUS_CONNECTED = 6;
constexpr int32_t STATUS_INCOMING_RINGING = 5;
// More lines than any page could use; a larger count is refused rather than allocated.
constexpr int32_t kMaxTotalLine = 64;
// A chat text travels in one UDP datagram.
constexpr uint32_t kMaxChatText = 64 * 1024;

bool AllLineSafe(std::initializer_list<const cKytSTR*> texts) {
  for (const cKytSTR* pText : texts) {
    if (!cQuoteSIP::IsLineSafe(*pText)) return false;
  }
  return true;
}

// Whether the URI gives the port of its host (otherwise a host name is located by NAPTR and SRV).
bool NamesPort(const cKytSTR& uri, const cKytSTR& host) {
  const std::string sText(uri.GetDATA());
  return sText.find(std::string(host.GetDATA()) + ":") != std::string::npos;
}

// The transport a proxy URI asks for (RFC 3261 sections 19.1.1 and 26.2.2).
eTransportSIP TransportOf(const cKytSTR& uri) {
  std::string sText(uri.GetDATA());
  for (char& c : sText) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const size_t nScheme = sText.find("sip");
  if (nScheme != std::string::npos && sText.compare(nScheme, 5, "sips:") == 0)
    return eTransportSIP::TLS;
  if (sText.find(";transport=tls") != std::string::npos) return eTransportSIP::TLS;
  if (sText.find(";transport=tcp") != std::string::npos) return eTransportSIP::TCP;
  return eTransportSIP::UDP;
}

// Empty, or a SIP URI.
bool IsOptionalSipURI(const cKytSTR& uri) { return uri.IsZeroLEN() || cURI::IsSipURI(uri); }
}  // namespace

cKytSIPUserAgentObject::cKytSIPUserAgentObject(cKytSIPUserAgentLib* pKytMainLib,
                                               cMainLoop* pMainLoop)
    : m_pKytMainLib(pKytMainLib),
      m_pMainLoop(pMainLoop),
      m_pKytRTPLib(std::make_unique<cKytRTP>(this, pMainLoop)),
      m_pKytEventObj(std::make_unique<cKytEventObj>(this, pKytMainLib, m_pKytRTPLib.get())),
      m_pSocketSIP(std::make_unique<cSocketSIP>(pMainLoop)),
      m_pRegSIP(std::make_unique<cRegSIP>()),
      m_pObjCallPool(std::make_unique<cCallPool>()),
      m_pCodecSIP(std::make_unique<cCodecSIP>()),
      m_pObjTimerTick(std::make_unique<cTickTimer>(pMainLoop, [this] { OnOneSecondTick(); })),
      m_pChatSIP(std::make_unique<cChatSIP>()),
      m_pCallReceiver(
          std::make_unique<cCallReceiver>(m_pObjCallPool.get(), this, m_pKytEventObj.get())),
      m_pRouterSIP(std::make_unique<cRouterSIP>(this)),
      mpListenSIP(std::make_unique<cGenListenPortSIP>()) {
  m_pRouterSIP->RouteResponse("REGISTER",
                              [this](const cMsgSIP& response) { OnRegisterResponse(response); });
  // A presence NOTIFY belongs to no call; the call side hands it over.
  m_pCallReceiver->Attach(*m_pRouterSIP,
                          [this](const cMsgSIP& request) { m_pChatSIP->OnReqNOTIFY(request); });
  m_pChatSIP->Attach(*m_pRouterSIP);
}

cKytSIPUserAgentObject::~cKytSIPUserAgentObject() { UnInit(); }

// ---------------------------------------------------------------------------------------------
// Session

bool cKytSIPUserAgentObject::Init(bool bBindToListenIP, const cKytSTR& listenIP,
                                  int32_t nListenPort, const cKytSTR& fromURI,
                                  const cKytSTR& outboundProxy, const cKytSTR& proxySIP,
                                  const cKytSTR& loginId, const cKytSTR& loginPwd,
                                  int32_t nTotalLine) {
  // Every text is checked before anything is touched: a refused Init leaves a running
  // session's addresses as they are, so its messages keep a valid Via and Contact.
  cKytSTR displayName, user, host;
  int32_t nPort = 0;
  if (!AllLineSafe({&listenIP, &loginId, &loginPwd}) || !cURI::IsSipURI(fromURI) ||
      !IsOptionalSipURI(outboundProxy) || !IsOptionalSipURI(proxySIP) ||
      !cURI::Parse(fromURI, displayName, user, host, nPort)) {
    m_nLastError = kErrBadUri;
    return false;
  }
  m_bForwardCall = false;
  m_pForwardCallTo = "";
  m_pListenIP = "";
  m_nListenPort = -1;
  m_pDomainRealm = host;

  UnInit();
  if (nTotalLine < 1 || nTotalLine > kMaxTotalLine) {
    // A session without lines could not place a single call.
    m_nLastError = kErrLineRange;
    return false;
  }
  AllocateLINES(nTotalLine);
  m_nLastError = 0;
  m_pCallReceiver->SetDonotDisturb(false);
  m_pCodecSIP->Reset();

  if (proxySIP.IsZeroLEN()) {
    m_nLastError = kErrNoProxy;
    return false;
  }
  // The local address is the one the kernel uses toward the first hop.
  cKytSTR firstHop;
  int32_t nFirstHopPort = 0;
  cURI::Parse(outboundProxy.IsZeroLEN() ? proxySIP : outboundProxy, displayName, user, firstHop,
              nFirstHopPort);
  m_pFirstHop = firstHop;
  if (!FillListenSIP(bBindToListenIP, listenIP, nListenPort)) return false;
  if (!m_pSocketSIP->OpenSocket(bBindToListenIP ? m_pListenIP.GetDATA() : nullptr, m_nListenPort,
                                this, m_pKytEventObj.get())) {
    UnInit();
    m_nLastError = kErrSocket;
    return false;
  }
  if (!m_pKytRTPLib->InitOBJECT(nTotalLine)) {
    const int32_t nMediaError = m_pKytRTPLib->GetObjectError();
    UnInit();
    m_nLastError = nMediaError;
    return false;
  }

  m_pProxyLoginId = loginId;
  m_pProxyLoginPwd = loginPwd;
  m_pProxySIP = proxySIP;
  m_pFromURI = fromURI;
  m_pSendToHost = "";
  m_nSendToPort = 0;
  const cKytSTR& sendTo = outboundProxy.IsZeroLEN() ? proxySIP : outboundProxy;
  if (!cURI::Parse(sendTo, displayName, user, m_pSendToHost, m_nSendToPort)) {
    // Nothing could be sent anywhere: do not leave a socket and media open behind a failure.
    UnInit();
    m_pSendToHost = "";
    m_nSendToPort = 0;
    m_nLastError = kErrBadUri;
    return false;
  }
  m_bSendToPortGiven = NamesPort(sendTo, m_pSendToHost);
  m_eTransport = TransportOf(sendTo);
  if (TransportOf(proxySIP) == eTransportSIP::TLS) m_eTransport = eTransportSIP::TLS;
  // SIP over TLS listens on 5061 unless the URI or a look-up says otherwise.
  if (m_eTransport == eTransportSIP::TLS && !m_bSendToPortGiven) m_nSendToPort = 5061;
  m_pSocketSIP->SetCaFile(m_pCaFile.GetDATA());

  m_pRegSIP->InitOBJ(this, m_pKytEventObj.get(), m_pListenIP, m_nListenPort, m_pFromURI,
                     outboundProxy, proxySIP);
  m_pChatSIP->InitOBJ(this, m_pKytEventObj.get());
  m_pObjTimerTick->StartOneSecondTick();

  m_bIsInitialized = true;
  return true;
}

bool cKytSIPUserAgentObject::InitEx(bool bBindToListenIP, const cKytSTR& listenIP,
                                    int32_t nListenPort, const cKytSTR& userName,
                                    const cKytSTR& loginId, const cKytSTR& loginPwd,
                                    const cKytSTR& displayName, const cKytSTR& domainRealm,
                                    const cKytSTR& proxySIP, const cKytSTR& outboundProxy,
                                    int32_t nTotalLine) {
  if (!AllLineSafe({&userName, &displayName, &domainRealm})) {
    m_nLastError = kErrBadUri;
    return false;
  }
  cKytSTR name(displayName.IsZeroLEN() ? userName : displayName);
  name.Trim("\"");
  cKytSTR fromURI;
  cURI::Construct(name, userName, domainRealm, 0, fromURI);
  return Init(bBindToListenIP, listenIP, nListenPort, fromURI, outboundProxy, proxySIP, loginId,
              loginPwd, nTotalLine);
}

void cKytSIPUserAgentObject::UnInit() {
  m_bIsInitialized = false;
  m_pObjTimerTick->StopOneSecondTick();
  // Live calls end on the wire before the socket goes.
  m_pObjCallPool->EndAll();
  m_pSocketSIP->CloseSocket();
  m_pKytRTPLib->UnInitOBJECT();
  m_pAllocLineSIP.clear();
  m_pRegSIP->UnInitOBJ();
  mpListenSIP->ResetOBJ();
  m_pPublicIP = "";
  m_pRouterSIP->SetTrustedSource("");
}

void cKytSIPUserAgentObject::AllocateLINES(int32_t nTotalLine) {
  m_nTotalLine = nTotalLine;
  m_pAllocLineSIP.assign(static_cast<size_t>(nTotalLine), cKytSTR());
}

bool cKytSIPUserAgentObject::FillListenSIP(bool bBindToListenIP, const cKytSTR& listenIP,
                                           int32_t nListenPort) {
  const int32_t nFreePort = mpListenSIP->GenListenPort(bBindToListenIP, listenIP);
  if (nFreePort == -1) {
    UnInit();
    m_nLastError = kErrSocket;
    return false;
  }
  m_pListenIP = listenIP;
  if (m_pListenIP.IsZeroLEN()) LocalAddress(m_pListenIP);
  m_pLocalIP = m_pListenIP;
  m_nListenPort = (nListenPort != 0 && nListenPort != -1) ? nListenPort : nFreePort;
  return true;
}

bool cKytSIPUserAgentObject::RegisterToProxy(int32_t nExpires) {
  if (!NeedSession()) return false;
  if (m_pRegSIP->RegisterToProxy(nExpires, m_pProxyLoginId, m_pProxyLoginPwd)) return true;
  m_nLastError = m_pRegSIP->GetObjectError();
  return false;
}

bool cKytSIPUserAgentObject::UnRegisterToProxy() {
  if (!NeedSession()) return false;
  if (m_pRegSIP->UnRegisterToProxy()) return true;
  m_nLastError = m_pRegSIP->GetObjectError();
  return false;
}

bool cKytSIPUserAgentObject::EnableKeepAlive(int32_t nSeconds) {
  if (!NeedSession()) return false;
  m_pRegSIP->SetTickKeepAlive(nSeconds);
  return true;
}

void cKytSIPUserAgentObject::DisableKeepAlive() {
  if (m_bIsInitialized) m_pRegSIP->KillTickKeepAlive();
}

// ---------------------------------------------------------------------------------------------
// Checks and the line table

bool cKytSIPUserAgentObject::NeedSession() {
  if (m_bIsInitialized) return true;
  m_nLastError = kErrNotInitialized;
  return false;
}

bool cKytSIPUserAgentObject::NeedAddress(const cKytSTR& address) {
  if (!address.IsZeroLEN() && cQuoteSIP::IsLineSafe(address)) return true;
  m_nLastError = kErrBadUri;
  return false;
}

bool cKytSIPUserAgentObject::RefuseText() {
  m_nLastError = kErrBadUri;
  return false;
}

bool cKytSIPUserAgentObject::LineInRange(int32_t nLine) {
  if (nLine >= 0 && nLine < m_nTotalLine) return true;
  m_nLastError = kErrLineRange;
  return false;
}

bool cKytSIPUserAgentObject::ObjectChecks(int32_t nLine) {
  if (!NeedSession() || !LineInRange(nLine)) return false;
  if (m_pKytRTPLib->IsLineOpen(nLine)) return true;
  m_nLastError = kErrLineNotOpen;
  return false;
}

cSIPCall* cKytSIPUserAgentObject::GetLineCall(int32_t nLine) const {
  if (nLine < 0 || static_cast<size_t>(nLine) >= m_pAllocLineSIP.size()) return nullptr;
  const cKytSTR& callId = m_pAllocLineSIP[static_cast<size_t>(nLine)];
  if (callId.IsZeroLEN()) return nullptr;
  return m_pObjCallPool->FindCall(callId);
}

bool cKytSIPUserAgentObject::IsCallBusy(const cSIPCall* pCall) const {
  return pCall != nullptr && pCall->GetObjectStatus() != STATUS_IDLE;
}

bool cKytSIPUserAgentObject::FreeIdleSlot(int32_t nLine) {
  cSIPCall* pCall = GetLineCall(nLine);
  if (IsCallBusy(pCall)) {
    m_nLastError = kErrLineBusy;
    return false;
  }
  if (pCall != nullptr) {
    pCall->UnInitCALL();
    CloseCall(pCall);
  }
  m_pAllocLineSIP[static_cast<size_t>(nLine)] = "";
  return true;
}

void cKytSIPUserAgentObject::PlaceCall(int32_t nLine, cSIPCall* pCall) {
  cKytSTR callId;
  pCall->GetCallId(callId);
  m_pAllocLineSIP[static_cast<size_t>(nLine)] = callId;
  pCall->SetLineNo(nLine);
}

bool cKytSIPUserAgentObject::TakeMediaError() {
  m_nLastError = m_pKytRTPLib->GetObjectError();
  return false;
}

bool cKytSIPUserAgentObject::TakeCallError(const cSIPCall* pCall) {
  m_nLastError = pCall->GetObjectError();
  return false;
}

void cKytSIPUserAgentObject::LocalAddress(cKytSTR& ip) const {
  // The kernel's route toward the first hop knows VPNs, carrier-grade NAT and several
  // interfaces; it needs an address, so a first hop given by name (not resolved here, on the
  // main thread) falls back to the interface rules.
  const std::string route = cNetInterfaces::GetRouteSource(m_pFirstHop.GetDATA());
  if (!route.empty()) {
    ip = route.c_str();
    return;
  }
  // With nothing but the loopback interface up no address qualifies; announcing loopback then
  // beats announcing an empty host in Via, Contact and SDP.
  ip = "127.0.0.1";
  cMyIP().GetMyIP(ip);
}

void cKytSIPUserAgentObject::BuildToURI(const cKytSTR& displayName, const cKytSTR& number,
                                        const cKytSTR& host, cKytSTR& uri) {
  cURI::Construct(displayName, number, host, 0, uri);
}

// ---------------------------------------------------------------------------------------------
// Lines and calls

bool cKytSIPUserAgentObject::OpenLine(int32_t nLine, bool bBindToIP, const cKytSTR& ip,
                                      int32_t nPort) {
  if (!NeedSession() || !LineInRange(nLine)) return false;
  // The address goes into every session description of the line.
  if (!ip.IsZeroLEN() && !cQuoteSIP::IsHostName(ip)) {
    m_nLastError = kErrBadUri;
    return false;
  }
  if (IsCallBusy(GetLineCall(nLine))) {
    m_nLastError = kErrLineBusy;
    return false;
  }
  if (m_pKytRTPLib->IsLineOpen(nLine)) m_pKytRTPLib->CloseLine(nLine);
  cKytSTR lineIP(ip);
  if (lineIP.IsZeroLEN()) LocalAddress(lineIP);
  if (m_pKytRTPLib->OpenLine(nLine, bBindToIP, lineIP, nPort)) return true;
  return TakeMediaError();
}

bool cKytSIPUserAgentObject::CloseLine(int32_t nLine) {
  if (!NeedSession() || !LineInRange(nLine)) return false;
  // Whatever the call's state, the line's media goes with it; a refused disconnect (the line
  // never opened, a BYE that would not build) does not decide the answer or the code.
  const int32_t nKeptError = m_nLastError;
  Disconnect(nLine);
  m_nLastError = nKeptError;
  m_pKytRTPLib->CloseMEDIA(nLine);
  if (m_pKytRTPLib->CloseLine(nLine)) return true;
  return TakeMediaError();
}

bool cKytSIPUserAgentObject::Connect(int32_t nLine, const cKytSTR& toURI, int32_t nInputDevice,
                                     int32_t nOutputDevice) {
  if (!ObjectChecks(nLine)) return false;
  if (!cURI::IsSipURI(toURI)) {
    m_nLastError = kErrBadUri;
    return false;
  }
  if (!FreeIdleSlot(nLine)) return false;
  cSIPCall* pCall = m_pObjCallPool->CreateCall("", this, m_pKytEventObj.get());
  PlaceCall(nLine, pCall);
  m_pKytRTPLib->UnHoldLine(nLine);
  if (!m_pKytRTPLib->OpenMEDIA(nLine, nInputDevice, nOutputDevice)) {
    return TakeMediaError();
  }
  if (pCall->Connect(toURI, m_pCodecSIP->GetCodecList())) return true;
  return TakeCallError(pCall);
}

bool cKytSIPUserAgentObject::DialCall(int32_t nLine, const cKytSTR& number, int32_t nInputDevice,
                                      int32_t nOutputDevice) {
  if (!ObjectChecks(nLine)) return false;
  if (number.IsZeroLEN() || !cQuoteSIP::IsLineSafe(number)) {
    m_nLastError = kErrBadUri;
    return false;
  }
  cKytSTR toURI;
  BuildToURI(number, number, m_pDomainRealm, toURI);
  return Connect(nLine, toURI, nInputDevice, nOutputDevice);
}

bool cKytSIPUserAgentObject::AcceptCall(int32_t nLine, const cKytSTR& callId, int32_t nInputDevice,
                                        int32_t nOutputDevice) {
  if (!ObjectChecks(nLine)) return false;
  cSIPCall* pCall = m_pObjCallPool->FindCall(callId);
  if (pCall == nullptr) {
    m_nLastError = kErrNoSuchCall;
    return false;
  }
  // Only a call still ringing can be answered, and only on one line: an answered, cancelled or
  // ended call would otherwise open a microphone that nothing closes.
  if (pCall->GetLineNo() != -1 && pCall->GetLineNo() != nLine) {
    m_nLastError = kErrLineBusy;
    return false;
  }
  if (pCall->GetObjectStatus() != STATUS_INCOMING_RINGING) {
    m_nLastError = kErrNoSuchCall;
    return false;
  }
  if (GetLineCall(nLine) != pCall && !FreeIdleSlot(nLine)) return false;
  if (!m_pKytRTPLib->OpenMEDIA(nLine, nInputDevice, nOutputDevice)) {
    return TakeMediaError();
  }
  m_pKytRTPLib->UnHoldLine(nLine);
  PlaceCall(nLine, pCall);
  if (pCall->AcceptCall(m_pCodecSIP->GetCodecList())) return true;
  // A call refused at this point (no common codec, no answer) must not keep the device open.
  m_pKytRTPLib->CloseMEDIA(nLine);
  pCall->SetLineNo(-1);
  m_pAllocLineSIP[static_cast<size_t>(nLine)] = "";
  return TakeCallError(pCall);
}

bool cKytSIPUserAgentObject::RejectCall(const cKytSTR& callId) {
  cSIPCall* pCall = m_pObjCallPool->FindCall(callId);
  if (pCall == nullptr) {
    m_nLastError = kErrNoSuchCall;
    return false;
  }
  if (pCall->RejectCall()) return true;
  return TakeCallError(pCall);
}

bool cKytSIPUserAgentObject::Disconnect(int32_t nLine) {
  if (!ObjectChecks(nLine)) return false;
  // Also with no call or an idle one: media opened for a call that ended on its own stops here.
  m_pKytRTPLib->CloseMEDIA(nLine);
  cSIPCall* pCall = GetLineCall(nLine);
  if (pCall == nullptr) return true;
  if (pCall->Disconnect()) return true;
  return TakeCallError(pCall);
}

bool cKytSIPUserAgentObject::HoldLine(int32_t nLine) {
  if (!ObjectChecks(nLine)) return false;
  cSIPCall* pCall = GetLineCall(nLine);
  if (pCall == nullptr) {
    m_nLastError = kErrNoCallOnLine;
    return false;
  }
  if (pCall->HoldCall()) return true;
  return TakeCallError(pCall);
}

bool cKytSIPUserAgentObject::UnHoldLine(int32_t nLine) {
  if (!ObjectChecks(nLine)) return false;
  cSIPCall* pCall = GetLineCall(nLine);
  if (pCall == nullptr) {
    m_nLastError = kErrNoCallOnLine;
    return false;
  }
  if (pCall->UnHoldCall()) return true;
  return TakeCallError(pCall);
}

bool cKytSIPUserAgentObject::TransferCall(int32_t nLine, const cKytSTR& toURI) {
  if (!ObjectChecks(nLine)) return false;
  if (!cURI::IsSipURI(toURI)) {
    m_nLastError = kErrBadUri;
    return false;
  }
  cSIPCall* pCall = GetLineCall(nLine);
  if (!IsCallBusy(pCall)) {
    m_nLastError = kErrNoCallOnLine;
    return false;
  }
  if (pCall->TransferCall(toURI, "")) return true;
  return TakeCallError(pCall);
}

bool cKytSIPUserAgentObject::TransferCallEx(int32_t nLine, const cKytSTR& number) {
  if (!ObjectChecks(nLine)) return false;
  if (number.IsZeroLEN() || !cQuoteSIP::IsLineSafe(number)) {
    m_nLastError = kErrBadUri;
    return false;
  }
  cKytSTR quoted;
  quoted.Format("\"%s\"", number.GetDATA());
  cKytSTR toURI;
  BuildToURI(quoted, number, m_pDomainRealm, toURI);
  return TransferCall(nLine, toURI);
}

bool cKytSIPUserAgentObject::JoinTwoLine(int32_t nLineA, int32_t nLineB) {
  if (!ObjectChecks(nLineA)) return false;
  cSIPCall* pCallA = GetLineCall(nLineA);
  cSIPCall* pCallB = GetLineCall(nLineB);
  if (!IsCallBusy(pCallA) || !IsCallBusy(pCallB)) {
    m_nLastError = kErrNoCallOnLine;
    return false;
  }
  cKytSTR callIdB, toTagB, fromTagB, toURIB;
  pCallB->GetCallId(callIdB);
  pCallB->GetToTag(toTagB);
  pCallB->GetFromTag(fromTagB);
  pCallB->GetToURI(toURIB);
  cKytSTR replaces;
  replaces.Format("%s;to-tag=%s;from-tag=%s", callIdB.GetDATA(), toTagB.GetDATA(),
                  fromTagB.GetDATA());
  if (pCallA->TransferCall(toURIB, replaces)) return true;
  return TakeCallError(pCallA);
}

bool cKytSIPUserAgentObject::IsLineConnected(int32_t nLine) {
  if (!NeedSession() || !LineInRange(nLine)) return false;
  const cSIPCall* pCall = GetLineCall(nLine);
  return pCall != nullptr && pCall->GetObjectStatus() == STATUS_CONNECTED;
}

bool cKytSIPUserAgentObject::IsLineBusy(int32_t nLine) {
  if (!NeedSession() || !LineInRange(nLine)) return false;
  return IsCallBusy(GetLineCall(nLine));
}

bool cKytSIPUserAgentObject::IsLineOpen(int32_t nLine) {
  if (!NeedSession() || !LineInRange(nLine)) return false;
  return m_pKytRTPLib->IsLineOpen(nLine);
}

bool cKytSIPUserAgentObject::IsLineHold(int32_t nLine) {
  if (!NeedSession() || !LineInRange(nLine)) return false;
  return m_pKytRTPLib->IsLineHold(nLine);
}

bool cKytSIPUserAgentObject::DigitDTMF(int32_t nLine, int32_t nEvent) {
  if (!ObjectChecks(nLine)) return false;
  const cSIPCall* pCall = GetLineCall(nLine);
  if (!IsCallBusy(pCall) || pCall->GetMagicNoDTMF() == -1) return true;
  return m_pKytRTPLib->GenRTPBasedDTMF(nLine, pCall->GetMagicNoDTMF(), nEvent);
}

bool cKytSIPUserAgentObject::DonotDisturb(bool bEnable) {
  if (!NeedSession()) return false;
  m_pCallReceiver->SetDonotDisturb(bEnable);
  return true;
}

bool cKytSIPUserAgentObject::ForwardCall(bool bEnable, const cKytSTR& forwardTo) {
  m_bForwardCall = bEnable;
  m_pForwardCallTo = bEnable ? forwardTo : cKytSTR();
  return true;
}

// ---------------------------------------------------------------------------------------------
// Recording and wave playback: line checks, then the media engine.

bool cKytSIPUserAgentObject::IsRecording(int32_t nLine) {
  // Not recording is an answer, not a failure.
  return ObjectChecks(nLine) && m_pKytRTPLib->IsRecording(nLine);
}

bool cKytSIPUserAgentObject::StartRecording(int32_t nLine, int32_t nKind, bool bFlag) {
  if (!ObjectChecks(nLine)) return false;
  return m_pKytRTPLib->StartRecording(nLine, nKind, bFlag) || TakeMediaError();
}

bool cKytSIPUserAgentObject::StopRecording(int32_t nLine) {
  if (!ObjectChecks(nLine)) return false;
  return m_pKytRTPLib->StopRecording(nLine) || TakeMediaError();
}

bool cKytSIPUserAgentObject::ResetRecording(int32_t nLine) {
  if (!ObjectChecks(nLine)) return false;
  return m_pKytRTPLib->ResetRecording(nLine) || TakeMediaError();
}

bool cKytSIPUserAgentObject::SaveRecordingToWaveFile(int32_t nLine, const cKytSTR& fileName) {
  if (!ObjectChecks(nLine)) return false;
  return m_pKytRTPLib->SaveRecordingToWaveFile(nLine, fileName) || TakeMediaError();
}

bool cKytSIPUserAgentObject::PlayWaveOpen(int32_t nLine, const cKytSTR& fileName) {
  if (!ObjectChecks(nLine)) return false;
  return m_pKytRTPLib->PlayWaveOpen(nLine, fileName) || TakeMediaError();
}

bool cKytSIPUserAgentObject::PlayWaveClose(int32_t nLine) {
  if (!ObjectChecks(nLine)) return false;
  return m_pKytRTPLib->PlayWaveClose(nLine);
}

bool cKytSIPUserAgentObject::PlayWaveSkipTo(int32_t nLine, int32_t nPosition) {
  if (!ObjectChecks(nLine)) return false;
  return m_pKytRTPLib->PlayWaveSkipTo(nLine, nPosition) || TakeMediaError();
}

int32_t cKytSIPUserAgentObject::PlayWaveTotalTime(int32_t nLine) {
  if (!ObjectChecks(nLine)) return -1;
  const int32_t nSeconds = m_pKytRTPLib->PlayWaveTotalTime(nLine);
  if (nSeconds < 0) TakeMediaError();
  return nSeconds;
}

bool cKytSIPUserAgentObject::PlayWavePause(int32_t nLine) {
  if (!ObjectChecks(nLine)) return false;
  return m_pKytRTPLib->PlayWavePause(nLine) || TakeMediaError();
}

bool cKytSIPUserAgentObject::PlayWaveStart(int32_t nLine, bool bFlag) {
  if (!ObjectChecks(nLine)) return false;
  if (!IsCallBusy(GetLineCall(nLine))) {
    m_nLastError = kErrNoCallOnLine;
    return false;
  }
  return m_pKytRTPLib->PlayWaveStart(nLine, bFlag) || TakeMediaError();
}

bool cKytSIPUserAgentObject::PlayWaveStop(int32_t nLine) {
  if (!ObjectChecks(nLine)) return false;
  return m_pKytRTPLib->PlayWaveStop(nLine) || TakeMediaError();
}

int32_t cKytSIPUserAgentObject::PlayWavePosition(int32_t nLine) {
  if (!ObjectChecks(nLine)) return -1;
  const int32_t nSeconds = m_pKytRTPLib->PlayWavePosition(nLine);
  if (nSeconds < 0) TakeMediaError();
  return nSeconds;
}

bool cKytSIPUserAgentObject::IsWaveFilePlaying(int32_t nLine) {
  if (!ObjectChecks(nLine)) return false;
  return m_pKytRTPLib->IsWaveFilePlaying(nLine);
}

// ---------------------------------------------------------------------------------------------
// Media settings

bool cKytSIPUserAgentObject::MuteLineSPK(int32_t nLine, bool bMute) {
  return NeedSession() && (m_pKytRTPLib->LineMuteSpk(nLine, bMute) || TakeMediaError());
}

bool cKytSIPUserAgentObject::MuteLineMIC(int32_t nLine, bool bMute) {
  return NeedSession() && (m_pKytRTPLib->LineMuteMic(nLine, bMute) || TakeMediaError());
}

bool cKytSIPUserAgentObject::LineVoiceChannelSPK(int32_t nLine, int32_t nChannel) {
  return NeedSession() && m_pKytRTPLib->LineVoiceChannelSPK(nLine, nChannel);
}

bool cKytSIPUserAgentObject::ConfAllowLine(int32_t nLine, bool bAllowListen, bool bAllowSpeak) {
  return NeedSession() &&
         (m_pKytRTPLib->ConfAllowLine(nLine, bAllowListen, bAllowSpeak) || TakeMediaError());
}

bool cKytSIPUserAgentObject::DetectAMD(int32_t nLine, bool bEnable, int32_t nParam1,
                                       int32_t nParam2, int32_t nParam3) {
  if (!NeedSession()) return false;
  return m_pKytRTPLib->DetectAMD(nLine, bEnable, nParam1, nParam2, nParam3) || TakeMediaError();
}

int32_t cKytSIPUserAgentObject::GetOutboundCodec(int32_t nLine) {
  if (!NeedSession()) return -1;
  return m_pKytRTPLib->GetOutboundCodec(nLine);
}

int32_t cKytSIPUserAgentObject::GetCountPacketLost(int32_t nLine) {
  // A statistic: read without touching the last error.
  if (!m_bIsInitialized) return 0;
  return m_pKytRTPLib->GetCountPacketLost(nLine);
}

int32_t cKytSIPUserAgentObject::GetSizeJitterBuffer(int32_t nLine) {
  // A statistic: read without touching the last error.
  if (!m_bIsInitialized) return 0;
  return m_pKytRTPLib->GetSizeJitterBuffer(nLine);
}

int32_t cKytSIPUserAgentObject::GetInboundCodec(int32_t nLine) {
  if (!NeedSession()) return -1;
  return m_pKytRTPLib->GetInboundCodec(nLine);
}

bool cKytSIPUserAgentObject::MuteMic(bool bMute) {
  m_pKytRTPLib->MuteMic(bMute);
  return true;
}

bool cKytSIPUserAgentObject::MuteSpk(bool bMute) {
  m_pKytRTPLib->MuteSpk(bMute);
  return true;
}

bool cKytSIPUserAgentObject::VoiceChanger(int32_t nPitch) {
  m_pKytRTPLib->VoiceChanger(nPitch);
  return true;
}

bool cKytSIPUserAgentObject::MicSetSoftBoost(bool bEnable) {
  m_pKytRTPLib->MicSetSoftBoost(bEnable);
  return true;
}

bool cKytSIPUserAgentObject::MicGetSoftBoost() { return m_pKytRTPLib->MicGetSoftBoost(); }

bool cKytSIPUserAgentObject::MicSetAutoGain(int32_t nLevel) {
  m_pKytRTPLib->MicSetAutoGain(nLevel);
  return true;
}

bool cKytSIPUserAgentObject::SetSpkSoftVolume(int32_t nVolume) {
  m_pKytRTPLib->SetSpkSoftVolume(nVolume);
  return true;
}

int32_t cKytSIPUserAgentObject::GetMicSoundLevel() { return m_pKytRTPLib->GetMicSoundLevel(); }

int32_t cKytSIPUserAgentObject::GetSpkSoundLevel() { return m_pKytRTPLib->GetSpkSoundLevel(); }

// ---------------------------------------------------------------------------------------------
// Chat and presence

bool cKytSIPUserAgentObject::ChatAddContact(const cKytSTR& contactURI) {
  if (!NeedSession() || !NeedAddress(contactURI)) return false;
  if (m_pChatSIP->AddContact(contactURI)) return true;
  m_nLastError = m_pChatSIP->GetObjectError();
  return false;
}

bool cKytSIPUserAgentObject::ChatRemoveContact(const cKytSTR& contactURI) {
  if (!NeedSession() || !NeedAddress(contactURI)) return false;
  m_pChatSIP->RemoveContact(contactURI);
  return true;
}

bool cKytSIPUserAgentObject::ChatSetMyStatus(int32_t nStatus) {
  if (!NeedSession()) return false;
  m_pChatSIP->SetMyStatus(nStatus);
  return true;
}

bool cKytSIPUserAgentObject::ChatSendMessageText(const cKytSTR& recipient, const cKytSTR& text,
                                                 int32_t nContentKind, int32_t nNumber) {
  if (!NeedSession() || !NeedAddress(recipient)) return false;
  if (text.GetLEN() > kMaxChatText) {
    m_nLastError = kErrBuildMessage;
    return false;
  }
  if (m_pChatSIP->SendMsgText(recipient, text, nContentKind, nNumber)) return true;
  m_nLastError = m_pChatSIP->GetObjectError();
  return false;
}

bool cKytSIPUserAgentObject::ChatSendMessageTyping(const cKytSTR& recipient, int32_t nNumber) {
  if (!NeedSession() || !NeedAddress(recipient)) return false;
  if (m_pChatSIP->SendMsgTyping(recipient, nNumber)) return true;
  m_nLastError = m_pChatSIP->GetObjectError();
  return false;
}

// ---------------------------------------------------------------------------------------------
// Codecs, diagnostics, address

void cKytSIPUserAgentObject::SelectAllVoiceCodec() { m_pCodecSIP->SelectAllVoiceCodec(); }

void cKytSIPUserAgentObject::DeselectAllVoiceCodec() { m_pCodecSIP->DeselectAllVoiceCodec(); }

bool cKytSIPUserAgentObject::SelectVoiceCodec(int32_t nCodec) {
  return m_pCodecSIP->SelectCodec(nCodec, m_nLastError);
}

bool cKytSIPUserAgentObject::DeselectVoiceCodec(int32_t nCodec) {
  return m_pCodecSIP->DeselectCodec(nCodec, m_nLastError);
}

bool cKytSIPUserAgentObject::DiagnosticLog(bool bEnable) {
  if (!NeedSession()) return false;
  m_pSocketSIP->DiagnosticLog(bEnable);
  return true;
}

const cKytSTR& cKytSIPUserAgentObject::GetMyIP() {
  LocalAddress(m_pResultMyIP);
  return m_pResultMyIP;
}

// ---------------------------------------------------------------------------------------------
// Receive path

void cKytSIPUserAgentObject::OnSocketRecv(const cKytSTR& text) { m_pRouterSIP->OnSocketRecv(text); }

void cKytSIPUserAgentObject::OnSocketRecvFrom(const cKytSTR& text, const cKytSTR& sourceIP,
                                              int32_t nSourcePort) {
  m_pRouterSIP->OnSocketRecv(text, sourceIP, nSourcePort);
}

void cKytSIPUserAgentObject::OnPublicAddress(const cKytSTR& ip, int32_t nPort) {
  m_pListenIP = ip;
  m_nListenPort = nPort;
  m_pPublicIP = ip;
}

void cKytSIPUserAgentObject::OnRegisterResponse(const cMsgSIP& response) {
  m_pRegSIP->OnResponse(response);
  // Registered through a proxy, the agent takes new calls, messages and subscriptions only
  // from where the registrar answers.
  if (m_pRegSIP->IsRegister()) {
    m_pRouterSIP->SetTrustedSource(m_pRouterSIP->GetSourceIP());
  } else if (!m_pRegSIP->IsPending()) {
    m_pRouterSIP->SetTrustedSource("");
  }
}

// ---------------------------------------------------------------------------------------------
// Send path, tick and the components' media requests

void cKytSIPUserAgentObject::SendToSocket(const cKytSTR& text, const cKytSTR& host, int32_t nPort) {
  // A response goes where its request's top Via says (the builder put that in host and port);
  // requests all go to the session's first hop.
  if (cKytSTR::StrFind(text.GetDATA(), "SIP/2.0 ") == 0 && !host.IsZeroLEN()) {
    m_pSocketSIP->SendData(text, host.GetDATA(), nPort);
    return;
  }
  if (m_pSendToHost.IsZeroLEN()) return;
  m_pSocketSIP->SendData(text, m_pSendToHost.GetDATA(), m_nSendToPort, m_bSendToPortGiven,
                         m_eTransport);
}

bool cKytSIPUserAgentObject::FailOverToNextServer() {
  if (m_pSendToHost.IsZeroLEN()) return false;
  return m_pSocketSIP->FailOver(m_pSendToHost.GetDATA(), m_nSendToPort, m_bSendToPortGiven,
                                m_eTransport);
}

void cKytSIPUserAgentObject::OnTransportFailure(const cKytSTR& host, const cKytSTR& reason) {
  // Only the first hop's failure concerns the registration; a response that could not go back
  // to some other peer does not.
  if (host.CompareTo(m_pSendToHost.GetDATA())) m_pRegSIP->OnTransportFailure(reason);
}

void cKytSIPUserAgentObject::OnTransportLost(const cKytSTR& host) {
  // The registrar reaches us over the connection we registered on; once it is gone, a new one
  // is opened by registering again at once rather than at the next refresh (RFC 5626 section
  // 4.4.1 does the same for its flows).
  if (host.CompareTo(m_pSendToHost.GetDATA()) && m_pRegSIP->IsRegister() && !m_pRegSIP->IsPending())
    m_pRegSIP->ReRegisterToProxy();
}

void cKytSIPUserAgentObject::OnOneSecondTick() {
  // Each call is looked up afresh: an event raised by one call may re-enter the agent and
  // change what sits on the other lines.
  for (int32_t nLine = 0; nLine < m_nTotalLine; ++nLine) {
    if (cSIPCall* pCall = GetLineCall(nLine)) pCall->OnOneSecondTick();
  }
  m_pRegSIP->OnMainTick();
  m_pObjCallPool->OnOneSecondTick();
  m_pChatSIP->OnOneSecondTick();
}

bool cKytSIPUserAgentObject::StartRTP(int32_t nLine, const cKytSTR& remoteIP, int32_t nRemotePort,
                                      int32_t nCodec, int32_t nPayloadType, int32_t nILBCModeMs,
                                      bool bOutbound, bool bInbound) {
  return m_pKytRTPLib->LineStartRTP(nLine, remoteIP, nRemotePort, nCodec, nPayloadType, bOutbound,
                                    bInbound, nILBCModeMs);
}

namespace {

int SrtpSuiteOf(int32_t nSuite) {
  switch (nSuite) {
    case cMsgSDP::SUITE_AES_CM_128_HMAC_SHA1_80:
      return cSrtpContext::kSuiteAes128Sha1_80;
    case cMsgSDP::SUITE_AES_CM_128_HMAC_SHA1_32:
      return cSrtpContext::kSuiteAes128Sha1_32;
    default:
      return cSrtpContext::kSuiteNone;
  }
}

}  // namespace

bool cKytSIPUserAgentObject::SetMediaKeys(int32_t nLine, const cMsgSDP::sCrypto& send,
                                          const cMsgSDP::sCrypto& receive) {
  static_assert(cMsgSDP::kKeySaltBytes == cSrtpContext::kKeySaltBytes);
  return m_pKytRTPLib->LineSetSrtpKeys(nLine, SrtpSuiteOf(send.nSuite), send.key.data(),
                                       SrtpSuiteOf(receive.nSuite), receive.key.data(),
                                       receive.mki);
}

bool cKytSIPUserAgentObject::StopRTP(int32_t nLine, bool bStopOutbound, bool bStopInbound) {
  return m_pKytRTPLib->LineStopRTP(nLine, bStopOutbound, bStopInbound);
}

bool cKytSIPUserAgentObject::GetRTPLineRx(int32_t nLine, cKytSTR& ip, int32_t& nPort) {
  ip = m_pKytRTPLib->GetLineRxIP(nLine);
  nPort = m_pKytRTPLib->GetLineRxPort(nLine);
  // Behind a NAT the far end reaches the line at our public address; the NAT keeps the port of
  // a flow we opened as long as it is free (what a masquerading router does).
  if (!m_pPublicIP.IsZeroLEN() && ip.CompareTo(m_pLocalIP.GetDATA())) ip = m_pPublicIP;
  return !ip.IsZeroLEN() && nPort > 0;  // a closed line has no receive address
}

bool cKytSIPUserAgentObject::ChoosePriorityCodec(const cKytListSTR& remoteCodecNumbers,
                                                 const cKytListSTR& remotePayloadNumbers,
                                                 int32_t& nCodec, int32_t& nPayloadType) {
  return m_pCodecSIP->GetPriorityCodec(remoteCodecNumbers, remotePayloadNumbers, nCodec,
                                       nPayloadType);
}

void cKytSIPUserAgentObject::CloseCall(cSIPCall* pCall) {
  cKytSTR callId;
  pCall->GetCallId(callId);
  m_pObjCallPool->CloseCall(callId);
}

void cKytSIPUserAgentObject::OnDisconnectCall(int32_t nLine) { m_pKytRTPLib->CloseMEDIA(nLine); }

void cKytSIPUserAgentObject::OnFailToConnect(int32_t nLine) { m_pKytRTPLib->CloseMEDIA(nLine); }

void cKytSIPUserAgentObject::OnFailureResponse(int32_t nLine, int32_t /*nStatusCode*/,
                                               const cKytSTR& /*reason*/) {
  m_pKytRTPLib->CloseMEDIA(nLine);
}

void cKytSIPUserAgentObject::OnDetectedAMD(int32_t nLine, bool bDetected) {
  m_pKytEventObj->OnDetectedAMD(nLine, bDetected);
}

void cKytSIPUserAgentObject::OnPlayWaveDone(int32_t nLine) {
  m_pKytEventObj->OnPlayWaveDone(nLine);
}
