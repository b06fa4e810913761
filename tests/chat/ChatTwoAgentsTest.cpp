// Two chat managers in one process, each behind its own UDP socket on 127.0.0.1, each the
// other's proxy: messages, typing and presence end to end. Datagrams travel for real; the
// one-second ticks are driven by the test.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "cChatTestAgent.h"
#include "chat/cChatContact.h"
#include "chat/cChatContactList.h"
#include "tests/support/cLoopbackPeer.h"
#include "util/eKytError.h"

using namespace chattest;
using namespace std::chrono_literals;

namespace {

class ChatTwoAgentsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(5060, m_Alice.GetPort());
    ASSERT_NE(5060, m_Bob.GetPort());
    m_Alice.SetProxyPort(m_Bob.GetPort());
    m_Bob.SetProxyPort(m_Alice.GetPort());
    m_Alice.m_Chat.SetClock([this] { return m_fNow; });
    m_Bob.m_Chat.SetClock([this] { return m_fNow; });
    ASSERT_TRUE(m_Alice.Init());
    ASSERT_TRUE(m_Bob.Init());
  }

  bool RunUntil(const std::function<bool()>& pred) { return m_Loop.RunUntil(pred, 10s); }

  static std::shared_ptr<cChatContact> Contact(cChatTestAgent& agent, const char* pName) {
    return agent.m_Chat.GetChatContactList()->FindContact(pName);
  }

  // Both subscriptions of the contact are up and nothing of it is in flight.
  static bool Settled(cChatTestAgent& agent, const char* pName) {
    auto p = Contact(agent, pName);
    return p && p->IsReceiveNOTIFY() && p->IsSendNOTIFY() &&
           !p->IsTickActive(cChatContactTick::SLOT_SUBSCRIBE) &&
           !p->IsTickActive(cChatContactTick::SLOT_NOTIFY);
  }

  // Sets the status on one side and waits until the other side has heard it once more.
  void ExpectStatusSeen(cChatTestAgent& from, cChatTestAgent& to, const std::string& sLine,
                        int32_t nStatus) {
    size_t nBefore = to.m_Events.Count(sLine);
    from.m_Chat.SetMyStatus(nStatus);
    EXPECT_TRUE(RunUntil([&] { return to.m_Events.Count(sLine) > nBefore; })) << sLine;
  }

  cAsioMainLoop m_Loop;
  cChatTestAgent m_Alice{"alice", &m_Loop};
  cChatTestAgent m_Bob{"bob", &m_Loop};
  double m_fNow = 5000.0;
};

}  // namespace

TEST_F(ChatTwoAgentsTest, TextAndHtmlArriveOnceEachAndSuccessCarriesTheNumber) {
  ASSERT_TRUE(m_Alice.m_Chat.SendMsgText("bob", "hello bob", 101, 11));
  ASSERT_TRUE(m_Alice.m_Chat.SendMsgText("bob", "<b>bold</b>", 102, 12));
  // A tick before the answers are taken in resends both: bob gets every message twice.
  m_Alice.Tick();
  ASSERT_EQ(4u, m_Alice.SentStarting("MESSAGE").size());
  ASSERT_TRUE(RunUntil([&] { return m_Alice.m_Received.size() == 4; }));

  EXPECT_EQ(4u, m_Bob.SentStarting("SIP/2.0 200 OK").size());
  EXPECT_EQ((std::vector<std::string>{"RecvText alice|hello bob", "RecvText alice|<b>bold</b>"}),
            m_Bob.m_Events.m_Events);
  EXPECT_EQ(
      (std::vector<std::string>{"TextSuccess bob|hello bob|11", "TextSuccess bob|<b>bold</b>|12"}),
      m_Alice.m_Events.m_Events);
  // Nothing is left to resend or report.
  m_Alice.Tick(12);
  EXPECT_EQ(4u, m_Alice.SentStarting("MESSAGE").size());
  EXPECT_EQ(2u, m_Alice.m_Events.m_Events.size());
}

TEST_F(ChatTwoAgentsTest, TypingStartAndStopArrive) {
  ASSERT_TRUE(m_Bob.m_Chat.SendMsgTyping("alice", 31));
  ASSERT_TRUE(RunUntil([&] { return m_Bob.m_Events.Count("TypingSuccess") == 1; }));
  EXPECT_EQ(std::vector<std::string>{"TypingStart bob"}, m_Alice.m_Events.m_Events);
  EXPECT_EQ(std::vector<std::string>{"TypingSuccess alice|31"}, m_Bob.m_Events.m_Events);

  // Our agent only ever says "active"; a peer that says "idle" stops the indication.
  kyttest::cLoopbackPeer peer(&m_Loop);
  peer.SendTo(m_Alice.GetPort(), RequestFrom("MESSAGE", "bob", "idle@peer", 1,
                                             "Content-Type: application/im-iscomposing+xml\r\n",
                                             "<?xml version='1.0' encoding='UTF-8'?>\n<isComposing "
                                             "xmlns='urn:ietf:params:xml:ns:im-iscomposing'>\n"
                                             "<state>idle</state>\n</isComposing>"));
  ASSERT_TRUE(RunUntil([&] { return m_Alice.m_Events.Count("TypingStop") == 1; }));
  EXPECT_EQ("SIP/2.0 200 OK", StartLineOf(m_Alice.LastSent()));
  EXPECT_EQ((std::vector<std::string>{"TypingStart bob", "TypingStop bob"}),
            m_Alice.m_Events.m_Events);
}

