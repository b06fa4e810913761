#pragma once

#include <cstdint>

namespace kyttest {

// UDP ports of 127.0.0.1 for the peers, servers and lines a test starts. A port found free is let
// go before its taker binds it, and test processes run side by side (ctest -j): so each process
// hands out ports only from a block of its own, which it holds for its lifetime through a lock
// file that every test process on the machine respects.
class cLoopbackPort {
 public:
  // The first of nCount consecutive ports of this process's block that are free now; the first
  // is even when nCount > 1 (an RTP port, with the odd one above it for RTCP). 0 when none are.
  // The block is this process's alone, so a port it hands out serves for TCP as well.
  static uint16_t FreeUdp(int nCount = 1);
  // Whether some socket holds this port now.
  static bool IsUdpTaken(uint16_t nPort);
};

}  // namespace kyttest
