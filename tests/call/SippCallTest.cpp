#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "FakeAgent.h"
#include "SipText.h"
#include "SippPeer.h"
#include "platform/cAsioMainLoop.h"
#include "sip/cSocketSIP.h"

using namespace std::chrono_literals;

namespace {

// Our agent on a real SIP socket against SIPp. Seconds are ticked by the test, never waited for.
class SippCall : public ::testing::Test {
 protected:
  SippCall() : agent("alice", 0, 4000), socket(&loop) {}

  void SetUp() override {
    ASSERT_TRUE(socket.OpenSocket("127.0.0.1", 0, &agent, &agent.m_Events));
    agent.m_nListenPort = socket.GetLocalPort();
    agent.m_LoginPwd = "s3cret";
  }

  // Starts SIPp with a scenario; bCallsUs makes it dial the agent.
  void StartPeer(const std::string& scenario, bool bCallsUs = false,
                 const std::vector<std::pair<std::string, std::string>>& keys = {}) {
    std::string self = "127.0.0.1:" + std::to_string(agent.m_nListenPort);
    ASSERT_TRUE(sipp.Start(scenario, bCallsUs ? self : "", keys))
        << "sipp (Debian package sip-tester) did not start\n"
        << sipp.Output();
    peer = "127.0.0.1:" + std::to_string(sipp.Port());
    agent.m_ProxySIP = peer.c_str();
    agent.m_SendHook = [this](const std::string& text) {
      socket.SendData(text.c_str(), "127.0.0.1", sipp.Port());
    };
  }

  bool RunUntil(const std::function<bool()>& pred) {
    // A short repeating timer so that the condition is looked at even when nothing arrives.
    uint32_t nTimer = loop.StartTimer(20, [] {});
    bool bResult = loop.RunUntil(pred, 15s);
    loop.StopTimer(nTimer);
    return bResult;
  }

  // SIPp ran its scenario to the end without an error.
  void ExpectPeerDone() {
    ASSERT_TRUE(RunUntil([this] { return sipp.HasExited(); })) << sipp.Output();
    EXPECT_EQ(sipp.ExitCode(), 0) << sipp.Output() << "\nagent events:\n" << agent.m_Events.All();
  }

  void Dial() { agent.Dial("sip:bob@" + peer); }

  void Tick() {
    agent.Tick();
    loop.Poll();
  }

  cAsioMainLoop loop;
  FakeAgent agent;
  cSocketSIP socket;
  SippPeer sipp;
  std::string peer;
};

}  // namespace

TEST_F(SippCall, TryingOnlyIsNeitherResentNorTimedOut) {
  StartPeer("uas_trying_only.xml");
  Dial();
  ASSERT_TRUE(RunUntil([this] { return agent.Status() == cSIPCall::STATUS_TRYING_OUT; }))
      << sipp.Output();
  for (int i = 0; i < 40; ++i) Tick();
  EXPECT_EQ(agent.CountSent("INVITE "), 1);
  EXPECT_EQ(agent.CountSent("CANCEL "), 0);
  EXPECT_FALSE(agent.m_Events.Has("OnFailToConnect"));
  ASSERT_TRUE(agent.Line()->Disconnect());
  ExpectPeerDone();
  EXPECT_EQ(agent.m_Events.Last(), "OnRequestFailureResponse 0 487 Request Terminated");
  EXPECT_EQ(agent.CountSent("ACK "), 1);
}

TEST_F(SippCall, NeverAnsweredInviteEndsWithOneCancel) {
  StartPeer("uas_never_answer.xml");
  Dial();
  for (int nTick = 1; nTick <= 17; ++nTick) Tick();
  EXPECT_EQ(agent.CountSent("INVITE "), 9);
  EXPECT_EQ(agent.CountSent("CANCEL "), 0);
  EXPECT_FALSE(agent.m_Events.Has("OnFailToConnect"));
  Tick();
  EXPECT_EQ(agent.CountSent("CANCEL "), 1);
  EXPECT_EQ(agent.m_Events.Last(), "OnFailToConnect 0");
  ExpectPeerDone();
  for (int i = 0; i < 20; ++i) Tick();
  EXPECT_EQ(agent.CountSent("CANCEL "), 1);
}

// The check of the credentials that answer challenge n (see uas_auth.xml).
std::string CredentialCheck(int n, const std::string& code) {
  std::string var = "auth" + std::to_string(n);
  if (code == "401") {
    return "<verifyauth assign_to=\"" + var + "\" username=\"alice\" password=\"s3cret\"/>";
  }
  return "<ereg regexp=\"^ *Digest username=.alice., realm=.kyt., nonce=.[0-9]+n" +
         std::to_string(n) + ".\" search_in=\"hdr\" header=\"Proxy-Authorization:\" " +
         "assign_to=\"" + var + "\"/>";
}

