#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/cChildProcess.h"
#include "tests/support/cTempDir.h"

namespace kyttest {

// SIPp as the far side of a test: one call of a scenario on a loopback port of its own, run
// from a folder of its own that keeps its logs; stopped with the object.
class cSippPeer {
 public:
  using Keys = std::vector<std::pair<std::string, std::string>>;

  // Picks the port (known before the start, for sides that must be told where SIPp is).
  cSippPeer();

  // Runs the scenario file. sRemote is "host:port" of our side for scenarios that call out, ""
  // for answering ones; SIPp gives up after the timeout (an error). Each key replaces its %key%
  // marks in the scenario text. Answers whether SIPp is running and holds its port.
  bool Start(const std::string& sScenarioFile, const std::string& sRemote,
             std::chrono::seconds timeout, const Keys& keys = {});
  uint16_t Port() const { return m_nPort; }
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
  cChildProcess m_Process;
};

}  // namespace kyttest
