#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "FakeAgent.h"
#include "SipText.h"
#include "platform/cAsioMainLoop.h"
#include "sip/cSocketSIP.h"
#include "tests/support/Wait.h"
#include "tests/support/cSippPeer.h"

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
                 const kyttest::cSippPeer::Keys& keys = {}) {
    std::string self = "127.0.0.1:" + std::to_string(agent.m_nListenPort);
    ASSERT_TRUE(sipp.Start(std::string(KYT_CALL_TEST_DATA) + "/" + scenario, bCallsUs ? self : "",
                           30s, keys))
        << "sipp (Debian package sip-tester) did not start\n"
        << sipp.Output();
    peer = "127.0.0.1:" + std::to_string(sipp.Port());
    agent.m_ProxySIP = peer.c_str();
    agent.m_SendHook = [this](const std::string& text) {
      socket.SendData(text.c_str(), "127.0.0.1", sipp.Port());
    };
  }

  bool RunUntil(const std::function<bool()>& pred) {
    return kyttest::RunLoopUntil(loop, pred, 15s);
  }

  // SIPp ran its scenario to the end without an error.
  void ExpectPeerDone() {
    ASSERT_TRUE(RunUntil([this] { return sipp.Done(); })) << sipp.Output();
    EXPECT_EQ(sipp.ExitCode(), 0) << sipp.Output() << "\nagent events:\n" << agent.m_Events.All();
  }

  void Dial() { agent.Dial("sip:bob@" + peer); }

  // A call through a record-routing proxy that SIPp plays as well, hung up by us: the route it
  // records, and the patterns it checks our ACK and BYE against (request line, Route).
  void CallThroughRouterAndHangUp(const std::string& route, const std::string& reqline,
                                  const std::string& routecheck) {
    StartPeer("uas_record_route.xml", false,
              {{"route", route}, {"reqline", reqline}, {"routecheck", routecheck}});
    Dial();
    ASSERT_TRUE(RunUntil([this] { return agent.m_Events.Has("OnConnected"); })) << sipp.Output();
    ASSERT_TRUE(agent.Line()->Disconnect());
    ExpectPeerDone();
  }

  void Tick() {
    agent.Tick();
    loop.Poll();
  }

  cAsioMainLoop loop;
  FakeAgent agent;
  cSocketSIP socket;
  kyttest::cSippPeer sipp;
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

