#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <utility>

#include "platform/cMainLoop.h"
#include "platform/cUdpSocket.h"
#include "sip/cLocatorSIP.h"
#include "util/cKytNoCopy.h"
#include "util/cKytSTR.h"

class cKytCoreSink;
class cKytEventSink;

// The one UDP socket of the SIP stack. Received datagrams reach the user agent object on the
// main loop, in arrival order. A send to an address leaves at once; one to a host name goes to the
// target cLocatorSIP names, and waits in a queue (never on the main thread) while the name's
// first look-up is under way.
class cSocketSIP : private cKytNoCopy {
 public:
  explicit cSocketSIP(cMainLoop* pMainLoop);
  ~cSocketSIP();

  // Binds to pLocalIP (null or empty: any address) and nLocalPort (0: the system picks) and
  // starts delivering datagrams to pKytMainObj. False, and closed, when the bind fails.
  bool OpenSocket(const char* pLocalIP, int32_t nLocalPort, cKytCoreSink* pKytMainObj,
                  cKytEventSink* pKytEventObj);
  // Sends one datagram. bPortGiven false lets a host name without a port be looked up by NAPTR
  // and SRV (nPort then only serves when neither names a port). A host without any address, a
  // port outside 1..65535, a full queue or a closed socket drop the message silently; send errors
  // are left to SIP retransmission.
  void SendData(const cKytSTR& text, const char* pHost, int32_t nPort, bool bPortGiven = true);
  // The destination's target in use failed (a time-out or a 503): true when another one takes
  // its place, and the request should be sent anew.
  bool FailOver(const char* pHost, int32_t nPort, bool bPortGiven);
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
  // Messages waiting for the first look-up of their destination, all destinations together.
  static constexpr size_t kMaxWaitingForName = 64;

  // Logs a received datagram and hands exactly nLength bytes, with the address they came from
  // (empty when unknown), to the user agent object.
  void OnSocketRecv(const char* pData, size_t nLength, const char* pFromIP = "",
                    int32_t nFromPort = 0);

  // Whether a UDP bind to ip (empty: any address) and port would succeed now.
  static bool IsPortAvailable(const cKytSTR& ip, int32_t nPort);

 private:
  struct sWaiting {
    std::string sKey;
    cKytSTR text;
    std::string sHost;
    int32_t nPort;
    bool bPortGiven;
  };

  void SocketCallBackSIP(const char* pData, size_t nLength, const std::string& fromIp,
                         uint16_t nFromPort);
  void SendTo(const cKytSTR& text, const char* pHost, int32_t nPort,
              const cLocatorSIP::sTarget& target);
  void OnLocated(const std::string& sKey, bool bFound);

  cMainLoop* m_pMainLoop;
  std::unique_ptr<cUdpSocket> m_objSocket;
  cKytCoreSink* m_pKytMainObj = nullptr;
  cKytEventSink* m_pKytEventObj = nullptr;
  bool m_bDiagnosticLog = false;
  std::deque<sWaiting> m_Waiting;
  cLocatorSIP m_Locator;
};
