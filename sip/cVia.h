#pragma once

#include <cstdint>

#include "util/cKytSTR.h"

// Via header values of UDP transport. Stateless.
class cVia {
 public:
  // "SIP/2.0/UDP host:port;rport;branch=..."
  static void Construct(const cKytSTR& host, int32_t nPort, const cKytSTR& branch, cKytSTR& value);
  // Host, port and branch of a UDP Via, all in lower case. False for any other transport;
  // branch is left untouched when the value has none.
  static bool Parse(const cKytSTR& value, cKytSTR& host, int32_t& nPort, cKytSTR& branch);
  static bool GetHostPort(const cKytSTR& value, cKytSTR& host, int32_t& nPort);
  static bool GetBranch(const cKytSTR& value, cKytSTR& branch);
};
