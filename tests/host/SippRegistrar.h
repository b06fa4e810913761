#pragma once

#include <sys/types.h>

#include <string>

// A SIPp registrar on 127.0.0.1 and a port of its own, running one scenario from
// tests/host/data until the test ends.
class SippRegistrar {
 public:
  SippRegistrar() = default;
  ~SippRegistrar();
  SippRegistrar(const SippRegistrar&) = delete;
  SippRegistrar& operator=(const SippRegistrar&) = delete;

  // Starts sipp with the scenario file and waits until it listens. False, with the reason in
  // *error, when sipp is missing or does not come up.
  bool Start(const std::string& scenarioFile, std::string* error);
  int GetPort() const { return m_nPort; }
  // "sip:127.0.0.1:<port>"
  std::string GetProxy() const;
  // What sipp printed so far, for failure messages.
  std::string GetOutput() const;

 private:
  void Stop();

  pid_t m_Pid = -1;
  int m_nPort = 0;
  std::string m_Directory;
};