TEST_F(SippCall, NeverAnsweredInviteEndsWithoutCancel) {
  StartPeer("uas_never_answer.xml");
  Dial();
  for (int nTick = 1; nTick <= 17; ++nTick) Tick();
  EXPECT_EQ(agent.CountSent("INVITE "), 9);
  EXPECT_FALSE(agent.m_Events.Has("OnFailToConnect"));
  Tick();
  EXPECT_EQ(agent.m_Events.Last(), "OnFailToConnect 0");
  ExpectPeerDone();
  EXPECT_EQ(agent.CountSent("CANCEL "), 0);
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

struct ChallengeCase {
  const char* pInviteCode;
  const char* pInviteReason;
  const char* pInviteHeader;
  const char* pByeCode;
  const char* pByeReason;
  const char* pByeHeader;
};

class SippCallChallenged : public SippCall, public ::testing::WithParamInterface<ChallengeCase> {};

TEST_P(SippCallChallenged, ChallengedInviteAndBye) {
  const ChallengeCase& c = GetParam();
  StartPeer("uas_auth.xml", false,
            {{"code1", c.pInviteCode},
             {"reason1", c.pInviteReason},
             {"challenge1", c.pInviteHeader},
             {"code2", c.pByeCode},
             {"reason2", c.pByeReason},
             {"challenge2", c.pByeHeader},
             {"check1", CredentialCheck(1, c.pInviteCode)},
             {"check2", CredentialCheck(2, c.pByeCode)}});
  Dial();
  ASSERT_TRUE(RunUntil([this] { return agent.m_Events.Has("OnConnected"); }))
      << sipp.Output() << agent.m_Events.All();
  EXPECT_EQ(agent.CountSent("INVITE "), 2);
  ASSERT_EQ(agent.m_RtpStarts.size(), 1u);
  EXPECT_EQ(agent.m_RtpStarts[0].nCodec, 1);  // SIPp offers PCMA only
  EXPECT_EQ(agent.m_RtpStarts[0].nPayload, 8);
  EXPECT_EQ(agent.m_RtpStarts[0].nPort, 6000);
  ASSERT_TRUE(agent.Line()->Disconnect());
  ExpectPeerDone();
  EXPECT_EQ(agent.CountSent("BYE "), 2);
  EXPECT_EQ(agent.Status(), cSIPCall::STATUS_IDLE);
}

INSTANTIATE_TEST_SUITE_P(
    WwwThenProxyAndBack, SippCallChallenged,
    ::testing::Values(ChallengeCase{"401", "Unauthorized", "WWW-Authenticate", "407",
                                    "Proxy Authentication Required", "Proxy-Authenticate"},
                      ChallengeCase{"407", "Proxy Authentication Required", "Proxy-Authenticate",
                                    "401", "Unauthorized", "WWW-Authenticate"}));

// Chains of challenges to one INVITE: what the caller answers, what it gives up.
struct ChainCase {
  const char* pName;
  const char* pCode1;
  const char* pRealm1;
  const char* pExtra1;
  const char* pCode2;
  const char* pRealm2;
  const char* pExtra2;
  int nInvites;       // INVITEs the caller sends in all
  const char* pLast;  // the caller's last event
};

void PrintTo(const ChainCase& c, std::ostream* pOut) { *pOut << c.pName; }

const char* HeaderFor(const std::string& code) {
  return code == "401" ? "WWW-Authenticate" : "Proxy-Authenticate";
}

// Where the caller must stop: half a second in which another INVITE would be an error.
constexpr const char* kGiveUp = "<pause milliseconds=\"500\" next=\"end\"/>";

class SippCallChallengeChain : public SippCall, public ::testing::WithParamInterface<ChainCase> {};

TEST_P(SippCallChallengeChain, EveryChallengeIsAcknowledgedAndTheChainEnds) {
  const ChainCase& c = GetParam();
  // The third INVITE carries both credentials when a proxy and a server both challenged.
  std::string check3 = CredentialCheck(3, "401");
  std::string references;
  if (std::string(c.pCode1) == "407") {
    references = "<Reference variables=\"proxied\"/>";
    check3 +=
        "<ereg regexp=\"realm=.proxy.\" search_in=\"hdr\" header=\"Proxy-Authorization:\" "
        "check_it=\"true\" assign_to=\"proxied\"/>";
  }
  StartPeer("uas_challenge_chain.xml", false,
            {{"code1", c.pCode1},
             {"header1", HeaderFor(c.pCode1)},
             {"realm1", c.pRealm1},
             {"extra1", c.pExtra1},
             {"code2", c.pCode2},
             {"header2", HeaderFor(c.pCode2)},
             {"realm2", c.pRealm2},
             {"extra2", c.pExtra2},
             {"check3", check3},
             {"wait2", c.nInvites == 1 ? kGiveUp : ""},
             {"wait3", c.nInvites == 2 ? kGiveUp : ""},
             {"references", references}});
  Dial();
  if (c.nInvites == 3) {
    ASSERT_TRUE(RunUntil([this] { return agent.m_Events.Has("OnConnected"); }))
        << sipp.Output() << agent.m_Events.All();
    std::string third = agent.LastSent("INVITE ");
    EXPECT_EQ(HeadersOf(third, "Authorization").size(), 1u);
    EXPECT_NE(HeaderOf(third, "Authorization").find("nc=00000001"), std::string::npos);
    ASSERT_TRUE(agent.Line()->Disconnect());
  }
  ExpectPeerDone();
  EXPECT_EQ(agent.CountSent("INVITE "), c.nInvites);
  EXPECT_EQ(agent.CountSent("ACK "), c.nInvites);
  EXPECT_EQ(agent.m_Events.Last().rfind(c.pLast, 0), 0u) << agent.m_Events.Last();
  EXPECT_EQ(agent.Status(), cSIPCall::STATUS_IDLE);
}

INSTANTIATE_TEST_SUITE_P(
    Chains, SippCallChallengeChain,
    ::testing::Values(ChainCase{"SecondChallengeIsAFailure", "401", "kyt", "", "401", "kyt", "", 2,
                                "OnRequestFailureResponse 0 401 Challenge"},
                      ChainCase{"StaleNonceIsAnsweredAgain", "401", "kyt", "", "401", "kyt",
                                ", stale=true", 3, "OnConnected 0 127.0.0.1 6000"},
                      ChainCase{"ProxyThenServer", "407", "proxy", "", "401", "kyt", "", 3,
                                "OnConnected 0 127.0.0.1 6000"},
                      ChainCase{"OtherAlgorithmIsAFailure", "401", "kyt", ", algorithm=SHA-256",
                                "401", "kyt", "", 1, "OnRequestFailureResponse 0 401 Challenge"}),
    [](const ::testing::TestParamInfo<ChainCase>& chain) {
      return std::string(chain.param.pName);
    });

// Requests that find no dialog here, or ask for what we do not do, and their answers.
struct OneRequestCase {
  const char* pName;
  const char* pMethod;
  const char* pToTag;
  const char* pExtra;
  const char* pCode;
  const char* pHeader;  // a header the answer must carry, or null
  const char* pValue;   // a pattern of its value
};

void PrintTo(const OneRequestCase& c, std::ostream* pOut) { *pOut << c.pName; }

class SippCallOneRequest : public SippCall, public ::testing::WithParamInterface<OneRequestCase> {};

TEST_P(SippCallOneRequest, IsAnsweredAsExpected) {
  const OneRequestCase& c = GetParam();
  std::string check, references;
  if (c.pHeader != nullptr) {
    check = std::string("<ereg regexp=\"") + c.pValue + "\" search_in=\"hdr\" header=\"" +
            c.pHeader + ":\" check_it=\"true\" assign_to=\"seen\"/>";
    references = "<Reference variables=\"seen\"/>";
  }
  StartPeer("uac_one_request.xml", true,
            {{"method", c.pMethod},
             {"totag", c.pToTag},
             {"extra", c.pExtra},
             {"code", c.pCode},
             {"check", check},
             {"references", references}});
  ExpectPeerDone();
  EXPECT_EQ(agent.m_Pool.GetCallCount(), 0);
  EXPECT_TRUE(agent.m_Events.m_Events.empty()) << agent.m_Events.All();
}

INSTANTIATE_TEST_SUITE_P(
    NoDialogOrExtension, SippCallOneRequest,
    ::testing::Values(
        OneRequestCase{"Bye", "BYE", ";tag=gone", "", "481", nullptr, nullptr},
        OneRequestCase{"Info", "INFO", ";tag=gone", "", "481", nullptr, nullptr},
        OneRequestCase{"Cancel", "CANCEL", "", "", "481", nullptr, nullptr},
        OneRequestCase{"Update", "UPDATE", ";tag=gone", "", "481", nullptr, nullptr},
        OneRequestCase{"ReInvite", "INVITE", ";tag=gone", "", "481", nullptr, nullptr},
        OneRequestCase{"MessageSummary", "NOTIFY", ";tag=gone",
                       "Event: message-summary\r\nSubscription-State: active", "489", nullptr,
                       nullptr},
        OneRequestCase{"LowerCaseMethod", "invite", "", "", "405", "Allow", "INVITE"},
        OneRequestCase{"RequireFoo", "OPTIONS", "", "Require: foo", "420", "Unsupported", "foo"},
        OneRequestCase{"Options", "OPTIONS", "", "Accept: application/sdp", "200", "Allow",
                       "^ *ACK, INFO, BYE, CANCEL, INVITE, NOTIFY, OPTIONS, MESSAGE, SUBSCRIBE$"},
        OneRequestCase{"Refer", "REFER", "", "Refer-To: <sip:carol@127.0.0.1>", "405", "Allow",
                       "INVITE"}),
    [](const ::testing::TestParamInfo<OneRequestCase>& one) {
      return std::string(one.param.pName);
    });

// Offers whose media we cannot key as asked are refused with 488 before anything rings.
struct SrtpOfferCase {
  const char* pName;
  const char* pProto;
  const char* pCrypto;
  eTransportSIP eTransport;  // how we reach our proxy: TLS makes signalling secure
  bool bMandatory;
};

void PrintTo(const SrtpOfferCase& c, std::ostream* pOut) { *pOut << c.pName; }

class SippCallSrtpOffer : public SippCall, public ::testing::WithParamInterface<SrtpOfferCase> {};

TEST_P(SippCallSrtpOffer, IsRefusedWith488) {
  const SrtpOfferCase& c = GetParam();
  agent.m_bSrtpMandatory = c.bMandatory;
  StartPeer("uac_offer.xml", true, {{"proto", c.pProto}, {"crypto", c.pCrypto}, {"code", "488"}});
  agent.m_eTransport = c.eTransport;
  ExpectPeerDone();
  EXPECT_FALSE(agent.m_Events.Has("OnIncomingCall")) << agent.m_Events.All();
}

INSTANTIATE_TEST_SUITE_P(
    Srtp, SippCallSrtpOffer,
    ::testing::Values(
        SrtpOfferCase{"UnknownSuite", "RTP/SAVP",
                      "a=crypto:1 AES_256_CM_HMAC_SHA1_80 "
                      "inline:WVNfX19zZW1jdGwgKCkgewkyMjA7fQp9CnVubGVzcyBiV2Vuc2UgbWFyZ2luIHZlcg",
                      eTransportSIP::UDP, false},
        SrtpOfferCase{"KeyWithOversizedMki", "RTP/SAVP",
                      "a=crypto:1 AES_CM_128_HMAC_SHA1_80 "
                      "inline:WVNfX19zZW1jdGwgKCkgewkyMjA7fQp9CnVubGVz|2^20|1:129",
                      eTransportSIP::UDP, false},
        SrtpOfferCase{"PlainOverTlsWhenMandatory", "RTP/AVP", "a=sendrecv", eTransportSIP::TLS,
                      true}),
    [](const ::testing::TestParamInfo<SrtpOfferCase>& one) {
      return std::string(one.param.pName);
    });

struct FinalCase {
  const char* pCode;
  const char* pReason;
  const char* pEvent;
};

class SippCallFinalAnswer : public SippCall, public ::testing::WithParamInterface<FinalCase> {};

TEST_P(SippCallFinalAnswer, FinalAnswersAreAcknowledgedAndReported) {
  const FinalCase& c = GetParam();
  StartPeer("uas_final.xml", false, {{"code", c.pCode}, {"reason", c.pReason}});
  Dial();
  ExpectPeerDone();
  EXPECT_EQ(agent.m_Events.Last(), c.pEvent);
  EXPECT_TRUE(agent.m_Events.Has("OnProvisionalResponse 0 100 Trying"));
  EXPECT_EQ(agent.Status(), cSIPCall::STATUS_IDLE);
  EXPECT_EQ(agent.CountSent("ACK "), 1);
}

INSTANTIATE_TEST_SUITE_P(
    RedirectAndFailures, SippCallFinalAnswer,
    ::testing::Values(
        FinalCase{"302", "Moved Temporarily",
                  "OnRedirectResponse 0 302 Moved Temporarily <sip:carol@127.0.0.1:5099>"},
        FinalCase{"486", "Busy Here", "OnRequestFailureResponse 0 486 Busy Here"},
        FinalCase{"503", "Service Unavailable",
                  "OnServerFailureResponse 0 503 Service Unavailable"},
        FinalCase{"603", "Decline", "OnGeneralFailureResponse 0 603 Decline"}));

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

// Every message goes to the send-to address (SIPp) whatever the route says, so the router's
// address only has to show up in the right places.
TEST_F(SippCall, LooseRouterStaysInTheRouteSet) {
  ASSERT_NO_FATAL_FAILURE(CallThroughRouterAndHangUp(
      "<sip:127.0.0.1:5099;lr>", "^(ACK|BYE) sip:sipp@127\\.0\\.0\\.1:[0-9]+ SIP/2\\.0",
      "&lt;sip:127\\.0\\.0\\.1:5099;lr>"));
  std::string bye = agent.LastSent("BYE ");
  EXPECT_EQ(StartLineOf(bye), "BYE sip:sipp@" + peer + " SIP/2.0");
  EXPECT_EQ(HeadersOf(bye, "Route"), std::vector<std::string>{"<sip:127.0.0.1:5099;lr>"});
}

TEST_F(SippCall, StrictRouterTakesTheRequestUri) {
  ASSERT_NO_FATAL_FAILURE(CallThroughRouterAndHangUp(
      "<sip:127.0.0.1:5099>", "^(ACK|BYE) sip:127\\.0\\.0\\.1:5099 SIP/2\\.0",
      "&lt;sip:sipp@127\\.0\\.0\\.1:[0-9]+>"));
  std::string bye = agent.LastSent("BYE ");
  EXPECT_EQ(StartLineOf(bye), "BYE sip:127.0.0.1:5099 SIP/2.0");
  EXPECT_EQ(HeadersOf(bye, "Route"), std::vector<std::string>{"<sip:sipp@" + peer + ">"});
}

TEST_F(SippCall, CommaJoinedRecordRouteIsSplitAndReversed) {
  ASSERT_NO_FATAL_FAILURE(CallThroughRouterAndHangUp(
      "<sip:127.0.0.1:5099;lr>, <sip:127.0.0.1:5098;lr>",
      "^(ACK|BYE) sip:sipp@127\\.0\\.0\\.1:[0-9]+ SIP/2\\.0", "&lt;sip:127\\.0\\.0\\.1:5098;lr>"));
  EXPECT_EQ(HeadersOf(agent.LastSent("BYE "), "Route"),
            (std::vector<std::string>{"<sip:127.0.0.1:5098;lr>", "<sip:127.0.0.1:5099;lr>"}));
}

TEST_F(SippCall, RequestPendingAnswerToHoldIsAcknowledgedAndTriedAgain) {
  StartPeer("uas_reinvite_491.xml");
  Dial();
  ASSERT_TRUE(RunUntil([this] { return agent.m_Events.Has("OnConnected"); })) << sipp.Output();
  ASSERT_TRUE(agent.Line()->HoldCall());
  ASSERT_TRUE(RunUntil([this] { return agent.CountSent("ACK ") == 2; })) << sipp.Output();
  EXPECT_EQ(agent.Status(), cSIPCall::STATUS_CONNECTED);
  EXPECT_FALSE(agent.m_Events.Has("OnFailToHold"));
  // We own the Call-ID: the hold goes again after 2.1 to 4 seconds.
  for (int i = 0; i < 2; ++i) Tick();
  EXPECT_EQ(agent.CountSent("INVITE "), 2);
  for (int i = 0; i < 2; ++i) Tick();
  ASSERT_TRUE(RunUntil([this] { return agent.m_Events.Has("OnSuccessToHold 0"); }))
      << sipp.Output();
  ASSERT_TRUE(agent.Line()->Disconnect());
  ExpectPeerDone();
  EXPECT_EQ(agent.CountSent("INVITE "), 3);
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
