#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/cChildProcess.h"

// tcpdump on the loopback for one line's RTP and RTCP ports, and what it saw: how many packets,
// and how many carry a tone in plain u-law, as unprotected voice would.
class cPlainVoiceCapture {
 public:
  // A tone and its period in samples at 8000 Hz.
  using tTone = std::pair<double, size_t>;

  // Captures into a file in sDir until Stop; false when tcpdump did not start listening.
  bool Start(int nRtpPort, const std::string& sDir);
  // Ends the capture and reads what it saw.
  void Stop();

  size_t Packets() const { return m_Packets.size(); }
  // Packets holding a 12-byte run of any period of these tones, u-law coded.
  size_t PlainPackets(const std::vector<tTone>& tones) const;

 private:
  kyttest::cChildProcess m_Tcpdump;
  std::string m_sFile;
  // Each captured packet's bytes, link header and all.
  std::vector<std::string> m_Packets;
};
