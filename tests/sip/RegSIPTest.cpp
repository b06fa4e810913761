#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "PacketTestCore.h"
#include "RegTestSupport.h"
#include "sip/cAuth.h"
#include "sip/cMd5c.h"
#include "sip/cMsgSIP.h"
#include "sip/cRegSIP.h"

using kyttest::cRecordingCoreSink;
using kyttest::CSeqNumberOf;
using kyttest::TagOf;
using regtest::cEventLog;
using sipmsgtest::HeaderOf;

namespace {

constexpr const char* kAccount = "\"Alice\" <sip:alice@example.org>";

// A response to a request text, as a registrar would write it.
std::unique_ptr<cMsgSIP> Answer(const std::string& request, int nCode, const std::string& reason,
                                const std::string& extra = "") {
  std::string text = "SIP/2.0 " + std::to_string(nCode) + " " + reason + "\r\n";
  text += "Via: " + HeaderOf(request, "Via") + ";received=10.0.0.5\r\n";
  text += "From: " + HeaderOf(request, "From") + "\r\n";
  text += "To: " + HeaderOf(request, "To") + ";tag=reg1\r\n";
  text += "Call-ID: " + HeaderOf(request, "Call-ID") + "\r\n";
  text += "CSeq: " + HeaderOf(request, "CSeq") + "\r\n";
  text += extra;
  text += "Content-Length: 0\r\n\r\n";
  std::unique_ptr<cMsgSIP> pMsg = cMsgSIP::initWithPacketSIP(text.c_str());
  EXPECT_TRUE(pMsg) << text;
  return pMsg;
}

const char* kChallenge =
    "WWW-Authenticate: Digest realm=\"example.org\", nonce=\"4bcd1f\", qop=\"auth\", "
    "opaque=\"0paq\", algorithm=MD5\r\n";

class RegSIPTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_Core.m_ListenIP = "10.0.0.5";
    m_Core.m_nListenPort = 5062;
    ASSERT_TRUE(m_Reg.InitOBJ(&m_Core, &m_Log, "10.0.0.5", 5062, kAccount, "",
                              "sip:proxy.example.org:5070"));
    // Keep-alives are on by default; these tests count the REGISTERs alone.
    EXPECT_EQ(m_Reg.GetSecondsToTrigger(cRegTick::kSlotKeepAlive), cRegSIP::kDefaultKeepAlive);
    m_Reg.KillTickKeepAlive();
  }

  const std::string& LastSent() const { return m_Core.m_Sent.back().text; }
  size_t SentCount() const { return m_Core.m_Sent.size(); }
  void Tick(int n = 1) {
    for (int i = 0; i < n; ++i) m_Reg.OnMainTick();
  }
  void Respond(int nCode, const std::string& reason, const std::string& extra = "") {
    auto pMsg = Answer(LastSent(), nCode, reason, extra);
    if (pMsg) m_Reg.OnResponse(*pMsg);
  }
  // Registers with 200 granting the given header.
  void Register(int nExpire = 3600, const std::string& ok = "Expires: 3600\r\n") {
    ASSERT_TRUE(m_Reg.RegisterToProxy(nExpire, "alice", "secret"));
    Respond(100, "Trying");
    Respond(200, "OK", ok);
    ASSERT_TRUE(m_Reg.IsRegister());
  }

  cRecordingCoreSink m_Core;
  cEventLog m_Log;
  cRegSIP m_Reg;
};

}  // namespace

