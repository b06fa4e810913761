#include "SippPeer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace {

// Binds 127.0.0.1:nPort (0: any free port) and answers the port, or -1 when it is taken.
int TryBind(int nPort) {
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(nPort));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int nResult = -1;
  socklen_t nLength = sizeof(address);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &nLength) == 0)
    nResult = ntohs(address.sin_port);
  close(fd);
  return nResult;
}

}  // namespace

SippPeer::SippPeer() : m_nPort(std::max(TryBind(0), 0)) {}

SippPeer::~SippPeer() {
  Stop();
  if (!m_Directory.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(m_Directory, ec);
  }
}

int SippPeer::FindFreePort() { return TryBind(0); }

int SippPeer::FindFreeMediaPort() {
  for (int i = 0; i < 20; ++i) {
    const int nPort = TryBind(0);
    if (nPort > 0 && nPort + 2 <= 65535 && TryBind(nPort + 2) == nPort + 2) return nPort;
  }
  return 0;
}

std::string SippPeer::GetProxy() const { return "sip:127.0.0.1:" + std::to_string(m_nPort); }

std::string SippPeer::GetOutput() const {
  std::ifstream in(m_Directory + "/sipp.out");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool SippPeer::Start(const std::string& scenarioFile, std::string* error,
                     const std::vector<std::string>& extraArgs) {
  char pattern[] = "/tmp/kyt-sipp-XXXXXX";
  if (!mkdtemp(pattern)) {
    *error = "cannot make a directory for sipp";
    return false;
  }
  m_Directory = pattern;
  if (m_nPort <= 0) {
    *error = "no free UDP port on 127.0.0.1";
    return false;
  }
  std::vector<std::string> args = {
      "sipp",     "-sf",      scenarioFile, "-i",        "127.0.0.1", "-p", std::to_string(m_nPort),
      "-nostdin", "-timeout", "300",        "-trace_err"};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  // Everything the child needs is made before the fork: it may only call async-signal-safe
  // functions until exec.
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const std::string outPath = m_Directory + "/sipp.out";
  m_Pid = fork();
  if (m_Pid < 0) {
    *error = "fork failed";
    return false;
  }
  if (m_Pid == 0) {
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) {
      dup2(out, STDOUT_FILENO);
      dup2(out, STDERR_FILENO);
    }
    if (chdir(m_Directory.c_str()) != 0) _exit(126);
    execvp("sipp", argv.data());
    _exit(127);
  }
  // Up when the port is taken; gone when sipp ended (missing, or a bad scenario).
  for (int i = 0; i < 200; ++i) {
    int status = 0;
    if (waitpid(m_Pid, &status, WNOHANG) == m_Pid) {
      m_Pid = -1;
      *error = WIFEXITED(status) && WEXITSTATUS(status) == 127
                   ? "sipp is not installed (Debian package sip-tester)"
                   : "sipp ended at once: " + GetOutput();
      return false;
    }
    if (TryBind(m_nPort) < 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  *error = "sipp did not start listening on port " + std::to_string(m_nPort);
  return false;
}

bool SippPeer::HasEnded(int* pExitCode) {
  if (m_Pid > 0) {
    int status = 0;
    if (waitpid(m_Pid, &status, WNOHANG) != m_Pid) return false;
    m_Pid = -1;
    m_nExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  *pExitCode = m_nExitCode;
  return true;
}

void SippPeer::Stop() {
  if (m_Pid <= 0) return;
  kill(m_Pid, SIGTERM);
  for (int i = 0; i < 100; ++i) {
    if (waitpid(m_Pid, nullptr, WNOHANG) == m_Pid) {
      m_Pid = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(m_Pid, SIGKILL);
  waitpid(m_Pid, nullptr, 0);
  m_Pid = -1;
}
