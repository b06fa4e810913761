#pragma once

#include <cstdint>

namespace kyttest {

// UDP ports of 127.0.0.1 for tests that start servers of their own.
class cLoopbackPort {
 public:
  // A port that was free a moment ago (the system's pick); 0 when none could be had.
  static uint16_t FreeUdp();
  // Whether some socket holds this port now.
  static bool IsUdpTaken(uint16_t nPort);
};

}  // namespace kyttest
