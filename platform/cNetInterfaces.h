#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Local interface addresses and host-name look-up (IPv4, which is what the user agent speaks).
class cNetInterfaces {
 public:
  // Dotted IPv4 addresses of the interfaces that are up, in the system's order.
  static std::vector<std::string> GetIPv4Addresses();
  // The local address the kernel would send from toward the dotted IPv4 address destIP (the
  // local side of a connected UDP socket; nothing is sent); empty when there is no route or
  // destIP is not a dotted address.
  static std::string GetRouteSource(const std::string& destIP);
  // Resolves a host name or dotted address to a dotted IPv4 address; empty on failure.
  static std::string Resolve(const std::string& host);
};
