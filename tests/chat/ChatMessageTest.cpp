// Instant messages and typing notifications of one chat manager, against a peer played by the
// test: exact requests and responses, the retransmission schedule, outcomes by response,
// challenges, and what is reported of received messages.
#include <gtest/gtest.h>

#include <string>

#include "cChatTestAgent.h"
#include "chat/cChatMessage.h"
#include "chat/cChatSIP.h"
#include "sip/cMd5c.h"
#include "util/eKytError.h"

using namespace chattest;

namespace {

const char* const kAllow = "ACK, INFO, BYE, CANCEL, INVITE, NOTIFY, OPTIONS, MESSAGE, SUBSCRIBE";

const char* const kTypingActive =
    "<?xml version='1.0' encoding='UTF-8'?>\n"
    "<isComposing xmlns='urn:ietf:params:xml:ns:im-iscomposing'\n"
    "  xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance'>\n"
    "    <state>active</state>\n"
    "    <contenttype>text/html</contenttype>\n"
    "    <refresh>10</refresh>\r</isComposing>";

std::string ExpectedMessage(int nCSeq, const std::string& sContentType, const std::string& sBody,
                            const std::string& sCredentials = "") {
  return "MESSAGE sip:bob@127.0.0.1 SIP/2.0\r\n"
         "Via: SIP/2.0/UDP 127.0.0.1:5060;rport;branch=z9hG4bKBRANCH\r\n"
         "From: \"alice\" <sip:alice@127.0.0.1>;tag=TAG\r\n"
         "To: \"bob\" <sip:bob@127.0.0.1>\r\n"
         "Call-ID: CALLID@127.0.0.1\r\n"
         "CSeq: " +
         std::to_string(nCSeq) +
         " MESSAGE\r\n"
         "Max-Forwards: 70\r\n"
         "Content-Type: " +
         sContentType +
         "\r\n"
         "User-Agent: KytSIPUserAgentiOS/3.4\r\n"
         "Allow: " +
         kAllow + "\r\n" + sCredentials + "Content-Length: " + std::to_string(sBody.size()) +
         "\r\n\r\n" + sBody;
}

class ChatMessageTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_Alice.Init()); }

  cChatTestAgent m_Alice{"alice"};
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Requests

TEST_F(ChatMessageTest, TextHtmlAndTypingRequestsCarryTheirExactHeadersAndBodies) {
  ASSERT_TRUE(m_Alice.m_Chat.SendMsgText("bob", "hello", 101, 7));
  ASSERT_TRUE(m_Alice.m_Chat.SendMsgText("bob", "<b>hi</b>", 102, 8));
  ASSERT_TRUE(m_Alice.m_Chat.SendMsgText("bob", "<i>x</i>", 7, 9));
  ASSERT_TRUE(m_Alice.m_Chat.SendMsgTyping("bob", 10));
  ASSERT_EQ(4u, m_Alice.m_Sent.size());
  EXPECT_EQ(ExpectedMessage(1, "text/plain", "hello"), Normalized(m_Alice.m_Sent[0]));
  EXPECT_EQ(ExpectedMessage(2, "text/html", "<b>hi</b>"), Normalized(m_Alice.m_Sent[1]));
  EXPECT_EQ(ExpectedMessage(3, "text/html", "<i>x</i>"), Normalized(m_Alice.m_Sent[2]));
  EXPECT_EQ(ExpectedMessage(4, "application/im-iscomposing+xml", kTypingActive),
            Normalized(m_Alice.m_Sent[3]));
}

