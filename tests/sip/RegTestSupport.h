#pragma once

// Stand-ins for the user agent object and its event relay, for driving cRegSIP alone: a core
// that records what it is asked to send, one that sends it over UDP to a registrar, and an event
// sink that keeps the registration events in the order they came.

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/cAsioMainLoop.h"
#include "platform/cUdpSocket.h"
#include "sip/cKytCoreSink.h"
#include "sip/cKytEventSink.h"
#include "sip/cMsgSIP.h"
#include "sip/cRegSIP.h"

namespace regtest {

// Registration events as short texts, e.g. "Trying", "Success", "FailRe 401 Unauthorized";
// anything that is not a registration event is kept as "unexpected".
class cEventLog : public cKytEventSink {
 public:
  std::vector<std::string> m_Events;
  // Runs after every registration event is recorded (to act from inside an event).
  std::function<void(const std::string&)> m_OnEvent;

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

  void OnConnecting(int32_t) override { Unexpected(); }
  void OnTryingToHold(int32_t) override { Unexpected(); }
  void OnTryingToUnHold(int32_t) override { Unexpected(); }
  void OnSuccessToHold(int32_t) override { Unexpected(); }
  void OnSuccessToUnHold(int32_t) override { Unexpected(); }
  void OnFailToHold(int32_t) override { Unexpected(); }
  void OnFailToUnHold(int32_t) override { Unexpected(); }
  void OnFailToConnect(int32_t) override { Unexpected(); }
  void OnDisconnectCall(int32_t) override { Unexpected(); }
  void OnIncomingCall(const cKytSTR&, const cKytSTR&, const cKytSTR&, const cKytSTR&,
                      const cKytSTR&) override {
    Unexpected();
  }
  void OnIncomingCallRingingStart(const cKytSTR&) override { Unexpected(); }
  void OnIncomingCallRingingStop(const cKytSTR&) override { Unexpected(); }
  void OnConnected(int32_t, const cKytSTR&, int32_t, const cKytSTR&) override { Unexpected(); }
  void OnProvisionalResponse(int32_t, int32_t, const cKytSTR&) override { Unexpected(); }
  void OnRequestFailureResponse(int32_t, int32_t, const cKytSTR&) override { Unexpected(); }
  void OnServerFailureResponse(int32_t, int32_t, const cKytSTR&) override { Unexpected(); }
  void OnGeneralFailureResponse(int32_t, int32_t, const cKytSTR&) override { Unexpected(); }
  void OnRedirectResponse(int32_t, int32_t, const cKytSTR&, const cKytSTR&) override {
    Unexpected();
  }
  void OnCallTransferAccepted(int32_t) override { Unexpected(); }
  void OnFailToTransfer(int32_t, int32_t, const cKytSTR&) override { Unexpected(); }
  void OnChatContactStatus(const cKytSTR&, int32_t) override { Unexpected(); }
  void OnChatSendMsgTextSuccess(const cKytSTR&, const cKytSTR&, int32_t) override { Unexpected(); }
  void OnChatSendMsgTextFail(const cKytSTR&, int32_t, const cKytSTR&, const cKytSTR&,
                             int32_t) override {
    Unexpected();
  }
  void OnChatSendMsgTypingSuccess(const cKytSTR&, int32_t) override { Unexpected(); }
  void OnChatSendMsgTypingFail(const cKytSTR&, int32_t, const cKytSTR&, int32_t) override {
    Unexpected();
  }
  void OnChatRecvMsgText(const cKytSTR&, const cKytSTR&) override { Unexpected(); }
  void OnChatRecvMsgTypingStart(const cKytSTR&) override { Unexpected(); }
  void OnChatRecvMsgTypingStop(const cKytSTR&) override { Unexpected(); }
  void OnIncomingDiagnostic(const cKytSTR&, const cKytSTR&, int32_t) override { Unexpected(); }
  void OnOutgoingDiagnostic(const cKytSTR&, const cKytSTR&, int32_t) override { Unexpected(); }
  void OnDetectedAMD(int32_t, bool) override { Unexpected(); }
  void OnPlayWaveDone(int32_t) override { Unexpected(); }

