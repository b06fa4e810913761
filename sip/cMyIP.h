#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "util/cKytListSTR.h"
#include "util/cKytSTR.h"

// Lists the machine's IPv4 addresses and chooses the one announced in Via, Contact and SDP.
class cMyIP {
 public:
  // Reads the interfaces of the machine.
  cMyIP() = default;
  // Works on the given addresses instead, in the given order (for tests).
  explicit cMyIP(std::vector<std::string> addresses) : m_Addresses(std::move(addresses)) {}

  // Appends the dotted IPv4 addresses (loopback included) in interface order.
  void GetMyIPList(cKytListSTR& list) const;

  // Classification by the first octet's text.
  static bool IsPublicIP(const cKytSTR& ip);
  static bool IsLANIP(const cKytSTR& ip);
  static bool Is169IP(const cKytSTR& ip);

  // The first public address, else the first LAN one, else the first 169.x one; "127.0.0.1"
  // when there is no address at all; result untouched when none qualifies.
  void GetMyIP(cKytSTR& result) const;

 private:
  std::optional<std::vector<std::string>> m_Addresses;
};