TEST_F(RegSIPTest, RegisterRequestText) {
  ASSERT_TRUE(m_Reg.RegisterToProxy(3600, "alice", "secret"));
  ASSERT_EQ(SentCount(), 1u);
  const std::string& text = LastSent();
  EXPECT_EQ(m_Core.m_Sent[0].host, "proxy.example.org");
  EXPECT_EQ(m_Core.m_Sent[0].nPort, 5070);
  EXPECT_EQ(text.rfind("REGISTER sip:example.org SIP/2.0\r\nVia: SIP/2.0/UDP 10.0.0.5:5062;rport;"
                       "branch=z9hG4bK",
                       0),
            0u)
      << text;
  EXPECT_EQ(HeaderOf(text, "From"),
            std::string(kAccount) + ";tag=" + TagOf(HeaderOf(text, "From")));
  EXPECT_FALSE(TagOf(HeaderOf(text, "From")).empty());
  EXPECT_EQ(HeaderOf(text, "To"), kAccount);
  EXPECT_EQ(HeaderOf(text, "Contact"), "<sip:alice@10.0.0.5:5062>");
  EXPECT_EQ(HeaderOf(text, "Expires"), "3600");
  EXPECT_EQ(HeaderOf(text, "CSeq"), "1 REGISTER");
  EXPECT_EQ(HeaderOf(text, "Max-Forwards"), "70");
  EXPECT_EQ(HeaderOf(text, "User-Agent"), "KytSIPUserAgentiOS/3.4");
  std::string callId = HeaderOf(text, "Call-ID");
  EXPECT_EQ(callId.substr(callId.size() - 12), "@example.org");
  EXPECT_EQ(HeaderOf(text, "Authorization"), "");
  // Headers in the fixed row order.
  std::vector<std::string> order = {"Via",     "From",          "To",           "Call-ID",
                                    "CSeq",    "Contact",       "Max-Forwards", "User-Agent",
                                    "Expires", "Content-Length"};
  size_t nLast = 0;
  for (const std::string& name : order) {
    size_t nPos = text.find("\r\n" + name + ": ");
    ASSERT_NE(nPos, std::string::npos) << name;
    EXPECT_GT(nPos, nLast) << name;
    nLast = nPos;
  }
  EXPECT_EQ(text.substr(text.size() - 23), "\r\nContent-Length: 0\r\n\r\n");
}

TEST_F(RegSIPTest, UnansweredRegisterIsResentEveryTwoSecondsThenTimesOut) {
  ASSERT_TRUE(m_Reg.RegisterToProxy(3600, "alice", "secret"));
  std::string first = LastSent();
  std::vector<int> sendTicks;
  for (int nTick = 1; nTick <= 40; ++nTick) {
    size_t nBefore = SentCount();
    size_t nEvents = m_Log.m_Events.size();
    Tick();
    if (SentCount() > nBefore) {
      sendTicks.push_back(nTick);
      EXPECT_EQ(LastSent(), first);  // the same request again, byte for byte
    }
    if (m_Log.m_Events.size() > nEvents) {
      EXPECT_EQ(nTick, 16);
      EXPECT_EQ(SentCount(), 9u);  // the last copy leaves before the failure
    }
  }
  EXPECT_EQ(sendTicks, (std::vector<int>{2, 4, 6, 8, 10, 12, 14, 16}));
  EXPECT_EQ(m_Log.m_Events, (std::vector<std::string>{"Fail -1 Fail to register (time out)"}));
  EXPECT_FALSE(m_Reg.IsRegister());
  EXPECT_FALSE(m_Reg.IsPending());
}

TEST_F(RegSIPTest, SuccessArmsTheRefreshThreeSecondsBeforeExpiry) {
  Register();
  EXPECT_EQ(m_Log.m_Events, (std::vector<std::string>{"Trying", "Success"}));
  std::string first = LastSent();
  Tick(3596);
  EXPECT_EQ(SentCount(), 1u);
  Tick();
  ASSERT_EQ(SentCount(), 2u);
  const std::string& refresh = LastSent();
  EXPECT_EQ(HeaderOf(refresh, "Call-ID"), HeaderOf(first, "Call-ID"));
  EXPECT_EQ(TagOf(HeaderOf(refresh, "From")), TagOf(HeaderOf(first, "From")));
  EXPECT_EQ(CSeqNumberOf(refresh), CSeqNumberOf(first) + 1);
  EXPECT_EQ(HeaderOf(refresh, "Expires"), "3600");
  EXPECT_NE(HeaderOf(refresh, "Via"), HeaderOf(first, "Via"));  // a new branch
  Respond(100, "Trying");
  Respond(100, "Trying");
  Respond(200, "OK", "Contact: <sip:alice@10.0.0.5:5062>;expires=600\r\n");
  EXPECT_EQ(m_Log.m_Events,
            (std::vector<std::string>{"Trying", "Success", "TryingRe", "SuccessRe"}));
  EXPECT_EQ(m_Reg.GetSecondsToTrigger(cRegTick::kSlotReREG), 597);
  // The next refresh goes on counting in the same dialog.
  Tick(597);
  EXPECT_EQ(CSeqNumberOf(LastSent()), CSeqNumberOf(first) + 2);
  EXPECT_EQ(HeaderOf(LastSent(), "Call-ID"), HeaderOf(first, "Call-ID"));
}

