// Presence of one chat manager against contacts played by the test: the status numbers and
// documents, our subscriptions and the contacts' subscriptions to us, refresh, removal,
// challenges and time-outs.
#include <gtest/gtest.h>

#include <string>

#include "cChatTestAgent.h"
#include "chat/cChatContact.h"
#include "chat/cChatContactList.h"
#include "chat/cChatSIP.h"
#include "sip/cMsgSIP.h"
#include "util/eKytError.h"

using namespace chattest;

namespace {

const char* const kAllow = "ACK, INFO, BYE, CANCEL, INVITE, NOTIFY, OPTIONS, MESSAGE, SUBSCRIBE";

std::string Pidf(const cChatSIP& chat, const std::string& sBasic, const std::string& sActivity) {
  return "<?xml version='1.0' encoding='UTF-8'?><presence xmlns='urn:ietf:params:xml:ns:pidf' "
         "xmlns:dm='urn:ietf:params:xml:ns:pidf:data-model' "
         "xmlns:rpid='urn:ietf:params:xml:ns:pidf:rpid' "
         "xmlns:c='urn:ietf:params:xml:ns:pidf:cipid' entity='sip:alice@127.0.0.1'><tuple id='" +
         std::string(chat.GetTupleIdXML().GetDATA()) + "'><status><basic>" + sBasic +
         "</basic></status></tuple><dm:person id='" + chat.GetPersonIdXML().GetDATA() +
         "'><rpid:activities><rpid:" + sActivity + "/></rpid:activities></dm:person></presence>";
}

std::string PidfFromPeer(const std::string& sInside) {
  return "<?xml version='1.0' encoding='UTF-8'?><presence "
         "xmlns='urn:ietf:params:xml:ns:pidf' entity='sip:bob@127.0.0.1'>" +
         sInside + "</presence>";
}

int32_t StatusOf(const std::string& sBody) { return cChatContact::PIDFToStatus(sBody.c_str()); }

std::string SubscribeFrom(const std::string& sUser, const std::string& sCallId, int nCSeq,
                          int nExpires, const std::string& sTo = "<sip:alice@127.0.0.1>",
                          const std::string& sExtra = "") {
  return RequestFrom("SUBSCRIBE", sUser, sCallId, nCSeq,
                     "Contact: <sip:" + sUser + "@127.0.0.1:5999>\r\nExpires: " +
                         std::to_string(nExpires) + "\r\nEvent: presence\r\n" + sExtra,
                     "", sTo);
}

std::string NotifyFrom(const std::string& sUser, int nCSeq, const std::string& sState,
                       const std::string& sBody) {
  return RequestFrom("NOTIFY", sUser, "notify@peer", nCSeq,
                     "Event: presence\r\nSubscription-State: " + sState +
                         "\r\nContent-Type: application/pidf+xml\r\n",
                     sBody, "<sip:alice@127.0.0.1>;tag=ours");
}

class ChatPresenceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_Alice.m_Chat.SetClock([this] { return m_fNow; });
    ASSERT_TRUE(m_Alice.Init());
  }

  std::shared_ptr<cChatContact> Contact(const std::string& sUser) {
    return m_Alice.m_Chat.GetChatContactList()->FindContact(sUser.c_str());
  }

  // Alice lists bob and bob accepts her subscription.
  void AddBobAccepted() {
    ASSERT_TRUE(m_Alice.m_Chat.AddContact("bob"));
    m_Alice.Deliver(ResponseTo(m_Alice.LastSent(), 200, "OK", "Expires: 3600\r\n"));
    ASSERT_TRUE(Contact("bob")->IsReceiveNOTIFY());
  }

  cChatTestAgent m_Alice{"alice"};
  double m_fNow = 1000.0;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Status numbers and documents

TEST(ChatPresenceDocument, StatusNumbersMapToActivityAndBasicAndBack) {
  struct {
    int32_t nStatus;
    const char* pActivity;
    const char* pBasic;
    int32_t nReadBack;
  } const kCases[] = {{0, "unknown", "open", 0}, {1, "unknown", "closed", 1},
                      {2, "away", "open", 2},    {3, "on-the-phone", "open", 3},
                      {4, "busy", "open", 4},    {5, "unknown", "open", 0},
                      {-1, "unknown", "open", 0}};
  for (const auto& c : kCases) {
    const char* pActivity = nullptr;
    const char* pBasic = nullptr;
    cChatContact::StatusToPIDF(c.nStatus, pActivity, pBasic);
    EXPECT_STREQ(c.pActivity, pActivity) << c.nStatus;
    EXPECT_STREQ(c.pBasic, pBasic) << c.nStatus;
    cKytSTR body;
    cChatContact::PreparePIDF("sip:a@b", "t1", pBasic, "p1", pActivity, body);
    EXPECT_EQ(c.nReadBack, cChatContact::PIDFToStatus(body)) << c.nStatus;
  }
}

