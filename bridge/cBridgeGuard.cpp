#include "bridge/cBridgeGuard.h"

#include <algorithm>

#include "platform/cRandom.h"

cBridgeGuard::cBridgeGuard(uint16_t nPort, std::vector<std::string> allowOrigins,
                           bool bAllowNoOrigin)
    : m_Origins(std::move(allowOrigins)), m_bAllowNoOrigin(bAllowNoOrigin) {
  for (const char* pHost : {"127.0.0.1", "localhost", "[::1]"}) {
    std::string host = std::string(pHost) + ":" + std::to_string(nPort);
    m_Hosts.push_back(host);
    m_Origins.push_back("http://" + host);
  }
}

bool cBridgeGuard::IsHostAllowed(const std::string& host) const {
  return std::find(m_Hosts.begin(), m_Hosts.end(), host) != m_Hosts.end();
}

bool cBridgeGuard::IsKnownOrigin(const std::string& origin) const {
  return std::find(m_Origins.begin(), m_Origins.end(), origin) != m_Origins.end();
}

bool cBridgeGuard::IsOriginAllowed(const std::string& origin, bool bHasOrigin,
                                   const std::string& fetchSite) const {
  if (bHasOrigin) return IsKnownOrigin(origin);
  if (!fetchSite.empty()) return fetchSite == "same-origin";
  return m_bAllowNoOrigin;
}

std::string cBridgeGuard::NewToken() {
  static const char kHex[] = "0123456789abcdef";
  unsigned char bytes[16];
  cRandom::Fill(bytes, sizeof(bytes));
  std::string token;
  for (unsigned char b : bytes) {
    token.push_back(kHex[b >> 4]);
    token.push_back(kHex[b & 15]);
  }
  return token;
}

bool cBridgeGuard::TokensEqual(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  unsigned char nDiff = 0;
  for (size_t i = 0; i < a.size(); ++i) nDiff |= static_cast<unsigned char>(a[i] ^ b[i]);
  return nDiff == 0;
}
