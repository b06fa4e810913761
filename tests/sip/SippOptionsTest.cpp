// A real peer against a real socket: SIPp sends OPTIONS and UPDATE to a minimal responder built
// from the SIP socket, the message parser and the dialog packet base's response builder, which
// answers the way the user agent's core does (OPTIONS 200 "OK", anything else 405).

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "PacketTestCore.h"
#include "platform/cAsioMainLoop.h"
#include "sip/cMsgSIP.h"
#include "sip/cPacketSIP.h"
#include "sip/cSocketSIP.h"
#include "tests/support/Wait.h"
#include "tests/support/cSippPeer.h"

namespace {

class cResponder : public sipmsgtest::cTestCore {
 public:
  explicit cResponder(cAsioMainLoop* pLoop) : m_Socket(pLoop) {
    m_ListenIP = "127.0.0.1";
    m_FromURI = "<sip:kyt@127.0.0.1>";
    m_ProxySIP = "";
  }

  bool Open() {
    if (!m_Socket.OpenSocket("127.0.0.1", 0, this, &m_Events)) return false;
    m_nListenPort = m_Socket.GetLocalPort();
    return true;
  }

  void OnSocketRecv(const cKytSTR& text) override {
    cTestCore::OnSocketRecv(text);
    std::unique_ptr<cMsgSIP> pMsg = cMsgSIP::initWithPacketSIP(text);
    if (!pMsg || !pMsg->IsRequest() || pMsg->Is_ACK_Req()) return;
    cKytSTR callId;
    pMsg->GetCallId(callId);
    cPacketSIP responder(this, callId);
    cKytSTR host;
    cKytSTR response;
    int32_t nPort = 0;
    bool bBuilt =
        pMsg->Is_OPTIONS_Req()
            ? responder.RESPONSE(*pMsg, 200, "OK", "", host, nPort, response)
            : responder.RESPONSE(*pMsg, 405, "Method Not Allowed", "", host, nPort, response);
    if (bBuilt) SendToSocket(response, host, nPort);
  }

  void SendToSocket(const cKytSTR& text, const cKytSTR& host, int32_t nPort) override {
    cTestCore::SendToSocket(text, host, nPort);
    m_Socket.SendData(text, host.GetDATA(), nPort);
  }

 private:
  sipmsgtest::cTestEvents m_Events;
  cSocketSIP m_Socket;
};

TEST(SippOptionsTest, PeerGetsOkForOptionsAndMethodNotAllowedForUpdate) {
  cAsioMainLoop loop;
  cResponder responder(&loop);
  ASSERT_TRUE(responder.Open());

  kyttest::cSippPeer peer;
  std::string target = "127.0.0.1:" + std::to_string(responder.GetListenPort());
  ASSERT_TRUE(peer.Start(std::string(KYT_SIP_TEST_DATA) + "/sipp_options_405.xml", target,
                         std::chrono::seconds(30)))
      << "sipp (Debian package sip-tester) did not start\n"
      << peer.Output();

  ASSERT_TRUE(kyttest::RunLoopUntil(
      loop, [&] { return peer.Done(); }, std::chrono::seconds(40)))
      << peer.Output();
  EXPECT_EQ(peer.ExitCode(), 0) << peer.Output();
  ASSERT_GE(responder.m_Sent.size(), 2u);
  EXPECT_EQ(responder.m_Sent[0].text.rfind("SIP/2.0 200 OK\r\n", 0), 0u);
  EXPECT_EQ(responder.m_Sent[0].host, "127.0.0.1");
  EXPECT_EQ(responder.m_Sent[0].nPort, peer.Port());
  EXPECT_EQ(responder.m_Sent.back().text.rfind("SIP/2.0 405 Method Not Allowed\r\n", 0), 0u);
}

}  // namespace
