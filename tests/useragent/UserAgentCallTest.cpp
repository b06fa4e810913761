// The whole agent at work: registering with a SIPp registrar, the one-second tick driving
// retransmissions and time-outs, and two agents in this process calling each other with voice.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "KytRTP/cKytRTP.h"
#include "audio/cVirtualAudioBackend.h"
#include "call/cCallPool.h"
#include "call/cSIPCall.h"
#include "platform/cAsioMainLoop.h"
#include "tests/support/MessageText.h"
#include "tests/support/Tone.h"
#include "tests/support/Wait.h"
#include "tests/support/WaveFile.h"
#include "tests/support/cLoopbackPeer.h"
#include "tests/support/cLoopbackPort.h"
#include "tests/support/cRecordingLib.h"
#include "tests/support/cSippPeer.h"
#include "tests/support/cTempDir.h"
#include "useragent/cKytSIPUserAgentObject.h"

using namespace std::chrono_literals;
using kyttest::cLoopbackPeer;
using kyttest::cRecordingLib;
using kyttest::StartLineOf;

namespace {

size_t CountStartingWith(const std::vector<std::string>& texts, const std::string& sPrefix) {
  size_t n = 0;
  for (const auto& t : texts) n += t.compare(0, sPrefix.size(), sPrefix) == 0 ? 1 : 0;
  return n;
}

TEST(UserAgentRegistration, RegistersRefreshesAndUnregistersWithASippRegistrar) {
  kyttest::cSippPeer registrar;
  ASSERT_TRUE(
      registrar.Start(std::string(KYT_TEST_SUPPORT_DATA) + "/reg_sipp_digest_uas.xml", "", 60s))
      << "sipp (package sip-tester) is needed\n"
      << registrar.Output();
  const uint16_t nPort = registrar.Port();
  cAsioMainLoop loop;

  cRecordingLib ua(&loop);
  const std::string sProxy = "sip:127.0.0.1:" + std::to_string(nPort);
  ASSERT_TRUE(ua.Initialize(true, "127.0.0.1", 0, "\"Alice\" <sip:alice@127.0.0.1>", "",
                            sProxy.c_str(), "alice", "s3cret", true, 1));
  ASSERT_TRUE(ua.RegisterToProxy(3600));
  ASSERT_TRUE(loop.RunUntil([&] { return ua.Heard("OnSuccessToRegister"); }, 10s))
      << registrar.Output();

  // Granted 60 s: the refresh goes out 3 s ahead, driven by the agent's one-second tick.
  for (int i = 0; i < 57; ++i) ua.GetKytMainObj()->OnOneSecondTick();
  ASSERT_TRUE(loop.RunUntil([&] { return ua.Heard("OnSuccessToReRegister"); }, 10s))
      << registrar.Output();

  ASSERT_TRUE(ua.UnRegisterToProxy());
  ASSERT_TRUE(loop.RunUntil([&] { return ua.Heard("OnSuccessToUnRegister"); }, 10s));
  ASSERT_TRUE(kyttest::RunLoopUntil(
      loop, [&] { return registrar.Done(); }, 20s));
  EXPECT_EQ(0, registrar.ExitCode()) << registrar.Output();
  EXPECT_EQ(0u, ua.Count("OnFail"));
}

TEST(UserAgentRegistration, AnUnansweredRegisterTimesOutAndThePageHearsTwice) {
  cAsioMainLoop loop;
  cLoopbackPeer registrar(&loop);
  cRecordingLib ua(&loop);
  const std::string sProxy = "sip:127.0.0.1:" + std::to_string(registrar.Port());
  ASSERT_TRUE(ua.Initialize(true, "127.0.0.1", 0, "sip:alice@127.0.0.1", "", sProxy.c_str(),
                            "alice", "pw", true, 1));
  ASSERT_TRUE(ua.RegisterToProxy(300));
  ASSERT_TRUE(loop.RunUntil([&] { return registrar.m_Received.size() == 1; }, 5s));
  for (int i = 0; i < 16 && !ua.Heard("OnFailToRegister"); ++i) {
    ua.GetKytMainObj()->OnOneSecondTick();
  }
  ASSERT_EQ(2u, ua.m_Events.size());
  EXPECT_EQ("OnFailToRegister", ua.m_Events[0]);
  EXPECT_EQ(0u, ua.m_Events[1].rfind("OnFailToRegisterEx ", 0));
  loop.RunFor(50ms);
  EXPECT_GT(registrar.m_Received.size(), 1u) << "the REGISTER was sent again meanwhile";
  EXPECT_EQ(registrar.m_Received.size(),
            CountStartingWith(registrar.m_Received, "REGISTER sip:127.0.0.1"));
}

class TwoAgents : public ::testing::Test {
 protected:
  void SetUp() override {
    // Each agent's proxy is the other agent, so every message goes straight across.
    const uint16_t nPortA = kyttest::cLoopbackPort::FreeUdp();
    const uint16_t nPortB = kyttest::cLoopbackPort::FreeUdp();
    const std::string sToA = "sip:127.0.0.1:" + std::to_string(nPortA);
    const std::string sToB = "sip:127.0.0.1:" + std::to_string(nPortB);
    kyttest::WriteWave(m_Dir.File("mic_a.wav"), kyttest::Tone(1000.0, 8000, 8000 * 4));
    SetBackend(m_A, m_Dir.File("mic_a.wav"), m_Dir.File("spk_a.wav"));
    SetBackend(m_B, "", m_Dir.File("spk_b.wav"));
    ASSERT_TRUE(m_A.Initialize(true, "127.0.0.1", nPortA, "\"Alice\" <sip:alice@127.0.0.1>", "",
                               sToB.c_str(), "alice", "pw", true, 2));
    ASSERT_TRUE(m_B.Initialize(true, "127.0.0.1", nPortB, "\"Bob\" <sip:bob@127.0.0.1>", "",
                               sToA.c_str(), "bob", "pw", true, 2));
    ASSERT_TRUE(m_A.OpenLine(0, true, "127.0.0.1", kyttest::cLoopbackPort::FreeUdp(2)));
    ASSERT_TRUE(m_B.OpenLine(1, true, "127.0.0.1", kyttest::cLoopbackPort::FreeUdp(2)));
  }
  static void SetBackend(cRecordingLib& ua, const std::string& sMic, const std::string& sSpk) {
    ASSERT_TRUE(ua.GetKytMainObj()->GetKytRTPLib()->SetAudioBackend(
        std::make_unique<cVirtualAudioBackend>(sMic, sSpk)));
  }
  // Alice dials Bob on her line 0; Bob answers on his line 1.
  void Connect() {
    ASSERT_TRUE(m_A.DialCall(0, "bob", 0, 0)) << m_A.GetKytObjectError();
    ASSERT_TRUE(m_Loop.RunUntil([&] { return m_B.Heard("OnIncomingCallRingingStart"); }, 5s));
    const std::string& sRinging = m_B.m_Events.back();
    const std::string sCallId = sRinging.substr(sRinging.find(' ') + 1);
    ASSERT_TRUE(m_Loop.RunUntil([&] { return m_A.Heard("OnProvisionalResponse 0 180"); }, 5s));
    ASSERT_TRUE(m_B.AcceptCall(1, sCallId.c_str(), 0, 0)) << m_B.GetKytObjectError();
    ASSERT_TRUE(m_Loop.RunUntil(
        [&] { return m_A.Heard("OnSuccessToConnect") && m_B.Heard("OnSuccessToConnect"); }, 5s));
    EXPECT_TRUE(m_A.IsLineConnected(0));
    EXPECT_TRUE(m_B.IsLineConnected(1));
  }

