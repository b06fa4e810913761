#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Local interface addresses and host-name look-up (IPv4, which is what the user agent speaks).
class cNetInterfaces {
 public:
  // Dotted IPv4 addresses of the interfaces that are up, in the system's order.
  static std::vector<std::string> GetIPv4Addresses();
  // Resolves a host name or dotted address to a dotted IPv4 address; empty on failure.
  static std::string Resolve(const std::string& host);
};