TEST_F(ChatMessageTest, AllMessagesOfASessionShareOneCallIdAndFromTag) {
  m_Alice.m_Chat.SendMsgText("bob", "one", 101, 1);
  m_Alice.m_Chat.SendMsgText("carol", "two", 101, 2);
  const std::string a = m_Alice.m_Sent[0];
  const std::string b = m_Alice.m_Sent[1];
  EXPECT_EQ(HeaderOf(a, "Call-ID"), HeaderOf(b, "Call-ID"));
  EXPECT_EQ(HeaderOf(a, "From"), HeaderOf(b, "From"));
  EXPECT_NE(HeaderOf(a, "Via"), HeaderOf(b, "Via"));
  EXPECT_EQ("2 MESSAGE", HeaderOf(b, "CSeq"));
  EXPECT_EQ("MESSAGE sip:carol@127.0.0.1 SIP/2.0", StartLineOf(b));

  // A new session starts a new Call-ID and From tag.
  ASSERT_TRUE(m_Alice.Init());
  m_Alice.m_Chat.SendMsgText("bob", "three", 101, 3);
  EXPECT_NE(HeaderOf(a, "Call-ID"), HeaderOf(m_Alice.m_Sent[2], "Call-ID"));
  EXPECT_NE(HeaderOf(a, "From"), HeaderOf(m_Alice.m_Sent[2], "From"));
}

TEST(ChatMessageNoSession, SendingWithoutASessionFailsWithCode41) {
  cChatSIP chat;
  EXPECT_FALSE(chat.SendMsgText("bob", "hello", 101, 1));
  EXPECT_EQ(kErrBuildMessage, chat.GetObjectError());
  EXPECT_FALSE(chat.SendMsgTyping("bob", 1));
}

// ---------------------------------------------------------------------------------------------
// Schedule

TEST_F(ChatMessageTest, UnansweredMessageIsResentAtOddTicksAndFailsAtTheTenth) {
  m_Alice.m_Chat.SendMsgText("bob", "hello", 101, 42);
  const std::vector<size_t> kSentAfterTick = {2, 2, 3, 3, 4, 4, 5, 5, 6};
  for (size_t i = 0; i < kSentAfterTick.size(); ++i) {
    m_Alice.Tick();
    EXPECT_EQ(kSentAfterTick[i], m_Alice.m_Sent.size()) << "after tick " << i + 1;
    EXPECT_EQ(0u, m_Alice.m_Events.m_Events.size());
  }
  for (const auto& s : m_Alice.m_Sent) EXPECT_EQ(m_Alice.m_Sent[0], s);
  m_Alice.Tick();
  ASSERT_EQ(1u, m_Alice.m_Events.m_Events.size());
  EXPECT_EQ("TextFail bob|-1|Fail to send msg (time out)|hello|42", m_Alice.m_Events.m_Events[0]);
  m_Alice.Tick(20);
  EXPECT_EQ(6u, m_Alice.m_Sent.size());
  EXPECT_EQ(1u, m_Alice.m_Events.m_Events.size());
}

TEST_F(ChatMessageTest, UnansweredTypingFailsWithItsOwnText) {
  m_Alice.m_Chat.SendMsgTyping("bob", -5);
  m_Alice.Tick(10);
  ASSERT_EQ(1u, m_Alice.m_Events.m_Events.size());
  EXPECT_EQ("TypingFail bob|-1|Fail to send compose/typing (time out)|-5",
            m_Alice.m_Events.m_Events[0]);
}

TEST_F(ChatMessageTest, ProvisionalResponseStopsResendingButNotTheTimeOut) {
  m_Alice.m_Chat.SendMsgText("bob", "hello", 101, 3);
  m_Alice.Deliver(ResponseTo(m_Alice.m_Sent[0], 100, "Trying"));
  m_Alice.Tick(9);
  EXPECT_EQ(1u, m_Alice.m_Sent.size());
  EXPECT_TRUE(m_Alice.m_Events.m_Events.empty());
  m_Alice.Tick();
  EXPECT_TRUE(m_Alice.m_Events.Heard("TextFail bob|-1|Fail to send msg (time out)|hello|3"));
}

// ---------------------------------------------------------------------------------------------
// Outcomes

