#include "cNatNetwork.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <thread>

#include "tests/support/cChildProcess.h"

namespace {

// Forwarding with masquerade toward the outside, and the filtering of a home router: from
// outside only replies to flows opened from inside come in, and nothing else is answered.
const char* const kRuleset =
    "table ip kytnat {\n"
    "  chain forward {\n"
    "    type filter hook forward priority 0; policy drop;\n"
    "    ct state established,related accept\n"
    "    iifname \"vr0\" accept\n"
    "  }\n"
    "  chain input {\n"
    "    type filter hook input priority 0; policy drop;\n"
    "    ct state established,related accept\n"
    "    iifname \"lo\" accept\n"
    "  }\n"
    "  chain postrouting {\n"
    "    type nat hook postrouting priority 100;\n"
    "    oifname \"vr1\" masquerade\n"
    "  }\n"
    "}\n";

bool EnterNamespace(const std::string& sName) {
  const int nFd = open(("/var/run/netns/" + sName).c_str(), O_RDONLY | O_CLOEXEC);
  if (nFd < 0) return false;
  const bool bOk = setns(nFd, CLONE_NEWNET) == 0;
  close(nFd);
  return bOk;
}

}  // namespace

cNatNetwork::cNatNetwork(bool bBuild) {
  if (!bBuild) return;
  const std::string sTag = std::to_string(getpid());
  m_sInside = "kytnat-in-" + sTag;
  m_sRouter = "kytnat-rt-" + sTag;
  m_sOutside = "kytnat-out-" + sTag;
  m_sLog = "/tmp/kytnat-" + sTag + ".log";
  if (Build()) return;
  Remove();
}

cNatNetwork::~cNatNetwork() { Remove(); }

std::vector<std::string> cNatNetwork::OutsideLauncher() const {
  return {kyttest::cChildProcess::FindProgram("ip"), "netns", "exec", m_sOutside};
}

bool cNatNetwork::IsUdpTakenOutside(uint16_t nPort) const {
  // A namespace belongs to a thread: a short-lived one goes outside and tries the port.
  bool bTaken = false;
  std::thread probe([&] {
    if (!EnterNamespace(m_sOutside)) return;
    const int nFd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (nFd < 0) return;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(nPort);
    inet_pton(AF_INET, kOutsideIP, &addr.sin_addr);
    bTaken = bind(nFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 && errno == EADDRINUSE;
    close(nFd);
  });
  probe.join();
  return bTaken;
}

bool cNatNetwork::Build() {
  m_bUnavailable = true;
  if (geteuid() != 0) {
    m_sFailure = "network namespaces need root";
    return false;
  }
  const std::string sIp = kyttest::cChildProcess::FindProgram("ip");
  const std::string sNft = kyttest::cChildProcess::FindProgram("nft");
  if (sIp.empty() || sNft.empty()) {
    m_sFailure = "ip (iproute2) or nft (nftables) is not installed";
    return false;
  }
  // A container without the rights to make namespaces cannot run the test at all.
  if (!Run({sIp, "netns", "add", m_sInside})) return false;
  m_bUnavailable = false;
  const std::string& in = m_sInside;
  const std::string& rt = m_sRouter;
  const std::string& out = m_sOutside;
  const std::vector<std::vector<std::string>> steps = {
      {sIp, "netns", "add", rt},
      {sIp, "netns", "add", out},
      {sIp, "-n", rt, "link", "add", "vr0", "type", "veth", "peer", "name", "vi0", "netns", in},
      {sIp, "-n", rt, "link", "add", "vr1", "type", "veth", "peer", "name", "vo0", "netns", out},
      {sIp, "-n", in, "addr", "add", std::string(kInsideIP) + "/24", "dev", "vi0"},
      {sIp, "-n", rt, "addr", "add", "10.77.1.1/24", "dev", "vr0"},
      {sIp, "-n", rt, "addr", "add", std::string(kPublicIP) + "/24", "dev", "vr1"},
      {sIp, "-n", out, "addr", "add", std::string(kOutsideIP) + "/24", "dev", "vo0"},
      {sIp, "-n", in, "link", "set", "lo", "up"},
      {sIp, "-n", in, "link", "set", "vi0", "up"},
      {sIp, "-n", rt, "link", "set", "lo", "up"},
      {sIp, "-n", rt, "link", "set", "vr0", "up"},
      {sIp, "-n", rt, "link", "set", "vr1", "up"},
      {sIp, "-n", out, "link", "set", "lo", "up"},
      {sIp, "-n", out, "link", "set", "vo0", "up"},
      {sIp, "-n", in, "route", "add", "default", "via", "10.77.1.1"},
      {sIp, "netns", "exec", rt, "sysctl", "-q", "-w", "net.ipv4.ip_forward=1"},
  };
  for (const auto& argv : steps) {
    if (!Run(argv)) return false;
  }
  if (!Run({sIp, "netns", "exec", rt, sNft, "-f", "-"}, kRuleset)) return false;
  m_nHomeFd = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
  if (m_nHomeFd < 0 || !EnterNamespace(in)) {
    m_sFailure = "cannot enter the inside namespace";
    return false;
  }
  m_bInside = true;
  return true;
}

bool cNatNetwork::Run(const std::vector<std::string>& argv, const std::string& sInput) {
  // The input (an nftables ruleset) goes through a file: the child's stdin is /dev/null.
  std::vector<std::string> command = argv;
  if (!sInput.empty()) {
    const std::string sFile = m_sLog + ".in";
    FILE* pFile = fopen(sFile.c_str(), "w");
    if (pFile == nullptr) return false;
    fputs(sInput.c_str(), pFile);
    fclose(pFile);
    command.back() = sFile;
  }
  kyttest::cChildProcess process;
  const bool bOk = process.Start(command, m_sLog) && process.Wait(std::chrono::seconds(10)) == 0;
  if (!bOk) {
    std::string sLine;
    for (const std::string& s : argv) sLine += s + " ";
    m_sFailure = "failed: " + sLine;
  }
  return bOk;
}

void cNatNetwork::Remove() {
  if (m_nHomeFd >= 0) {
    setns(m_nHomeFd, CLONE_NEWNET);
    close(m_nHomeFd);
    m_nHomeFd = -1;
  }
  m_bInside = false;
  if (m_sInside.empty()) return;
  const std::string sIp = kyttest::cChildProcess::FindProgram("ip");
  // Deleting a namespace takes its veth ends with it.
  for (const std::string& sName : {m_sInside, m_sRouter, m_sOutside}) {
    kyttest::cChildProcess process;
    if (process.Start({sIp, "netns", "del", sName}, "/dev/null")) {
      process.Wait(std::chrono::seconds(10));
    }
  }
  std::remove((m_sLog + ".in").c_str());
  std::remove(m_sLog.c_str());
  m_sInside.clear();
}