TEST_F(RegSIPTest, GrantedExpiryFallbacks) {
  struct Case {
    std::string headers;
    int nRefresh;
  } cases[] = {
      {"", 17},                                                                   // default 20 s
      {"Expires: 2\r\n", 3},                                                      // below 1: 3 s
      {"Expires: 0\r\nContact: <sip:alice@10.0.0.5:5062>;expires=300\r\n", 297},  // Contact
      {"Contact: <sip:alice@10.0.0.5:5062>;expires=0\r\n", 17},  // 0 counts as none
      {"Expires: 120\r\nContact: <sip:alice@10.0.0.5:5062>;expires=300\r\n", 117},
  };
  for (const Case& c : cases) {
    Register(3600, c.headers);
    EXPECT_EQ(m_Reg.GetSecondsToTrigger(cRegTick::kSlotReREG), c.nRefresh) << c.headers;
  }
}

TEST_F(RegSIPTest, ChallengeIsAnsweredInTheSameDialog) {
  ASSERT_TRUE(m_Reg.RegisterToProxy(3600, "alice", "secret"));
  std::string first = LastSent();
  Respond(100, "Trying");
  Respond(401, "Unauthorized", kChallenge);
  ASSERT_EQ(SentCount(), 2u);
  const std::string& second = LastSent();
  EXPECT_EQ(HeaderOf(second, "Call-ID"), HeaderOf(first, "Call-ID"));
  EXPECT_EQ(TagOf(HeaderOf(second, "From")), TagOf(HeaderOf(first, "From")));
  EXPECT_EQ(CSeqNumberOf(second), CSeqNumberOf(first) + 1);
  EXPECT_EQ(HeaderOf(second, "Expires"), "3600");
  EXPECT_EQ(HeaderOf(second, "Proxy-Authorization"), "");

  cKytSTR auth = HeaderOf(second, "Authorization").c_str();
  cKytSTR cnonce, response;
  ASSERT_TRUE(cAuth::FindToken(auth, "cnonce=", cnonce));
  ASSERT_TRUE(cAuth::FindToken(auth, "response=", response));
  cMd5c md5;
  cKytSTR expected;
  md5.CalcResponse("alice", "secret", "REGISTER", "sip:example.org", "example.org", "auth",
                   "4bcd1f", "00000002", cnonce, expected);
  EXPECT_EQ(std::string(auth.GetDATA()),
            std::string("Digest username=\"alice\", realm=\"example.org\", nonce=\"4bcd1f\", "
                        "uri=\"sip:example.org\", response=\"") +
                expected.GetDATA() + "\", algorithm=MD5, opaque=\"0paq\", cnonce=\"" +
                cnonce.GetDATA() + "\", qop=auth, nc=00000002");

  // The answered attempt resends on its own schedule and succeeds; the trying event of the
  // attempt was already raised.
  Tick(2);
  EXPECT_EQ(SentCount(), 3u);
  Respond(100, "Trying");
  Respond(200, "OK", "Expires: 3600\r\n");
  EXPECT_EQ(m_Log.m_Events, (std::vector<std::string>{"Trying", "Success"}));
}