TEST(ChatPresenceDocument, SeveralMarksAreTestedBusyAwayPhoneClosedInThatOrder) {
  EXPECT_EQ(4, StatusOf(PidfFromPeer("<tuple id='a'><status><basic>closed</basic></status></tuple>"
                                     "<rpid:activities><rpid:away/><rpid:on-the-phone/><rpid:busy/>"
                                     "</rpid:activities>")));
  EXPECT_EQ(2, StatusOf(PidfFromPeer("<basic>closed</basic><rpid:on-the-phone/><rpid:away/>")));
  EXPECT_EQ(3, StatusOf(PidfFromPeer("<basic>closed</basic><rpid:on-the-phone/>")));
  EXPECT_EQ(1, StatusOf(PidfFromPeer("<basic>closed</basic>")));
  EXPECT_EQ(0, StatusOf(PidfFromPeer("<basic>open</basic>")));
  // Letter case does not matter.
  EXPECT_EQ(4, cChatContact::PIDFToStatus("<RPID:Busy/>"));
  EXPECT_EQ(1, cChatContact::PIDFToStatus("<BASIC>Closed</BASIC>"));
}

TEST(ChatPresenceDocument, HostileBodiesReadAsAStatusWithoutHarm) {
  EXPECT_EQ(0, cChatContact::PIDFToStatus(""));
  EXPECT_EQ(0, cChatContact::PIDFToStatus("<rpid:busy"));
  EXPECT_EQ(0, cChatContact::PIDFToStatus("<<<<>>>>&&&;;;'''\"\"\""));
  EXPECT_EQ(0, cChatContact::PIDFToStatus("<rpid:busy /><basic> closed </basic>"));
  std::string huge(60000, '<');
  huge += "<rpid:away/>";
  EXPECT_EQ(2, cChatContact::PIDFToStatus(huge.c_str()));
  std::string binary;
  for (int i = 1; i < 256; ++i) binary += static_cast<char>(i);
  binary += "<rpid:busy/>";
  EXPECT_EQ(4, cChatContact::PIDFToStatus(binary.c_str()));
}

TEST(ChatPresenceDocument, SubscriptionStatesThatEndTheSubscription) {
  EXPECT_TRUE(cChatContact::IsTerminated("terminated;reason=noresource"));
  EXPECT_TRUE(cChatContact::IsTerminated("Terminated;Reason=timeout"));
  EXPECT_TRUE(cChatContact::IsTerminated("terminated"));
  EXPECT_TRUE(cChatContact::IsTerminated(" terminated ; reason=rejected"));
  EXPECT_TRUE(cChatContact::IsTerminated("active;reason=deactivated"));
  EXPECT_FALSE(cChatContact::IsTerminated("active;expires=3600"));
  EXPECT_FALSE(cChatContact::IsTerminated("pending"));
  EXPECT_FALSE(cChatContact::IsTerminated(""));
  EXPECT_FALSE(cChatContact::IsTerminated("terminatedness"));
}

TEST(ChatPresenceDocument, IdentifiersOfTheDocumentHaveTheirForms) {
  cChatSIP chat;
  std::string tuple = chat.GetTupleIdXML().GetDATA();
  std::string person = chat.GetPersonIdXML().GetDATA();
  ASSERT_GE(tuple.size(), 3u);
  EXPECT_EQ('t', tuple[0]);
  EXPECT_EQ('p', person[0]);
  EXPECT_EQ(std::string::npos, tuple.find_first_not_of("0123456789abcdef", 1));
  EXPECT_EQ(std::string::npos, person.find_first_not_of("0123456789abcdef", 1));
  EXPECT_NE(tuple.substr(1), person.substr(1));
  EXPECT_EQ(1, chat.GetMyStatus());
}

TEST(ChatPresenceDocument, EntityIsEscapedForItsAttribute) {
  cChatTestAgent odd("o'b&r");
  ASSERT_TRUE(odd.Init());
  EXPECT_STREQ("sip:o&apos;b&amp;r@127.0.0.1", odd.m_Chat.GetEntityXML().GetDATA());
  EXPECT_STREQ("<sip:o'b&r@127.0.0.1:5060>", odd.m_Chat.GetContactURI().GetDATA());
}

// ---------------------------------------------------------------------------------------------
// Our subscription

TEST_F(ChatPresenceTest, AddingAContactSendsTheExactSubscribe) {
  ASSERT_TRUE(m_Alice.m_Chat.AddContact("bob"));
  ASSERT_EQ(1u, m_Alice.m_Sent.size());
  EXPECT_EQ(std::string("SUBSCRIBE sip:bob@127.0.0.1 SIP/2.0\r\n"
                        "Via: SIP/2.0/UDP 127.0.0.1:5060;rport;branch=z9hG4bKBRANCH\r\n"
                        "From: \"alice\" <sip:alice@127.0.0.1>;tag=TAG\r\n"
                        "To: \"bob\" <sip:bob@127.0.0.1>\r\n"
                        "Call-ID: CALLID@127.0.0.1\r\n"
                        "CSeq: 1 SUBSCRIBE\r\n"
                        "Contact: <sip:alice@127.0.0.1:5060>\r\n"
                        "Max-Forwards: 70\r\n"
                        "User-Agent: KytSIPUserAgentiOS/3.4\r\n"
                        "Expires: 3600\r\n"
                        "Allow: ") +
                kAllow +
                "\r\n"
                "Content-Length: 0\r\n"
                "Accept: multipart/related, application/rlmi+xml, application/pidf+xml\r\n"
                "Event: presence\r\n"
                "\r\n",
            Normalized(m_Alice.m_Sent[0]));
  // Our status could not go out: bob has not subscribed to us.
  EXPECT_EQ(kErrNoSubscriber, Contact("bob")->GetObjectError());
  EXPECT_EQ(1, Contact("bob")->GetStatus());
}

