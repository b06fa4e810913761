#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// A SIPp peer on 127.0.0.1 and a port of its own, running one scenario from tests/host/data:
// a registrar that serves until the test ends, or a caller that places its call at once.
class SippPeer {
 public:
  // Picks the port at once, so that it can be given to the user agent before sipp starts.
  SippPeer();
  ~SippPeer();
  SippPeer(const SippPeer&) = delete;
  SippPeer& operator=(const SippPeer&) = delete;

  // Starts sipp with the scenario file (and further sipp arguments, such as the address to call)
  // and waits until it listens. False, with the reason in *error, when sipp is missing or does
  // not come up.
  bool Start(const std::string& scenarioFile, std::string* error,
             const std::vector<std::string>& extraArgs = {});
  // Whether sipp has ended; when it has, *pExitCode is its exit status (0: every call of the
  // scenario went as written).
  bool HasEnded(int* pExitCode);
  // 0 when no port was free.
  int GetPort() const { return m_nPort; }
  // A UDP port on 127.0.0.1 that was free a moment ago.
  static int FindFreePort();
  // A port for sipp's media (-mp): sipp also takes the port two above it. 0 when none was found.
  static int FindFreeMediaPort();
  // "sip:127.0.0.1:<port>"
  std::string GetProxy() const;
  // What sipp printed so far, for failure messages.
  std::string GetOutput() const;

 private:
  void Stop();

  pid_t m_Pid = -1;
  int m_nExitCode = -1;
  int m_nPort = 0;
  std::string m_Directory;
};
