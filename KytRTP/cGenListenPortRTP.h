#pragma once

#include <asio/io_context.hpp>

// Chooses the local RTP port of a line: an even port whose odd neighbour (RTCP) is free as well,
// searched upwards from the port after the last one handed out (6000 at first), wrapping to the
// start. The search moves on with each port handed out, so a line closed a moment ago does not
// get its port back, and a stale stream still sent there cannot reach the next call.
class cGenListenPortRTP {
 public:
  explicit cGenListenPortRTP(int nStart = 6000)
      : m_nListenPortStart(nStart), m_nListenPortCounter(nStart) {}

  // Probes on pListenIP when bBindIP is set, else on any address. False when no free pair is
  // found within 5001 tries.
  bool GenPort(asio::io_context& context, bool bBindIP, const char* pListenIP, int& nPort);

 private:
  // Into 1024..65534: a value outside goes back to the start (1024 if that is outside too),
  // made even.
  int IntoRange(int nPort) const;

  int m_nListenPortStart;
  int m_nListenPortCounter;
};