TEST_F(ChatPresenceTest, NotifiesCountOnlyWhileOurSubscriptionIsActive) {
  ASSERT_TRUE(m_Alice.m_Chat.AddContact("bob"));
  const std::string subscribe = m_Alice.LastSent();
  const std::string busy = PidfFromPeer("<rpid:busy/>");
  m_Alice.Deliver(NotifyFrom("bob", 1, "active;expires=3600", busy));
  ASSERT_EQ(2u, m_Alice.m_Sent.size());
  EXPECT_TRUE(m_Alice.m_Events.m_Events.empty());

  m_Alice.Deliver(
      ResponseTo(subscribe, 200, "OK", "Record-Route: <sip:proxy.test;lr>\r\nExpires: 3600\r\n"));
  m_Alice.Deliver(NotifyFrom("bob", 2, "active;expires=3600", busy));
  EXPECT_EQ(std::vector<std::string>{"Status bob|4"}, m_Alice.m_Events.m_Events);
  // The answer to a NOTIFY keeps its To as it came.
  EXPECT_EQ(
      "SIP/2.0 200 OK\r\n"
      "Via: SIP/2.0/UDP 127.0.0.1:5999;branch=z9hG4bK-peer-2\r\n"
      "From: \"bob\" <sip:bob@127.0.0.1>;tag=frombob\r\n"
      "To: <sip:alice@127.0.0.1>;tag=ours\r\n"
      "Call-ID: notify@peer\r\n"
      "CSeq: 2 NOTIFY\r\n"
      "Contact: <sip:alice@127.0.0.1:5060>\r\n"
      "User-Agent: KytSIPUserAgentiOS/3.4\r\n"
      "Content-Length: 0\r\n"
      "\r\n",
      m_Alice.LastSent());
  EXPECT_EQ(4, Contact("bob")->GetStatus());
  // An active NOTIFY without a body tells nothing.
  m_Alice.Deliver(NotifyFrom("bob", 3, "active", ""));
  EXPECT_EQ(1u, m_Alice.m_Events.m_Events.size());

  // The refresh runs inside the dialog bob's answer made, along its route.
  m_Alice.Tick(300);
  const std::string refresh = m_Alice.SentStarting("SUBSCRIBE").back();
  EXPECT_EQ(HeaderOf(subscribe, "Call-ID"), HeaderOf(refresh, "Call-ID"));
  EXPECT_EQ(HeaderOf(subscribe, "From"), HeaderOf(refresh, "From"));
  EXPECT_EQ("\"bob\" <sip:bob@127.0.0.1>;tag=peer77", HeaderOf(refresh, "To"));
  EXPECT_EQ("<sip:proxy.test;lr>", HeaderOf(refresh, "Route"));
  EXPECT_EQ("2 SUBSCRIBE", HeaderOf(refresh, "CSeq"));
}

TEST_F(ChatPresenceTest, UpperCaseContactIsFoundByLowerCaseName) {
  ASSERT_TRUE(m_Alice.m_Chat.AddContact("Bob"));
  m_Alice.Deliver(ResponseTo(m_Alice.LastSent(), 200, "OK", "Expires: 3600\r\n"));
  m_Alice.Deliver(
      NotifyFrom("bob", 1, "active", PidfFromPeer("<rpid:away/><basic>closed</basic>")));
  EXPECT_EQ(std::vector<std::string>{"Status Bob|2"}, m_Alice.m_Events.m_Events);
}

TEST_F(ChatPresenceTest, TerminatingNotifyEndsOurSubscriptionButNotTheirs) {
  AddBobAccepted();
  m_Alice.Deliver(SubscribeFrom("bob", "theirs@peer", 1, 3600));
  m_Alice.Deliver(
      NotifyFrom("bob", 5, "terminated;reason=noresource", PidfFromPeer("<rpid:busy/>")));
  EXPECT_EQ(std::vector<std::string>{"Status bob|1"}, m_Alice.m_Events.m_Events);
  EXPECT_FALSE(Contact("bob")->IsReceiveNOTIFY());
  EXPECT_TRUE(Contact("bob")->GetSendData().IsEmpty());
  // Later NOTIFYs are answered and ignored; bob still hears our own status.
  size_t nSent = m_Alice.m_Sent.size();
  m_Alice.Deliver(NotifyFrom("bob", 6, "active", PidfFromPeer("<rpid:busy/>")));
  EXPECT_EQ(1u, m_Alice.m_Events.m_Events.size());
  m_Alice.m_Chat.SetMyStatus(2);
  ASSERT_EQ(nSent + 2, m_Alice.m_Sent.size());
  EXPECT_EQ("NOTIFY sip:bob@127.0.0.1:5999 SIP/2.0", StartLineOf(m_Alice.LastSent()));
}

