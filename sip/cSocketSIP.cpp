#include "sip/cSocketSIP.h"

#include <algorithm>
#include <functional>
#include <string>
#include <string_view>

#include "platform/cSysLog.h"
#include "sip/cKytCoreSink.h"
#include "sip/cKytEventSink.h"
#include "sip/cMsgSIP.h"
#include "sip/cVia.h"
#include "util/cKytListSTR.h"

namespace {

constexpr std::string_view kPing = "\r\n\r\n";

bool IsResponse(const std::string& text) { return text.compare(0, 8, "SIP/2.0 ") == 0; }

// The request with its top Via moved from UDP to TCP, as RFC 3261 section 18.1.1 asks when the
// transport changes; empty when the Via is not ours to change.
std::string ViaOverTcp(const std::string& text) {
  const size_t nHead = text.find("\r\n\r\n");
  const size_t nAt = text.find("SIP/2.0/UDP ");
  if (nAt == std::string::npos || nAt > nHead) return "";
  std::string moved = text;
  moved.replace(nAt, 11, "SIP/2.0/TCP");
  return moved;
}

}  // namespace
#include "sip/cTextSIP.h"

cSocketSIP::cSocketSIP(cMainLoop* pMainLoop)
    : m_pMainLoop(pMainLoop), m_Locator(pMainLoop, [this](const std::string& sKey, bool bFound) {
        OnLocated(sKey, bFound);
      }) {}

cSocketSIP::~cSocketSIP() { CloseSocket(); }

bool cSocketSIP::OpenSocket(const char* pLocalIP, int32_t nLocalPort, cKytCoreSink* pKytMainObj,
                            cKytEventSink* pKytEventObj) {
  m_pKytMainObj = pKytMainObj;
  m_pKytEventObj = pKytEventObj;
  if (m_objSocket || !m_pMainLoop || nLocalPort < 0 || nLocalPort > 65535) return false;
  auto pSocket = std::make_unique<cUdpSocket>();
  if (!pSocket->Bind(pLocalIP ? pLocalIP : "", static_cast<uint16_t>(nLocalPort))) return false;
  bool bReading = pSocket->StartReader(
      m_pMainLoop,
      [this](const std::string& data, const std::string& fromIp, uint16_t nFromPort) {
        SocketCallBackSIP(data.data(), data.size(), fromIp, nFromPort);
      },
      kMaxQueued);
  if (!bReading) return false;
  m_objSocket = std::move(pSocket);
  m_pStreams = std::make_unique<cStreamTransport>(
      m_pMainLoop, [this](uint32_t nConn, const std::string& data) { OnStreamData(nConn, data); },
      [this](uint32_t nConn, bool bUp, const std::string& reason) {
        OnStreamState(nConn, bUp, reason);
      },
      [this](uint32_t nConn, const std::string& ip, uint16_t nPort) {
        OnStreamAccept(nConn, ip, nPort);
      });
  // Incoming TCP on our SIP port. Without it (the port taken over TCP) we still open our own
  // connections, and the peers answer on them.
  m_pStreams->Listen(pLocalIP ? pLocalIP : "", m_objSocket->GetLocalPort());
  return true;
}

void cSocketSIP::SendData(const cKytSTR& text, const char* pHost, int32_t nPort, bool bPortGiven,
                          eTransportSIP transport) {
  if (!m_objSocket || !pHost || nPort < 1 || nPort > 65535) return;
  if (IsResponse(text.GetDATA())) transport = ResponseTransport(text);
  // Located here so that an unknown name raises and logs nothing.
  cLocatorSIP::sTarget target;
  bool bPending = false;
  if (m_Locator.Locate(pHost, static_cast<uint16_t>(nPort), bPortGiven, target, bPending,
                       transport)) {
    SendTo(text, pHost, nPort, target, transport);
    return;
  }
  if (!bPending || m_Waiting.size() >= kMaxWaitingForName) return;
  m_Waiting.push_back({cLocatorSIP::Key(pHost, static_cast<uint16_t>(nPort), bPortGiven, transport),
                       text, pHost, nPort, bPortGiven, transport});
}

bool cSocketSIP::FailOver(const char* pHost, int32_t nPort, bool bPortGiven,
                          eTransportSIP transport) {
  if (!pHost || nPort < 1 || nPort > 65535) return false;
  return m_Locator.FailOver(pHost, static_cast<uint16_t>(nPort), bPortGiven, transport);
}

