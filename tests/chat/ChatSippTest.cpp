// The chat manager against SIPp playing a crafted peer on 127.0.0.1: a proxy that challenges,
// a peer that only says "trying", a presence server with odd documents and a terminated
// subscription, and a peer that sends messages, a copy, typing and a subscription.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "cChatTestAgent.h"
#include "chat/cChatContact.h"
#include "chat/cChatContactList.h"

using namespace chattest;
using namespace std::chrono_literals;

namespace {

class ChatSippTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_nSippPort = FreeUdpPort();
    ASSERT_NE(0, m_nSippPort);
    m_Alice.SetProxyPort(m_nSippPort);
    m_Alice.SetLogin("alice", "secret");
    ASSERT_TRUE(m_Alice.Init());
  }

  // Starts SIPp with the scenario towards alice; for a server scenario it waits for alice.
  std::unique_ptr<cChildProcess> StartSipp(const std::string& sScenario) {
    const std::string sBase = ::testing::TempDir() + "chat_" + sScenario;
    m_sSippLog = sBase + ".log";
    m_sSippErrors = sBase + "_errors.log";
    m_sSippMessages = sBase + "_messages.log";
    return std::make_unique<cChildProcess>(
        std::vector<std::string>{"sipp", "-sf", DataFile(sScenario), "-i", "127.0.0.1", "-p",
                                 std::to_string(m_nSippPort), "-m", "1", "-timeout", "20",
                                 "-trace_err", "-error_file", m_sSippErrors, "-trace_msg",
                                 "-message_file", m_sSippMessages,
                                 "127.0.0.1:" + std::to_string(m_Alice.GetPort())},
        m_sSippLog);
  }

  // Waits for SIPp to finish and expects it to have passed its scenario.
  void ExpectSippPassed(cChildProcess& sipp) {
    ASSERT_TRUE(sipp.Started()) << "sipp (package sip-tester) is needed";
    // The loop checks the condition after each handler; a quiet loop needs one to run.
    uint32_t nTimer = m_Loop.StartTimer(20, [] {});
    bool bDone = m_Loop.RunUntil([&] { return sipp.Done(); }, 30s);
    m_Loop.StopTimer(nTimer);
    ASSERT_TRUE(bDone);
    EXPECT_EQ(0, sipp.ExitCode()) << ReadText(m_sSippErrors) << ReadText(m_sSippMessages);
  }

  // SIPp answers nothing until it has bound its port; the first request waits for that.
  bool WaitUntilSippListens(cChildProcess& sipp) {
    for (int i = 0; i < 500; ++i) {
      if (!cSocketSIP::IsPortAvailable("127.0.0.1", m_nSippPort)) return true;
      if (sipp.Done()) return false;
      std::this_thread::sleep_for(10ms);
    }
    return false;
  }

  cAsioMainLoop m_Loop;
  cChatTestAgent m_Alice{"alice", &m_Loop};
  uint16_t m_nSippPort = 0;
  std::string m_sSippLog;
  std::string m_sSippErrors;
  std::string m_sSippMessages;
};

}  // namespace

TEST_F(ChatSippTest, ProxyChallengeIsAnsweredWithCredentialsAndAHigherCSeq) {
  auto sipp = StartSipp("uas_message_407.xml");
  ASSERT_TRUE(sipp->Started()) << "sipp (package sip-tester) is needed";
  ASSERT_TRUE(WaitUntilSippListens(*sipp));
  ASSERT_TRUE(m_Alice.m_Chat.SendMsgText("sipp", "secret plans", 101, 4242));
  EXPECT_TRUE(m_Loop.RunUntil([&] { return !m_Alice.m_Events.m_Events.empty(); }, 20s));
  ExpectSippPassed(*sipp);
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
  auto sipp = StartSipp("uas_message_401.xml");
  ASSERT_TRUE(sipp->Started()) << "sipp (package sip-tester) is needed";
  ASSERT_TRUE(WaitUntilSippListens(*sipp));
  ASSERT_TRUE(m_Alice.m_Chat.SendMsgTyping("sipp", 8));
  EXPECT_TRUE(m_Loop.RunUntil([&] { return !m_Alice.m_Events.m_Events.empty(); }, 20s));
  ExpectSippPassed(*sipp);
  EXPECT_EQ(std::vector<std::string>{"TypingSuccess sipp|8"}, m_Alice.m_Events.m_Events);
}

TEST_F(ChatSippTest, TryingStopsTheResendsButNotTheTimeOut) {
  auto sipp = StartSipp("uas_message_100.xml");
  ASSERT_TRUE(sipp->Started()) << "sipp (package sip-tester) is needed";
  ASSERT_TRUE(WaitUntilSippListens(*sipp));
  ASSERT_TRUE(m_Alice.m_Chat.SendMsgText("sipp", "are you there?", 101, 100));
  ExpectSippPassed(*sipp);
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
  auto sipp = StartSipp("uas_presence.xml");
  ASSERT_TRUE(sipp->Started()) << "sipp (package sip-tester) is needed";
  ASSERT_TRUE(WaitUntilSippListens(*sipp));
  ASSERT_TRUE(m_Alice.m_Chat.AddContact("sipp"));
  auto contact = m_Alice.m_Chat.GetChatContactList()->FindContact("sipp");
  ExpectSippPassed(*sipp);
  EXPECT_EQ((std::vector<std::string>{"Status sipp|4", "Status sipp|2", "Status sipp|3",
                                      "Status sipp|1", "Status sipp|0", "Status sipp|1"}),
            m_Alice.m_Events.m_Events);
  EXPECT_FALSE(contact->IsReceiveNOTIFY());
  EXPECT_EQ(7u, m_Alice.SentStarting("SIP/2.0 200 OK").size());
}

TEST_F(ChatSippTest, PeerMessagesCopiesTypingAndSubscriptionAreAnswered) {
  m_Alice.m_Chat.SetMyStatus(2);
  ASSERT_TRUE(m_Alice.m_Chat.AddContact("sipp"));
  auto sipp = StartSipp("uac_message_subscribe.xml");
  ExpectSippPassed(*sipp);
  EXPECT_EQ(1u, m_Alice.m_Events.Count("RecvText sipp|hello from sipp"));
  EXPECT_EQ(1u, m_Alice.m_Events.Count("TypingStart sipp"));
  EXPECT_EQ(4u, m_Alice.SentStarting("SIP/2.0 200 OK").size());
  EXPECT_EQ(1u, m_Alice.SentStarting("SIP/2.0 202 Accepted").size());
  auto contact = m_Alice.m_Chat.GetChatContactList()->FindContact("sipp");
  EXPECT_FALSE(contact->IsSendNOTIFY());
}