TEST_F(RegSIPTest, ProxyChallengeIsAnsweredWithProxyAuthorization) {
  ASSERT_TRUE(m_Reg.RegisterToProxy(3600, "alice", "secret"));
  Respond(407, "Proxy Authentication Required",
          "Proxy-Authenticate: Digest realm=\"example.org\", nonce=\"77\"\r\n");
  ASSERT_EQ(SentCount(), 2u);
  EXPECT_EQ(HeaderOf(LastSent(), "Authorization"), "");
  std::string value = HeaderOf(LastSent(), "Proxy-Authorization");
  cMd5c md5;
  cKytSTR expected;
  md5.CalcResponse("alice", "secret", "REGISTER", "sip:example.org", "example.org", "", "77", "",
                   "", expected);
  EXPECT_EQ(value, std::string("Digest username=\"alice\", realm=\"example.org\", nonce=\"77\", "
                               "uri=\"sip:example.org\", response=\"") +
                       expected.GetDATA() + "\", algorithm=MD5");
}

TEST_F(RegSIPTest, FifthChallengeFailsTheAttempt) {
  ASSERT_TRUE(m_Reg.RegisterToProxy(3600, "alice", "wrong"));
  for (int i = 0; i < 4; ++i) {
    Respond(401, "Unauthorized", kChallenge);
    ASSERT_EQ(SentCount(), static_cast<size_t>(i + 2));
    EXPECT_NE(HeaderOf(LastSent(), "Authorization"), "");
  }
  // Nonce counts 2 to 5 within the attempt.
  EXPECT_NE(HeaderOf(LastSent(), "Authorization").find("nc=00000005"), std::string::npos);
  Respond(401, "Unauthorized", kChallenge);
  EXPECT_EQ(SentCount(), 5u);
  EXPECT_EQ(m_Log.m_Events, (std::vector<std::string>{"Fail 401 Unauthorized"}));
  Tick(40);
  EXPECT_EQ(SentCount(), 5u);

  // A new attempt may answer four challenges again, counting from 2 again.
  ASSERT_TRUE(m_Reg.RegisterToProxy(3600, "alice", "secret"));
  Respond(401, "Unauthorized", kChallenge);
  EXPECT_NE(HeaderOf(LastSent(), "Authorization").find("nc=00000002"), std::string::npos);
}

TEST_F(RegSIPTest, ChallengeWithoutItsHeaderFailsAtOnce) {
  ASSERT_TRUE(m_Reg.RegisterToProxy(3600, "alice", "secret"));
  Respond(401, "Unauthorized");
  EXPECT_EQ(SentCount(), 1u);
  // A 407 carrying only WWW-Authenticate is no proxy challenge either.
  ASSERT_TRUE(m_Reg.RegisterToProxy(3600, "alice", "secret"));
  Respond(407, "Proxy Authentication Required", kChallenge);
  EXPECT_EQ(SentCount(), 2u);
  EXPECT_EQ(m_Log.m_Events, (std::vector<std::string>{"Fail 401 Unauthorized",
                                                      "Fail 407 Proxy Authentication Required"}));
}

TEST_F(RegSIPTest, FinalErrorsFailWithTheirCodeAndReason) {
  ASSERT_TRUE(m_Reg.RegisterToProxy(3600, "alice", "secret"));
  Respond(100, "Trying");
  Respond(403, "Forbidden by Policy");
  ASSERT_TRUE(m_Reg.RegisterToProxy(3600, "alice", "secret"));
  Respond(503, "Service Unavailable");
  ASSERT_TRUE(m_Reg.RegisterToProxy(3600, "alice", "secret"));
  Respond(603, "Decline");
  EXPECT_EQ(m_Log.m_Events,
            (std::vector<std::string>{"Trying", "Fail 403 Forbidden by Policy",
                                      "Fail 503 Service Unavailable", "Fail 603 Decline"}));
  Tick(40);
  EXPECT_EQ(SentCount(), 3u);
}

TEST_F(RegSIPTest, EachApplicationRegistrationStartsANewDialog) {
  Register();
  std::string first = m_Core.m_Sent[0].text;
  Register();
  std::string second = LastSent();
  EXPECT_NE(HeaderOf(second, "Call-ID"), HeaderOf(first, "Call-ID"));
  EXPECT_NE(TagOf(HeaderOf(second, "From")), TagOf(HeaderOf(first, "From")));
  EXPECT_EQ(CSeqNumberOf(second), CSeqNumberOf(first) + 1);
  EXPECT_EQ(m_Log.m_Events, (std::vector<std::string>{"Trying", "Success", "Trying", "Success"}));
}

