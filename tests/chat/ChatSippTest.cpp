// The chat manager against SIPp playing a crafted peer on 127.0.0.1: a proxy that challenges,
// a peer that only says "trying", a presence server with odd documents and a terminated
// subscription, and a peer that sends messages, a copy, typing and a subscription.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "cChatTestAgent.h"
#include "chat/cChatContact.h"
#include "chat/cChatContactList.h"
#include "tests/support/Wait.h"
#include "tests/support/cSippPeer.h"

using namespace chattest;
using namespace std::chrono_literals;

namespace {

class ChatSippTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(0, m_Sipp.Port());
    m_Alice.SetProxyPort(m_Sipp.Port());
    m_Alice.SetLogin("alice", "secret");
    ASSERT_TRUE(m_Alice.Init());
  }

  // Starts SIPp with the scenario towards alice; answers whether it runs and holds its port.
  bool StartSipp(const std::string& sScenario) {
    return m_Sipp.Start(DataFile(sScenario), "127.0.0.1:" + std::to_string(m_Alice.GetPort()), 20s);
  }

  // Waits for SIPp to finish and expects it to have passed its scenario.
  void ExpectSippPassed() {
    ASSERT_TRUE(kyttest::RunLoopUntil(
        m_Loop, [&] { return m_Sipp.Done(); }, 30s));
    EXPECT_EQ(0, m_Sipp.ExitCode()) << m_Sipp.Output();
  }

  cAsioMainLoop m_Loop;
  cChatTestAgent m_Alice{"alice", &m_Loop};
  kyttest::cSippPeer m_Sipp;
};

}  // namespace

TEST_F(ChatSippTest, ProxyChallengeIsAnsweredWithCredentialsAndAHigherCSeq) {
  ASSERT_TRUE(StartSipp("uas_message_407.xml")) << "sipp (package sip-tester) is needed";
  ASSERT_TRUE(m_Alice.m_Chat.SendMsgText("sipp", "secret plans", 101, 4242));
  EXPECT_TRUE(m_Loop.RunUntil([&] { return !m_Alice.m_Events.m_Events.empty(); }, 20s));
  ExpectSippPassed();
  EXPECT_EQ(std::vector<std::string>{"TextSuccess sipp|secret plans|4242"},
            m_Alice.m_Events.m_Events);

  const auto messages = m_Alice.SentStarting("MESSAGE");
  ASSERT_EQ(2u, messages.size());
  EXPECT_EQ("1 MESSAGE", HeaderOf(messages[0], "CSeq"));
  EXPECT_EQ("2 MESSAGE", HeaderOf(messages[1], "CSeq"));
  EXPECT_EQ("", HeaderOf(messages[0], "Proxy-Authorization"));
  EXPECT_NE("", HeaderOf(messages[1], "Proxy-Authorization"));
  EXPECT_EQ(HeaderOf(messages[0], "Call-ID"), HeaderOf(messages[1], "Call-ID"));
  m_Alice.Tick(12);
  EXPECT_EQ(2u, m_Alice.SentStarting("MESSAGE").size());
  EXPECT_EQ(1u, m_Alice.m_Events.m_Events.size());
}

TEST_F(ChatSippTest, ServerChallengeIsAnsweredWithADigestSippAccepts) {
  ASSERT_TRUE(StartSipp("uas_message_401.xml")) << "sipp (package sip-tester) is needed";
  ASSERT_TRUE(m_Alice.m_Chat.SendMsgTyping("sipp", 8));
  EXPECT_TRUE(m_Loop.RunUntil([&] { return !m_Alice.m_Events.m_Events.empty(); }, 20s));
  ExpectSippPassed();
  EXPECT_EQ(std::vector<std::string>{"TypingSuccess sipp|8"}, m_Alice.m_Events.m_Events);
}

TEST_F(ChatSippTest, TryingStopsTheResendsButNotTheTimeOut) {
  ASSERT_TRUE(StartSipp("uas_message_100.xml")) << "sipp (package sip-tester) is needed";
  ASSERT_TRUE(m_Alice.m_Chat.SendMsgText("sipp", "are you there?", 101, 100));
  ExpectSippPassed();
  ASSERT_TRUE(m_Loop.RunUntil([&] { return !m_Alice.m_Received.empty(); }, 5s));
  EXPECT_EQ("SIP/2.0 100 Trying", StartLineOf(m_Alice.m_Received[0]));

  m_Alice.Tick(9);
  EXPECT_EQ(1u, m_Alice.m_Sent.size());
  EXPECT_TRUE(m_Alice.m_Events.m_Events.empty());
  m_Alice.Tick();
  EXPECT_EQ(
      std::vector<std::string>{"TextFail sipp|-1|Fail to send msg (time out)|are you there?|100"},
      m_Alice.m_Events.m_Events);
}

TEST_F(ChatSippTest, PresenceDocumentsWithSeveralMarksAndATerminatedSubscription) {
  ASSERT_TRUE(StartSipp("uas_presence.xml")) << "sipp (package sip-tester) is needed";
  ASSERT_TRUE(m_Alice.m_Chat.AddContact("sipp"));
  auto contact = m_Alice.m_Chat.GetChatContactList()->FindContact("sipp");
  ExpectSippPassed();
  EXPECT_EQ((std::vector<std::string>{"Status sipp|4", "Status sipp|2", "Status sipp|3",
                                      "Status sipp|1", "Status sipp|0", "Status sipp|1"}),
            m_Alice.m_Events.m_Events);
  EXPECT_FALSE(contact->IsReceiveNOTIFY());
  EXPECT_EQ(7u, m_Alice.SentStarting("SIP/2.0 200 OK").size());
}

TEST_F(ChatSippTest, PeerMessagesCopiesTypingAndSubscriptionAreAnswered) {
  m_Alice.m_Chat.SetMyStatus(2);
  ASSERT_TRUE(m_Alice.m_Chat.AddContact("sipp"));
  ASSERT_TRUE(StartSipp("uac_message_subscribe.xml")) << "sipp (package sip-tester) is needed";
  ExpectSippPassed();
  EXPECT_EQ(1u, m_Alice.m_Events.Count("RecvText sipp|hello from sipp"));
  EXPECT_EQ(1u, m_Alice.m_Events.Count("TypingStart sipp"));
  EXPECT_EQ(4u, m_Alice.SentStarting("SIP/2.0 200 OK").size());
  EXPECT_EQ(1u, m_Alice.SentStarting("SIP/2.0 202 Accepted").size());
  auto contact = m_Alice.m_Chat.GetChatContactList()->FindContact("sipp");
  EXPECT_FALSE(contact->IsSendNOTIFY());
}