eTransportSIP cSocketSIP::ResponseTransport(const cKytSTR& text) {
  eTransportSIP transport = eTransportSIP::UDP;
  std::unique_ptr<cMsgSIP> pMsg = cMsgSIP::initWithPacketSIP(text);
  cKytListSTR vias;
  cKytSTR topVia;
  if (pMsg && pMsg->GetVia(vias) && vias.GetHead(topVia)) cVia::GetTransport(topVia, transport);
  return transport;
}

void cSocketSIP::OnLocated(const std::string& sKey, bool bFound) {
  // Sent in the order they were asked for; a message for another name keeps waiting.
  std::deque<sWaiting> ready;
  for (auto it = m_Waiting.begin(); it != m_Waiting.end();) {
    if (it->sKey != sKey) {
      ++it;
      continue;
    }
    ready.push_back(std::move(*it));
    it = m_Waiting.erase(it);
  }
  if (!bFound) return;
  for (const sWaiting& waiting : ready) {
    cLocatorSIP::sTarget target;
    bool bPending = false;
    if (m_objSocket && m_Locator.Locate(waiting.sHost, static_cast<uint16_t>(waiting.nPort),
                                        waiting.bPortGiven, target, bPending, waiting.transport))
      SendTo(waiting.text, waiting.sHost.c_str(), waiting.nPort, target, waiting.transport);
  }
}

void cSocketSIP::SendTo(const cKytSTR& text, const char* pHost, int32_t nPort,
                        const cLocatorSIP::sTarget& target, eTransportSIP transport) {
  if (m_bDiagnosticLog) {
    if (m_pKytEventObj) m_pKytEventObj->OnOutgoingDiagnostic(text, pHost, nPort);
    cSysLog::Write("\nSend Packet: %s\n\n", cTextSIP::WithoutKeys(text).GetDATA());
  }
  const std::string sText(text.GetDATA(), text.GetLEN());
  if (transport != eTransportSIP::UDP) {
    SendStream(sText, pHost, target, transport);
    return;
  }
  if (sText.size() > kMaxUdpRequest && !IsResponse(sText)) {
    const std::string moved = ViaOverTcp(sText);
    if (!moved.empty()) {
      SendStream(moved, pHost, target, eTransportSIP::TCP, sText);
      return;
    }
  }
  m_objSocket->SendTo(target.sIP, target.nPort, sText.data(), sText.size());
}

void cSocketSIP::SendStream(const std::string& text, const std::string& sHost,
                            const cLocatorSIP::sTarget& target, eTransportSIP transport,
                            const std::string& udpOriginal) {
  if (!m_pStreams) return;
  // A connection the peer opened to us serves its own address over TCP as well. A response
  // whose Via names no rport (its sender's listening port, not the connection's) goes back on a
  // connection from the same address (RFC 3261 section 18.2.2).
  auto found = m_Streams.begin();
  for (; found != m_Streams.end(); ++found) {
    const sStream& stream = found->second;
    if (stream.transport == transport && stream.sIP == target.sIP && stream.nPort == target.nPort)
      break;
  }
  if (found == m_Streams.end() && IsResponse(text)) {
    found = m_Streams.begin();
    while (found != m_Streams.end() &&
           (found->second.transport != transport || found->second.sIP != target.sIP))
      ++found;
  }
  if (found == m_Streams.end()) {
    cStreamTransport::sTls tls{sHost, m_sCaFile};
    const uint32_t nConn = m_pStreams->Connect(target.sIP, target.nPort,
                                               transport == eTransportSIP::TLS ? &tls : nullptr);
    if (nConn == 0) return;
    sStream stream;
    stream.transport = transport;
    stream.sHost = sHost;
    stream.sIP = target.sIP;
    stream.nPort = target.nPort;
    found = m_Streams.emplace(nConn, std::move(stream)).first;
  }
  sStream& stream = found->second;
  if (text == kPing && stream.bUp) {
    if (stream.bPongs && stream.bPingUnanswered) {
      m_pStreams->Fail(found->first, "no answer to keep-alive");
      return;
    }
    stream.bPingUnanswered = true;
  }
  if (!udpOriginal.empty()) {
    const size_t nHash = std::hash<std::string>{}(text);
    if (std::find(stream.moved.begin(), stream.moved.end(), nHash) != stream.moved.end()) return;
    if (stream.moved.size() >= kMaxMovedRemembered) stream.moved.pop_front();
    stream.moved.push_back(nHash);
  }
  if (stream.bUp) {
    m_pStreams->Send(found->first, text);
    return;
  }
  if (stream.waiting.size() >= kMaxWaitingForConnection) return;
  stream.waiting.push_back(text);
  if (!udpOriginal.empty()) stream.udpFallback.push_back(udpOriginal);
}

