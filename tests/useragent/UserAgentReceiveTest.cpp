// What a SIP peer sees of the receive path: requests without a handler, OPTIONS, junk and
// responses nobody waits for, and where the answers are sent.

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "platform/cAsioMainLoop.h"
#include "tests/support/MessageText.h"
#include "tests/support/Wait.h"
#include "tests/support/cLoopbackPeer.h"
#include "tests/support/cRecordingLib.h"
#include "tests/support/cSippPeer.h"
#include "useragent/cKytSIPUserAgentObject.h"

using namespace std::chrono_literals;
using kyttest::cLoopbackPeer;
using kyttest::cRecordingLib;
using kyttest::HeaderOf;
using kyttest::StartLineOf;

namespace {

std::string Request(const std::string& sMethod, const std::string& sCallId, uint16_t nFromPort,
                    int nCSeq = 1) {
  const std::string sPort = std::to_string(nFromPort);
  return sMethod + " sip:alice@127.0.0.1 SIP/2.0\r\n" + "Via: SIP/2.0/UDP 127.0.0.1:" + sPort +
         ";branch=z9hG4bK-peer-" + sCallId + "\r\n" + "From: <sip:peer@127.0.0.1:" + sPort +
         ">;tag=peer1\r\n" + "To: <sip:alice@127.0.0.1>\r\n" + "Call-ID: " + sCallId + "\r\n" +
         "CSeq: " + std::to_string(nCSeq) + " " + sMethod + "\r\n" +
         "Max-Forwards: 70\r\nContent-Length: 0\r\n\r\n";
}

class UserAgentReceive : public ::testing::Test {
 protected:
  void StartWithProxy(uint16_t nProxyPort, uint16_t nOutboundPort = 0) {
    const std::string sProxy = "sip:127.0.0.1:" + std::to_string(nProxyPort);
    const std::string sOutbound =
        nOutboundPort == 0 ? "" : "sip:127.0.0.1:" + std::to_string(nOutboundPort);
    ASSERT_TRUE(m_UA.Initialize(true, "127.0.0.1", 0, "sip:alice@127.0.0.1", sOutbound.c_str(),
                                sProxy.c_str(), "alice", "pw", true, 1));
    m_nAgentPort = static_cast<uint16_t>(m_UA.GetKytMainObj()->GetListenPort());
  }
  bool WaitFor(const cLoopbackPeer& peer, size_t nCount) {
    return m_Loop.RunUntil([&] { return peer.m_Received.size() >= nCount; }, 5s);
  }

