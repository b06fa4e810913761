#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/cLoopbackPort.h"

// Where a peer program of a test runs: the address it listens on, the words put before its
// command line (to run it in another network namespace) and how to tell that it has bound a
// UDP port. By default: 127.0.0.1 in the test's own namespace.
struct cPeerNetwork {
  std::string sAddress = "127.0.0.1";
  std::vector<std::string> launcher;
  std::function<bool(uint16_t)> fnIsUdpTaken = &kyttest::cLoopbackPort::IsUdpTaken;
};
