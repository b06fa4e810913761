#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Who may talk to the bridge. A local server that places calls is worth attacking from any web
// page the user opens, so the answer is no unless the request names the bridge itself as its
// host (no DNS rebinding) and comes from the bridge's own pages or an origin the user allowed.
class cBridgeGuard {
 public:
  cBridgeGuard(uint16_t nPort, std::vector<std::string> allowOrigins, bool bAllowNoOrigin);

  // The Host header is 127.0.0.1:N, localhost:N or [::1]:N with the bridge's port.
  bool IsHostAllowed(const std::string& host) const;
  // Whether a request with this Origin (bHasOrigin false: none) may use the phone. A browser
  // leaves Origin out of same-origin GET requests but then says so in Sec-Fetch-Site, a header
  // no page can set.
  bool IsOriginAllowed(const std::string& origin, bool bHasOrigin,
                       const std::string& fetchSite) const;
  // An origin that CORS answers may name: the bridge's own ones and the allowed ones.
  bool IsKnownOrigin(const std::string& origin) const;

  // 128 bits from the system's cryptographic generator, as 32 hex digits.
  static std::string NewToken();
  // Compares in time that depends only on the lengths, so that a guesser learns nothing from it.
  static bool TokensEqual(const std::string& a, const std::string& b);

 private:
  std::vector<std::string> m_Hosts;    // host:port forms of the bridge itself
  std::vector<std::string> m_Origins;  // its own origins and the allowed ones
  bool m_bAllowNoOrigin;
};
