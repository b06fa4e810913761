#include "tests/support/cChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <thread>

extern char** environ;

namespace kyttest {

cChildProcess::~cChildProcess() { Kill(); }

std::string cChildProcess::FindProgram(const std::string& sName) {
  const char* pPath = getenv("PATH");
  std::string path = pPath ? pPath : "";
  path += ":/usr/sbin:/sbin:/usr/local/sbin";
  std::stringstream dirs(path);
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    std::string full = dir + "/" + sName;
    if (!dir.empty() && access(full.c_str(), X_OK) == 0) return full;
  }
  return "";
}

bool cChildProcess::Start(const std::vector<std::string>& argv, const std::string& sLogFile,
                          const std::string& sWorkDir) {
  if (argv.empty() || m_nPid > 0) return false;
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, sLogFile.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  if (!sWorkDir.empty()) posix_spawn_file_actions_addchdir_np(&actions, sWorkDir.c_str());
  pid_t pid = -1;
  m_bStarted = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  if (m_bStarted) {
    m_nPid = pid;
    m_nExitCode = -1;
  } else {
    m_nExitCode = 127;
  }
  return m_bStarted;
}

bool cChildProcess::Done() {
  if (m_nPid <= 0) return true;
  int nStatus = 0;
  if (waitpid(m_nPid, &nStatus, WNOHANG) != m_nPid) return false;
  m_nPid = -1;
  m_nExitCode = WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : 128 + WTERMSIG(nStatus);
  return true;
}

int cChildProcess::Wait(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!Done()) {
    if (std::chrono::steady_clock::now() >= deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return m_nExitCode;
}

void cChildProcess::Kill() {
  if (m_nPid <= 0) return;
  kill(m_nPid, SIGTERM);
  if (Wait(std::chrono::seconds(5)) != -1) return;
  kill(m_nPid, SIGKILL);
  int nStatus = 0;
  waitpid(m_nPid, &nStatus, 0);
  m_nPid = -1;
  m_nExitCode = 128 + SIGKILL;
}

}  // namespace kyttest
