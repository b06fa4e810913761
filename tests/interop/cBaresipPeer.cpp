#include "cBaresipPeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "tests/support/TextFile.h"
#include "tests/support/Wait.h"
#include "tests/support/cLoopbackPort.h"

using namespace std::chrono_literals;

namespace {

const char* const kModulePath = "/usr/lib/baresip/modules";
// g711 and gsm for the codecs, aufile as microphone, sndfile to keep what was heard, account
// for the accounts file, menu for auto-answer and dialling, ctrl_tcp to steer it.
const char* const kModules[] = {"g711", "gsm", "aufile", "sndfile", "account", "menu", "ctrl_tcp"};
// Its RTP and RTCP ports, for the calls of one test.
constexpr int kRtpPorts = 8;

// The value of "type" in one JSON event text, or empty.
std::string EventType(const std::string& sJson) {
  if (sJson.find("\"event\":true") == std::string::npos) return "";
  const std::string sKey = "\"type\":\"";
  const size_t nAt = sJson.find(sKey);
  if (nAt == std::string::npos) return "";
  const size_t nStart = nAt + sKey.size();
  const size_t nEnd = sJson.find('"', nStart);
  return nEnd == std::string::npos ? "" : sJson.substr(nStart, nEnd - nStart);
}

// JSON string contents for the texts we send (addresses and command names).
std::string JsonEscape(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

}  // namespace

cBaresipPeer::cBaresipPeer(std::string sDir, std::string sUser, std::string sCodecs,
                           std::string sSourceWave, std::string sAnswerMode)
    : m_sDir(std::move(sDir)),
      m_sUser(std::move(sUser)),
      m_sCodecs(std::move(sCodecs)),
      m_sSourceWave(std::move(sSourceWave)),
      m_sAnswerMode(std::move(sAnswerMode)) {}

cBaresipPeer::~cBaresipPeer() {
  if (m_nControlFd >= 0) close(m_nControlFd);
}

std::string cBaresipPeer::Uri() const {
  if (!m_sRegistrar.empty()) return "sip:" + m_sUser + "@" + m_sRegistrar;
  return "sip:" + m_sUser + "@" + m_Network.sAddress + ":" + std::to_string(m_nSipPort);
}

void cBaresipPeer::WriteConfig() const {
  std::ofstream config(m_sDir + "/config");
  config << "poll_method epoll\n"
         << "sip_listen " << m_Network.sAddress << ":" << m_nSipPort << "\n"
         << "net_interface " << m_Network.sAddress << "\n"
         << "call_local_timeout 120\n"
         << "call_max_calls 4\n"
         // No sound card here: the file is the microphone; what is heard is kept by sndfile.
         << "audio_source aufile," << m_sSourceWave << "\n"
         << "ausrc_srate 8000\n"
         << "ausrc_channels 1\n"
         << "auplay_srate 8000\n"
         << "auplay_channels 1\n"
         << "rtcp_mux no\n"
         << "rtp_ports " << m_nFirstRtpPort << "-" << m_nFirstRtpPort + kRtpPorts - 1
         << "\n"
         // Packet counts of each call in the log when it ends.
         << "rtp_stats yes\n"
         << "jitter_buffer_delay 1-10\n"
         << "module_path " << kModulePath << "\n";
  for (const char* pModule : {"g711", "gsm", "aufile", "sndfile"}) {
    config << "module " << pModule << ".so\n";
  }
  if (!m_sMediaEnc.empty()) config << "module srtp.so\n";
  config << "module_tmp account.so\n"
         << "module_app menu.so\n"
         << "module_app ctrl_tcp.so\n"
         << "ctrl_tcp_listen " << m_Network.sAddress << ":" << m_nControlPort << "\n"
         << "snd_path " << m_sDir << "\n";
  if (!m_sCaFile.empty()) config << "sip_cafile " << m_sCaFile << "\n";
  if (!m_sCertificate.empty()) config << "sip_certificate " << m_sCertificate << "\n";
  std::ofstream accounts(m_sDir + "/accounts");
  const bool bRegister = !m_sRegistrar.empty();
  accounts << "<sip:" << m_sUser << "@" << (bRegister ? m_sRegistrar : m_Network.sAddress)
           << (m_sTransport.empty() ? "" : ";transport=" + m_sTransport)
           << ">;regint=" << (bRegister ? 60 : 0) << ";answermode=" << m_sAnswerMode
           << ";audio_codecs=" << m_sCodecs
           << (m_sMediaEnc.empty() ? "" : ";mediaenc=" + m_sMediaEnc) << "\n";
}

bool cBaresipPeer::Start(cAsioMainLoop& loop) {
  for (const char* pModule : kModules) {
    const std::string sPath = std::string(kModulePath) + "/" + pModule + ".so";
    if (!std::filesystem::exists(sPath)) {
      m_sFailure = "baresip module " + sPath + " is missing (package baresip-core)";
      return false;
    }
  }
  // baresip also listens for SIP over TLS, on the port above its SIP port.
  m_nSipPort = kyttest::cLoopbackPort::FreeUdp(2);
  m_nControlPort = kyttest::cLoopbackPort::FreeUdp();
  m_nFirstRtpPort = kyttest::cLoopbackPort::FreeUdp(kRtpPorts);
  if (m_nSipPort == 0 || m_nControlPort == 0 || m_nFirstRtpPort == 0) {
    m_sFailure = "no free loopback ports";
    return false;
  }
  WriteConfig();
  // -s: SIP trace in the log, shown when a test fails.
  m_pProcess = std::make_unique<kyttest::cChildProcess>();
  std::vector<std::string> argv = m_Network.launcher;
  for (const char* pWord : {"baresip", "-f", m_sDir.c_str(), "-s"}) argv.emplace_back(pWord);
  if (!m_pProcess->Start(argv, m_sDir + "/baresip.log")) {
    m_sFailure = "baresip cannot be run (package baresip-core)";
    return false;
  }
  const bool bUp = kyttest::RunLoopUntil(
      loop, [&] { return m_pProcess->Done() || ConnectControl(); }, 10s);
  if (m_nControlFd < 0) {
    m_sFailure = m_pProcess->Done()
                     ? "baresip ended with code " + std::to_string(m_pProcess->ExitCode())
                     : std::string(bUp ? "" : "baresip's control port did not open in time");
    return false;
  }
  // The SIP socket is bound before the control module loads, but check rather than trust.
  if (!m_Network.fnIsUdpTaken(m_nSipPort)) {
    m_sFailure = "baresip did not bind its SIP port";
    return false;
  }
  return true;
}

bool cBaresipPeer::ConnectControl() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return false;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  inet_pton(AF_INET, m_Network.sAddress.c_str(), &addr.sin_addr);
  addr.sin_port = htons(m_nControlPort);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return false;
  }
  m_nControlFd = fd;
  return true;
}