  cAsioMainLoop m_Loop;
  cRecordingLib m_UA{&m_Loop};
  uint16_t m_nAgentPort = 0;
};

TEST_F(UserAgentReceive, UnhandledMethodIsRefusedWith405ToTheSender) {
  cLoopbackPeer proxy(&m_Loop);
  cLoopbackPeer sender(&m_Loop);
  StartWithProxy(proxy.Port());
  sender.SendTo(m_nAgentPort, Request("UPDATE", "upd-1@127.0.0.1", sender.Port()));
  ASSERT_TRUE(WaitFor(sender, 1));
  const std::string& sAnswer = sender.m_Received[0];
  EXPECT_EQ("SIP/2.0 405 Method Not Allowed", StartLineOf(sAnswer));
  EXPECT_EQ("SIP/2.0/UDP 127.0.0.1:" + std::to_string(sender.Port()) +
                ";branch=z9hG4bK-peer-upd-1@127.0.0.1",
            HeaderOf(sAnswer, "Via"));
  EXPECT_EQ("upd-1@127.0.0.1", HeaderOf(sAnswer, "Call-ID"));
  EXPECT_EQ("1 UPDATE", HeaderOf(sAnswer, "CSeq"));
  EXPECT_NE(std::string::npos, HeaderOf(sAnswer, "To").find(";tag="));
  EXPECT_NE(std::string::npos, HeaderOf(sAnswer, "Allow").find("INVITE"));
  m_Loop.RunFor(50ms);
  EXPECT_TRUE(proxy.m_Received.empty()) << "answers go where the top Via says, not to the proxy";
}

TEST_F(UserAgentReceive, AnOutboundProxyGetsTheAnswersInsteadOfTheProxy) {
  cLoopbackPeer proxy(&m_Loop);
  cLoopbackPeer outbound(&m_Loop);
  StartWithProxy(proxy.Port(), outbound.Port());
  outbound.SendTo(m_nAgentPort, Request("REFER", "ref-1@127.0.0.1", outbound.Port()));
  ASSERT_TRUE(WaitFor(outbound, 1));
  EXPECT_EQ("SIP/2.0 405 Method Not Allowed", StartLineOf(outbound.m_Received[0]));
  m_Loop.RunFor(50ms);
  EXPECT_TRUE(proxy.m_Received.empty());
}

TEST_F(UserAgentReceive, OptionsIsAnswered200) {
  cLoopbackPeer proxy(&m_Loop);
  StartWithProxy(proxy.Port());
  proxy.SendTo(m_nAgentPort, Request("OPTIONS", "opt-1@127.0.0.1", proxy.Port()));
  ASSERT_TRUE(WaitFor(proxy, 1));
  EXPECT_EQ("SIP/2.0 200 OK", StartLineOf(proxy.m_Received[0]));
  EXPECT_EQ("1 OPTIONS", HeaderOf(proxy.m_Received[0], "CSeq"));
}

TEST_F(UserAgentReceive, JunkAndStrayResponsesGetNoAnswer) {
  cLoopbackPeer proxy(&m_Loop);
  StartWithProxy(proxy.Port());
  proxy.SendTo(m_nAgentPort, "hello there");
  proxy.SendTo(m_nAgentPort, "INVITE sip:alice@127.0.0.1\r\n\r\n");
  proxy.SendTo(m_nAgentPort, std::string("BYE \0 x SIP/2.0\r\n\r\n", 20));
  proxy.SendTo(m_nAgentPort,
               "SIP/2.0 200 OK\r\nVia: SIP/2.0/UDP 127.0.0.1:1;branch=z9hG4bKx\r\n"
               "From: <sip:alice@127.0.0.1>;tag=1\r\nTo: <sip:bob@127.0.0.1>;tag=2\r\n"
               "Call-ID: nobody-knows-me\r\nCSeq: 1 INVITE\r\nContent-Length: 0\r\n\r\n");
  proxy.SendTo(m_nAgentPort,
               "SIP/2.0 486 Busy Here\r\nCall-ID: nobody-either\r\nCSeq: 7 BYE\r\n\r\n");
  // Datagrams are handled in arrival order: once the answer to this one is in, the ones
  // before it have had their turn.
  proxy.SendTo(m_nAgentPort, Request("UPDATE", "marker@127.0.0.1", proxy.Port()));
  ASSERT_TRUE(WaitFor(proxy, 1));
  ASSERT_EQ(1u, proxy.m_Received.size());
  EXPECT_EQ("marker@127.0.0.1", HeaderOf(proxy.m_Received[0], "Call-ID"));
  EXPECT_TRUE(m_UA.m_Events.empty());
}

TEST_F(UserAgentReceive, RequestsWithoutTheirHeadersDoNotUpsetTheAgent) {
  cLoopbackPeer proxy(&m_Loop);
  StartWithProxy(proxy.Port());
  proxy.SendTo(m_nAgentPort, "UPDATE sip:alice@127.0.0.1 SIP/2.0\r\n\r\n");
  proxy.SendTo(m_nAgentPort, "OPTIONS sip:alice@127.0.0.1 SIP/2.0\r\nCSeq: x\r\n\r\n");
  proxy.SendTo(m_nAgentPort, "ACK sip:alice@127.0.0.1 SIP/2.0\r\nVia: \r\n\r\n");
  proxy.SendTo(m_nAgentPort, "BYE sip:alice@127.0.0.1 SIP/2.0\r\nCall-ID:\r\n\r\n");
  proxy.SendTo(m_nAgentPort,
               "INVITE sip:alice@127.0.0.1 SIP/2.0\r\nContent-Length: 99999\r\n\r\nv=");
  proxy.SendTo(m_nAgentPort, "SIP/2.0 200 OK\r\n\r\n");
  proxy.SendTo(m_nAgentPort, Request("REFER", "marker@127.0.0.1", proxy.Port()));
  ASSERT_TRUE(m_Loop.RunUntil(
      [&] {
        return !proxy.m_Received.empty() &&
               HeaderOf(proxy.m_Received.back(), "Call-ID") == "marker@127.0.0.1";
      },
      5s));
  EXPECT_EQ("SIP/2.0 405 Method Not Allowed", StartLineOf(proxy.m_Received.back()));
}

TEST_F(UserAgentReceive, DiagnosticsReportEveryOutgoingMessageToThePage) {
  cLoopbackPeer proxy(&m_Loop);
  StartWithProxy(proxy.Port());
  proxy.SendTo(m_nAgentPort, Request("UPDATE", "diag-1@127.0.0.1", proxy.Port()));
  ASSERT_TRUE(WaitFor(proxy, 1));
  EXPECT_FALSE(m_UA.Heard("OnOutgoingDiagnostic"));
  ASSERT_TRUE(m_UA.DiagnosticLog(true));
  proxy.SendTo(m_nAgentPort, Request("UPDATE", "diag-2@127.0.0.1", proxy.Port()));
  ASSERT_TRUE(WaitFor(proxy, 2));
  ASSERT_EQ(1u, m_UA.Count("OnOutgoingDiagnostic"));
  EXPECT_EQ(
      "OnOutgoingDiagnostic 127.0.0.1:" + std::to_string(proxy.Port()) + " " + proxy.m_Received[1],
      m_UA.m_Events[0]);
  ASSERT_TRUE(m_UA.DiagnosticLog(false));
  proxy.SendTo(m_nAgentPort, Request("UPDATE", "diag-3@127.0.0.1", proxy.Port()));
  ASSERT_TRUE(WaitFor(proxy, 3));
  EXPECT_EQ(1u, m_UA.Count("OnOutgoingDiagnostic"));
}

TEST_F(UserAgentReceive, SippSeesOptionsAnsweredAndUnknownMethodsRefused) {
  kyttest::cSippPeer sipp;
  StartWithProxy(sipp.Port());
  ASSERT_TRUE(sipp.Start(std::string(KYT_UA_TEST_DATA) + "/uac_options_unknown.xml",
                         "127.0.0.1:" + std::to_string(m_nAgentPort), 15s))
      << "sipp (package sip-tester) is needed\n"
      << sipp.Output();
  ASSERT_TRUE(kyttest::RunLoopUntil(
      m_Loop, [&] { return sipp.Done(); }, 20s));
  EXPECT_EQ(0, sipp.ExitCode()) << sipp.Output();
}

}  // namespace
