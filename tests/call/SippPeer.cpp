#include "SippPeer.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace {

std::string FindSipp() {
  std::string path = getenv("PATH") ? getenv("PATH") : "";
  std::stringstream dirs(path);
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    std::string full = dir + "/sipp";
    if (!dir.empty() && access(full.c_str(), X_OK) == 0) return full;
  }
  return "";
}

bool BindsUdp(uint16_t nPort) {
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(nPort);
  bool bFree = bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0;
  close(fd);
  return bFree;
}

}  // namespace

uint16_t FreeUdpPort() {
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

SippPeer::SippPeer() {
  char pattern[] = "/tmp/kyt-call-sipp-XXXXXX";
  if (const char* p = mkdtemp(pattern)) m_Dir = p;
}

SippPeer::~SippPeer() {
  Stop();
  if (!m_Dir.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(m_Dir, ec);
  }
}

bool SippPeer::Start(const std::string& scenario, const std::string& remote,
                     const std::vector<std::pair<std::string, std::string>>& keys) {
  std::string sipp = FindSipp();
  if (sipp.empty() || m_Dir.empty()) return false;
  m_nPort = FreeUdpPort();
  // The scenario with its placeholders filled in, written beside SIPp's logs.
  std::ifstream in(std::string(KYT_CALL_TEST_DATA) + "/" + scenario);
  std::stringstream source;
  source << in.rdbuf();
  std::string text = source.str();
  if (text.empty()) return false;
  for (const auto& [key, value] : keys) {
    std::string mark = "%" + key + "%";
    for (size_t nPos = text.find(mark); nPos != std::string::npos;
         nPos = text.find(mark, nPos + value.size())) {
      text.replace(nPos, mark.size(), value);
    }
  }
  std::string filled = m_Dir + "/" + scenario;
  std::ofstream(filled) << text;
  std::vector<std::string> args = {sipp,
                                   "-sf",
                                   filled,
                                   "-i",
                                   "127.0.0.1",
                                   "-p",
                                   std::to_string(m_nPort),
                                   "-m",
                                   "1",
                                   "-nostdin",
                                   "-timeout",
                                   "30s",
                                   "-timeout_error",
                                   "-trace_err",
                                   "-error_file",
                                   m_Dir + "/errors.log"};
  if (!remote.empty()) args.push_back(remote);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  std::string log = m_Dir + "/sipp.log";
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawn_file_actions_addchdir_np(&actions, m_Dir.c_str());
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  int nResult = posix_spawn(&m_nPid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (nResult != 0) {
    m_nPid = -1;
    return false;
  }
  // Ready once it holds its port (bounded: SIPp binds within a few hundred milliseconds).
  for (int i = 0; i < 500 && !IsListening(); ++i) {
    if (HasExited()) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return IsListening();
}

bool SippPeer::IsListening() const { return m_nPort != 0 && !BindsUdp(m_nPort); }

bool SippPeer::HasExited() {
  if (m_nPid <= 0) return m_nExitCode != -1;
  int nStatus = 0;
  if (waitpid(m_nPid, &nStatus, WNOHANG) != m_nPid) return false;
  m_nPid = -1;
  m_nExitCode = WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : 128 + WTERMSIG(nStatus);
  return true;
}

std::string SippPeer::Output() const {
  std::string out;
  for (const char* pName : {"/sipp.log", "/errors.log"}) {
    std::ifstream in(m_Dir + pName);
    std::stringstream text;
    text << in.rdbuf();
    out += text.str();
  }
  return out;
}

void SippPeer::Stop() {
  if (m_nPid <= 0) return;
  kill(m_nPid, SIGTERM);
  for (int i = 0; i < 100 && !HasExited(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (m_nPid > 0) {
    kill(m_nPid, SIGKILL);
    waitpid(m_nPid, nullptr, 0);
    m_nPid = -1;
  }
}
