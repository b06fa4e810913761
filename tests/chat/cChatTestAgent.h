#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "chat/cChatSIP.h"
#include "platform/cAsioMainLoop.h"
#include "platform/cUdpSocket.h"
#include "sip/cKytCoreSink.h"
#include "sip/cKytEventSink.h"
#include "sip/cSocketSIP.h"

namespace chattest {

// Records every chat event as one line: "Name arg|arg|...".
class cEventLog : public cKytEventSink {
 public:
  std::vector<std::string> m_Events;
  // Runs after each recorded event, with the event's line (to act from inside an event).
  std::function<void(const std::string&)> m_OnEvent;

  size_t Count(const std::string& sPrefix) const;
  bool Heard(const std::string& sLine) const;
  std::vector<std::string> Matching(const std::string& sPrefix) const;

  void OnChatContactStatus(const cKytSTR& contact, int32_t nStatus) override;
  void OnChatSendMsgTextSuccess(const cKytSTR& recipient, const cKytSTR& text,
                                int32_t nNumber) override;
  void OnChatSendMsgTextFail(const cKytSTR& recipient, int32_t nStatusCode, const cKytSTR& reason,
                             const cKytSTR& text, int32_t nNumber) override;
  void OnChatSendMsgTypingSuccess(const cKytSTR& recipient, int32_t nNumber) override;
  void OnChatSendMsgTypingFail(const cKytSTR& recipient, int32_t nStatusCode, const cKytSTR& reason,
                               int32_t nNumber) override;
  void OnChatRecvMsgText(const cKytSTR& sender, const cKytSTR& text) override;
  void OnChatRecvMsgTypingStart(const cKytSTR& sender) override;
  void OnChatRecvMsgTypingStop(const cKytSTR& sender) override;

  void OnTryingToRegister() override {}
  void OnSuccessToRegister() override {}
  void OnFailToRegister(int32_t, const cKytSTR&) override {}
  void OnTryingToReRegister() override {}
  void OnSuccessToReRegister() override {}
  void OnFailToReRegister(int32_t, const cKytSTR&) override {}
  void OnTryingToUnRegister() override {}
  void OnSuccessToUnRegister() override {}
  void OnFailToUnRegister(int32_t, const cKytSTR&) override {}
  void OnConnecting(int32_t) override {}
  void OnTryingToHold(int32_t) override {}
  void OnTryingToUnHold(int32_t) override {}
  void OnSuccessToHold(int32_t) override {}
  void OnSuccessToUnHold(int32_t) override {}
  void OnFailToHold(int32_t) override {}
  void OnFailToUnHold(int32_t) override {}
  void OnFailToConnect(int32_t) override {}
  void OnDisconnectCall(int32_t) override {}
  void OnIncomingCall(const cKytSTR&, const cKytSTR&, const cKytSTR&, const cKytSTR&,
                      const cKytSTR&) override {}
  void OnIncomingCallRingingStart(const cKytSTR&) override {}
  void OnIncomingCallRingingStop(const cKytSTR&) override {}
  void OnConnected(int32_t, const cKytSTR&, int32_t, const cKytSTR&) override {}
  void OnProvisionalResponse(int32_t, int32_t, const cKytSTR&) override {}
  void OnRequestFailureResponse(int32_t, int32_t, const cKytSTR&) override {}
  void OnServerFailureResponse(int32_t, int32_t, const cKytSTR&) override {}
  void OnGeneralFailureResponse(int32_t, int32_t, const cKytSTR&) override {}
  void OnRedirectResponse(int32_t, int32_t, const cKytSTR&, const cKytSTR&) override {}
  void OnCallTransferAccepted(int32_t) override {}
  void OnFailToTransfer(int32_t, int32_t, const cKytSTR&) override {}
  void OnIncomingDiagnostic(const cKytSTR&, const cKytSTR&, int32_t) override {}
  void OnOutgoingDiagnostic(const cKytSTR&, const cKytSTR&, int32_t) override {}
  void OnDetectedAMD(int32_t, bool) override {}
  void OnPlayWaveDone(int32_t) override {}

 private:
  void Add(const std::string& sLine);
};

// A user agent reduced to what chat needs: the session's settings, a send path (recorded, and
// sent over a real UDP socket when the agent has one) and the routing of received chat
// messages to its own chat manager, as the user agent object routes them.
class cChatTestAgent : public cKytCoreSink {
 public:
  static constexpr const char* kRealm = "127.0.0.1";

  // With a loop the agent opens a socket on 127.0.0.1 (port chosen by the system); without one
  // it only records what it sends and takes what the test delivers.
  cChatTestAgent(const std::string& sUser, cAsioMainLoop* pLoop = nullptr);
  ~cChatTestAgent() override;