  kyttest::cTempDir m_Dir{"ua-"};
  cAsioMainLoop m_Loop;
  cRecordingLib m_A{&m_Loop};
  cRecordingLib m_B{&m_Loop};
};

TEST_F(TwoAgents, AliceCallsBobAndBobHearsHer) {
  Connect();
  EXPECT_TRUE(m_A.Heard("OnConnecting 0"));
  EXPECT_EQ(0u, m_B.m_Events[0].rfind("OnIncomingCall ", 0));
  EXPECT_NE(std::string::npos, m_B.m_Events[0].find(" Alice alice "));
  EXPECT_EQ(0, m_A.GetOutboundCodec(0)) << "both offer u-law first";

  m_Loop.RunFor(1500ms);
  ASSERT_TRUE(m_A.Disconnect(0));
  ASSERT_TRUE(m_Loop.RunUntil([&] { return m_B.Heard("OnDisconnectCall 1"); }, 5s));
  EXPECT_FALSE(m_A.IsLineBusy(0));
  EXPECT_FALSE(m_B.IsLineBusy(1));
  EXPECT_FALSE(m_A.Heard("OnDisconnectCall")) << "a call ended here is not reported here";

  const std::vector<int16_t> heard = kyttest::ReadWave(m_Dir.File("spk_b.wav"));
  ASSERT_GE(heard.size(), 8000u) << "at least a second of Bob's speaker was written";
  const size_t nTail = 4000;
  const int16_t* pTail = heard.data() + heard.size() - nTail - 1600;
  EXPECT_GT(kyttest::ToneLevel(pTail, nTail, 1000.0),
            100.0 * kyttest::ToneLevel(pTail, nTail, 700.0))
      << "Bob's speaker carries Alice's 1 kHz tone";
}

TEST_F(TwoAgents, HoldAndResumeReachBothPagesAndTheMedia) {
  Connect();
  ASSERT_TRUE(m_A.HoldLine(0));
  ASSERT_TRUE(m_Loop.RunUntil([&] { return m_A.Heard("OnSuccessToHold 0"); }, 5s));
  EXPECT_TRUE(m_A.IsLineHold(0));
  ASSERT_TRUE(m_A.UnHoldLine(0));
  ASSERT_TRUE(m_Loop.RunUntil([&] { return m_A.Heard("OnSuccessToUnHold 0"); }, 5s));
  EXPECT_FALSE(m_A.IsLineHold(0));
  EXPECT_TRUE(m_A.IsLineConnected(0));
}

TEST_F(TwoAgents, ABusyLineRefusesANewCallAndAReopen) {
  Connect();
  EXPECT_FALSE(m_A.DialCall(0, "bob", 0, 0));
  EXPECT_EQ(30, m_A.GetKytObjectError());
  EXPECT_FALSE(m_A.OpenLine(0, true, "127.0.0.1", 0));
  EXPECT_EQ(30, m_A.GetKytObjectError());
}

TEST_F(TwoAgents, RejectedCallReachesTheCallerAsAFailureOnItsLine) {
  ASSERT_TRUE(m_A.DialCall(0, "bob", 0, 0));
  ASSERT_TRUE(m_Loop.RunUntil([&] { return m_B.Heard("OnIncomingCallRingingStart"); }, 5s));
  const std::string& sRinging = m_B.m_Events.back();
  ASSERT_TRUE(m_B.RejectCall(sRinging.substr(sRinging.find(' ') + 1).c_str()));
  ASSERT_TRUE(m_Loop.RunUntil([&] { return m_A.Heard("OnRequestFailureResponse 0 486"); }, 5s));
  EXPECT_FALSE(m_A.IsLineBusy(0));
}

TEST_F(TwoAgents, ALineOutlivesItsCallBeingDestroyedByThePool) {
  Connect();
  ASSERT_TRUE(m_A.Disconnect(0));
  ASSERT_TRUE(m_Loop.RunUntil([&] { return m_B.Heard("OnDisconnectCall 1"); }, 5s));
  cKytSIPUserAgentObject* pCore = m_A.GetKytMainObj();
  cCallPool* pPool = pCore->GetCallPool();
  ASSERT_EQ(1, pPool->GetCallCount());
  cKytSTR callId;
  pCore->GetLineCall(0)->GetCallId(callId);
  pPool->CloseCall(callId);
  for (int i = 0; i < 43; ++i) pCore->OnOneSecondTick();
  ASSERT_EQ(0, pPool->GetCallCount()) << "the pool destroyed the closed call";
  EXPECT_EQ(nullptr, pCore->GetLineCall(0));
  EXPECT_FALSE(m_A.IsLineBusy(0));
  EXPECT_TRUE(m_A.Disconnect(0));
  ASSERT_TRUE(m_A.DialCall(0, "bob", 0, 0));
  EXPECT_TRUE(m_A.IsLineBusy(0));
}

TEST_F(TwoAgents, DoNotDisturbRefusesTheCallerWith480) {
  m_B.EnableDonotDisturb();
  ASSERT_TRUE(m_A.DialCall(0, "bob", 0, 0));
  ASSERT_TRUE(m_Loop.RunUntil([&] { return m_A.Heard("OnRequestFailureResponse"); }, 5s));
  EXPECT_EQ("OnRequestFailureResponse 0 480 Temporarily Unavailable", m_A.m_Events.back());
  EXPECT_FALSE(m_B.Heard("OnIncomingCall"));
  m_B.DisableDonotDisturb();
  ASSERT_TRUE(m_A.DialCall(0, "bob", 0, 0));
  ASSERT_TRUE(m_Loop.RunUntil([&] { return m_B.Heard("OnIncomingCall"); }, 5s));
}

TEST_F(TwoAgents, InstantMessagesAndTypingGoAcross) {
  ASSERT_TRUE(m_A.ChatSendMessageTyping("bob", 11)) << m_A.GetKytObjectError();
  ASSERT_TRUE(m_Loop.RunUntil([&] { return m_A.Heard("OnChatSendMsgTypingSuccess"); }, 5s));
  EXPECT_TRUE(m_B.Heard("OnChatRecvMsgTypingStart"));
  ASSERT_TRUE(m_A.ChatSendMessageText("bob", "Hello Bob", 101, 12));
  ASSERT_TRUE(m_Loop.RunUntil([&] { return m_A.Heard("OnChatSendMsgTextSuccess"); }, 5s));
  EXPECT_EQ("OnChatSendMsgTextSuccess bob Hello Bob 12", m_A.m_Events.back());
  EXPECT_EQ(1u, m_B.Count("OnChatRecvMsgText "));
  EXPECT_NE(std::string::npos, m_B.m_Events.back().find(" Hello Bob"));
}

TEST(UserAgentTick, AnUnansweredInviteIsResentByTheTickAndThenFails) {
  cAsioMainLoop loop;
  cLoopbackPeer proxy(&loop);
  cRecordingLib ua(&loop);
  ASSERT_TRUE(ua.GetKytMainObj()->GetKytRTPLib()->SetAudioBackend(
      std::make_unique<cVirtualAudioBackend>("", "")));
  const std::string sProxy = "sip:127.0.0.1:" + std::to_string(proxy.Port());
  ASSERT_TRUE(ua.Initialize(true, "127.0.0.1", 0, "sip:alice@127.0.0.1", "", sProxy.c_str(),
                            "alice", "pw", true, 1));
  ASSERT_TRUE(ua.OpenLine(0, true, "127.0.0.1", kyttest::cLoopbackPort::FreeUdp(2)));
  ASSERT_TRUE(ua.DialCall(0, "bob", 0, 0));
  ASSERT_TRUE(loop.RunUntil([&] { return proxy.m_Received.size() == 1; }, 5s));
  EXPECT_EQ("INVITE sip:bob@127.0.0.1 SIP/2.0", StartLineOf(proxy.m_Received[0]));
  for (int i = 0; i < 18 && !ua.Heard("OnFailToConnect"); ++i) {
    ua.GetKytMainObj()->OnOneSecondTick();
  }
  EXPECT_EQ((std::vector<std::string>{"OnConnecting 0", "OnFailToConnect 0"}), ua.m_Events);
  loop.RunFor(100ms);
  EXPECT_EQ(9u, CountStartingWith(proxy.m_Received, "INVITE ")) << "sent once, resent 8 times";
  EXPECT_FALSE(ua.IsLineBusy(0));
}

}  // namespace