TEST_F(ChatPresenceTest, UnansweredSubscribeIsResentAndReportsOfflineAtTheTenthTick) {
  ASSERT_TRUE(m_Alice.m_Chat.AddContact("bob"));
  const std::vector<size_t> kSentAfterTick = {2, 2, 3, 3, 4, 4, 5, 5, 6};
  for (size_t i = 0; i < kSentAfterTick.size(); ++i) {
    m_Alice.Tick();
    EXPECT_EQ(kSentAfterTick[i], m_Alice.m_Sent.size()) << "after tick " << i + 1;
  }
  EXPECT_TRUE(m_Alice.m_Events.m_Events.empty());
  m_Alice.Tick();
  EXPECT_EQ(std::vector<std::string>{"Status bob|1"}, m_Alice.m_Events.m_Events);
  EXPECT_FALSE(Contact("bob")->IsTickActive(cChatContactTick::SLOT_SUBSCRIBE));
  EXPECT_TRUE(Contact("bob")->GetSendData().IsEmpty());
}

TEST_F(ChatPresenceTest, ProvisionalAndStaleAnswersDoNotDecideTheSubscription) {
  ASSERT_TRUE(m_Alice.m_Chat.AddContact("bob"));
  const std::string subscribe = m_Alice.LastSent();
  m_Alice.Deliver(ResponseTo(subscribe, 100, "Trying"));
  std::string stale = ResponseTo(subscribe, 200, "OK", "Expires: 3600\r\n");
  stale.replace(stale.find("Call-ID: ") + 9, 3, "old");
  m_Alice.Deliver(stale);
  EXPECT_FALSE(Contact("bob")->IsReceiveNOTIFY());
  EXPECT_TRUE(Contact("bob")->IsTickActive(cChatContactTick::SLOT_SUBSCRIBE));
  EXPECT_TRUE(m_Alice.m_Events.m_Events.empty());
  m_Alice.Tick();
  EXPECT_EQ(subscribe, m_Alice.LastSent());
}

TEST_F(ChatPresenceTest, ErrorAnswerReportsOfflineAndTheNextSubscribeStartsAfresh) {
  ASSERT_TRUE(m_Alice.m_Chat.AddContact("bob"));
  const std::string first = m_Alice.LastSent();
  m_Alice.Deliver(ResponseTo(first, 403, "Forbidden"));
  EXPECT_EQ(std::vector<std::string>{"Status bob|1"}, m_Alice.m_Events.m_Events);
  EXPECT_TRUE(Contact("bob")->GetSendData().IsEmpty());
  m_Alice.Tick(300);
  const std::string again = m_Alice.SentStarting("SUBSCRIBE").back();
  EXPECT_NE(HeaderOf(first, "Call-ID"), HeaderOf(again, "Call-ID"));
  EXPECT_EQ("\"bob\" <sip:bob@127.0.0.1>", HeaderOf(again, "To"));
}

TEST_F(ChatPresenceTest, ChallengesAreAnsweredWithTheChallengedExpiry) {
  m_Alice.SetLogin("alice", "pw");
  ASSERT_TRUE(m_Alice.m_Chat.AddContact("bob"));
  m_Alice.Deliver(ResponseTo(m_Alice.LastSent(), 401, "Unauthorized",
                             "WWW-Authenticate: Digest realm=\"r\", nonce=\"n1\"\r\n"));
  std::string retry = m_Alice.LastSent();
  EXPECT_EQ("2 SUBSCRIBE", HeaderOf(retry, "CSeq"));
  EXPECT_EQ("3600", HeaderOf(retry, "Expires"));
  EXPECT_EQ(0u, HeaderOf(retry, "Authorization")
                    .find("Digest username=\"alice\", realm=\"r\", "
                          "nonce=\"n1\", uri=\"sip:bob@127.0.0.1\""));
  m_Alice.Deliver(ResponseTo(retry, 200, "OK", "Expires: 3600\r\n"));
  ASSERT_TRUE(Contact("bob")->IsReceiveNOTIFY());

  // The end of the subscription, challenged, is answered as an end.
  m_Alice.m_Chat.RemoveContact("bob");
  const std::string end = m_Alice.SentStarting("SUBSCRIBE").back();
  EXPECT_EQ("0", HeaderOf(end, "Expires"));
  EXPECT_EQ("", HeaderOf(end, "Accept"));
  m_Alice.Deliver(ResponseTo(end, 407, "Proxy Authentication Required",
                             "Proxy-Authenticate: Digest realm=\"r\", nonce=\"n2\"\r\n"));
  retry = m_Alice.SentStarting("SUBSCRIBE").back();
  EXPECT_EQ("0", HeaderOf(retry, "Expires"));
  EXPECT_NE("", HeaderOf(retry, "Proxy-Authorization"));
  EXPECT_EQ("", HeaderOf(retry, "Accept"));
}

