#include "sip/cSocketSIP.h"

#include <string>

#include "platform/cSysLog.h"
#include "sip/cKytCoreSink.h"
#include "sip/cKytEventSink.h"
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
  return true;
}

void cSocketSIP::SendData(const cKytSTR& text, const char* pHost, int32_t nPort, bool bPortGiven) {
  if (!m_objSocket || !pHost || nPort < 1 || nPort > 65535) return;
  // Located here so that an unknown name raises and logs nothing.
  cLocatorSIP::sTarget target;
  bool bPending = false;
  if (m_Locator.Locate(pHost, static_cast<uint16_t>(nPort), bPortGiven, target, bPending)) {
    SendTo(text, pHost, nPort, target);
    return;
  }
  if (!bPending || m_Waiting.size() >= kMaxWaitingForName) return;
  m_Waiting.push_back({cLocatorSIP::Key(pHost, static_cast<uint16_t>(nPort), bPortGiven), text,
                       pHost, nPort, bPortGiven});
}

bool cSocketSIP::FailOver(const char* pHost, int32_t nPort, bool bPortGiven) {
  if (!pHost || nPort < 1 || nPort > 65535) return false;
  return m_Locator.FailOver(pHost, static_cast<uint16_t>(nPort), bPortGiven);
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
                                        waiting.bPortGiven, target, bPending))
      SendTo(waiting.text, waiting.sHost.c_str(), waiting.nPort, target);
  }
}

void cSocketSIP::SendTo(const cKytSTR& text, const char* pHost, int32_t nPort,
                        const cLocatorSIP::sTarget& target) {
  if (m_bDiagnosticLog) {
    if (m_pKytEventObj) m_pKytEventObj->OnOutgoingDiagnostic(text, pHost, nPort);
    cSysLog::Write("\nSend Packet: %s\n\n", cTextSIP::WithoutKeys(text).GetDATA());
  }
  m_objSocket->SendTo(target.sIP, target.nPort, text.GetDATA(), text.GetLEN());
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
