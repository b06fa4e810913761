#pragma once

#include <cstdint>

#include "call/cCallSink.h"

namespace kyttest {

// The settings of a user agent object as plain fields, with nothing behind the media calls
// (they fail) and a received datagram ignored. Subclasses decide where sends go.
class cFakeCoreSink : public cCallSink {
 public:
  cKytSTR m_ListenIP = "127.0.0.1";
  int32_t m_nListenPort = 5062;
  cKytSTR m_FromURI;
  cKytSTR m_ProxySIP;
  cKytSTR m_LoginId;
  cKytSTR m_LoginPwd;
  cKytSTR m_DomainRealm;
  bool m_bSrtpMandatory = false;
  eTransportSIP m_eTransport = eTransportSIP::UDP;

  const cKytSTR& GetListenIP() const override { return m_ListenIP; }
  int32_t GetListenPort() const override { return m_nListenPort; }
  const cKytSTR& GetFromURI() const override { return m_FromURI; }
  const cKytSTR& GetProxySIP() const override { return m_ProxySIP; }
  const cKytSTR& GetProxyLoginId() const override { return m_LoginId; }
  const cKytSTR& GetProxyLoginPwd() const override { return m_LoginPwd; }
  const cKytSTR& GetDomainRealm() const override { return m_DomainRealm; }
  eTransportSIP GetTransport() const override { return m_eTransport; }

  void OnSocketRecv(const cKytSTR&) override {}
  bool StartRTP(int32_t, const cKytSTR&, int32_t, int32_t, int32_t, int32_t, bool, bool) override {
    return false;
  }
  bool StopRTP(int32_t, bool, bool) override { return false; }
  bool GetRTPLineRx(int32_t, cKytSTR&, int32_t&) override { return false; }
  bool SetMediaKeys(int32_t, const cMsgSDP::sCrypto&, const cMsgSDP::sCrypto&) override {
    return false;
  }
  bool IsSrtpMandatory() const override { return m_bSrtpMandatory; }
  bool ChoosePriorityCodec(const cKytListSTR&, const cKytListSTR&, int32_t&, int32_t&) override {
    return false;
  }
  void CloseCall(cSIPCall*) override {}
};

}  // namespace kyttest
