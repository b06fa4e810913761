#pragma once

// Starting and stopping the real registrars the interop tests talk to (SIPp, Kamailio), on
// loopback ports the tests pick.

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace regtest {

// A fresh directory under the system's temporary directory, removed with everything in it.
class cTempDir {
 public:
  cTempDir() {
    char pattern[] = "/tmp/kyt-reg-XXXXXX";
    const char* p = mkdtemp(pattern);
    m_Path = p ? p : "";
  }
  ~cTempDir() {
    if (!m_Path.empty()) std::system(("rm -rf '" + m_Path + "'").c_str());
  }
  const std::string& Path() const { return m_Path; }

 private:
  std::string m_Path;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path);
  out << text;
}

// A UDP port of 127.0.0.1 that was free a moment ago.
inline uint16_t FreeUdpPort() {
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
  socklen_t nLen = sizeof(addr);
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &nLen);
  close(fd);
  return ntohs(addr.sin_port);
}

inline bool IsUdpPortTaken(uint16_t nPort) {
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(nPort);
  bool bTaken = bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0;
  close(fd);
  return bTaken;
}

// Polls a condition about the world outside the test (a server's port, a file) until it holds.
template <typename Pred>
bool WaitFor(Pred pred, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// Finds a program on the PATH (and in the sbin folders, where Debian puts servers).
inline std::string FindProgram(const std::string& name) {
  std::string path = getenv("PATH") ? getenv("PATH") : "";
  path += ":/usr/sbin:/sbin:/usr/local/sbin";
  std::stringstream dirs(path);
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    std::string full = dir + "/" + name;
    if (!dir.empty() && access(full.c_str(), X_OK) == 0) return full;
  }
  return "";
}

// One child process with its output in a log file; killed on destruction if still running.
class cChildProcess {
 public:
  cChildProcess() = default;
  cChildProcess(const cChildProcess&) = delete;
  cChildProcess& operator=(const cChildProcess&) = delete;
  ~cChildProcess() { Kill(); }

  bool Start(const std::vector<std::string>& args, const std::string& logPath,
             const std::string& workDir = "") {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (!workDir.empty()) posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    int nResult = posix_spawn(&m_nPid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (nResult != 0) m_nPid = -1;
    return m_nPid > 0;
  }

  // Waits for the exit; answers the exit status, or -1 when it did not end in time.
  int Wait(std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (m_nPid > 0) {
      int nStatus = 0;
      if (waitpid(m_nPid, &nStatus, WNOHANG) == m_nPid) {
        m_nPid = -1;
        return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : 128 + WTERMSIG(nStatus);
      }
      if (std::chrono::steady_clock::now() > deadline) return -1;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
  }

  void Kill() {
    if (m_nPid <= 0) return;
    kill(m_nPid, SIGTERM);
    if (Wait(std::chrono::seconds(5)) == -1 && m_nPid > 0) {
      kill(m_nPid, SIGKILL);
      waitpid(m_nPid, nullptr, 0);
      m_nPid = -1;
    }
  }

  // False once the process has ended (it is then reaped).
  bool IsRunning() {
    if (m_nPid <= 0) return false;
    if (waitpid(m_nPid, nullptr, WNOHANG) == m_nPid) m_nPid = -1;
    return m_nPid > 0;
  }

 private:
  pid_t m_nPid = -1;
};

}  // namespace regtest
