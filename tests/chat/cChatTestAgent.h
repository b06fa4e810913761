#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "chat/cChatSIP.h"
#include "platform/cAsioMainLoop.h"
#include "sip/cSocketSIP.h"
#include "tests/support/MessageText.h"
#include "tests/support/cFakeCoreSink.h"
#include "tests/support/cRecordingEventSink.h"

namespace chattest {

using kyttest::BodyOf;
using kyttest::HeaderOf;
using kyttest::StartLineOf;

// Records every chat event as one line: "Name arg|arg|..."; other events are ignored.
class cEventLog : public kyttest::cRecordingEventSink {
 public:
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
};

// A user agent reduced to what chat needs: the session's settings, a send path (recorded, and
// sent over a real UDP socket when the agent has one) and the routing of received chat
// messages to its own chat manager, as the user agent object routes them.
class cChatTestAgent : public kyttest::cFakeCoreSink {
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

  void OnSocketRecv(const cKytSTR& text) override;
  void SendToSocket(const cKytSTR& text, const cKytSTR& host, int32_t nPort) override;

 private:
  std::unique_ptr<cSocketSIP> m_pSocket;
};

std::string DataFile(const std::string& sName);
// The message with its random parts (branch, tags, Call-ID) replaced by fixed marks, for exact
// comparisons.
std::string Normalized(const std::string& sMessage);

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