TEST_F(ChatPresenceTest, EndlessChallengesGiveTheSubscriptionUp) {
  ASSERT_TRUE(m_Alice.m_Chat.AddContact("bob"));
  for (int i = 0; i < 5; ++i) {
    m_Alice.Deliver(ResponseTo(m_Alice.SentStarting("SUBSCRIBE").back(), 401, "Unauthorized",
                               "WWW-Authenticate: Digest realm=\"r\", nonce=\"x\"\r\n"));
  }
  EXPECT_EQ(5u, m_Alice.SentStarting("SUBSCRIBE").size());
  EXPECT_EQ(std::vector<std::string>{"Status bob|1"}, m_Alice.m_Events.m_Events);
  // A challenge without its header gives up at once.
  m_Alice.m_Chat.AddContact("carol");
  m_Alice.Deliver(ResponseTo(m_Alice.LastSent(), 407, "Proxy Authentication Required"));
  EXPECT_TRUE(m_Alice.m_Events.Heard("Status carol|1"));
}

// ---------------------------------------------------------------------------------------------
// Their subscription

TEST_F(ChatPresenceTest, SubscribeIsAcceptedNotifiedAndSubscribedBack) {
  ASSERT_TRUE(m_Alice.m_Chat.AddContact("bob"));
  const std::string ours = m_Alice.LastSent();
  m_Alice.m_Chat.SetMyStatus(3);
  m_Alice.m_Sent.clear();
  m_Alice.Deliver(SubscribeFrom("bob", "sub1@peer", 7, 3600, "<sip:alice@127.0.0.1>",
                                "Record-Route: <sip:proxy.test;lr>\r\n"));
  ASSERT_EQ(3u, m_Alice.m_Sent.size());
  EXPECT_EQ(
      "SIP/2.0 202 Accepted\r\n"
      "Via: SIP/2.0/UDP 127.0.0.1:5999;branch=z9hG4bK-peer-7\r\n"
      "Record-Route: <sip:proxy.test;lr>\r\n"
      "From: \"bob\" <sip:bob@127.0.0.1>;tag=frombob\r\n"
      "To: <sip:alice@127.0.0.1>;tag=TAG\r\n"
      "Call-ID: sub1@peer\r\n"
      "CSeq: 7 SUBSCRIBE\r\n"
      "Contact: <sip:alice@127.0.0.1:5060>\r\n"
      "User-Agent: KytSIPUserAgentiOS/3.4\r\n"
      "Expires: 3600\r\n"
      "Content-Length: 0\r\n"
      "\r\n",
      Normalized(m_Alice.m_Sent[0]));
  const std::string body = Pidf(m_Alice.m_Chat, "open", "on-the-phone");
  EXPECT_EQ(std::string("NOTIFY sip:bob@127.0.0.1:5999 SIP/2.0\r\n"
                        "Via: SIP/2.0/UDP 127.0.0.1:5060;rport;branch=z9hG4bKBRANCH\r\n"
                        "Route: <sip:proxy.test;lr>\r\n"
                        "From: <sip:alice@127.0.0.1>;tag=TAG\r\n"
                        "To: \"bob\" <sip:bob@127.0.0.1>;tag=frombob\r\n"
                        "Call-ID: sub1@peer\r\n"
                        "CSeq: 2 NOTIFY\r\n"
                        "Contact: <sip:alice@127.0.0.1:5060>\r\n"
                        "Max-Forwards: 70\r\n"
                        "Content-Type: application/pidf+xml\r\n"
                        "User-Agent: KytSIPUserAgentiOS/3.4\r\n"
                        "Allow: ") +
                kAllow + "\r\nContent-Length: " + std::to_string(body.size()) +
                "\r\n"
                "Event: presence\r\n"
                "Subscription-State: active;expires=3600\r\n"
                "\r\n" +
                body,
            Normalized(m_Alice.m_Sent[1]));
  // The NOTIFY's From tag is the one the 202 gave.
  EXPECT_EQ(HeaderOf(m_Alice.m_Sent[0], "To"), HeaderOf(m_Alice.m_Sent[1], "From"));
  // The subscribe-back starts a dialog of its own.
  const std::string back = m_Alice.m_Sent[2];
  EXPECT_EQ("SUBSCRIBE sip:bob@127.0.0.1 SIP/2.0", StartLineOf(back));
  EXPECT_NE(HeaderOf(ours, "Call-ID"), HeaderOf(back, "Call-ID"));
  EXPECT_EQ("3 SUBSCRIBE", HeaderOf(back, "CSeq"));
  EXPECT_EQ("3600", HeaderOf(back, "Expires"));

  // Any answer to our NOTIFY ends its resending.
  m_Alice.Deliver(ResponseTo(m_Alice.m_Sent[1], 481, "Call Does Not Exist"));
  EXPECT_FALSE(Contact("bob")->IsTickActive(cChatContactTick::SLOT_NOTIFY));
  EXPECT_TRUE(Contact("bob")->IsTickActive(cChatContactTick::SLOT_SUBSCRIBE));
}