void cSocketSIP::OnStreamAccept(uint32_t nConn, const std::string& ip, uint16_t nPort) {
  sStream stream;
  stream.sIP = ip;
  stream.nPort = nPort;
  stream.bUp = true;
  stream.bEverUp = true;
  m_Streams.emplace(nConn, std::move(stream));
}

void cSocketSIP::OnStreamState(uint32_t nConn, bool bUp, const std::string& reason) {
  auto found = m_Streams.find(nConn);
  if (found == m_Streams.end()) return;
  sStream& stream = found->second;
  if (bUp) {
    stream.bUp = true;
    stream.bEverUp = true;
    stream.udpFallback.clear();
    for (std::string& text : stream.waiting) m_pStreams->Send(nConn, std::move(text));
    stream.waiting.clear();
    return;
  }
  // Gone: the next message to the same place opens a new connection.
  const bool bNeverUp = !stream.bEverUp;
  const cLocatorSIP::sTarget target{stream.sIP, stream.nPort};
  const std::string sHost = stream.sHost;
  std::deque<std::string> udpFallback = std::move(stream.udpFallback);
  const bool bOnlyMoved = !udpFallback.empty() && udpFallback.size() == stream.waiting.size();
  m_Streams.erase(found);
  if (!bNeverUp) {
    if (!sHost.empty() && m_pKytMainObj) m_pKytMainObj->OnTransportLost(sHost.c_str());
    return;
  }
  // The peer takes no TCP (refused, unreachable): requests moved there for their size go over
  // UDP as they were, which is better than not at all; IP fragments them.
  for (const std::string& text : udpFallback)
    if (m_objSocket) m_objSocket->SendTo(target.sIP, target.nPort, text.data(), text.size());
  if (!bOnlyMoved && m_pKytMainObj)
    m_pKytMainObj->OnTransportFailure(sHost.c_str(), reason.c_str());
}

void cSocketSIP::OnStreamData(uint32_t nConn, const std::string& data) {
  auto found = m_Streams.find(nConn);
  if (found == m_Streams.end()) return;
  // Whatever comes shows the connection alive.
  found->second.bPingUnanswered = false;
  found->second.framer.Append(data);
  for (;;) {
    // Looked up again each time: handling a message may send, or close everything.
    found = m_Streams.find(nConn);
    if (found == m_Streams.end()) return;
    std::string message;
    const std::string sIP = found->second.sIP;
    const uint16_t nPort = found->second.nPort;
    switch (found->second.framer.Next(message)) {
      case cStreamFramerSIP::eNext::NONE:
        return;
      case cStreamFramerSIP::eNext::PING:
        m_pStreams->Send(nConn, "\r\n");
        break;
      case cStreamFramerSIP::eNext::PONG:
        found->second.bPongs = true;
        break;
      case cStreamFramerSIP::eNext::BROKEN:
        m_pStreams->Close(nConn);
        m_Streams.erase(found);
        return;
      case cStreamFramerSIP::eNext::MESSAGE:
        OnSocketRecv(message.data(), message.size(), sIP.c_str(), nPort);
        break;
    }
  }
}

void cSocketSIP::SocketCallBackSIP(const char* pData, size_t nLength, const std::string& fromIp,
                                   uint16_t nFromPort) {
  if (nLength < 1) return;
  OnSocketRecv(pData, nLength, fromIp.c_str(), nFromPort);
}

void cSocketSIP::OnSocketRecv(const char* pData, size_t nLength, const char* pFromIP,
                              int32_t nFromPort) {
  cKytSTR packet;
  if (nLength > 0) packet.CopyFROM(std::string(pData, nLength).c_str());
  if (m_bDiagnosticLog) {
    cSysLog::Write("\nReceive Packet: %s\n\n", cTextSIP::WithoutKeys(packet).GetDATA());
  }
  if (m_pKytMainObj) m_pKytMainObj->OnSocketRecvFrom(packet, pFromIP, nFromPort);
}

void cSocketSIP::CloseSocket() {
  m_Waiting.clear();
  if (m_pStreams) m_pStreams->Stop();
  m_pStreams.reset();
  m_Streams.clear();
  if (!m_objSocket) return;
  m_objSocket->Close();
  m_objSocket.reset();
}

int32_t cSocketSIP::GetLocalPort() const {
  return m_objSocket ? static_cast<int32_t>(m_objSocket->GetLocalPort()) : 0;
}

bool cSocketSIP::IsPortAvailable(const cKytSTR& ip, int32_t nPort) {
  if (nPort < 0 || nPort > 65535) return false;
  cUdpSocket probe;
  return probe.Bind(ip.GetDATA(), static_cast<uint16_t>(nPort));
}