TEST_F(SippCall, ChallengedInviteAndBye) {
  struct Case {
    const char* pInviteCode;
    const char* pInviteReason;
    const char* pInviteHeader;
    const char* pByeCode;
    const char* pByeReason;
    const char* pByeHeader;
  };
  const Case cases[] = {
      {"401", "Unauthorized", "WWW-Authenticate", "407", "Proxy Authentication Required",
       "Proxy-Authenticate"},
      {"407", "Proxy Authentication Required", "Proxy-Authenticate", "401", "Unauthorized",
       "WWW-Authenticate"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pInviteCode);
    FakeAgent caller("alice", 0, 4000);
    cSocketSIP callerSocket(&loop);
    ASSERT_TRUE(callerSocket.OpenSocket("127.0.0.1", 0, &caller, &caller.m_Events));
    caller.m_nListenPort = callerSocket.GetLocalPort();
    caller.m_LoginPwd = "s3cret";
    SippPeer peerSipp;
    ASSERT_TRUE(peerSipp.Start("uas_auth.xml", "",
                               {{"code1", c.pInviteCode},
                                {"reason1", c.pInviteReason},
                                {"challenge1", c.pInviteHeader},
                                {"code2", c.pByeCode},
                                {"reason2", c.pByeReason},
                                {"challenge2", c.pByeHeader},
                                {"check1", CredentialCheck(1, c.pInviteCode)},
                                {"check2", CredentialCheck(2, c.pByeCode)}}))
        << peerSipp.Output();
    std::string target = "127.0.0.1:" + std::to_string(peerSipp.Port());
    caller.m_ProxySIP = target.c_str();
    caller.m_SendHook = [&](const std::string& text) {
      callerSocket.SendData(text.c_str(), "127.0.0.1", peerSipp.Port());
    };
    caller.Dial("sip:bob@" + target);
    ASSERT_TRUE(RunUntil([&] { return caller.m_Events.Has("OnConnected"); }))
        << peerSipp.Output() << caller.m_Events.All();
    EXPECT_EQ(caller.CountSent("INVITE "), 2);
    ASSERT_EQ(caller.m_RtpStarts.size(), 1u);
    EXPECT_EQ(caller.m_RtpStarts[0].nCodec, 1);  // SIPp offers PCMA only
    EXPECT_EQ(caller.m_RtpStarts[0].nPayload, 8);
    EXPECT_EQ(caller.m_RtpStarts[0].nPort, 6000);
    ASSERT_TRUE(caller.Line()->Disconnect());
    ASSERT_TRUE(RunUntil([&] { return peerSipp.HasExited(); })) << peerSipp.Output();
    EXPECT_EQ(peerSipp.ExitCode(), 0) << peerSipp.Output();
    EXPECT_EQ(caller.CountSent("BYE "), 2);
    EXPECT_EQ(caller.Status(), cSIPCall::STATUS_IDLE);
    callerSocket.CloseSocket();
  }
}

TEST_F(SippCall, FinalAnswersAreAcknowledgedAndReported) {
  struct Case {
    const char* pCode;
    const char* pReason;
    const char* pEvent;
  };
  const Case cases[] = {
      {"302", "Moved Temporarily",
       "OnRedirectResponse 0 302 Moved Temporarily <sip:carol@127.0.0.1:5099>"},
      {"486", "Busy Here", "OnRequestFailureResponse 0 486 Busy Here"},
      {"503", "Service Unavailable", "OnServerFailureResponse 0 503 Service Unavailable"},
      {"603", "Decline", "OnGeneralFailureResponse 0 603 Decline"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pCode);
    FakeAgent caller("alice", 0, 4000);
    cSocketSIP callerSocket(&loop);
    ASSERT_TRUE(callerSocket.OpenSocket("127.0.0.1", 0, &caller, &caller.m_Events));
    caller.m_nListenPort = callerSocket.GetLocalPort();
    SippPeer peerSipp;
    ASSERT_TRUE(peerSipp.Start("uas_final.xml", "", {{"code", c.pCode}, {"reason", c.pReason}}))
        << peerSipp.Output();
    std::string target = "127.0.0.1:" + std::to_string(peerSipp.Port());
    caller.m_ProxySIP = target.c_str();
    caller.m_SendHook = [&](const std::string& text) {
      callerSocket.SendData(text.c_str(), "127.0.0.1", peerSipp.Port());
    };
    caller.Dial("sip:bob@" + target);
    ASSERT_TRUE(RunUntil([&] { return peerSipp.HasExited(); })) << peerSipp.Output();
    EXPECT_EQ(peerSipp.ExitCode(), 0) << peerSipp.Output();
    EXPECT_EQ(caller.m_Events.Last(), c.pEvent);
    EXPECT_TRUE(caller.m_Events.Has("OnProvisionalResponse 0 100 Trying"));
    EXPECT_EQ(caller.Status(), cSIPCall::STATUS_IDLE);
    EXPECT_EQ(caller.CountSent("ACK "), 1);
    callerSocket.CloseSocket();
  }
}

