#include "cUserAgentTestUtil.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/cUdpSocket.h"

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

std::string DataFile(const std::string& sName) {
  return std::string(KYT_UA_TEST_DATA) + "/" + sName;
}

bool WaitUntil(cAsioMainLoop& loop, const std::function<bool()>& pred,
               std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!pred()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    loop.RunFor(std::chrono::milliseconds(10));
  }
  return true;
}

uint16_t FreeUdpPort() {
  cUdpSocket probe;
  probe.Bind("127.0.0.1", 0);
  return probe.GetLocalPort();
}

bool IsUdpPortTaken(uint16_t nPort) {
  cUdpSocket probe;
  return !probe.Bind("127.0.0.1", nPort);
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

cScratchDir::cScratchDir() {
  std::string sTemplate = ::testing::TempDir() + "ua_XXXXXX";
  if (char* pDir = mkdtemp(sTemplate.data())) m_sPath = pDir;
}

cScratchDir::~cScratchDir() {
  std::error_code ec;
  if (!m_sPath.empty()) std::filesystem::remove_all(m_sPath, ec);
}

std::string ReadText(const std::string& sPath) {
  std::ifstream in(sPath);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

namespace {
void Put32(std::ofstream& out, uint32_t v) {
  const char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
  out.write(b, 4);
}
void Put16(std::ofstream& out, uint16_t v) {
  const char b[2] = {char(v), char(v >> 8)};
  out.write(b, 2);
}
uint32_t Get32(const std::string& s, size_t at) {
  return uint32_t(uint8_t(s[at])) | uint32_t(uint8_t(s[at + 1])) << 8 |
         uint32_t(uint8_t(s[at + 2])) << 16 | uint32_t(uint8_t(s[at + 3])) << 24;
}
}  // namespace

void WriteWave(const std::string& sPath, const std::vector<int16_t>& samples) {
  std::ofstream out(sPath, std::ios::binary);
  const uint32_t nData = static_cast<uint32_t>(samples.size() * 2);
  out.write("RIFF", 4);
  Put32(out, 36 + nData);
  out.write("WAVEfmt ", 8);
  Put32(out, 16);
  Put16(out, 1);
  Put16(out, 1);
  Put32(out, 8000);
  Put32(out, 16000);
  Put16(out, 2);
  Put16(out, 16);
  out.write("data", 4);
  Put32(out, nData);
  for (int16_t v : samples) Put16(out, static_cast<uint16_t>(v));
}

std::vector<int16_t> ReadWave(const std::string& sPath) {
  const std::string s = ReadText(sPath);
  std::vector<int16_t> samples;
  if (s.size() < 12 || s.compare(0, 4, "RIFF") != 0 || s.compare(8, 4, "WAVE") != 0) {
    return samples;
  }
  for (size_t at = 12; at + 8 <= s.size();) {
    const uint32_t nSize = Get32(s, at + 4);
    if (s.compare(at, 4, "data") == 0) {
      const size_t nBytes = std::min<size_t>(nSize, s.size() - at - 8);
      samples.resize(nBytes / 2);
      if (!samples.empty()) std::memcpy(samples.data(), s.data() + at + 8, samples.size() * 2);
      return samples;
    }
    at += 8 + nSize + (nSize & 1);
  }
  return samples;
}

std::vector<int16_t> Tone(double dFreqHz, int nAmplitude, int nSamples) {
  std::vector<int16_t> out(static_cast<size_t>(nSamples));
  for (int i = 0; i < nSamples; ++i) {
    out[static_cast<size_t>(i)] =
        static_cast<int16_t>(nAmplitude * std::sin(2.0 * M_PI * dFreqHz * i / 8000.0));
  }
  return out;
}

double ToneLevel(const int16_t* pSamples, size_t nSamples, double dFreqHz) {
  const double dCoeff = 2.0 * std::cos(2.0 * M_PI * dFreqHz / 8000.0);
  double s1 = 0, s2 = 0;
  for (size_t i = 0; i < nSamples; ++i) {
    const double s0 = pSamples[i] + dCoeff * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  return (s1 * s1 + s2 * s2 - dCoeff * s1 * s2) / (double(nSamples) * double(nSamples));
}

}  // namespace uatest
