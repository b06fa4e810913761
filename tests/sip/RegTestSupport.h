#pragma once

// Stand-ins for the user agent object and its event relay, for driving cRegSIP alone: a core
// that sends over UDP to a registrar, and an event sink that keeps the registration events in the
// order they came. The core that only records what it is asked to send is
// kyttest::cRecordingCoreSink.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/cAsioMainLoop.h"
#include "platform/cUdpSocket.h"
#include "sip/cMsgSIP.h"
#include "sip/cRegSIP.h"
#include "tests/support/cRecordingCoreSink.h"
#include "tests/support/cRecordingEventSink.h"

namespace regtest {

// Registration events as short texts, e.g. "Trying", "Success", "FailRe 401 Unauthorized";
// anything that is not a registration event is kept as "unexpected".
class cEventLog : public kyttest::cRecordingEventSink {
 public:
  void OnTryingToRegister() override { Add("Trying"); }
  void OnSuccessToRegister() override { Add("Success"); }
  void OnFailToRegister(int32_t nCode, const cKytSTR& reason) override {
    Add("Fail " + std::to_string(nCode) + " " + reason.GetDATA());
  }
  void OnTryingToReRegister() override { Add("TryingRe"); }
  void OnSuccessToReRegister() override { Add("SuccessRe"); }
  void OnFailToReRegister(int32_t nCode, const cKytSTR& reason) override {
    Add("FailRe " + std::to_string(nCode) + " " + reason.GetDATA());
  }
  void OnTryingToUnRegister() override { Add("TryingUn"); }
  void OnSuccessToUnRegister() override { Add("SuccessUn"); }
  void OnFailToUnRegister(int32_t nCode, const cKytSTR& reason) override {
    Add("FailUn " + std::to_string(nCode) + " " + reason.GetDATA());
  }

 protected:
  void OnOtherEvent() override { m_Events.push_back("unexpected"); }
};

// A user agent core on a real UDP socket of 127.0.0.1: sends everything to the registrar's
// address and routes REGISTER responses to the registration, as the user agent object does.
class cUdpCore : public kyttest::cRecordingCoreSink {
 public:
  cUdpCore(cAsioMainLoop* pLoop, uint16_t nRegistrarPort) : m_nRegistrarPort(nRegistrarPort) {
    m_Socket.Bind("127.0.0.1", 0);
    m_nListenPort = m_Socket.GetLocalPort();
    m_Socket.StartReader(pLoop, [this](const std::string& data, const std::string&, uint16_t) {
      OnSocketRecv(data.c_str());
    });
  }
  ~cUdpCore() override { m_Socket.Close(); }

  void SendToSocket(const cKytSTR& text, const cKytSTR& host, int32_t nPort) override {
    cRecordingCoreSink::SendToSocket(text, host, nPort);
    m_Socket.SendTo("127.0.0.1", m_nRegistrarPort, text.GetDATA(), text.GetLEN());
  }
  void OnSocketRecv(const cKytSTR& text) override {
    cRecordingCoreSink::OnSocketRecv(text);
    std::unique_ptr<cMsgSIP> pMsg = cMsgSIP::initWithPacketSIP(text);
    if (pMsg && !pMsg->IsRequest() && pMsg->Is_Rep_For("REGISTER") && m_pRegSIP != nullptr)
      m_pRegSIP->OnResponse(*pMsg);
  }

  cRegSIP* m_pRegSIP = nullptr;

 private:
  cUdpSocket m_Socket;
  uint16_t m_nRegistrarPort;
};

}  // namespace regtest