 private:
  void Add(const std::string& event) {
    m_Events.push_back(event);
    if (m_OnEvent) m_OnEvent(event);
  }
  void Unexpected() { m_Events.push_back("unexpected"); }
};

// The settings and send path of a user agent object; the media part is never used by
// registration.
class cCoreBase : public cKytCoreSink {
 public:
  cKytSTR m_ListenIP = "127.0.0.1";
  int32_t m_nListenPort = 5062;
  cKytSTR m_FromURI;
  cKytSTR m_ProxySIP;
  cKytSTR m_LoginId;
  cKytSTR m_LoginPwd;
  cKytSTR m_DomainRealm;

  const cKytSTR& GetListenIP() const override { return m_ListenIP; }
  int32_t GetListenPort() const override { return m_nListenPort; }
  const cKytSTR& GetFromURI() const override { return m_FromURI; }
  const cKytSTR& GetProxySIP() const override { return m_ProxySIP; }
  const cKytSTR& GetProxyLoginId() const override { return m_LoginId; }
  const cKytSTR& GetProxyLoginPwd() const override { return m_LoginPwd; }
  const cKytSTR& GetDomainRealm() const override { return m_DomainRealm; }
  void OnSocketRecv(const cKytSTR&) override {}
  bool StartRTP(int32_t, const cKytSTR&, int32_t, int32_t, int32_t, bool, bool) override {
    return false;
  }
  bool StopRTP(int32_t, bool, bool) override { return false; }
  bool GetRTPLineRx(int32_t, cKytSTR&, int32_t&) override { return false; }
  bool ChoosePriorityCodec(const cKytListSTR&, const cKytListSTR&, int32_t&, int32_t&) override {
    return false;
  }
  void CloseCall(cSIPCall*) override {}
};

// Records every send with its destination.
class cFakeCore : public cCoreBase {
 public:
  struct Sent {
    std::string text, host;
    int32_t nPort;
  };
  std::vector<Sent> m_Sent;

  void SendToSocket(const cKytSTR& text, const cKytSTR& host, int32_t nPort) override {
    m_Sent.push_back({text.GetDATA(), host.GetDATA(), nPort});
  }
};

// A user agent core on a real UDP socket of 127.0.0.1: sends everything to the registrar's
// address and routes REGISTER responses to the registration, as the user agent object does.
class cUdpCore : public cCoreBase {
 public:
  cUdpCore(cAsioMainLoop* pLoop, uint16_t nRegistrarPort) : m_nRegistrarPort(nRegistrarPort) {
    m_Socket.Bind("127.0.0.1", 0);
    m_nListenPort = m_Socket.GetLocalPort();
    m_Socket.StartReader(pLoop, [this](const std::string& data, const std::string&, uint16_t) {
      OnSocketRecv(data.c_str());
    });
  }
  ~cUdpCore() override { m_Socket.Close(); }

  void SendToSocket(const cKytSTR& text, const cKytSTR&, int32_t) override {
    m_Sent.push_back(text.GetDATA());
    m_Socket.SendTo("127.0.0.1", m_nRegistrarPort, text.GetDATA(), text.GetLEN());
  }
  void OnSocketRecv(const cKytSTR& text) override {
    m_Received.push_back(text.GetDATA());
    std::unique_ptr<cMsgSIP> pMsg = cMsgSIP::initWithPacketSIP(text);
    if (pMsg && !pMsg->IsRequest() && pMsg->Is_Rep_For("REGISTER") && m_pRegSIP != nullptr)
      m_pRegSIP->OnResponse(*pMsg);
  }

  cRegSIP* m_pRegSIP = nullptr;
  std::vector<std::string> m_Sent;
  std::vector<std::string> m_Received;

 private:
  cUdpSocket m_Socket;
  uint16_t m_nRegistrarPort;
};

}  // namespace regtest
