#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace kyttest {

// A program started by a test, with its output in a log file; stopped (if still running) when
// the object goes.
class cChildProcess {
 public:
  cChildProcess() = default;
  cChildProcess(const cChildProcess&) = delete;
  cChildProcess& operator=(const cChildProcess&) = delete;
  ~cChildProcess();

  // The full path of a program on the PATH or in the sbin folders (where Debian puts servers);
  // "" when it is nowhere.
  static std::string FindProgram(const std::string& sName);

  // Runs argv[0] (looked up on the PATH when it has no slash) with stdin from /dev/null and
  // stdout and stderr going to sLogFile, in sWorkDir when one is given.
  bool Start(const std::vector<std::string>& argv, const std::string& sLogFile,
             const std::string& sWorkDir = "");
  bool Started() const { return m_bStarted; }
  // Whether it has ended (it is then reaped and ExitCode holds its status); true when it never
  // started.
  bool Done();
  // The exit status once ended (128 + signal when killed, 127 when it could not be started);
  // -1 before.
  int ExitCode() const { return m_nExitCode; }
  // Waits at most the given time for the end; answers ExitCode(), -1 when it is still running.
  int Wait(std::chrono::milliseconds timeout);
  // Asks it to end, and kills it when it has not within five seconds.
  void Kill();

 private:
  pid_t m_nPid = -1;
  bool m_bStarted = false;
  int m_nExitCode = -1;
};

}  // namespace kyttest
