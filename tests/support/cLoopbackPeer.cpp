#include "tests/support/cLoopbackPeer.h"

namespace kyttest {

cLoopbackPeer::cLoopbackPeer(cMainLoop* pLoop) {
  m_Socket.Bind("127.0.0.1", 0);
  m_Socket.StartReader(pLoop, [this](const std::string& data, const std::string&, uint16_t) {
    m_Received.push_back(data);
  });
}

void cLoopbackPeer::SendTo(uint16_t nPort, const std::string& sText) {
  m_Socket.SendTo("127.0.0.1", nPort, sText.data(), sText.size());
}

}  // namespace kyttest
