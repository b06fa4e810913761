#include "tests/support/cTcpListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kyttest {

cTcpListener::cTcpListener(bool bListen) {
  m_nListen = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t nLength = sizeof addr;
  if (m_nListen < 0 || bind(m_nListen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      (bListen && listen(m_nListen, 4) != 0) ||
      getsockname(m_nListen, reinterpret_cast<sockaddr*>(&addr), &nLength) != 0)
    return;
  m_nPort = ntohs(addr.sin_port);
}

cTcpListener::~cTcpListener() {
  if (m_nConn >= 0) close(m_nConn);
  if (m_nListen >= 0) close(m_nListen);
}

bool cTcpListener::Accept() {
  if (m_nConn >= 0) close(m_nConn);
  m_nConn = accept(m_nListen, nullptr, nullptr);
  return m_nConn >= 0;
}

std::string cTcpListener::ReadWaiting() {
  std::string data;
  char buffer[4096];
  for (ssize_t n; m_nConn >= 0 && (n = recv(m_nConn, buffer, sizeof buffer, MSG_DONTWAIT)) > 0;)
    data.append(buffer, static_cast<size_t>(n));
  return data;
}

bool cTcpListener::Write(const std::string& data) {
  return m_nConn >= 0 &&
         write(m_nConn, data.data(), data.size()) == static_cast<ssize_t>(data.size());
}

bool cTcpListener::PeerClosed() {
  char buffer[4096];
  ssize_t n = 0;
  while (m_nConn >= 0 && (n = recv(m_nConn, buffer, sizeof buffer, MSG_DONTWAIT)) > 0) {
  }
  return n == 0;
}

}  // namespace kyttest
