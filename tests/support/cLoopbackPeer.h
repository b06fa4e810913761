#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/cMainLoop.h"
#include "platform/cUdpSocket.h"

namespace kyttest {

// A UDP socket on 127.0.0.1 (port picked by the system) that keeps every datagram reaching it
// (on the main loop) and answers nothing by itself.
class cLoopbackPeer {
 public:
  explicit cLoopbackPeer(cMainLoop* pLoop);
  uint16_t Port() const { return m_Socket.GetLocalPort(); }
  void SendTo(uint16_t nPort, const std::string& sText);

  std::vector<std::string> m_Received;

 private:
  cUdpSocket m_Socket;
};

}  // namespace kyttest
