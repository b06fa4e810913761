#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "platform/cMainLoop.h"
#include "platform/cUdpSocket.h"
#include "sip/cResolverSIP.h"
#include "util/cKytNoCopy.h"
#include "util/cKytSTR.h"

class cKytCoreSink;
class cKytEventSink;

// The one UDP socket of the SIP stack. Received datagrams reach the user agent object on the
// main loop, in arrival order; sends are synchronous and resolve the destination every time.
class cSocketSIP : private cKytNoCopy {
 public:
  explicit cSocketSIP(cMainLoop* pMainLoop);
  ~cSocketSIP();

  // Binds to pLocalIP (null or empty: any address) and nLocalPort (0: the system picks) and
  // starts delivering datagrams to pKytMainObj. False, and closed, when the bind fails.
  bool OpenSocket(const char* pLocalIP, int32_t nLocalPort, cKytCoreSink* pKytMainObj,
                  cKytEventSink* pKytEventObj);
  // Sends one datagram. An unresolvable host (or a name still being looked up, cResolverSIP), a
  // port outside 1..65535 or a closed socket drop the message silently; send errors are left to
  // SIP retransmission.
  void SendData(const cKytSTR& text, const char* pHost, int32_t nPort);
  void CloseSocket();
  bool IsOpen() const { return m_objSocket != nullptr; }
  // The bound port (useful when the system picked it), 0 while closed.
  int32_t GetLocalPort() const;

  // Reports every outgoing message to the event object as well, and writes every datagram sent
  // or received to the system log (which otherwise sees none: a message may carry credentials
  // and a flood of them would flood the log).
  void DiagnosticLog(bool bOn) { m_bDiagnosticLog = bOn; }
  // Received datagrams dropped because kMaxQueued were already waiting for the main loop.
  uint64_t GetDroppedCount() const { return m_objSocket ? m_objSocket->GetDroppedCount() : 0; }

  // More waiting datagrams than a busy main loop ever holds in normal work.
  static constexpr size_t kMaxQueued = 256;

  // Logs a received datagram and hands exactly nLength bytes, with the address they came from
  // (empty when unknown), to the user agent object.
  void OnSocketRecv(const char* pData, size_t nLength, const char* pFromIP = "",
                    int32_t nFromPort = 0);

  // Whether a UDP bind to ip (empty: any address) and port would succeed now.
  static bool IsPortAvailable(const cKytSTR& ip, int32_t nPort);

 private:
  void SocketCallBackSIP(const char* pData, size_t nLength, const std::string& fromIp,
                         uint16_t nFromPort);

  cMainLoop* m_pMainLoop;
  std::unique_ptr<cUdpSocket> m_objSocket;
  cKytCoreSink* m_pKytMainObj = nullptr;
  cKytEventSink* m_pKytEventObj = nullptr;
  bool m_bDiagnosticLog = false;
  cResolverSIP m_Resolver;
};
