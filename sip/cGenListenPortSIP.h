#pragma once

#include <cstdint>

#include "util/cKytSTR.h"

// Picks a free local UDP port for SIP when the application asked for none.
class cGenListenPortSIP {
 public:
  cGenListenPortSIP();

  // Draws a new first candidate.
  void ResetOBJ();
  // A random candidate in 2000..4499.
  static int32_t GenRandomPort();
  // Probes the current candidate, then up to 2000 random ones, on listenIP when bBindIP is set
  // (else on any address). The free port found, or -1.
  int32_t GenListenPort(bool bBindIP, const cKytSTR& listenIP);

 private:
  int32_t m_nListenPortStart = 0;
  int32_t m_nListenPortCounter = 0;
};