TEST_F(ChatMessageTest, ResponsesFindTheirMessageByCSeqAndAddressee) {
  m_Alice.m_Chat.SendMsgText("bob", "first", 101, 1);
  m_Alice.m_Chat.SendMsgText("bob", "second", 102, 2);
  m_Alice.m_Chat.SendMsgTyping("bob", 3);
  const std::string first = m_Alice.m_Sent[0];
  const std::string second = m_Alice.m_Sent[1];

  m_Alice.Deliver(ResponseTo(second, 200, "OK"));
  EXPECT_EQ(std::vector<std::string>{"TextSuccess bob|second|2"}, m_Alice.m_Events.m_Events);
  // The same answer again, and answers naming another CSeq or addressee, match nothing.
  m_Alice.Deliver(ResponseTo(second, 200, "OK"));
  std::string wrongUser = ResponseTo(first, 200, "OK");
  wrongUser.replace(wrongUser.find("sip:bob@"), 8, "sip:eve@");
  m_Alice.Deliver(wrongUser);
  std::string wrongSeq = ResponseTo(first, 200, "OK");
  wrongSeq.replace(wrongSeq.find("CSeq: 1 "), 8, "CSeq: 9 ");
  m_Alice.Deliver(wrongSeq);
  EXPECT_EQ(1u, m_Alice.m_Events.m_Events.size());

  m_Alice.Deliver(ResponseTo(m_Alice.m_Sent[2], 202, "Accepted"));
  EXPECT_TRUE(m_Alice.m_Events.Heard("TypingSuccess bob|3"));

  // The first is still pending: it is resent and times out on its own.
  m_Alice.Tick(10);
  EXPECT_EQ(3u + 5u, m_Alice.m_Sent.size()) << "only the first is resent";
  EXPECT_TRUE(m_Alice.m_Events.Heard("TextFail bob|-1|Fail to send msg (time out)|first|1"));
}

TEST_F(ChatMessageTest, ErrorResponsesReportTheirCodeAndReasonWithTheUserValue) {
  m_Alice.m_Chat.SendMsgText("bob", "hello", 101, 1234567);
  m_Alice.m_Chat.SendMsgTyping("bob", -1);
  m_Alice.Deliver(ResponseTo(m_Alice.m_Sent[0], 486, "Busy Here"));
  m_Alice.Deliver(ResponseTo(m_Alice.m_Sent[1], 404, "Not Found"));
  EXPECT_EQ((std::vector<std::string>{"TextFail bob|486|Busy Here|hello|1234567",
                                      "TypingFail bob|404|Not Found|-1"}),
            m_Alice.m_Events.m_Events);
  m_Alice.Tick(12);
  EXPECT_EQ(2u, m_Alice.m_Sent.size());
  EXPECT_EQ(2u, m_Alice.m_Events.m_Events.size());
}

// ---------------------------------------------------------------------------------------------
// Challenges

TEST_F(ChatMessageTest, ProxyChallengeIsAnsweredWithANewCSeqAndReportsSuccessOnce) {
  m_Alice.SetLogin("alice-login", "secret");
  m_Alice.m_Chat.SendMsgText("bob", "hello", 101, 77);
  m_Alice.Deliver(ResponseTo(
      m_Alice.m_Sent[0], 407, "Proxy Authentication Required",
      "Proxy-Authenticate: Digest realm=\"sip.test\", nonce=\"n0nce\", opaque=\"op1\"\r\n"));
  ASSERT_EQ(2u, m_Alice.m_Sent.size());
  const std::string retry = m_Alice.m_Sent[1];

  cMd5c md5;
  cKytSTR response;
  md5.CalcResponse("alice-login", "secret", "MESSAGE", "sip:bob@127.0.0.1", "sip.test", "", "n0nce",
                   "", "", response);
  const std::string credentials =
      "Proxy-Authorization: Digest username=\"alice-login\", realm=\"sip.test\", "
      "nonce=\"n0nce\", uri=\"sip:bob@127.0.0.1\", response=\"" +
      std::string(response.GetDATA()) + "\", algorithm=MD5, opaque=\"op1\"\r\n";
  EXPECT_EQ(ExpectedMessage(2, "text/plain", "hello", credentials), Normalized(retry));
  EXPECT_EQ(HeaderOf(m_Alice.m_Sent[0], "Call-ID"), HeaderOf(retry, "Call-ID"));
  EXPECT_TRUE(m_Alice.m_Events.m_Events.empty());

  m_Alice.Deliver(ResponseTo(retry, 200, "OK"));
  m_Alice.Deliver(ResponseTo(retry, 200, "OK"));
  EXPECT_EQ(std::vector<std::string>{"TextSuccess bob|hello|77"}, m_Alice.m_Events.m_Events);
  m_Alice.Tick(12);
  EXPECT_EQ(2u, m_Alice.m_Sent.size());
}

