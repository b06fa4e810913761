#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "platform/cMainLoop.h"
#include "platform/cStreamTransport.h"
#include "platform/cUdpSocket.h"
#include "sip/cLocatorSIP.h"
#include "sip/cStreamFramerSIP.h"
#include "sip/eTransportSIP.h"
#include "util/cKytNoCopy.h"
#include "util/cKytSTR.h"

class cKytCoreSink;
class cKytEventSink;

// The SIP stack's transport: one UDP socket, and TCP and TLS connections beside it (RFC 3261
// section 18) on the same port number. Received messages reach the user agent object on the
// main loop, in arrival order. A send to an address leaves at once; one to a host name goes to the
// target cLocatorSIP names, and waits in a queue (never on the main thread) while the name's
// first look-up is under way. Over a stream there is one connection per destination, opened at
// the first message and reused, opened anew at the next message once it is lost; a request to
// the same destination that came in on a connection is answered on it. A UDP request over
// kMaxUdpRequest bytes goes over TCP (section 18.1.1).
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
  // transport: the one to use for a request; a response goes back over the transport of its
  // top Via. Over TLS, the server's certificate must name pHost.
  void SendData(const cKytSTR& text, const char* pHost, int32_t nPort, bool bPortGiven = true,
                eTransportSIP transport = eTransportSIP::UDP);
  // The destination's target in use failed (a time-out or a 503): true when another one takes
  // its place, and the request should be sent anew.
  bool FailOver(const char* pHost, int32_t nPort, bool bPortGiven,
                eTransportSIP transport = eTransportSIP::UDP);
  // A CA file trusted for TLS besides the system's store (empty: none).
  void SetCaFile(const std::string& sCaFile) { m_sCaFile = sCaFile; }
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
  // A UDP request longer than this goes over TCP (RFC 3261 section 18.1.1, path MTU unknown).
  static constexpr size_t kMaxUdpRequest = 1300;
  // Moved requests a connection remembers, to drop their resends.
  static constexpr size_t kMaxMovedRemembered = 32;
  // Messages waiting for one connection to come up.
  static constexpr size_t kMaxWaitingForConnection = 64;

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
    eTransportSIP transport;
  };
  // One stream connection, ours or the peer's.
  struct sStream {
    eTransportSIP transport = eTransportSIP::TCP;
    std::string sHost;  // the name it was opened for; empty for the peer's connection
    std::string sIP;
    uint16_t nPort = 0;
    bool bUp = false;
    bool bEverUp = false;
    // Sent once it is up.
    std::deque<std::string> waiting;
    // The UDP originals of requests moved to TCP for their size: when the peer takes no TCP
    // they go over UDP after all.
    std::deque<std::string> udpFallback;
    // Hashes of the last requests moved here for their size: their transactions resend them as
    // over UDP, and a stream must not carry a request twice (RFC 3261 section 17.1.1.2).
    std::deque<size_t> moved;
    // Keep-alive (RFC 5626 section 4.4.1): once the peer has answered a ping, a ping with
    // nothing at all received since, when the next one is due, means the connection is dead
    // however open it looks (a NAT that forgot it, an address that changed).
    bool bPongs = false;
    bool bPingUnanswered = false;
    cStreamFramerSIP framer;
  };

  void SocketCallBackSIP(const char* pData, size_t nLength, const std::string& fromIp,
                         uint16_t nFromPort);
  void SendTo(const cKytSTR& text, const char* pHost, int32_t nPort,
              const cLocatorSIP::sTarget& target, eTransportSIP transport);
  // Over the connection to the target, opened when there is none. udpOriginal: what to send
  // over UDP instead if the connection cannot be opened.
  void SendStream(const std::string& text, const std::string& sHost,
                  const cLocatorSIP::sTarget& target, eTransportSIP transport,
                  const std::string& udpOriginal = "");
  void OnLocated(const std::string& sKey, bool bFound);
  void OnStreamData(uint32_t nConn, const std::string& data);
  void OnStreamState(uint32_t nConn, bool bUp, const std::string& reason);
  void OnStreamAccept(uint32_t nConn, const std::string& ip, uint16_t nPort);
  // The transport of a response's top Via; UDP for a request or anything unreadable.
  static eTransportSIP ResponseTransport(const cKytSTR& text);

  cMainLoop* m_pMainLoop;
  std::unique_ptr<cUdpSocket> m_objSocket;
  cKytCoreSink* m_pKytMainObj = nullptr;
  cKytEventSink* m_pKytEventObj = nullptr;
  bool m_bDiagnosticLog = false;
  std::deque<sWaiting> m_Waiting;
  cLocatorSIP m_Locator;
  std::string m_sCaFile;
  std::map<uint32_t, sStream> m_Streams;
  // Last: its thread ends before the streams it reports on go.
  std::unique_ptr<cStreamTransport> m_pStreams;
};
