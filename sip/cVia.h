#pragma once

#include <cstdint>

#include "sip/eTransportSIP.h"
#include "util/cKytSTR.h"

// Via header values of the UDP, TCP and TLS transports. Stateless. The sent-by host may be an IPv6
// literal in brackets. Only the first via-parm of a value is read or changed.
class cVia {
 public:
  // "SIP/2.0/UDP host:port;rport;branch=..." (TCP or TLS in place of UDP for those)
  static void Construct(const cKytSTR& host, int32_t nPort, const cKytSTR& branch, cKytSTR& value,
                        eTransportSIP transport = eTransportSIP::UDP);
  // The transport a Via names; false for one we do not speak.
  static bool GetTransport(const cKytSTR& value, eTransportSIP& transport);
  // Host, port and branch of a UDP, TCP or TLS Via, all in lower case. False for any other;
  // branch is left untouched when the value has none.
  static bool Parse(const cKytSTR& value, cKytSTR& host, int32_t& nPort, cKytSTR& branch);
  static bool GetHostPort(const cKytSTR& value, cKytSTR& host, int32_t& nPort);
  static bool GetBranch(const cKytSTR& value, cKytSTR& branch);
  // The value of a parameter ("received", "rport"), empty for one without a value; false when
  // the Via has no such parameter. Any transport.
  static bool GetParam(const cKytSTR& value, const char* pName, cKytSTR& paramValue);

  // What a server writes into the top Via of a request that came from sourceIP:nSourcePort
  // (RFC 3581, RFC 3261 section 18.2.1): received when the source differs from the sent-by
  // host or the sender asked for rport, and rport filled with the source port when asked for.
  // False (stamped untouched) for a Via that does not parse.
  static bool Stamp(const cKytSTR& value, const cKytSTR& sourceIP, int32_t nSourcePort,
                    cKytSTR& stamped);
  // Where the responses to a request with this top Via go, which is also the address its
  // sender was seen from: received (else the sent-by host) at rport's value (else the sent-by
  // port, 5060 by default).
  static bool GetResponseTarget(const cKytSTR& value, cKytSTR& host, int32_t& nPort);
};
