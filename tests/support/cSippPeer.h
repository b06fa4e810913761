#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/cChildProcess.h"
#include "tests/support/cTempDir.h"

namespace kyttest {

// SIPp as the far side of a test: one call of a scenario on loopback ports of its own (SIP,
// media and its control port), run from a folder of its own that keeps its logs; stopped with
// the object.
class cSippPeer {
 public:
  using Keys = std::vector<std::pair<std::string, std::string>>;

  // Picks the ports (known before the start, for sides that must be told where SIPp is).
  cSippPeer();

  // From the start on, SIPp sends every RTP packet that reaches MediaPort() back to its sender.
  void EchoRtp() { m_bEchoRtp = true; }
  // Runs the scenario file. sRemote is "host:port" of our side for scenarios that call out, ""
  // for answering ones; SIPp gives up after the timeout (an error). Each key replaces its %key%
  // marks in the scenario text. Answers whether SIPp is running and holds its port.
  bool Start(const std::string& sScenarioFile, const std::string& sRemote,
             std::chrono::seconds timeout, const Keys& keys = {});
  uint16_t Port() const { return m_nPort; }
  // "sip:127.0.0.1:<port>", for our side's proxy.
  std::string Uri() const { return "sip:127.0.0.1:" + std::to_string(m_nPort); }
  // The RTP port that [media_port] stands for in scenarios.
  uint16_t MediaPort() const { return m_nMediaPort; }
  // True once SIPp has ended; then ExitCode holds its status (0: the call went as scripted).
  bool Done() { return m_Process.Done(); }
  int ExitCode() const { return m_Process.ExitCode(); }
  // Waits at most the given time for the end; answers ExitCode(), -1 when still running.
  int Wait(std::chrono::milliseconds timeout) { return m_Process.Wait(timeout); }
  // What SIPp wrote: its output, its errors and the messages it traced, for failure messages.
  std::string Output() const;

 private:
  cTempDir m_Dir{"kyt-sipp-"};
  uint16_t m_nPort = 0;
  // SIPp takes the media port and the one two above it (sound and video), and a control port.
  uint16_t m_nMediaPort = 0;
  uint16_t m_nControlPort = 0;
  bool m_bEchoRtp = false;
  cChildProcess m_Process;
};

}  // namespace kyttest