TEST_F(RegSIPTest, FailedRefreshLeavesTheAgentUnregistered) {
  Register(60, "Expires: 60\r\n");
  Tick(57);
  ASSERT_EQ(SentCount(), 2u);
  Respond(100, "Trying");
  Respond(404, "Not Found");
  EXPECT_FALSE(m_Reg.IsRegister());
  EXPECT_EQ(m_Log.m_Events,
            (std::vector<std::string>{"Trying", "Success", "TryingRe", "FailRe 404 Not Found"}));
  Tick(200);
  EXPECT_EQ(SentCount(), 2u);
}

TEST_F(RegSIPTest, RefreshTimeOutIsReportedAsRefreshFailure) {
  Register(60, "Expires: 60\r\n");
  Tick(57 + 16);
  EXPECT_EQ(SentCount(), 2u + 8u);
  EXPECT_EQ(m_Log.m_Events.back(), "FailRe -1 Fail to register (time out)");
  EXPECT_FALSE(m_Reg.IsRegister());
}

TEST_F(RegSIPTest, UnregisterWhileNotRegisteredSendsNothing) {
  EXPECT_TRUE(m_Reg.UnRegisterToProxy());
  Tick(40);
  EXPECT_EQ(SentCount(), 0u);
  EXPECT_TRUE(m_Log.m_Events.empty());
}

TEST_F(RegSIPTest, UnregisterGivesUpARegistrationUnderWay) {
  ASSERT_TRUE(m_Reg.RegisterToProxy(3600, "alice", "secret"));
  std::string pending = LastSent();
  EXPECT_TRUE(m_Reg.UnRegisterToProxy());
  Tick(40);
  EXPECT_EQ(SentCount(), 1u);
  // A late answer to the abandoned request changes nothing.
  auto pLate = Answer(pending, 200, "OK", "Expires: 3600\r\n");
  m_Reg.OnResponse(*pLate);
  EXPECT_FALSE(m_Reg.IsRegister());
  EXPECT_TRUE(m_Log.m_Events.empty());
}

TEST_F(RegSIPTest, UnregisterUsesTheRegistrationDialogWithExpiresZero) {
  Register();
  std::string first = LastSent();
  ASSERT_TRUE(m_Reg.UnRegisterToProxy());
  std::string un = LastSent();
  EXPECT_EQ(HeaderOf(un, "Expires"), "0");
  EXPECT_EQ(HeaderOf(un, "Call-ID"), HeaderOf(first, "Call-ID"));
  EXPECT_EQ(TagOf(HeaderOf(un, "From")), TagOf(HeaderOf(first, "From")));
  EXPECT_EQ(CSeqNumberOf(un), CSeqNumberOf(first) + 1);
  // The refresh is gone: only the unregistration's resends follow.
  Tick(2);
  EXPECT_EQ(LastSent(), un);
  Respond(100, "Trying");
  Respond(401, "Unauthorized", kChallenge);
  EXPECT_EQ(HeaderOf(LastSent(), "Expires"), "0");
  EXPECT_NE(HeaderOf(LastSent(), "Authorization"), "");
  Respond(100, "Trying");
  Respond(200, "OK");
  EXPECT_FALSE(m_Reg.IsRegister());
  EXPECT_EQ(m_Log.m_Events,
            (std::vector<std::string>{"Trying", "Success", "TryingUn", "SuccessUn"}));
  size_t nSent = SentCount();
  Tick(4000);
  EXPECT_EQ(SentCount(), nSent);
}

TEST_F(RegSIPTest, UnregisterFailuresEndUnregistered) {
  Register();
  ASSERT_TRUE(m_Reg.UnRegisterToProxy());
  Tick(16);
  EXPECT_EQ(m_Log.m_Events.back(), "FailUn -1 Fail to register (time out)");
  EXPECT_FALSE(m_Reg.IsRegister());

  Register();
  ASSERT_TRUE(m_Reg.UnRegisterToProxy());
  size_t nSent = SentCount();
  // A redirect of an unregistration is its failure, never a registration elsewhere.
  Respond(302, "Moved Temporarily", "Contact: <sip:alice@10.9.9.9:5080>\r\n");
  EXPECT_EQ(SentCount(), nSent);
  EXPECT_EQ(m_Log.m_Events.back(), "FailUn 302 Moved Temporarily");
  EXPECT_FALSE(m_Reg.IsRegister());
}

