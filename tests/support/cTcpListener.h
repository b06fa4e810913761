#pragma once

#include <cstdint>
#include <string>

namespace kyttest {

// A TCP server socket on 127.0.0.1 at a port of the system's choosing that a test drives by
// hand: it takes connections only when told, and closes everything when it goes.
class cTcpListener {
 public:
  // With bListen false the port is bound but refuses connections.
  explicit cTcpListener(bool bListen = true);
  cTcpListener(const cTcpListener&) = delete;
  cTcpListener& operator=(const cTcpListener&) = delete;
  ~cTcpListener();

  uint16_t Port() const { return m_nPort; }
  // The next connection (waiting for it); false when there is none to take.
  bool Accept();
  // On the accepted connection: everything received until now, and a send.
  std::string ReadWaiting();
  bool Write(const std::string& data);
  // Whether the peer has closed the accepted connection (reading what was still waiting).
  bool PeerClosed();

 private:
  int m_nListen = -1;
  int m_nConn = -1;
  uint16_t m_nPort = 0;
};

}  // namespace kyttest