bool cBaresipPeer::Stop(cAsioMainLoop& loop) {
  if (!m_pProcess) return false;
  Command("quit");
  const bool bEnded = kyttest::RunLoopUntil(
      loop, [&] { return m_pProcess->Done(); }, 10s);
  m_pProcess.reset();
  if (m_nControlFd >= 0) close(m_nControlFd);
  m_nControlFd = -1;
  return bEnded;
}

bool cBaresipPeer::Command(const std::string& sCommand, const std::string& sParams) {
  if (m_nControlFd < 0) return false;
  const std::string sJson = "{\"command\":\"" + JsonEscape(sCommand) + "\",\"params\":\"" +
                            JsonEscape(sParams) + "\",\"token\":\"test\"}";
  const std::string sFrame = std::to_string(sJson.size()) + ":" + sJson + ",";
  size_t nSent = 0;
  while (nSent < sFrame.size()) {
    const ssize_t n =
        send(m_nControlFd, sFrame.data() + nSent, sFrame.size() - nSent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    nSent += static_cast<size_t>(n);
  }
  return true;
}

void cBaresipPeer::Pump() {
  if (m_nControlFd < 0) return;
  char buf[4096];
  ssize_t n;
  while ((n = recv(m_nControlFd, buf, sizeof buf, MSG_DONTWAIT)) > 0) {
    m_sControlBuffer.append(buf, static_cast<size_t>(n));
  }
  // Netstrings: "<length>:<payload>,".
  for (;;) {
    const size_t nColon = m_sControlBuffer.find(':');
    if (nColon == std::string::npos || nColon == 0 || nColon > 9) return;
    if (m_sControlBuffer.find_first_not_of("0123456789") != nColon) {
      m_sControlBuffer.clear();
      return;
    }
    const size_t nLen = std::stoul(m_sControlBuffer.substr(0, nColon));
    if (m_sControlBuffer.size() < nColon + 1 + nLen + 1) return;
    m_Messages.push_back(m_sControlBuffer.substr(nColon + 1, nLen));
    m_sControlBuffer.erase(0, nColon + 1 + nLen + 1);
  }
}

bool cBaresipPeer::HeardEvent(const std::string& sType) {
  Pump();
  return !EventText(sType).empty();
}

std::string cBaresipPeer::EventText(const std::string& sType) const {
  for (const auto& sJson : m_Messages) {
    if (EventType(sJson) == sType) return sJson;
  }
  return "";
}

std::vector<std::string> cBaresipPeer::EventParams(const std::string& sType) const {
  std::vector<std::string> params;
  const std::string sKey = "\"param\":\"";
  for (const auto& sJson : m_Messages) {
    const size_t nAt = sJson.find(sKey);
    if (EventType(sJson) != sType || nAt == std::string::npos) continue;
    const size_t nStart = nAt + sKey.size();
    params.push_back(sJson.substr(nStart, sJson.find('"', nStart) - nStart));
  }
  return params;
}

std::string cBaresipPeer::DecodedWave() const {
  std::string sNewest;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(m_sDir, ec)) {
    const std::string sName = entry.path().filename().string();
    if (sName.rfind("dump-", 0) == 0 && sName.size() > 8 &&
        sName.compare(sName.size() - 8, 8, "-dec.wav") == 0 && entry.path().string() > sNewest) {
      sNewest = entry.path().string();
    }
  }
  return sNewest;
}

int cBaresipPeer::ReceivedPackets() const {
  // "audio  Transmit:  Receive:" then "packets:  <sent>  <received>".
  const std::string sLog = Log();
  const size_t nTable = sLog.rfind("Transmit:");
  if (nTable == std::string::npos) return -1;
  const size_t nRow = sLog.find("packets:", nTable);
  if (nRow == std::string::npos) return -1;
  std::istringstream row(sLog.substr(nRow + 8, 64));
  int nSent = -1, nReceived = -1;
  row >> nSent >> nReceived;
  return nReceived;
}

std::string cBaresipPeer::Log() const { return kyttest::ReadText(m_sDir + "/baresip.log"); }
