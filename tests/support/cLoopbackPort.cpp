#include "tests/support/cLoopbackPort.h"

#include "platform/cUdpSocket.h"

namespace kyttest {

uint16_t cLoopbackPort::FreeUdp() {
  cUdpSocket probe;
  if (!probe.Bind("127.0.0.1", 0)) return 0;
  return probe.GetLocalPort();
}

bool cLoopbackPort::IsUdpTaken(uint16_t nPort) {
  cUdpSocket probe;
  return !probe.Bind("127.0.0.1", nPort);
}

}  // namespace kyttest
