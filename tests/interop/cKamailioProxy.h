#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "cPeerNetwork.h"
#include "tests/support/cChildProcess.h"

// Kamailio as the registrar and record-routing proxy between two user agents, on 127.0.0.1 at
// a port of its own, with its log in a folder the test gives.
class cKamailioProxy {
 public:
  explicit cKamailioProxy(std::string sDir) : m_sDir(std::move(sDir)) {}

  // Before Start: run it there instead of on 127.0.0.1 here.
  void SetNetwork(cPeerNetwork network) { m_Network = std::move(network); }
  // Before Start: take TCP on the same port too and TLS on the next one, with this TLS
  // settings file (certificate and key); alice must then register with the password "pw".
  void SetStreams(std::string sTlsConfig) { m_sTlsConfig = std::move(sTlsConfig); }
  uint16_t TlsPort() const { return static_cast<uint16_t>(m_nPort + 1); }
  // Starts it and waits for its port; false (with the reason in Failure()) otherwise.
  bool Start();
  // Stops it and starts it again on the same ports, as its clients see a server restart; its
  // log starts afresh.
  bool Restart();
  uint16_t Port() const { return m_nPort; }
  // "127.0.0.1:port": the domain both agents register in.
  std::string HostPort() const { return m_Network.sAddress + ":" + std::to_string(m_nPort); }
  std::string Log() const;
  const std::string& Failure() const { return m_sFailure; }

 private:
  bool Launch();

  std::string m_sDir;
  uint16_t m_nPort = 0;
  kyttest::cChildProcess m_Process;
  std::string m_sFailure;
  std::string m_sTlsConfig;
  cPeerNetwork m_Network;
};
