#pragma once

#include <cstdint>

#include "sip/eTransportSIP.h"
#include "util/cKytListSTR.h"
#include "util/cKytSTR.h"

// Reads and writes SIP URIs, with or without display name and angle brackets (From, To, Contact,
// Refer-To, Request-URI, proxy addresses) by plain substring search. Stateless.
class cURI {
 public:
  // A parse answers false only when no host can be found; a missing user or display name is
  // not a failure. A missing port reads as 5060.
  static bool Parse(const cKytSTR& uri, cKytSTR& displayName, cKytSTR& user, cKytSTR& host,
                    int32_t& nPort);
  // As above, plus the value of the "maddr" URI parameter (any letter case); maddr is left
  // untouched when the URI has none.
  static bool Parse(const cKytSTR& uri, cKytSTR& displayName, cKytSTR& user, cKytSTR& host,
                    int32_t& nPort, cKytSTR& maddr);
  // The workhorse: parameter lists may be null; when both are given they are emptied and then
  // receive the URI parameters (not the header parameters after '>') in order.
  static bool ParseURI(const cKytSTR& uri, cKytSTR& host, int32_t& nPort, cKytSTR& user,
                       cKytSTR& displayName, cKytListSTR* pParamNames, cKytListSTR* pParamValues);
  // The working text a parse starts from: the input wrapped into "<sip:...>" form as needed.
  static void PrepareParseURI(const cKytSTR& uri, cKytSTR& working);

  // Whether uri is one line that parses with a host of host-name characters and a port in
  // 1..65535: what a page must give where a SIP URI is expected.
  static bool IsSipURI(const cKytSTR& uri);

  // "\"display\" <sip:user@host:port;name=value>"; an empty display name or user is left out,
  // port 0 is left out, the parameters stop at the first empty name. The scheme is always sip.
  // The display name goes out as a quoted string and the user percent-escaped (cQuoteSIP).
  static void Construct(const cKytSTR& displayName, const cKytSTR& user, const cKytSTR& host,
                        int32_t nPort, cKytSTR& text);
  // Our own address in Contact: as Construct without a display name, with ";transport=tcp" or
  // ";transport=tls" for a stream (nothing for UDP).
  static void ConstructContact(const cKytSTR& user, const cKytSTR& host, int32_t nPort,
                               eTransportSIP transport, cKytSTR& text);
  static void ConstructURI(const cKytSTR& displayName, const cKytSTR& user, const cKytSTR& host,
                           int32_t nPort, const cKytListSTR* pParamNames,
                           const cKytListSTR* pParamValues, cKytSTR& text);

  // The text after the first ";tag=" to the end of the value; tag untouched (false) without one.
  static bool GetTag(const cKytSTR& value, cKytSTR& tag);
  // Refuses inputs of 4 characters or fewer; otherwise makes sure the text starts with "sip:".
  static bool AdjustProxyURI(const cKytSTR& proxy, cKytSTR& uri);
  // The To form of a target: display name, user and host, no port, no parameters.
  static void PrepareToURI(const cKytSTR& target, cKytSTR& to);
  // The Request-URI form: "sip:user@host[:port][;params]", port 5060 left out.
  static void PrepareRequestURI(const cKytSTR& target, cKytSTR& requestURI);
};
