#pragma once

#include <cstdint>

#include "sip/eTransportSIP.h"
#include "util/cKytSTR.h"

// What the SIP components ask of the user agent object that owns them: the session's settings
// and the one send path. The user agent object implements it; tests implement it to drive one
// component alone. Everything runs on the main thread.
class cKytCoreSink {
 public:
  virtual ~cKytCoreSink() = default;

  // Session settings (one set per user agent object).
  virtual const cKytSTR& GetListenIP() const = 0;
  virtual int32_t GetListenPort() const = 0;  // -1 before a port is chosen
  virtual const cKytSTR& GetFromURI() const = 0;
  virtual const cKytSTR& GetProxySIP() const = 0;
  virtual const cKytSTR& GetProxyLoginId() const = 0;
  virtual const cKytSTR& GetProxyLoginPwd() const = 0;
  virtual const cKytSTR& GetDomainRealm() const = 0;
  // The transport toward the first hop: it goes into Via and Contact, and over a stream no
  // request is resent by a timer (RFC 3261 sections 17.1.1.2 and 17.1.2.2).
  virtual eTransportSIP GetTransport() const { return eTransportSIP::UDP; }
  // A stream connection toward host could not be opened (a certificate that does not verify, a
  // connection refused): reason says why, for the page.
  virtual void OnTransportFailure(const cKytSTR& /*host*/, const cKytSTR& /*reason*/) {}
  // A stream connection toward host that was up is gone; the next message opens a new one.
  virtual void OnTransportLost(const cKytSTR& /*host*/) {}

  // A datagram received on the SIP socket (main thread).
  virtual void OnSocketRecv(const cKytSTR& text) = 0;
  // The same with the address it came from; a sink that does not care about it just takes
  // the text.
  virtual void OnSocketRecvFrom(const cKytSTR& text, const cKytSTR& /*sourceIP*/,
                                int32_t /*nSourcePort*/) {
    OnSocketRecv(text);
  }
  // The registrar saw us at this address (the received and rport of the Via of its 200): a NAT
  // lies between. Later Via, Contact and session descriptions carry it.
  virtual void OnPublicAddress(const cKytSTR& /*ip*/, int32_t /*nPort*/) {}
  // Every outgoing SIP message goes here; the session's send-to address decides where it goes.
  virtual void SendToSocket(const cKytSTR& text, const cKytSTR& host, int32_t nPort) = 0;
  // The server a request went to timed out or answered 503: true when the send path moved on to
  // another server of the same destination (RFC 3263), so the request is worth sending anew.
  virtual bool FailOverToNextServer() { return false; }
};