TEST_F(ChatPresenceTest, SubscribeBackHappensAtMostOnceInFourSeconds) {
  ASSERT_TRUE(m_Alice.m_Chat.AddContact("bob"));
  m_Alice.m_Sent.clear();
  m_Alice.Deliver(SubscribeFrom("bob", "s1@peer", 1, 3600));
  EXPECT_EQ(1u, m_Alice.SentStarting("SUBSCRIBE").size());
  m_fNow += 4.0;
  m_Alice.Deliver(SubscribeFrom("bob", "s2@peer", 1, 3600));
  EXPECT_EQ(2u, m_Alice.SentStarting("SIP/2.0 202 Accepted").size());
  EXPECT_EQ(2u, m_Alice.SentStarting("NOTIFY").size());
  EXPECT_EQ(1u, m_Alice.SentStarting("SUBSCRIBE").size());
  m_fNow += 0.5;
  m_Alice.Deliver(SubscribeFrom("bob", "s3@peer", 1, 3600));
  EXPECT_EQ(2u, m_Alice.SentStarting("SUBSCRIBE").size());
}

TEST_F(ChatPresenceTest, RefreshInsideTheirDialogKeepsOurSubscription) {
  AddBobAccepted();
  const std::string ourCallId = HeaderOf(m_Alice.LastSent(), "Call-ID");
  m_fNow += 100;
  m_Alice.Deliver(SubscribeFrom("bob", "s1@peer", 2, 3600, "<sip:alice@127.0.0.1>;tag=mine"));
  EXPECT_EQ("<sip:alice@127.0.0.1>;tag=mine",
            HeaderOf(m_Alice.m_Sent[m_Alice.m_Sent.size() - 3], "To"));
  const std::string back = m_Alice.SentStarting("SUBSCRIBE").back();
  EXPECT_EQ(ourCallId, HeaderOf(back, "Call-ID"));
  EXPECT_EQ("\"bob\" <sip:bob@127.0.0.1>;tag=peer77", HeaderOf(back, "To"));
  EXPECT_EQ("<sip:alice@127.0.0.1>;tag=mine",
            HeaderOf(m_Alice.SentStarting("NOTIFY").back(), "From"));
}

TEST_F(ChatPresenceTest, UnlistedUsersGetNoSubscriptionAndTheirNotifyA481) {
  m_Alice.Deliver(SubscribeFrom("mallory", "s@peer", 1, 3600));
  m_Alice.Deliver(NotifyFrom("mallory", 1, "active", PidfFromPeer("<rpid:busy/>")));
  m_Alice.Deliver(
      "SIP/2.0 200 OK\r\nVia: SIP/2.0/UDP 127.0.0.1:5060;branch=z9hG4bK1\r\n"
      "From: <sip:alice@127.0.0.1>;tag=1\r\nTo: <sip:mallory@127.0.0.1>;tag=2\r\n"
      "Call-ID: x@y\r\nCSeq: 1 SUBSCRIBE\r\n\r\n");
  ASSERT_EQ(m_Alice.m_Sent.size(), 1u);
  EXPECT_EQ(StartLineOf(m_Alice.m_Sent[0]), "SIP/2.0 481 Call/Transaction Does Not Exist");
  EXPECT_TRUE(m_Alice.m_Events.m_Events.empty());
}

TEST_F(ChatPresenceTest, UnsubscribeIsAnsweredAndStopsOurNotifies) {
  ASSERT_TRUE(m_Alice.m_Chat.AddContact("bob"));
  m_Alice.Deliver(SubscribeFrom("bob", "s1@peer", 1, 3600));
  ASSERT_TRUE(Contact("bob")->IsSendNOTIFY());
  m_Alice.m_Sent.clear();
  m_Alice.Deliver(SubscribeFrom("bob", "s1@peer", 2, 0, "<sip:alice@127.0.0.1>;tag=given"));
  ASSERT_EQ(1u, m_Alice.m_Sent.size());
  EXPECT_EQ("SIP/2.0 200 OK", StartLineOf(m_Alice.m_Sent[0]));
  EXPECT_EQ("0", HeaderOf(m_Alice.m_Sent[0], "Expires"));
  EXPECT_EQ("<sip:alice@127.0.0.1>;tag=given", HeaderOf(m_Alice.m_Sent[0], "To"));
  m_Alice.m_Chat.SetMyStatus(4);
  EXPECT_EQ(1u, m_Alice.m_Sent.size());
  EXPECT_EQ(kErrNoSubscriber, Contact("bob")->GetObjectError());
}