TEST_F(ChatMessageTest, ServerChallengeIsAnsweredWithAuthorizationAndQop) {
  m_Alice.SetLogin("alice", "pw");
  m_Alice.m_Chat.SendMsgTyping("bob", 5);
  m_Alice.Deliver(ResponseTo(
      m_Alice.m_Sent[0], 401, "Unauthorized",
      "WWW-Authenticate: Digest realm=\"r\", nonce=\"abc\", qop=\"auth\", algorithm=MD5\r\n"));
  ASSERT_EQ(2u, m_Alice.m_Sent.size());
  const std::string authorization = HeaderOf(m_Alice.m_Sent[1], "Authorization");
  EXPECT_EQ("", HeaderOf(m_Alice.m_Sent[1], "Proxy-Authorization"));
  EXPECT_NE(std::string::npos, authorization.find("qop=auth, nc=00000001")) << authorization;
  EXPECT_EQ("2 MESSAGE", HeaderOf(m_Alice.m_Sent[1], "CSeq"));
  EXPECT_EQ(kTypingActive, BodyOf(m_Alice.m_Sent[1]));
  m_Alice.Deliver(ResponseTo(m_Alice.m_Sent[1], 200, "OK"));
  EXPECT_EQ(std::vector<std::string>{"TypingSuccess bob|5"}, m_Alice.m_Events.m_Events);
}

TEST_F(ChatMessageTest, EndlessChallengesEndInAFailureAfterFourAnswers) {
  m_Alice.SetLogin("alice", "wrong");
  m_Alice.m_Chat.SendMsgText("bob", "hello", 101, 9);
  for (int i = 0; i < 5; ++i) {
    m_Alice.Deliver(ResponseTo(
        m_Alice.LastSent(), 407, "Proxy Authentication Required",
        "Proxy-Authenticate: Digest realm=\"r\", nonce=\"n" + std::to_string(i) + "\"\r\n"));
  }
  EXPECT_EQ(5u, m_Alice.m_Sent.size());
  EXPECT_EQ("5 MESSAGE", HeaderOf(m_Alice.LastSent(), "CSeq"));
  EXPECT_EQ(std::vector<std::string>{"TextFail bob|407|Proxy Authentication Required|hello|9"},
            m_Alice.m_Events.m_Events);
}

TEST_F(ChatMessageTest, ChallengeWithoutItsHeaderIsReportedAsAFailure) {
  m_Alice.m_Chat.SendMsgText("bob", "hello", 101, 4);
  m_Alice.Deliver(ResponseTo(m_Alice.m_Sent[0], 401, "Unauthorized"));
  EXPECT_EQ(1u, m_Alice.m_Sent.size());
  EXPECT_EQ(std::vector<std::string>{"TextFail bob|401|Unauthorized|hello|4"},
            m_Alice.m_Events.m_Events);
}

// ---------------------------------------------------------------------------------------------
// Receiving

