#include "cKamailioProxy.h"

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/TextFile.h"
#include "tests/support/Wait.h"
#include "tests/support/cLoopbackPort.h"

using namespace std::chrono_literals;

bool cKamailioProxy::Start() {
  const std::string sProgram = kyttest::cChildProcess::FindProgram("kamailio");
  if (sProgram.empty()) {
    m_sFailure = "kamailio is not installed (Debian package kamailio)";
    return false;
  }
  m_nPort = kyttest::cLoopbackPort::FreeUdp(m_sTlsConfig.empty() ? 1 : 2);
  if (m_nPort == 0) {
    m_sFailure = "no free loopback port";
    return false;
  }
  return Launch();
}

bool cKamailioProxy::Restart() {
  m_Process.Kill();
  return Launch();
}

bool cKamailioProxy::Launch() {
  const std::string sProgram = kyttest::cChildProcess::FindProgram("kamailio");
  std::vector<std::string> argv = m_Network.launcher;
  for (const std::string& sWord :
       {sProgram, std::string("-f"), std::string(KYT_INTEROP_TEST_DATA) + "/kamailio_proxy.cfg",
        std::string("-DD"), std::string("-E"), std::string("-n"), std::string("1"),
        std::string("-l"), "udp:" + HostPort(), std::string("-w"), m_sDir, std::string("-Y"),
        m_sDir}) {
    argv.push_back(sWord);
  }
  if (!m_sTlsConfig.empty()) {
    const std::string sAddress = m_Network.sAddress;
    for (const std::string& sWord :
         {std::string("-l"), "tcp:" + HostPort(), std::string("-l"),
          "tls:" + sAddress + ":" + std::to_string(TlsPort()), std::string("-A"),
          std::string("WITH_STREAMS"), std::string("-A"), "TLS_CONFIG=\"" + m_sTlsConfig + "\""})
      argv.push_back(sWord);
  }
  if (!m_Process.Start(argv, m_sDir + "/kamailio.log")) {
    m_sFailure = "kamailio cannot be run";
    return false;
  }
  kyttest::PollUntil([&] { return m_Process.Done() || m_Network.fnIsUdpTaken(m_nPort); }, 20s);
  if (m_Process.Done() || !m_Network.fnIsUdpTaken(m_nPort)) {
    m_sFailure = "kamailio did not come up: " + Log();
    return false;
  }
  return true;
}

std::string cKamailioProxy::Log() const { return kyttest::ReadText(m_sDir + "/kamailio.log"); }