TEST_F(RegSIPTest, RedirectRegistersAtTheContact) {
  ASSERT_TRUE(m_Reg.RegisterToProxy(3600, "alice", "secret"));
  std::string first = LastSent();
  Respond(302, "Moved Temporarily", "Contact: <sip:alice@10.9.9.9:5080>\r\n");
  ASSERT_EQ(SentCount(), 2u);
  EXPECT_EQ(m_Core.m_Sent[1].host, "10.9.9.9");
  EXPECT_EQ(m_Core.m_Sent[1].nPort, 5080);
  const std::string& moved = LastSent();
  EXPECT_EQ(moved.rfind("REGISTER sip:10.9.9.9 SIP/2.0\r\n", 0), 0u);
  EXPECT_EQ(HeaderOf(moved, "To"), "<sip:alice@10.9.9.9:5080>");
  EXPECT_EQ(HeaderOf(moved, "Call-ID"), HeaderOf(first, "Call-ID"));
  EXPECT_EQ(CSeqNumberOf(moved), CSeqNumberOf(first) + 1);
  Respond(100, "Trying");
  Respond(200, "OK", "Expires: 3600\r\n");
  EXPECT_EQ(m_Log.m_Events, (std::vector<std::string>{"TryingRe", "SuccessRe"}));
  EXPECT_TRUE(m_Reg.IsRegister());
}

TEST_F(RegSIPTest, RedirectWithoutUsableContactEndsSilently) {
  ASSERT_TRUE(m_Reg.RegisterToProxy(3600, "alice", "secret"));
  Respond(302, "Moved Temporarily");
  Tick(40);
  EXPECT_EQ(SentCount(), 1u);
  EXPECT_TRUE(m_Log.m_Events.empty());
  EXPECT_FALSE(m_Reg.IsPending());
}

TEST_F(RegSIPTest, KeepAliveSendsOnlyWhileRegistered) {
  m_Reg.SetTickKeepAlive(5);
  Tick(12);
  EXPECT_EQ(SentCount(), 0u);
  Register(3600);
  size_t nBase = SentCount();
  Tick(5);
  ASSERT_EQ(SentCount(), nBase + 1);
  EXPECT_EQ(LastSent(), "\r\n\r\n");
  EXPECT_EQ(m_Core.m_Sent.back().host, "proxy.example.org");

  // It survives a failed attempt but stays silent while unregistered.
  ASSERT_TRUE(m_Reg.RegisterToProxy(3600, "alice", "secret"));
  Respond(403, "Forbidden");
  nBase = SentCount();
  Tick(10);
  EXPECT_EQ(SentCount(), nBase);
  EXPECT_TRUE(m_Reg.IsTickEnabled(cRegTick::kSlotKeepAlive));

  Register(3600);
  nBase = SentCount();
  m_Reg.KillTickKeepAlive();
  Tick(20);
  EXPECT_EQ(SentCount(), nBase);
}

TEST_F(RegSIPTest, UnparsableAccountGivesErrors26And27) {
  cRegSIP reg;
  cRecordingCoreSink core;
  cEventLog log;
  ASSERT_TRUE(reg.InitOBJ(&core, &log, "10.0.0.5", 5062, "", "", "sip:proxy.example.org"));
  EXPECT_FALSE(reg.RegisterToProxy(3600, "alice", "secret"));
  EXPECT_EQ(reg.GetObjectError(), 26);
  EXPECT_TRUE(core.m_Sent.empty());

  // Registered under a good account, then the session comes back with a broken one.
  Register();
  ASSERT_TRUE(m_Reg.InitOBJ(&m_Core, &m_Log, "10.0.0.5", 5062, "<sip:>", "", "sip:proxy"));
  size_t nSent = SentCount();
  EXPECT_FALSE(m_Reg.UnRegisterToProxy());
  EXPECT_EQ(m_Reg.GetObjectError(), 27);
  EXPECT_EQ(SentCount(), nSent);
}