TEST_F(ChatMessageTest, ReceivedMessageIsAnsweredAtOnceWithTheExactResponse) {
  m_Alice.Deliver(RequestFrom("MESSAGE", "bob", "m1@peer", 5,
                              "Record-Route: <sip:proxy.test;lr>\r\n"
                              "Expires: 30\r\n"
                              "Content-Type: text/plain\r\n",
                              "hi there"));
  ASSERT_EQ(1u, m_Alice.m_Sent.size());
  EXPECT_EQ(
      "SIP/2.0 200 OK\r\n"
      "Via: SIP/2.0/UDP 127.0.0.1:5999;branch=z9hG4bK-peer-5\r\n"
      "Record-Route: <sip:proxy.test;lr>\r\n"
      "From: \"bob\" <sip:bob@127.0.0.1>;tag=frombob\r\n"
      "To: <sip:alice@127.0.0.1>;tag=TAG\r\n"
      "Call-ID: m1@peer\r\n"
      "CSeq: 5 MESSAGE\r\n"
      "Contact: <sip:alice@127.0.0.1:5060>\r\n"
      "User-Agent: KytSIPUserAgentiOS/3.4\r\n"
      "Expires: 30\r\n"
      "Content-Length: 0\r\n"
      "\r\n",
      Normalized(m_Alice.m_Sent[0]));
  EXPECT_EQ(std::vector<std::string>{"RecvText bob|hi there"}, m_Alice.m_Events.m_Events);

  // A To that already carries a tag keeps it, and no Expires is made up.
  m_Alice.Deliver(RequestFrom("MESSAGE", "bob", "m1@peer", 6, "Content-Type: text/plain\r\n", "x",
                              "<sip:alice@127.0.0.1>;tag=given"));
  EXPECT_EQ("<sip:alice@127.0.0.1>;tag=given", HeaderOf(m_Alice.m_Sent[1], "To"));
  EXPECT_EQ("", HeaderOf(m_Alice.m_Sent[1], "Expires"));
}

TEST_F(ChatMessageTest, RetransmittedMessageIsAnsweredEachTimeAndReportedOncePer120Seconds) {
  const std::string message =
      RequestFrom("MESSAGE", "bob", "dup@peer", 11, "Content-Type: text/plain\r\n", "again");
  m_Alice.Deliver(message);
  m_Alice.Deliver(message);
  EXPECT_EQ(2u, m_Alice.m_Sent.size());
  EXPECT_EQ(1u, m_Alice.m_Events.Count("RecvText bob|again"));
  // The same CSeq under another Call-ID, and another CSeq, are other messages.
  m_Alice.Deliver(
      RequestFrom("MESSAGE", "bob", "other@peer", 11, "Content-Type: text/plain\r\n", "again"));
  m_Alice.Deliver(
      RequestFrom("MESSAGE", "bob", "dup@peer", 12, "Content-Type: text/plain\r\n", "again"));
  EXPECT_EQ(3u, m_Alice.m_Events.Count("RecvText bob|again"));

  m_Alice.Tick(119);
  m_Alice.Deliver(message);
  EXPECT_EQ(3u, m_Alice.m_Events.Count("RecvText bob|again"));
  m_Alice.Tick(1);
  m_Alice.Deliver(message);
  EXPECT_EQ(4u, m_Alice.m_Events.Count("RecvText bob|again"));
}

TEST_F(ChatMessageTest, ContentTypeDecidesWhatIsReported) {
  const std::string idle =
      "<?xml version='1.0' encoding='UTF-8'?>\n<isComposing "
      "xmlns='urn:ietf:params:xml:ns:im-iscomposing'>\n<state>idle</state>\n</isComposing>";
  m_Alice.Deliver(
      RequestFrom("MESSAGE", "bob", "c@p", 1, "Content-Type: TEXT/HTML\r\n", "<b>x</b>"));
  m_Alice.Deliver(RequestFrom("MESSAGE", "bob", "c@p", 2,
                              "Content-Type: application/im-iscomposing+xml\r\n", kTypingActive));
  m_Alice.Deliver(RequestFrom("MESSAGE", "bob", "c@p", 3,
                              "Content-Type: application/im-iscomposing+xml\r\n", idle));
  m_Alice.Deliver(RequestFrom("MESSAGE", "bob", "c@p", 4,
                              "Content-Type: application/im-iscomposing+xml\r\n", "<state/>"));
  m_Alice.Deliver(
      RequestFrom("MESSAGE", "bob", "c@p", 5, "Content-Type: application/json\r\n", "{\"a\":1}"));
  m_Alice.Deliver(RequestFrom("MESSAGE", "bob", "c@p", 6, "", "no type"));
  EXPECT_EQ(6u, m_Alice.m_Sent.size());
  for (const auto& s : m_Alice.m_Sent) EXPECT_EQ("SIP/2.0 200 OK", StartLineOf(s));
  EXPECT_EQ(
      (std::vector<std::string>{"RecvText bob|<b>x</b>", "TypingStart bob", "TypingStop bob"}),
      m_Alice.m_Events.m_Events);
}

