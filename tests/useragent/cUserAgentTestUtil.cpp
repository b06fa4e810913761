#include "cUserAgentTestUtil.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <strings.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

extern char** environ;

namespace uatest {

void cRecordingLib::Add(const std::string& sName, const std::string& sArgs) {
  if (m_OnEvent) m_OnEvent(sName);
  m_Events.push_back(sArgs.empty() ? sName : sName + " " + sArgs);
}

bool cRecordingLib::Heard(const std::string& sPrefix) const { return Count(sPrefix) > 0; }

size_t cRecordingLib::Count(const std::string& sPrefix) const {
  size_t n = 0;
  for (const auto& e : m_Events) {
    if (e.compare(0, sPrefix.size(), sPrefix) == 0) ++n;
  }
  return n;
}

cRawPeer::cRawPeer(cMainLoop* pLoop) {
  m_Socket.Bind("127.0.0.1", 0);
  m_Socket.StartReader(pLoop, [this](const std::string& data, const std::string&, uint16_t) {
    m_Received.push_back(data);
  });
}

void cRawPeer::SendTo(uint16_t nPort, const std::string& sText) {
  m_Socket.SendTo("127.0.0.1", nPort, sText.data(), sText.size());
}

uint16_t FreeUdpPort() {
  cUdpSocket probe;
  probe.Bind("127.0.0.1", 0);
  return probe.GetLocalPort();
}

cChildProcess::cChildProcess(const std::vector<std::string>& argv, const std::string& sLogFile) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, sLogFile.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  pid_t pid = -1;
  if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) {
    m_nPid = pid;
  } else {
    m_nExitCode = 127;
  }
  posix_spawn_file_actions_destroy(&actions);
}

cChildProcess::~cChildProcess() {
  if (m_nPid > 0) {
    kill(m_nPid, SIGTERM);
    int status = 0;
    waitpid(m_nPid, &status, 0);
  }
}

bool cChildProcess::Done() {
  if (m_nPid <= 0) return true;
  int status = 0;
  if (waitpid(m_nPid, &status, WNOHANG) != m_nPid) return false;
  m_nPid = -1;
  m_nExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return true;
}

std::string DataFile(const std::string& sName) {
  return std::string(KYT_UA_TEST_DATA) + "/" + sName;
}

std::string ReadText(const std::string& sPath) {
  std::ifstream in(sPath);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string HeaderOf(const std::string& sMessage, const std::string& sName) {
  std::istringstream in(sMessage);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) break;
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    if (strcasecmp(line.substr(0, colon).c_str(), sName.c_str()) != 0) continue;
    std::string value = line.substr(colon + 1);
    const size_t first = value.find_first_not_of(' ');
    const size_t last = value.find_last_not_of(' ');
    return first == std::string::npos ? "" : value.substr(first, last - first + 1);
  }
  return "";
}

std::string StartLineOf(const std::string& sMessage) {
  return sMessage.substr(0, sMessage.find("\r\n"));
}

}  // namespace uatest
