// Session set-up and tear-down, argument and state checks and the line table, seen through the
// facade the plug-in uses.

#include <gtest/gtest.h>

#include <chrono>

#include "platform/cAsioMainLoop.h"
#include "platform/cUdpSocket.h"
#include "tests/support/cLoopbackPort.h"
#include "tests/support/cPortSearchLock.h"
#include "tests/support/cRecordingLib.h"
#include "useragent/cKytSIPUserAgentObject.h"

using namespace std::chrono_literals;
using kyttest::cRecordingLib;

namespace {

constexpr int32_t kLines = 2;

class UserAgentSession : public ::testing::Test {
 protected:
  bool Start(cRecordingLib& ua, const char* pFrom = "\"Alice\" <sip:alice@example.com>",
             const char* pProxy = "sip:127.0.0.1:5999", const char* pOutbound = "",
             int32_t nPort = 0) {
    return ua.Initialize(true, "127.0.0.1", nPort, pFrom, pOutbound, pProxy, "alice", "secret",
                         false, kLines);
  }

  cAsioMainLoop m_Loop;
  cRecordingLib m_UA{&m_Loop};
};

TEST_F(UserAgentSession, InitializeBringsASessionUpWithTheGivenSettings) {
  ASSERT_TRUE(Start(m_UA));
  const cKytSIPUserAgentObject* pCore = m_UA.GetKytMainObj();
  EXPECT_TRUE(pCore->IsInitialized());
  EXPECT_EQ(0, m_UA.GetKytObjectError());
  EXPECT_STREQ("127.0.0.1", pCore->GetListenIP().GetDATA());
  EXPECT_GE(pCore->GetListenPort(), 2000);
  EXPECT_LT(pCore->GetListenPort(), 4500);
  EXPECT_STREQ("example.com", pCore->GetDomainRealm().GetDATA());
  EXPECT_STREQ("alice", pCore->GetProxyLoginId().GetDATA());
  EXPECT_STREQ("secret", pCore->GetProxyLoginPwd().GetDATA());
  EXPECT_STREQ("sip:127.0.0.1:5999", pCore->GetProxySIP().GetDATA());
  EXPECT_STREQ("127.0.0.1", pCore->GetSendToHost().GetDATA());
  EXPECT_EQ(5999, pCore->GetSendToPort());
}

TEST_F(UserAgentSession, AnExplicitListenPortIsUsedAsGiven) {
  const uint16_t nPort = kyttest::cLoopbackPort::FreeUdp();
  ASSERT_TRUE(Start(m_UA, "sip:alice@example.com", "sip:127.0.0.1:5999", "", nPort));
  EXPECT_EQ(nPort, m_UA.GetKytMainObj()->GetListenPort());
  cUdpSocket other;
  EXPECT_FALSE(other.Bind("127.0.0.1", nPort)) << "the SIP socket holds the port";
}

TEST_F(UserAgentSession, WithoutAListenAddressALocalOneIsAnnounced) {
  ASSERT_TRUE(m_UA.Initialize(false, "", 0, "sip:alice@example.com", "", "sip:127.0.0.1:5999", "",
                              "", true, 1));
  const cKytSTR& ip = m_UA.GetKytMainObj()->GetListenIP();
  EXPECT_FALSE(ip.IsZeroLEN());
  EXPECT_STREQ(m_UA.GetMyIP(), ip.GetDATA());
  ASSERT_TRUE(m_UA.OpenLine(0, false, "", kyttest::cLoopbackPort::FreeUdp(2)));
  cKytSTR lineIP;
  int32_t nPort = 0;
  ASSERT_TRUE(m_UA.GetKytMainObj()->GetRTPLineRx(0, lineIP, nPort));
  EXPECT_STREQ(ip.GetDATA(), lineIP.GetDATA());
}

TEST_F(UserAgentSession, OutboundProxyIsWhereEverythingGoesWhenGiven) {
  ASSERT_TRUE(Start(m_UA, "sip:alice@example.com", "sip:127.0.0.1:5999", "sip:127.0.0.1:6001"));
  EXPECT_EQ(6001, m_UA.GetKytMainObj()->GetSendToPort());
}

TEST_F(UserAgentSession, InitializeExBuildsTheFromAddressFromItsParts) {
  ASSERT_TRUE(m_UA.InitializeEx(true, "127.0.0.1", 0, "1001", "login", "pw", "\"Bob Smith\"",
                                "pbx.example.org", "sip:127.0.0.1:5999", "", false, 1));
  EXPECT_STREQ("\"Bob Smith\" <sip:1001@pbx.example.org>",
               m_UA.GetKytMainObj()->GetFromURI().GetDATA());

  ASSERT_TRUE(m_UA.InitializeEx(true, "127.0.0.1", 0, "1001", "login", "pw", "", "pbx.example.org",
                                "sip:127.0.0.1:5999", "", false, 1));
  EXPECT_STREQ("\"1001\" <sip:1001@pbx.example.org>", m_UA.GetKytMainObj()->GetFromURI().GetDATA());
}

TEST_F(UserAgentSession, UnparsableFromLeavesARunningSessionAlone) {
  ASSERT_TRUE(Start(m_UA));
  const cKytSIPUserAgentObject* pCore = m_UA.GetKytMainObj();
  const int32_t nPort = pCore->GetListenPort();

  EXPECT_FALSE(Start(m_UA, "<sip:>"));
  EXPECT_EQ(22, m_UA.GetKytObjectError());
  EXPECT_TRUE(pCore->IsInitialized());
  EXPECT_EQ(nPort, pCore->GetListenPort());
  EXPECT_STREQ("127.0.0.1", pCore->GetListenIP().GetDATA());
  cUdpSocket other;
  EXPECT_FALSE(other.Bind("127.0.0.1", static_cast<uint16_t>(nPort)));
}

TEST_F(UserAgentSession, EmptyProxyTearsTheOldSessionDownAndAnswers33) {
  ASSERT_TRUE(Start(m_UA));
  const int32_t nPort = m_UA.GetKytMainObj()->GetListenPort();
  EXPECT_FALSE(Start(m_UA, "sip:alice@example.com", ""));
  EXPECT_EQ(33, m_UA.GetKytObjectError());
  EXPECT_FALSE(m_UA.GetKytMainObj()->IsInitialized());
  cUdpSocket other;
  EXPECT_TRUE(other.Bind("127.0.0.1", static_cast<uint16_t>(nPort))) << "the socket was closed";
}

TEST_F(UserAgentSession, UnparsableProxyFailsWith22AndLeavesNothingOpen) {
  EXPECT_FALSE(Start(m_UA, "sip:alice@example.com", "<sip:>"));
  EXPECT_EQ(22, m_UA.GetKytObjectError());
  EXPECT_FALSE(m_UA.GetKytMainObj()->IsInitialized());
  EXPECT_TRUE(m_UA.GetKytMainObj()->GetSendToHost().IsZeroLEN());
}

TEST_F(UserAgentSession, ASessionWithoutLinesIsRefused) {
  EXPECT_FALSE(
      m_UA.Initialize(true, "127.0.0.1", 0, "sip:a@b", "", "sip:127.0.0.1", "", "", true, 0));
  EXPECT_EQ(29, m_UA.GetKytObjectError());
  EXPECT_FALSE(m_UA.GetKytMainObj()->IsInitialized());
}

TEST_F(UserAgentSession, AListenPortTakenByAnotherSocketMakesInitFailWith11) {
  cUdpSocket holder;
  ASSERT_TRUE(holder.Bind("127.0.0.1", 0));
  EXPECT_FALSE(
      Start(m_UA, "sip:alice@example.com", "sip:127.0.0.1:5999", "", holder.GetLocalPort()));
  EXPECT_EQ(11, m_UA.GetKytObjectError());
  EXPECT_FALSE(m_UA.GetKytMainObj()->IsInitialized());
}

TEST_F(UserAgentSession, OperationsNeedingASessionAnswer10WithoutOne) {
  EXPECT_FALSE(m_UA.RegisterToProxy(300));
  EXPECT_EQ(10, m_UA.GetKytObjectError());
  EXPECT_FALSE(m_UA.OpenLine(0, false, "", 0));
  EXPECT_EQ(10, m_UA.GetKytObjectError());
  EXPECT_FALSE(m_UA.Connect(0, "sip:bob@example.com", 0, 0));
  EXPECT_EQ(10, m_UA.GetKytObjectError());
  EXPECT_FALSE(m_UA.ChatAddContact("sip:bob@example.com"));
  EXPECT_EQ(10, m_UA.GetKytObjectError());
  EXPECT_FALSE(m_UA.EnableKeepAlive(30));
  EXPECT_EQ(10, m_UA.GetKytObjectError());
  EXPECT_EQ(-1, m_UA.GetOutboundCodec(0));
  EXPECT_EQ(-1, m_UA.GetInboundCodec(0));
}

TEST_F(UserAgentSession, SettingsThatNeedNoSessionSetNoCode) {
  EXPECT_FALSE(m_UA.RegisterToProxy(300));
  ASSERT_EQ(10, m_UA.GetKytObjectError());
  ASSERT_TRUE(Start(m_UA));
  ASSERT_EQ(0, m_UA.GetKytObjectError());
  m_UA.UnInitialize();
  m_UA.DisableKeepAlive();
  EXPECT_EQ(0, m_UA.GetKytObjectError());
  EXPECT_TRUE(m_UA.ForwardCall(true, "sip:carol@example.com"));
  EXPECT_TRUE(m_UA.ForwardCall(false, ""));
  EXPECT_EQ(0, m_UA.GetKytObjectError());
  EXPECT_TRUE(m_UA.MuteMic(true));
  EXPECT_TRUE(m_UA.MuteSpk(false));
  EXPECT_EQ(0, m_UA.GetKytObjectError());
}

TEST_F(UserAgentSession, LineChecksGoSessionThenRangeThenOpen) {
  ASSERT_TRUE(Start(m_UA));
  EXPECT_FALSE(m_UA.Disconnect(kLines));
  EXPECT_EQ(29, m_UA.GetKytObjectError());
  EXPECT_FALSE(m_UA.HoldLine(-1));
  EXPECT_EQ(29, m_UA.GetKytObjectError());
  EXPECT_FALSE(m_UA.OpenLine(kLines, false, "127.0.0.1", 0));
  EXPECT_EQ(29, m_UA.GetKytObjectError());
  EXPECT_FALSE(m_UA.IsLineBusy(kLines));
  EXPECT_EQ(29, m_UA.GetKytObjectError());

  EXPECT_FALSE(m_UA.Connect(1, "sip:bob@example.com", 0, 0));
  EXPECT_EQ(31, m_UA.GetKytObjectError());
  EXPECT_FALSE(m_UA.Disconnect(1));
  EXPECT_EQ(31, m_UA.GetKytObjectError());
  EXPECT_FALSE(m_UA.DialCall(0, "1002", 0, 0));
  EXPECT_EQ(31, m_UA.GetKytObjectError());
}

TEST_F(UserAgentSession, OpenLineBindsAnEvenPortThatNobodyElseGets) {
  kyttest::cPortSearchLock lock;
  ASSERT_TRUE(Start(m_UA));
  ASSERT_TRUE(m_UA.OpenLine(0, true, "127.0.0.1", 0)) << m_UA.GetKytObjectError();
  EXPECT_TRUE(m_UA.IsLineOpen(0));
  EXPECT_FALSE(m_UA.IsLineOpen(1));
  cKytSTR ip;
  int32_t nPort = 0;
  ASSERT_TRUE(m_UA.GetKytMainObj()->GetRTPLineRx(0, ip, nPort));
  EXPECT_STREQ("127.0.0.1", ip.GetDATA());
  ASSERT_GT(nPort, 0);
  EXPECT_EQ(0, nPort % 2);
  cUdpSocket other;
  EXPECT_FALSE(other.Bind("127.0.0.1", static_cast<uint16_t>(nPort)));

  EXPECT_TRUE(m_UA.CloseLine(0));
  EXPECT_FALSE(m_UA.IsLineOpen(0));
}

TEST_F(UserAgentSession, CallOperationsOnAnOpenLineWithoutACall) {
  ASSERT_TRUE(Start(m_UA));
  ASSERT_TRUE(m_UA.OpenLine(0, true, "127.0.0.1", kyttest::cLoopbackPort::FreeUdp(2)));
  EXPECT_TRUE(m_UA.Disconnect(0));
  EXPECT_FALSE(m_UA.IsLineBusy(0));
  EXPECT_FALSE(m_UA.IsLineConnected(0));
  EXPECT_FALSE(m_UA.HoldLine(0));
  EXPECT_EQ(34, m_UA.GetKytObjectError());
  EXPECT_FALSE(m_UA.UnHoldLine(0));
  EXPECT_EQ(34, m_UA.GetKytObjectError());
  EXPECT_FALSE(m_UA.TransferCall(0, "sip:carol@example.com"));
  EXPECT_EQ(34, m_UA.GetKytObjectError());
  EXPECT_FALSE(m_UA.TransferCallEx(0, "1003"));
  EXPECT_EQ(34, m_UA.GetKytObjectError());
  EXPECT_FALSE(m_UA.JoinTwoLine(0, 1));
  EXPECT_EQ(34, m_UA.GetKytObjectError());
  EXPECT_FALSE(m_UA.PlayWaveStart(0, true));
  EXPECT_EQ(34, m_UA.GetKytObjectError());
  EXPECT_TRUE(m_UA.DigitDTMF(0, "5")) << "nothing to send the digit to";
  EXPECT_FALSE(m_UA.AcceptCall(0, "no-such-call@127.0.0.1", 0, 0));
  EXPECT_EQ(32, m_UA.GetKytObjectError());
  EXPECT_FALSE(m_UA.RejectCall("no-such-call@127.0.0.1"));
  EXPECT_EQ(32, m_UA.GetKytObjectError());
}

TEST_F(UserAgentSession, UnInitializeEndsTheSessionAndFreesItsPorts) {
  ASSERT_TRUE(Start(m_UA));
  const int32_t nPort = m_UA.GetKytMainObj()->GetListenPort();
  m_UA.UnInitialize();
  EXPECT_FALSE(m_UA.GetKytMainObj()->IsInitialized());
  EXPECT_FALSE(m_UA.IsLineOpen(0));
  EXPECT_EQ(10, m_UA.GetKytObjectError());
  cUdpSocket other;
  EXPECT_TRUE(other.Bind("127.0.0.1", static_cast<uint16_t>(nPort)));
}

TEST_F(UserAgentSession, TwoAgentsInOneProcessKeepTheirOwnSettings) {
  cRecordingLib other(&m_Loop);
  ASSERT_TRUE(Start(m_UA, "sip:alice@alpha.example", "sip:127.0.0.1:5999"));
  ASSERT_TRUE(other.InitializeEx(true, "127.0.0.1", 0, "bob", "bob-login", "bob-pw", "Bob",
                                 "beta.example", "sip:127.0.0.1:6999", "", true, 1));
  const cKytSIPUserAgentObject* pA = m_UA.GetKytMainObj();
  const cKytSIPUserAgentObject* pB = other.GetKytMainObj();
  EXPECT_STREQ("sip:alice@alpha.example", pA->GetFromURI().GetDATA());
  EXPECT_STREQ("\"Bob\" <sip:bob@beta.example>", pB->GetFromURI().GetDATA());
  EXPECT_STREQ("alpha.example", pA->GetDomainRealm().GetDATA());
  EXPECT_STREQ("beta.example", pB->GetDomainRealm().GetDATA());
  EXPECT_STREQ("alice", pA->GetProxyLoginId().GetDATA());
  EXPECT_STREQ("bob-login", pB->GetProxyLoginId().GetDATA());
  EXPECT_NE(pA->GetListenPort(), pB->GetListenPort());
  EXPECT_EQ(5999, pA->GetSendToPort());
  EXPECT_EQ(6999, pB->GetSendToPort());
  EXPECT_EQ(2, pA->GetTotalLine());
  EXPECT_EQ(1, pB->GetTotalLine());
}

}  // namespace