TEST_F(ChatMessageTest, MalformedMessagesAreAnsweredButNotReported) {
  // No Call-ID: answered, never reported (it could not be told from its copies).
  m_Alice.Deliver(
      "MESSAGE sip:alice@127.0.0.1 SIP/2.0\r\n"
      "Via: SIP/2.0/UDP 127.0.0.1:5999;branch=z9hG4bK-a\r\n"
      "From: <sip:bob@127.0.0.1>;tag=1\r\nTo: <sip:alice@127.0.0.1>\r\nCSeq: 1 MESSAGE\r\n"
      "Content-Type: text/plain\r\n\r\nhello");
  // A CSeq without a method.
  m_Alice.Deliver(
      "MESSAGE sip:alice@127.0.0.1 SIP/2.0\r\n"
      "Via: SIP/2.0/UDP 127.0.0.1:5999;branch=z9hG4bK-b\r\n"
      "From: <sip:bob@127.0.0.1>;tag=1\r\nTo: <sip:alice@127.0.0.1>\r\nCall-ID: x@y\r\n"
      "CSeq: 7\r\nContent-Type: text/plain\r\n\r\nhello");
  EXPECT_EQ(2u, m_Alice.m_Sent.size());
  // No Via: there is nowhere to answer, but the message itself is fine.
  m_Alice.Deliver(
      "MESSAGE sip:alice@127.0.0.1 SIP/2.0\r\n"
      "From: <sip:bob@127.0.0.1>;tag=1\r\nTo: <sip:alice@127.0.0.1>\r\nCall-ID: x@y\r\n"
      "CSeq: 8 MESSAGE\r\nContent-Type: text/plain\r\n\r\nno via");
  EXPECT_EQ(2u, m_Alice.m_Sent.size());
  EXPECT_EQ(std::vector<std::string>{"RecvText bob|no via"}, m_Alice.m_Events.m_Events);
}

TEST_F(ChatMessageTest, DuplicateFilterStaysBoundedUnderAFlood) {
  auto flood = [](int nCSeq) {
    return RequestFrom("MESSAGE", "bob", "flood@peer", nCSeq, "Content-Type: text/plain\r\n", "x");
  };
  const int kFlood = static_cast<int>(cChatMessage::kMaxDataMESSAGE) + 100;
  for (int i = 0; i < kFlood; ++i) m_Alice.Deliver(flood(i));
  EXPECT_EQ(static_cast<size_t>(kFlood), m_Alice.m_Events.Count("RecvText"));
  // The newest are still known, so their copies stay quiet; the oldest had to make room.
  m_Alice.Deliver(flood(kFlood - 1));
  EXPECT_EQ(static_cast<size_t>(kFlood), m_Alice.m_Events.Count("RecvText"));
  m_Alice.Deliver(flood(0));
  EXPECT_EQ(static_cast<size_t>(kFlood) + 1, m_Alice.m_Events.Count("RecvText"));
}

// ---------------------------------------------------------------------------------------------
// Events that call back in

TEST_F(ChatMessageTest, PageMaySendFromInsideAnOutcomeEvent) {
  m_Alice.m_Events.m_OnEvent = [this](const std::string& sLine) {
    if (sLine.rfind("TextFail", 0) == 0 && m_Alice.m_Sent.size() < 20) {
      m_Alice.m_Chat.SendMsgText("bob", "retry", 101, 2);
    }
  };
  m_Alice.m_Chat.SendMsgText("bob", "hello", 101, 1);
  m_Alice.m_Chat.SendMsgText("carol", "hello", 101, 1);
  m_Alice.Tick(10);
  EXPECT_EQ(2u, m_Alice.m_Events.Count("TextFail"));
  // bob: the first message and its five resends, then one new message per failure.
  EXPECT_EQ(1u + 5u + 2u, m_Alice.SentStarting("MESSAGE sip:bob@127.0.0.1").size());
}