TEST_F(RegSIPTest, RegistrarAddressComesFromTheProxy) {
  cRegSIP reg;
  cRecordingCoreSink core;
  cEventLog log;
  EXPECT_FALSE(reg.InitOBJ(&core, &log, "10.0.0.5", 5062, kAccount, "", ""));
  ASSERT_TRUE(reg.InitOBJ(&core, &log, "10.0.0.5", 5062, kAccount, "sip:out.example.org:6000",
                          "registrar.example.org"));
  ASSERT_TRUE(reg.RegisterToProxy(60, "alice", "secret"));
  EXPECT_EQ(core.m_Sent[0].host, "registrar.example.org");
  EXPECT_EQ(core.m_Sent[0].nPort, 5060);
  // Without a SIP proxy the outbound proxy is the only address there is.
  ASSERT_TRUE(reg.InitOBJ(&core, &log, "10.0.0.5", 5062, kAccount, "sip:out.example.org:6000", ""));
  ASSERT_TRUE(reg.RegisterToProxy(60, "alice", "secret"));
  EXPECT_EQ(core.m_Sent[1].host, "out.example.org");
  EXPECT_EQ(core.m_Sent[1].nPort, 6000);
}

TEST_F(RegSIPTest, ResponsesToOtherRequestsAreIgnored) {
  ASSERT_TRUE(m_Reg.RegisterToProxy(3600, "alice", "secret"));
  std::string request = LastSent();
  // Another Call-ID, an older CSeq, a garbled CSeq, no Call-ID at all.
  std::string other = request;
  other.replace(other.find("Call-ID: ") + 9, 3, "zzz");
  m_Reg.OnResponse(*Answer(other, 200, "OK"));
  std::string older = request;
  older.replace(older.find("CSeq: 1 "), 8, "CSeq: 0 ");
  m_Reg.OnResponse(*Answer(older, 200, "OK"));
  auto pGarbled =
      cMsgSIP::initWithPacketSIP("SIP/2.0 200 OK\r\nCSeq: REGISTER\r\nContent-Length: 0\r\n\r\n");
  ASSERT_TRUE(pGarbled);
  m_Reg.OnResponse(*pGarbled);
  EXPECT_FALSE(m_Reg.IsRegister());
  EXPECT_TRUE(m_Log.m_Events.empty());

  Respond(200, "OK", "Expires: 3600\r\n");
  // A repeated 200 (the registrar answering a resend) is not a second success.
  Respond(200, "OK", "Expires: 3600\r\n");
  EXPECT_EQ(m_Log.m_Events, (std::vector<std::string>{"Success"}));
}

TEST_F(RegSIPTest, ProvisionalOtherThan100KeepsTheSchedule) {
  ASSERT_TRUE(m_Reg.RegisterToProxy(3600, "alice", "secret"));
  Respond(183, "Session Progress");
  Tick(16);
  EXPECT_EQ(SentCount(), 9u);
  EXPECT_EQ(m_Log.m_Events, (std::vector<std::string>{"Fail -1 Fail to register (time out)"}));
}

TEST_F(RegSIPTest, ActingFromInsideTheSuccessEvent) {
  // The application unregisters as soon as it hears of the success: no refresh may survive.
  m_Log.m_OnEvent = [this](const std::string& event) {
    if (event == "Success") m_Reg.UnRegisterToProxy();
  };
  Register();
  EXPECT_EQ(m_Reg.GetSecondsToTrigger(cRegTick::kSlotReREG), -1);
  EXPECT_EQ(HeaderOf(LastSent(), "Expires"), "0");
  EXPECT_TRUE(m_Reg.IsPending());
}

TEST_F(RegSIPTest, UnInitStopsEverythingButTheKeepAliveSlot) {
  Register();
  m_Reg.SetTickKeepAlive(1);
  m_Reg.UnInitOBJ();
  EXPECT_FALSE(m_Reg.IsRegister());
  size_t nSent = SentCount();
  Tick(4000);
  EXPECT_EQ(SentCount(), nSent);
}
