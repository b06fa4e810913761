#include "platform/cUdpSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

#include "platform/cNetInterfaces.h"

namespace {
constexpr size_t kMaxDatagram = 65536;
}

cUdpSocket::~cUdpSocket() { Close(); }

bool cUdpSocket::Bind(const std::string& ip, uint16_t nPort) {
  if (m_nFd >= 0) return false;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(nPort);
  if (ip.empty() || ip == "0.0.0.0") {
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
  } else if (inet_pton(AF_INET, ip.c_str(), &addr.sin_addr) != 1) {
    return false;
  }
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return false;
  }
  m_nFd = fd;
  return true;
}

uint16_t cUdpSocket::GetLocalPort() const {
  if (m_nFd < 0) return 0;
  sockaddr_in addr{};
  socklen_t len = sizeof addr;
  if (getsockname(m_nFd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return 0;
  return ntohs(addr.sin_port);
}

bool cUdpSocket::StartReader(cMainLoop* pLoop, ReceiveFn fn, size_t nMaxQueued) {
  if (m_nFd < 0 || m_Reader.joinable() || !pLoop || !fn) return false;
  m_nWakeFd = eventfd(0, EFD_CLOEXEC);
  if (m_nWakeFd < 0) return false;
  m_pAlive = std::make_shared<std::atomic<bool>>(true);
  m_pQueue = std::make_shared<sQueue>();
  m_pQueue->nMax = nMaxQueued;
  m_Reader = std::thread(&cUdpSocket::ReadLoop, this, pLoop, std::move(fn));
  return true;
}

void cUdpSocket::ReadLoop(cMainLoop* pLoop, ReceiveFn fn) {
  auto pFn = std::make_shared<ReceiveFn>(std::move(fn));
  std::vector<char> buf(kMaxDatagram);
  pollfd fds[2] = {{m_nFd, POLLIN, 0}, {m_nWakeFd, POLLIN, 0}};
  for (;;) {
    if (poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents) return;
    if (!(fds[0].revents & POLLIN)) continue;
    sockaddr_in from{};
    socklen_t len = sizeof from;
    ssize_t n =
        recvfrom(m_nFd, buf.data(), buf.size(), 0, reinterpret_cast<sockaddr*>(&from), &len);
    if (n <= 0) continue;
    if (m_pQueue->nMax > 0 && m_pQueue->nWaiting.load() >= m_pQueue->nMax) {
      ++m_pQueue->nDropped;
      continue;
    }
    ++m_pQueue->nWaiting;
    char ip[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &from.sin_addr, ip, sizeof ip);
    pLoop->Post([pAlive = m_pAlive, pQueue = m_pQueue, pFn,
                 data = std::string(buf.data(), static_cast<size_t>(n)), fromIp = std::string(ip),
                 nPort = ntohs(from.sin_port)] {
      --pQueue->nWaiting;
      if (pAlive->load()) (*pFn)(data, fromIp, nPort);
    });
  }
}

bool cUdpSocket::SendTo(const std::string& host, uint16_t nPort, const void* pData, size_t nLen) {
  if (m_nFd < 0) return false;
  std::string ip = cNetInterfaces::Resolve(host);
  if (ip.empty()) return false;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(nPort);
  if (inet_pton(AF_INET, ip.c_str(), &to.sin_addr) != 1) return false;
  ssize_t n = sendto(m_nFd, pData, nLen, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
  return n == static_cast<ssize_t>(nLen);
}

void cUdpSocket::Close() {
  if (m_pAlive) m_pAlive->store(false);
  if (m_Reader.joinable()) {
    uint64_t one = 1;
    (void)!write(m_nWakeFd, &one, sizeof one);
    m_Reader.join();
  }
  if (m_nWakeFd >= 0) ::close(m_nWakeFd);
  if (m_nFd >= 0) ::close(m_nFd);
  m_nWakeFd = -1;
  m_nFd = -1;
  m_pAlive.reset();
}