TEST_F(ChatPresenceTest, OwnStatusGoesToEverySubscribedContact) {
  ASSERT_TRUE(m_Alice.m_Chat.AddContact("bob"));
  ASSERT_TRUE(m_Alice.m_Chat.AddContact("carol"));
  ASSERT_TRUE(m_Alice.m_Chat.AddContact("dave"));
  m_Alice.Deliver(SubscribeFrom("bob", "b@peer", 1, 3600));
  m_Alice.Deliver(SubscribeFrom("carol", "c@peer", 1, 3600));
  m_Alice.m_Sent.clear();
  m_Alice.m_Chat.SetMyStatus(3);
  ASSERT_EQ(2u, m_Alice.m_Sent.size());
  for (const auto& s : m_Alice.m_Sent) {
    EXPECT_EQ(Pidf(m_Alice.m_Chat, "open", "on-the-phone"), BodyOf(s));
  }
  EXPECT_EQ("b@peer", HeaderOf(m_Alice.m_Sent[0], "Call-ID"));
  EXPECT_EQ("c@peer", HeaderOf(m_Alice.m_Sent[1], "Call-ID"));
  m_Alice.m_Chat.SetMyStatus(1);
  EXPECT_EQ(Pidf(m_Alice.m_Chat, "closed", "unknown"), BodyOf(m_Alice.LastSent()));
  m_Alice.m_Chat.SetMyStatus(2);
  EXPECT_EQ(Pidf(m_Alice.m_Chat, "open", "away"), BodyOf(m_Alice.LastSent()));
  m_Alice.m_Chat.SetMyStatus(0);
  EXPECT_EQ(Pidf(m_Alice.m_Chat, "open", "unknown"), BodyOf(m_Alice.LastSent()));
  m_Alice.m_Chat.SetMyStatus(4);
  EXPECT_EQ(Pidf(m_Alice.m_Chat, "open", "busy"), BodyOf(m_Alice.LastSent()));

  // An unanswered NOTIFY is resent on the same schedule and then given up quietly.
  m_Alice.m_Sent.clear();
  m_Alice.Tick(10);
  EXPECT_EQ(10u, m_Alice.SentStarting("NOTIFY").size());
  m_Alice.Tick(5);
  EXPECT_EQ(10u, m_Alice.SentStarting("NOTIFY").size());
}

// ---------------------------------------------------------------------------------------------
// Refresh and removal

TEST_F(ChatPresenceTest, SubscriptionsAreRenewedEveryFiveMinutes) {
  AddBobAccepted();
  m_Alice.Deliver(SubscribeFrom("bob", "s1@peer", 1, 3600));
  m_Alice.Deliver(ResponseTo(m_Alice.LastSent(), 200, "OK", "Expires: 3600\r\n"));
  m_Alice.Deliver(ResponseTo(m_Alice.SentStarting("NOTIFY").back(), 200, "OK"));
  size_t nSubscribes = m_Alice.SentStarting("SUBSCRIBE").size();
  size_t nNotifies = m_Alice.SentStarting("NOTIFY").size();
  m_Alice.Tick(299);
  EXPECT_EQ(nSubscribes, m_Alice.SentStarting("SUBSCRIBE").size());
  m_Alice.Tick();
  EXPECT_EQ(nSubscribes + 1, m_Alice.SentStarting("SUBSCRIBE").size());
  EXPECT_EQ(nNotifies + 1, m_Alice.SentStarting("NOTIFY").size());
  EXPECT_EQ("3600", HeaderOf(m_Alice.SentStarting("SUBSCRIBE").back(), "Expires"));
  m_Alice.Deliver(ResponseTo(m_Alice.SentStarting("SUBSCRIBE").back(), 200, "OK"));
  m_Alice.Deliver(ResponseTo(m_Alice.SentStarting("NOTIFY").back(), 200, "OK"));
  m_Alice.Tick(300);
  EXPECT_EQ(nSubscribes + 2, m_Alice.SentStarting("SUBSCRIBE").size());
}

