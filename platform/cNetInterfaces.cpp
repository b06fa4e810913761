#include "platform/cNetInterfaces.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

std::vector<std::string> cNetInterfaces::GetIPv4Addresses() {
  std::vector<std::string> out;
  ifaddrs* pList = nullptr;
  if (getifaddrs(&pList) != 0) return out;
  for (ifaddrs* p = pList; p; p = p->ifa_next) {
    if (!p->ifa_addr || p->ifa_addr->sa_family != AF_INET || !(p->ifa_flags & IFF_UP)) continue;
    char buf[INET_ADDRSTRLEN] = {};
    auto* sin = reinterpret_cast<sockaddr_in*>(p->ifa_addr);
    if (inet_ntop(AF_INET, &sin->sin_addr, buf, sizeof buf)) out.emplace_back(buf);
  }
  freeifaddrs(pList);
  return out;
}

std::string cNetInterfaces::Resolve(const std::string& host) {
  if (host.empty()) return {};
  in_addr a{};
  if (inet_pton(AF_INET, host.c_str(), &a) == 1) return host;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* pRes = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &pRes) != 0 || !pRes) return {};
  char buf[INET_ADDRSTRLEN] = {};
  auto* sin = reinterpret_cast<sockaddr_in*>(pRes->ai_addr);
  std::string out = inet_ntop(AF_INET, &sin->sin_addr, buf, sizeof buf) ? buf : "";
  freeaddrinfo(pRes);
  return out;
}

std::string cNetInterfaces::GetRouteSource(const std::string& destIP) {
  sockaddr_in dest{};
  dest.sin_family = AF_INET;
  // Any port: connecting a UDP socket only looks the route up.
  dest.sin_port = htons(9);
  if (inet_pton(AF_INET, destIP.c_str(), &dest.sin_addr) != 1) return {};
  const int nFd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (nFd < 0) return {};
  std::string out;
  sockaddr_in local{};
  socklen_t nLen = sizeof local;
  if (connect(nFd, reinterpret_cast<const sockaddr*>(&dest), sizeof dest) == 0 &&
      getsockname(nFd, reinterpret_cast<sockaddr*>(&local), &nLen) == 0) {
    char buf[INET_ADDRSTRLEN] = {};
    if (inet_ntop(AF_INET, &local.sin_addr, buf, sizeof buf)) out = buf;
  }
  close(nFd);
  return out == "0.0.0.0" ? std::string() : out;
}
