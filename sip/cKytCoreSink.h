#pragma once

#include <cstdint>

#include "util/cKytListSTR.h"
#include "util/cKytSTR.h"

class cSIPCall;

// What the SIP components ask of the user agent object that owns them: the session's settings,
// the one send path, and the media operations of a call's line. The user agent object implements
// it; tests implement it to drive one component alone. Everything runs on the main thread.
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

  // A datagram received on the SIP socket (main thread).
  virtual void OnSocketRecv(const cKytSTR& text) = 0;
  // Every outgoing SIP message goes here; the session's send-to address decides where it goes.
  virtual void SendToSocket(const cKytSTR& text, const cKytSTR& host, int32_t nPort) = 0;

  // Media of a call's line.
  virtual bool StartRTP(int32_t nLine, const cKytSTR& remoteIP, int32_t nRemotePort, int32_t nCodec,
                        int32_t nPayloadType, bool bOutbound, bool bInbound) = 0;
  virtual bool StopRTP(int32_t nLine, bool bStopOutbound, bool bStopInbound) = 0;
  virtual bool GetRTPLineRx(int32_t nLine, cKytSTR& ip, int32_t& nPort) = 0;
  // The codec choice against the enabled codec list, in the remote's order (codec and payload
  // numbers as decimal texts, position by position).
  virtual bool ChoosePriorityCodec(const cKytListSTR& remoteCodecNumbers,
                                   const cKytListSTR& remotePayloadNumbers, int32_t& nCodec,
                                   int32_t& nPayloadType) = 0;
  // Asks the call pool to close this call.
  virtual void CloseCall(cSIPCall* pCall) = 0;
};
