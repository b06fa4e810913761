#pragma once

// SIPp as the far side of a call: started by the test on loopback ports, stopped with it.

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

class SippPeer {
 public:
  SippPeer();
  SippPeer(const SippPeer&) = delete;
  SippPeer& operator=(const SippPeer&) = delete;
  ~SippPeer();

  // Runs one call of the scenario file (in the test data folder) on its own port. remote is
  // "host:port" of the agent for scenarios that call out, empty for answering ones. Each key
  // replaces its %key% marks in the scenario text.
  bool Start(const std::string& scenario, const std::string& remote,
             const std::vector<std::pair<std::string, std::string>>& keys = {});
  uint16_t Port() const { return m_nPort; }
  // Whether SIPp has its port bound (ready to answer).
  bool IsListening() const;
  // True once it has ended; then ExitCode holds its status (0: the call went as scripted).
  bool HasExited();
  int ExitCode() const { return m_nExitCode; }
  // What SIPp wrote, for failure messages.
  std::string Output() const;

 private:
  void Stop();

  std::string m_Dir;
  uint16_t m_nPort = 0;
  pid_t m_nPid = -1;
  int m_nExitCode = -1;
};

// A UDP port of 127.0.0.1 that was free a moment ago.
uint16_t FreeUdpPort();
