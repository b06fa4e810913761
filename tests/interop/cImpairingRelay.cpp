#include "cImpairingRelay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <random>

#include "tests/support/cLoopbackPort.h"

namespace {

using tClock = std::chrono::steady_clock;

// A UDP socket of 127.0.0.1 bound to nPort, or -1.
int BindUdp(uint16_t nPort) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(nPort);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) return fd;
  if (fd >= 0) close(fd);
  return -1;
}

void SendTo(int fd, const std::string& sData, uint16_t nPort) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(nPort);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  sendto(fd, sData.data(), sData.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

std::string Receive(int fd, uint16_t& nFromPort) {
  char buffer[4096];
  sockaddr_in from{};
  socklen_t nLength = sizeof from;
  const ssize_t n =
      recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &nLength);
  nFromPort = ntohs(from.sin_port);
  return n > 0 ? std::string(buffer, size_t(n)) : std::string();
}

uint32_t Word(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

}  // namespace

cImpairingRelay::cImpairingRelay(uint16_t nSipA, uint16_t nSipB) : m_nSipOf{nSipA, nSipB} {
  m_nSipPort = kyttest::cLoopbackPort::FreeUdp();
  m_nSip = BindUdp(m_nSipPort);
  m_nRtpPort = kyttest::cLoopbackPort::FreeUdp(2);
  m_nRtp = BindUdp(m_nRtpPort);
  m_nRtcp = BindUdp(uint16_t(m_nRtpPort + 1));
  m_Thread = std::thread([this] { Loop(); });
}

cImpairingRelay::~cImpairingRelay() {
  m_bStop = true;
  m_Thread.join();
  for (int fd : {m_nSip, m_nRtp, m_nRtcp}) {
    if (fd >= 0) close(fd);
  }
}

std::vector<cImpairingRelay::sReport> cImpairingRelay::ReportsAbout(eDirection eFrom) const {
  std::lock_guard<std::mutex> lock(m_Mutex);
  return m_Reports[eFrom];
}

void cImpairingRelay::Loop() {
  std::mt19937 random[2] = {std::mt19937(20261208), std::mt19937(20261209)};
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  // Delayed RTP: when it is due, and to which side's port.
  std::multimap<tClock::time_point, std::pair<eDirection, std::string>> pending;
  while (!m_bStop) {
    pollfd fds[3] = {{m_nSip, POLLIN, 0}, {m_nRtp, POLLIN, 0}, {m_nRtcp, POLLIN, 0}};
    poll(fds, 3, 2);
    uint16_t nFrom = 0;
    if (fds[0].revents & POLLIN) {
      std::string sText = Receive(m_nSip, nFrom);
      const eDirection eFrom = nFrom == m_nSipOf[kFromA] ? kFromA : kFromB;
      uint16_t nMedia = m_nMediaPort[eFrom];
      if (!sText.empty()) SendTo(m_nSip, Rewrite(std::move(sText), nMedia), m_nSipOf[1 - eFrom]);
      m_nMediaPort[eFrom] = nMedia;
    }
    if (fds[1].revents & POLLIN) {
      std::string sPacket = Receive(m_nRtp, nFrom);
      const eDirection eFrom = nFrom == m_nMediaPort[kFromA] ? kFromA : kFromB;
      if (!sPacket.empty() && (eFrom == kFromA || nFrom == m_nMediaPort[kFromB])) {
        ++m_nPackets[eFrom];
        if (unit(random[eFrom]) < 0.05) {
          ++m_nDropped[eFrom];
        } else {
          const double dMs = unit(random[eFrom]) < 0.01 ? 0.0 : 20.0 + 40.0 * unit(random[eFrom]);
          pending.emplace(tClock::now() + std::chrono::microseconds(long(dMs * 1000.0)),
                          std::make_pair(eFrom, std::move(sPacket)));
        }
      }
    }
    if (fds[2].revents & POLLIN) {
      const std::string sPacket = Receive(m_nRtcp, nFrom);
      const eDirection eFrom = nFrom == m_nMediaPort[kFromA] + 1 ? kFromA : kFromB;
      if (!sPacket.empty() && (eFrom == kFromA || nFrom == m_nMediaPort[kFromB] + 1)) {
        OnRtcp(reinterpret_cast<const uint8_t*>(sPacket.data()), sPacket.size(), eFrom);
        SendTo(m_nRtcp, sPacket, uint16_t(m_nMediaPort[1 - eFrom] + 1));
      }
    }
    while (!pending.empty() && pending.begin()->first <= tClock::now()) {
      const auto& [eFrom, sPacket] = pending.begin()->second;
      SendTo(m_nRtp, sPacket, m_nMediaPort[1 - eFrom]);
      pending.erase(pending.begin());
    }
  }
}

// Every report block of a compound packet from eFrom's side describes the other side's stream.
void cImpairingRelay::OnRtcp(const uint8_t* pData, size_t nLength, eDirection eFrom) {
  const int nAbout = 1 - eFrom;
  while (nLength >= 8 && (pData[0] >> 6) == 2) {
    const size_t nSize = 4 * (size_t(pData[2]) << 8 | pData[3]) + 4;
    if (nSize > nLength) return;
    const int nType = pData[1];
    // Sender reports carry 20 bytes of sender information before their blocks.
    const size_t nFirst = nType == 200 ? 28 : nType == 201 ? 8 : nSize;
    std::lock_guard<std::mutex> lock(m_Mutex);
    for (size_t nAt = nFirst, nBlock = 0; nBlock < size_t(pData[0] & 0x1f) && nAt + 24 <= nSize;
         ++nBlock, nAt += 24) {
      const uint8_t* p = pData + nAt;
      // The cumulative count is a signed 24-bit number.
      const int32_t nLost = int32_t(Word(p + 4) << 8) >> 8;
      m_Reports[nAbout].push_back(
          {p[4] / 256.0, nLost, Word(p + 12), m_nPackets[nAbout], m_nDropped[nAbout]});
    }
    pData += nSize;
    nLength -= nSize;
  }
}

// Ports here are all five digits, so the body keeps its length.
std::string cImpairingRelay::Rewrite(std::string sText, uint16_t& nRtp) const {
  const size_t at = sText.find("m=audio ");
  if (at == std::string::npos || at + 13 > sText.size()) return sText;
  nRtp = uint16_t(std::stoi(sText.substr(at + 8, 5)));
  return sText.replace(at + 8, 5, std::to_string(m_nRtpPort));
}
