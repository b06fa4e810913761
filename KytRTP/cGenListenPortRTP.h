#pragma once

#include <asio/io_context.hpp>

// Chooses the local RTP port of a line: an even port that is free now, searched upwards from the
// last port handed out (6000 at first). A port still free is handed out again, so the caller
// binds it at once.
class cGenListenPortRTP {
 public:
  explicit cGenListenPortRTP(int nStart = 6000) : m_nListenPortCounter(nStart) {}

  // Probes on pListenIP when bBindIP is set, else on any address. False when no even port is
  // free within 5001 tries.
  bool GenPort(asio::io_context& context, bool bBindIP, const char* pListenIP, int& nPort);

 private:
  int m_nListenPortCounter;
};