TEST_F(ChatTwoAgentsTest, MessageToASilentAddressFailsAtTheTenthTick) {
  kyttest::cLoopbackPeer silent(&m_Loop);
  cChatTestAgent carol("carol", &m_Loop);
  carol.SetProxyPort(silent.Port());
  ASSERT_TRUE(carol.Init());
  ASSERT_TRUE(carol.m_Chat.SendMsgText("dave", "anyone there?", 101, 99));
  const std::vector<size_t> kCopiesAfterTick = {2, 2, 3, 3, 4, 4, 5, 5, 6};
  for (size_t nCopies : kCopiesAfterTick) {
    carol.Tick();
    ASSERT_TRUE(RunUntil([&] { return silent.m_Received.size() == nCopies; }));
    EXPECT_TRUE(carol.m_Events.m_Events.empty());
  }
  carol.Tick();
  EXPECT_EQ(
      std::vector<std::string>{"TextFail dave|-1|Fail to send msg (time out)|anyone there?|99"},
      carol.m_Events.m_Events);
  for (const auto& copy : silent.m_Received) EXPECT_EQ(silent.m_Received[0], copy);
}

TEST_F(ChatTwoAgentsTest, ContactsSeeEachOthersStatusChangesAndTheRemoval) {
  ASSERT_TRUE(m_Alice.m_Chat.AddContact("bob"));
  ASSERT_TRUE(m_Bob.m_Chat.AddContact("alice"));
  ASSERT_TRUE(RunUntil([&] { return Settled(m_Alice, "bob") && Settled(m_Bob, "alice"); }));
  // Each side subscribed once of its own accord and once back.
  EXPECT_EQ(2u, m_Alice.SentStarting("SUBSCRIBE").size());
  EXPECT_EQ(2u, m_Bob.SentStarting("SUBSCRIBE").size());

  ExpectStatusSeen(m_Bob, m_Alice, "Status bob|0", 0);
  ExpectStatusSeen(m_Bob, m_Alice, "Status bob|2", 2);
  ExpectStatusSeen(m_Bob, m_Alice, "Status bob|3", 3);
  ExpectStatusSeen(m_Bob, m_Alice, "Status bob|4", 4);
  ExpectStatusSeen(m_Bob, m_Alice, "Status bob|1", 1);
  ExpectStatusSeen(m_Alice, m_Bob, "Status alice|0", 0);
  ExpectStatusSeen(m_Alice, m_Bob, "Status alice|3", 3);
  EXPECT_EQ(1, Contact(m_Alice, "bob")->GetStatus());
  EXPECT_EQ(3, Contact(m_Bob, "alice")->GetStatus());

  // Alice drops bob: her subscription ends and bob last hears "offline" from her.
  size_t nBobHeard = m_Bob.m_Events.Count("Status alice|1");
  m_Alice.m_Chat.RemoveContact("bob");
  ASSERT_TRUE(RunUntil([&] {
    return m_Bob.m_Events.Count("Status alice|1") > nBobHeard &&
           !Contact(m_Bob, "alice")->IsSendNOTIFY() &&
           Contact(m_Alice, "bob")->GetSendData().IsEmpty();
  }));
  m_Alice.Tick(2);
  EXPECT_FALSE(Contact(m_Alice, "bob"));
  // Bob no longer tells alice anything.
  size_t nBobSent = m_Bob.m_Sent.size();
  size_t nAliceHeard = m_Alice.m_Events.m_Events.size();
  m_Bob.m_Chat.SetMyStatus(4);
  EXPECT_EQ(nBobSent, m_Bob.m_Sent.size());
  EXPECT_EQ(kErrNoSubscriber, Contact(m_Bob, "alice")->GetObjectError());
  m_Loop.Poll();
  EXPECT_EQ(nAliceHeard, m_Alice.m_Events.m_Events.size());
}

TEST_F(ChatTwoAgentsTest, SubscribeBackMakesUpForAFailedSubscription) {
  // Bob does not list alice yet: her subscription goes unanswered and times out.
  ASSERT_TRUE(m_Alice.m_Chat.AddContact("bob"));
  m_Alice.Tick(10);
  EXPECT_EQ(std::vector<std::string>{"Status bob|1"}, m_Alice.m_Events.m_Events);
  ASSERT_TRUE(RunUntil([&] { return m_Bob.m_Received.size() == 6; }));
  EXPECT_TRUE(m_Bob.m_Sent.empty());

  // Bob lists alice: alice accepts and subscribes back on her own.
  ASSERT_TRUE(m_Bob.m_Chat.AddContact("alice"));
  ASSERT_TRUE(RunUntil([&] { return Settled(m_Alice, "bob") && Settled(m_Bob, "alice"); }));
  ExpectStatusSeen(m_Bob, m_Alice, "Status bob|2", 2);
  ExpectStatusSeen(m_Alice, m_Bob, "Status alice|4", 4);
}