TEST_F(ChatPresenceTest, RemovedContactEndsBothSidesAndGoesTwoSecondsLater) {
  AddBobAccepted();
  m_Alice.Deliver(SubscribeFrom("bob", "s1@peer", 1, 3600));
  m_Alice.m_Events.m_Events.clear();
  m_Alice.m_Sent.clear();
  m_Alice.m_Chat.RemoveContact("BOB");
  ASSERT_EQ(2u, m_Alice.m_Sent.size());
  EXPECT_EQ("SUBSCRIBE sip:bob@127.0.0.1 SIP/2.0", StartLineOf(m_Alice.m_Sent[0]));
  EXPECT_EQ("0", HeaderOf(m_Alice.m_Sent[0], "Expires"));
  EXPECT_EQ(Pidf(m_Alice.m_Chat, "closed", "unknown"), BodyOf(m_Alice.m_Sent[1]));
  auto bob = Contact("bob");
  ASSERT_TRUE(bob);
  EXPECT_TRUE(bob->IsRemoved());

  // A removed contact reports nothing and tells nothing.
  m_Alice.Deliver(NotifyFrom("bob", 9, "active", PidfFromPeer("<rpid:busy/>")));
  m_Alice.m_Chat.SetMyStatus(0);
  EXPECT_TRUE(m_Alice.m_Events.m_Events.empty());
  EXPECT_EQ(1u, m_Alice.SentStarting("NOTIFY").size()) << "only the closing NOTIFY";

  m_Alice.Tick();
  EXPECT_TRUE(Contact("bob"));
  m_Alice.Tick();
  EXPECT_FALSE(Contact("bob"));
  EXPECT_EQ(0u, m_Alice.m_Chat.GetChatContactList()->GetCount());
  // Its last requests got their one resend.
  EXPECT_EQ(2u, m_Alice.SentStarting("SUBSCRIBE").size());
  // Once deleted, bob is a stranger: only the NOTIFY before got an answer.
  m_Alice.Deliver(SubscribeFrom("bob", "s9@peer", 1, 3600));
  EXPECT_EQ(1u, m_Alice.SentStarting("SIP/2.0").size());
}

TEST_F(ChatPresenceTest, RemovingWithoutOurSubscriptionSendsOnlyTheStatus) {
  ASSERT_TRUE(m_Alice.m_Chat.AddContact("bob"));
  m_Alice.Deliver(SubscribeFrom("bob", "s1@peer", 1, 3600));
  m_Alice.m_Sent.clear();
  m_Alice.m_Chat.RemoveContact("bob");
  ASSERT_EQ(1u, m_Alice.m_Sent.size());
  EXPECT_EQ("NOTIFY sip:bob@127.0.0.1:5999 SIP/2.0", StartLineOf(m_Alice.m_Sent[0]));
  m_Alice.m_Chat.RemoveContact("nobody");
  EXPECT_EQ(1u, m_Alice.m_Sent.size());
}

TEST_F(ChatPresenceTest, AddingAListedNameReplacesTheContact) {
  AddBobAccepted();
  auto first = Contact("bob");
  ASSERT_TRUE(m_Alice.m_Chat.AddContact("BOB"));
  auto second = Contact("bob");
  EXPECT_NE(first, second);
  EXPECT_FALSE(second->IsReceiveNOTIFY());
  EXPECT_EQ(1u, m_Alice.m_Chat.GetChatContactList()->GetCount());
}

TEST_F(ChatPresenceTest, PageMayReplaceOrRemoveAContactFromInsideItsStatusEvent) {
  ASSERT_TRUE(m_Alice.m_Chat.AddContact("bob"));
  ASSERT_TRUE(m_Alice.m_Chat.AddContact("carol"));
  m_Alice.m_Events.m_OnEvent = [this](const std::string& sLine) {
    if (sLine == "Status bob|1") m_Alice.m_Chat.AddContact("bob");
    if (sLine == "Status carol|1") m_Alice.m_Chat.RemoveContact("carol");
  };
  m_Alice.Tick(10);
  EXPECT_EQ(2u, m_Alice.m_Events.m_Events.size());
  EXPECT_TRUE(Contact("bob"));
  EXPECT_TRUE(Contact("bob")->IsTickActive(cChatContactTick::SLOT_SUBSCRIBE));
  m_Alice.Tick(2);
  EXPECT_FALSE(Contact("carol"));
}

// ---------------------------------------------------------------------------------------------
// Without a session

TEST(ChatPresenceNoSession, RequestsThatCannotBeBuiltLeaveTheirCodes) {
  cChatSIP chat;
  ASSERT_TRUE(chat.AddContact("bob"));
  auto bob = chat.GetChatContactList()->FindContact("bob");
  EXPECT_FALSE(bob->SendReqSUBSCRIBE(3600, "", ""));
  EXPECT_EQ(kErrBuildSubscribe, bob->GetObjectError());
  EXPECT_FALSE(bob->IsTickActive(cChatContactTick::SLOT_SUBSCRIBE));

  // A subscription from bob is taken, but neither our NOTIFY nor the subscribe-back can go.
  auto request = cMsgSIP::initWithPacketSIP(
      RequestFrom("SUBSCRIBE", "bob", "s@peer", 1, "Expires: 3600\r\nEvent: presence\r\n").c_str());
  ASSERT_TRUE(request);
  chat.OnReqSUBSCRIBE(*request);
  EXPECT_TRUE(bob->IsSendNOTIFY());
  EXPECT_FALSE(bob->SendReqNOTIFY(0));
  EXPECT_EQ(kErrBuildNotify, bob->GetObjectError());
  EXPECT_FALSE(bob->IsTickActive(cChatContactTick::SLOT_NOTIFY));
  chat.OnOneSecondTick();
}

TEST(ChatPresenceNoSession, AnAccountWithoutAHostIsRefused) {
  cChatTestAgent agent("alice");
  agent.SetFromURI("");
  EXPECT_FALSE(agent.Init());
}