TEST_F(SippCall, ReInvitesOfferingSendonlyAndNoAddress) {
  StartPeer("uas_reinvite.xml");
  Dial();
  ExpectPeerDone();
  EXPECT_TRUE(agent.m_Events.Has("OnConnected 0 127.0.0.1 6000"));
  EXPECT_EQ(agent.m_Events.Last(), "OnDisconnectCall 0");
  ASSERT_EQ(agent.m_RtpStarts.size(), 3u);
  EXPECT_TRUE(agent.m_RtpStarts[0].bOutbound);
  EXPECT_FALSE(agent.m_RtpStarts[1].bOutbound);  // sendonly offered: we only receive
  EXPECT_TRUE(agent.m_RtpStarts[1].bInbound);
  EXPECT_FALSE(agent.m_RtpStarts[2].bOutbound);  // 0.0.0.0 offered: nowhere to send
  EXPECT_TRUE(agent.m_RtpStarts[2].bInbound);
  EXPECT_EQ(agent.Status(), cSIPCall::STATUS_IDLE);
}

TEST_F(SippCall, LooseRouterStaysInTheRouteSet) {
  // Every message goes to the send-to address (SIPp) whatever the route says, so the router's
  // address only has to show up in the right places.
  StartPeer("uas_record_route.xml", false,
            {{"route", "<sip:127.0.0.1:5099;lr>"},
             {"reqline", "^(ACK|BYE) sip:sipp@127\\.0\\.0\\.1:[0-9]+ SIP/2\\.0"},
             {"routecheck", "&lt;sip:127\\.0\\.0\\.1:5099;lr>"}});
  Dial();
  ASSERT_TRUE(RunUntil([this] { return agent.m_Events.Has("OnConnected"); })) << sipp.Output();
  ASSERT_TRUE(agent.Line()->Disconnect());
  ExpectPeerDone();
  std::string bye = agent.LastSent("BYE ");
  EXPECT_EQ(StartLineOf(bye), "BYE sip:sipp@" + peer + " SIP/2.0");
  EXPECT_EQ(HeadersOf(bye, "Route"), std::vector<std::string>{"<sip:127.0.0.1:5099;lr>"});
}

TEST_F(SippCall, StrictRouterTakesTheRequestUri) {
  StartPeer("uas_record_route.xml", false,
            {{"route", "<sip:127.0.0.1:5099>"},
             {"reqline", "^(ACK|BYE) sip:127\\.0\\.0\\.1:5099 SIP/2\\.0"},
             {"routecheck", "&lt;sip:sipp@127\\.0\\.0\\.1:[0-9]+>"}});
  Dial();
  ASSERT_TRUE(RunUntil([this] { return agent.m_Events.Has("OnConnected"); })) << sipp.Output();
  ASSERT_TRUE(agent.Line()->Disconnect());
  ExpectPeerDone();
  std::string bye = agent.LastSent("BYE ");
  EXPECT_EQ(StartLineOf(bye), "BYE sip:127.0.0.1:5099 SIP/2.0");
  EXPECT_EQ(HeadersOf(bye, "Route"), std::vector<std::string>{"<sip:sipp@" + peer + ">"});
}

TEST_F(SippCall, CallerCancelsWhileWeRing) {
  StartPeer("uac_cancel.xml", true);
  ExpectPeerDone();
  EXPECT_EQ(agent.m_Events.Count("OnIncomingCall "), 1);
  EXPECT_EQ(agent.m_Events.Count("OnIncomingCallRingingStart"), 1);
  EXPECT_EQ(agent.m_Events.Count("OnIncomingCallRingingStop"), 1);
  EXPECT_EQ(agent.CountSent("SIP/2.0 487 Request Terminated"), 1);
  EXPECT_EQ(agent.CountSent("SIP/2.0 200 OK"), 1);
  cSIPCall* pCall = agent.Find(agent.m_Events.m_LastIncomingCallId);
  ASSERT_NE(pCall, nullptr);
  EXPECT_EQ(pCall->GetObjectStatus(), cSIPCall::STATUS_IDLE);
}

TEST_F(SippCall, CallerHangsUpAfterWeAccept) {
  StartPeer("uac_bye.xml", true);
  ASSERT_TRUE(RunUntil([this] { return agent.m_Events.Has("OnIncomingCallRingingStart"); }))
      << sipp.Output();
  ASSERT_TRUE(agent.Accept());
  ExpectPeerDone();
  EXPECT_TRUE(agent.m_Events.Has("OnConnected 0 127.0.0.1 6000"));
  EXPECT_EQ(agent.m_Events.Last(), "OnDisconnectCall 0");
  EXPECT_EQ(agent.Status(), cSIPCall::STATUS_IDLE);
  EXPECT_EQ(agent.m_RtpStops, std::vector<std::string>{"0 out in"});
}