  // Where everything goes: the SIP proxy of the session. Call before Init.
  void SetProxyPort(uint16_t nPort);
  void SetLogin(const std::string& sLogin, const std::string& sPassword);
  void SetFromURI(const std::string& sFromURI) { m_FromURI = sFromURI.c_str(); }
  // The chat manager's InitOBJ with this agent and its event log.
  bool Init();
  uint16_t GetPort() const { return static_cast<uint16_t>(m_nListenPort); }

  // Hands a datagram to the agent as if it had arrived on its socket.
  void Deliver(const std::string& sText);
  void Tick(int nSeconds = 1);

  // Messages sent so far; the last one; those whose start line begins with a method or status.
  std::vector<std::string> SentStarting(const std::string& sStart) const;
  std::string LastSent() const { return m_Sent.empty() ? "" : m_Sent.back(); }

  cChatSIP m_Chat;
  cEventLog m_Events;
  std::vector<std::string> m_Sent;
  std::vector<std::string> m_Received;

  // cKytCoreSink
  const cKytSTR& GetListenIP() const override { return m_ListenIP; }
  int32_t GetListenPort() const override { return m_nListenPort; }
  const cKytSTR& GetFromURI() const override { return m_FromURI; }
  const cKytSTR& GetProxySIP() const override { return m_ProxySIP; }
  const cKytSTR& GetProxyLoginId() const override { return m_LoginId; }
  const cKytSTR& GetProxyLoginPwd() const override { return m_LoginPwd; }
  const cKytSTR& GetDomainRealm() const override { return m_DomainRealm; }
  void OnSocketRecv(const cKytSTR& text) override;
  void SendToSocket(const cKytSTR& text, const cKytSTR& host, int32_t nPort) override;
  bool StartRTP(int32_t, const cKytSTR&, int32_t, int32_t, int32_t, bool, bool) override {
    return false;
  }
  bool StopRTP(int32_t, bool, bool) override { return false; }
  bool GetRTPLineRx(int32_t, cKytSTR&, int32_t&) override { return false; }
  bool ChoosePriorityCodec(const cKytListSTR&, const cKytListSTR&, int32_t&, int32_t&) override {
    return false;
  }
  void CloseCall(cSIPCall*) override {}

 private:
  cKytSTR m_ListenIP{"127.0.0.1"};
  int32_t m_nListenPort = 5060;
  cKytSTR m_FromURI;
  cKytSTR m_ProxySIP;
  cKytSTR m_LoginId;
  cKytSTR m_LoginPwd;
  cKytSTR m_DomainRealm{kRealm};
  std::unique_ptr<cSocketSIP> m_pSocket;
};

// A UDP socket on 127.0.0.1 that counts what reaches it and answers nothing.
class cSilentPeer {
 public:
  explicit cSilentPeer(cAsioMainLoop* pLoop);
  uint16_t GetPort() const { return m_Socket.GetLocalPort(); }
  void SendTo(uint16_t nPort, const std::string& sText);
  std::vector<std::string> m_Received;

 private:
  cUdpSocket m_Socket;
};

// A program started for a test and stopped (if still running) when the object goes.
class cChildProcess {
 public:
  cChildProcess(const std::vector<std::string>& argv, const std::string& sLogFile);
  ~cChildProcess();
  bool Started() const { return m_nPid > 0 || m_nExitCode == 0; }
  bool Done();
  int ExitCode() const { return m_nExitCode; }

 private:
  int m_nPid = -1;
  int m_nExitCode = -1;
};

uint16_t FreeUdpPort();
std::string DataFile(const std::string& sName);
std::string ReadText(const std::string& sPath);
// The value of the first header of that name (any case) in a message text; "" when absent.
std::string HeaderOf(const std::string& sMessage, const std::string& sName);
std::string StartLineOf(const std::string& sMessage);
std::string BodyOf(const std::string& sMessage);
// The message with its random parts (branch, tags, Call-ID) replaced by fixed marks, for exact
// comparisons.
std::string Normalized(const std::string& sMessage);

}  // namespace chattest

namespace chattest {

// A response to a request text, as a peer would write it: its Via, From, Call-ID and CSeq, its To
// with the peer's tag, then the extra header lines (each ending in CRLF) and the body.
std::string ResponseTo(const std::string& sRequest, int nStatusCode, const std::string& sReason,
                       const std::string& sExtra = "", const std::string& sBody = "");
// A request from a peer at 127.0.0.1:5999 to alice: method, From user, Call-ID, CSeq number,
// extra header lines, body and To value.
std::string RequestFrom(const std::string& sMethod, const std::string& sFromUser,
                        const std::string& sCallId, int nCSeq, const std::string& sExtra,
                        const std::string& sBody = "",
                        const std::string& sTo = "<sip:alice@127.0.0.1>");

}  // namespace chattest
