#include <gtest/gtest.h>

#include <random>
#include <string>

#include "FakeAgent.h"
#include "SipText.h"
#include "call/cCallPool.h"
#include "call/cSIPCall.h"

namespace {

// A request from a peer at 127.0.0.1:5999 to the agent.
std::string Request(const std::string& method, const std::string& callId, const std::string& cseq,
                    const std::string& extra = "", const std::string& body = "",
                    const std::string& via = "SIP/2.0/UDP 127.0.0.1:5999;branch=z9hG4bKpeer1") {
  std::string text = method + " sip:alice@127.0.0.1:5061 SIP/2.0\r\n";
  if (!via.empty()) text += "Via: " + via + "\r\n";
  text += "From: \"Peer\" <sip:peer@127.0.0.1:5999>;tag=pt1\r\nTo: <sip:alice@127.0.0.1>\r\n";
  if (!callId.empty()) text += "Call-ID: " + callId + "\r\n";
  if (!cseq.empty()) text += "CSeq: " + cseq + "\r\n";
  text += "Contact: <sip:peer@127.0.0.1:5999>\r\n" + extra;
  text += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  return text;
}

const char* kOffer =
    "v=0\r\no=peer 1 1 IN IP4 127.0.0.1\r\ns=-\r\nc=IN IP4 127.0.0.1\r\nt=0 0\r\n"
    "m=audio 6000 RTP/AVP 0 101\r\na=rtpmap:101 telephone-event/8000\r\n";

}  // namespace

TEST(CallPool, CreateFindAndCreateAgain) {
  FakeAgent agent("alice", 5061, 4000);
  cCallPool& pool = agent.m_Pool;
  cSIPCall* pFirst = pool.CreateCall("abc@host", &agent, &agent.m_Events);
  EXPECT_EQ(pool.CreateCall("abc@host", &agent, &agent.m_Events), pFirst);
  EXPECT_EQ(pool.FindCall("abc@host"), pFirst);
  EXPECT_EQ(pool.FindCall("ABC@host"), nullptr);
  EXPECT_EQ(pool.FindCall(""), nullptr);
  cSIPCall* pNew = pool.CreateCall("", &agent, &agent.m_Events);
  cSIPCall* pOther = pool.CreateCall("", &agent, &agent.m_Events);
  EXPECT_NE(pNew, pOther);
  cKytSTR callId;
  pNew->GetCallId(callId);
  EXPECT_NE(std::string(callId.GetDATA()).find("@127.0.0.1"), std::string::npos);
  EXPECT_EQ(pool.FindCall(callId), pNew);
  EXPECT_EQ(pool.GetCallCount(), 3);
  // A new call starts idle, on no line, without codec or telephone-event payload.
  EXPECT_EQ(pNew->GetObjectStatus(), 0);
  EXPECT_EQ(pNew->GetLineNo(), -1);
  EXPECT_EQ(pNew->GetKytTxCodecNo(), -1);
  EXPECT_EQ(pNew->GetMagicNoDTMF(), -1);
  EXPECT_EQ(pNew->GetObjectError(), 0);
}

TEST(CallPool, ClosedRightAfterASweepLivesFortyTwoSeconds) {
  FakeAgent agent("alice", 5061, 4000);
  cCallPool& pool = agent.m_Pool;
  cSIPCall* pCall = pool.CreateCall("late@host", &agent, &agent.m_Events);
  pCall->SetLineNo(2);
  for (int i = 0; i < 21; ++i) pool.OnOneSecondTick();  // the first sweep runs on the 21st
  pool.CloseCall("late@host");
  EXPECT_EQ(pCall->GetLineNo(), -1);
  EXPECT_TRUE(pool.IsClosing("late@host"));
  for (int i = 0; i < 41; ++i) pool.OnOneSecondTick();
  EXPECT_EQ(pool.FindCall("late@host"), pCall);  // still there for late retransmissions
  pool.OnOneSecondTick();
  EXPECT_EQ(pool.FindCall("late@host"), nullptr);
  EXPECT_FALSE(pool.IsClosing("late@host"));
  EXPECT_EQ(pool.GetCallCount(), 0);
}

TEST(CallPool, ClosedJustBeforeASweepLivesTwentyOneSeconds) {
  FakeAgent agent("alice", 5061, 4000);
  cCallPool& pool = agent.m_Pool;
  pool.CreateCall("early@host", &agent, &agent.m_Events);
  pool.CreateCall("kept@host", &agent, &agent.m_Events);
  for (int i = 0; i < 20; ++i) pool.OnOneSecondTick();
  pool.CloseCall("early@host");
  pool.CloseCall("early@host");  // closing twice keeps the first schedule
  pool.CloseCall("unknown@host");
  for (int i = 0; i < 21; ++i) pool.OnOneSecondTick();
  EXPECT_NE(pool.FindCall("early@host"), nullptr);
  pool.OnOneSecondTick();
  EXPECT_EQ(pool.FindCall("early@host"), nullptr);
  EXPECT_NE(pool.FindCall("kept@host"), nullptr);
  EXPECT_FALSE(pool.IsClosing("unknown@host"));
}

TEST(RequestHandler, OptionsAnsweredWhenTheViaParses) {
  FakeAgent agent("alice", 5061, 4000);
  agent.Deliver(Request("OPTIONS", "opt@peer", "1 OPTIONS"));
  std::string ok = agent.LastSent("SIP/2.0 200 OK");
  ASSERT_NE(ok, "");
  EXPECT_EQ(HeaderOf(ok, "Call-ID"), "opt@peer");
  EXPECT_EQ(HeaderOf(ok, "CSeq"), "1 OPTIONS");
  EXPECT_EQ(agent.m_Pool.GetCallCount(), 0);
  agent.Deliver(Request("OPTIONS", "opt2@peer", "1 OPTIONS", "", "",
                        "SIP/2.0/SCTP 127.0.0.1:5999;branch=z9hG4bKsctp"));
  agent.Deliver(Request("OPTIONS", "opt3@peer", "1 OPTIONS", "", "", ""));
  EXPECT_EQ(agent.m_Sent.size(), 1u);
}

TEST(RequestHandler, RequestsWithoutACall) {
  // Each names a dialog or transaction we do not have: 481, and nothing for the ACK.
  FakeAgent agent("alice", 5061, 4000);
  agent.Deliver(Request("BYE", "gone@peer", "5 BYE"));
  agent.Deliver(Request("INFO", "gone@peer", "6 INFO", "", "Signal=1\r\n"));
  agent.Deliver(Request("CANCEL", "gone@peer", "1 CANCEL"));
  agent.Deliver(Request("ACK", "gone@peer", "1 ACK"));
  ASSERT_EQ(agent.m_Sent.size(), 3u);
  const char* pCSeqs[] = {"5 BYE", "6 INFO", "1 CANCEL"};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(StartLineOf(agent.m_Sent[i]), "SIP/2.0 481 Call/Transaction Does Not Exist");
    EXPECT_EQ(HeaderOf(agent.m_Sent[i], "CSeq"), pCSeqs[i]);
  }
  EXPECT_EQ(agent.m_Pool.GetCallCount(), 0);
  EXPECT_TRUE(agent.m_Events.m_Events.empty());
}

TEST(RequestHandler, NotifyOutsideCallsGoesToPresenceOrIsRefused) {
  FakeAgent agent("alice", 5061, 4000);
  agent.Deliver(Request("NOTIFY", "p1@peer", "1 NOTIFY", "Event: Presence\r\n"));
  agent.Deliver(Request("NOTIFY", "p2@peer", "1 NOTIFY", "Event: message-summary\r\n"));
  agent.Deliver(Request("NOTIFY", "p3@peer", "1 NOTIFY"));
  EXPECT_EQ(agent.m_PresenceNotifies, std::vector<std::string>{"Presence"});
  ASSERT_EQ(agent.m_Sent.size(), 2u);
  EXPECT_EQ(StartLineOf(agent.m_Sent[0]), "SIP/2.0 489 Bad Event");
  EXPECT_EQ(StartLineOf(agent.m_Sent[1]), "SIP/2.0 489 Bad Event");
}

TEST(RequestHandler, IncomingInviteShowsTheCaller) {
  FakeAgent agent("alice", 5061, 4000);
  agent.Deliver(Request("INVITE", "in1@peer", "10 INVITE", "", kOffer));
  ASSERT_EQ(agent.m_Sent.size(), 2u);
  EXPECT_EQ(StartLineOf(agent.m_Sent[0]), "SIP/2.0 100 Trying");
  EXPECT_EQ(HeaderOf(agent.m_Sent[0], "To"), "<sip:alice@127.0.0.1>");  // no tag on a 100
  EXPECT_EQ(StartLineOf(agent.m_Sent[1]), "SIP/2.0 180 Ringing");
  EXPECT_NE(HeaderOf(agent.m_Sent[1], "To").find("<sip:alice@127.0.0.1>;tag="), std::string::npos);
  ASSERT_EQ(agent.m_Events.m_Events.size(), 2u);
  EXPECT_EQ(agent.m_Events.m_Events[0],
            "OnIncomingCall in1@peer|Peer|peer|\"Peer\" <sip:peer@127.0.0.1:5999>|"
            "<sip:alice@127.0.0.1>");
  // A repeated INVITE gets 100 and 180 again and raises nothing.
  agent.Deliver(Request("INVITE", "in1@peer", "10 INVITE", "", kOffer));
  EXPECT_EQ(agent.m_Sent.size(), 4u);
  EXPECT_EQ(agent.m_Events.m_Events.size(), 2u);
  EXPECT_EQ(agent.m_Pool.GetCallCount(), 1);
}

TEST(RequestHandler, UnusableInvitesLeaveNothingBehind) {
  FakeAgent agent("alice", 5061, 4000);
  agent.Deliver(Request("INVITE", "", "1 INVITE", "", kOffer));
  agent.Deliver(Request("INVITE", "sctp@peer", "1 INVITE", "", kOffer,
                        "SIP/2.0/SCTP 127.0.0.1:5999;branch=z9hG4bKsctp"));
  agent.Deliver(Request("INVITE", "novia@peer", "1 INVITE", "", kOffer, ""));
  agent.Deliver(Request("INVITE", "nocseq@peer", "", "", kOffer));
  agent.Deliver(Request("INVITE", "badcseq@peer", "1INVITE", "", kOffer));
  EXPECT_TRUE(agent.m_Sent.empty());
  EXPECT_TRUE(agent.m_Events.m_Events.empty());
  // Calls made for them are already on their way out.
  for (const char* pId : {"sctp@peer", "novia@peer", "nocseq@peer", "badcseq@peer"}) {
    EXPECT_TRUE(agent.m_Pool.IsClosing(pId)) << pId;
  }
  for (int i = 0; i < 42; ++i) agent.Tick();
  EXPECT_EQ(agent.m_Pool.GetCallCount(), 0);
}

TEST(RequestHandler, DoNotDisturbAlsoRefusesReInvites) {
  FakeAgent agent("alice", 5061, 4000);
  agent.Deliver(Request("INVITE", "dnd@peer", "1 INVITE", "", kOffer));
  agent.m_Calls.SetDonotDisturb(true);
  agent.Deliver(Request("INVITE", "dnd@peer", "2 INVITE", "", kOffer));
  EXPECT_EQ(StartLineOf(agent.m_Sent.back()), "SIP/2.0 480 Temporarily Unavailable");
  EXPECT_EQ(agent.m_Events.Count("OnIncomingCall "), 1);
}

TEST(RequestHandler, InviteForAClosingCallIsNotTaken) {
  FakeAgent agent("alice", 5061, 4000);
  agent.Deliver(Request("INVITE", "c1@peer", "1 INVITE", "", kOffer));
  agent.Deliver(Request("CANCEL", "c1@peer", "1 CANCEL"));
  EXPECT_EQ(agent.m_Events.Last(), "OnIncomingCallRingingStop c1@peer");
  size_t nSent = agent.m_Sent.size();
  agent.Deliver(Request("INVITE", "c1@peer", "1 INVITE", "", kOffer));
  EXPECT_EQ(agent.m_Sent.size(), nSent);
  EXPECT_EQ(agent.m_Events.Count("OnIncomingCall "), 1);
  // Its ACK still finds the call.
  agent.Deliver(Request("ACK", "c1@peer", "1 ACK"));
  EXPECT_EQ(agent.m_Sent.size(), nSent);
}

TEST(RequestHandler, InfoInACallIsAnsweredOnce) {
  FakeAgent agent("alice", 5061, 4000);
  agent.Deliver(Request("INVITE", "i1@peer", "1 INVITE", "", kOffer));
  agent.Deliver(Request("INFO", "i1@peer", "2 INFO", "Content-Type: application/dtmf-relay\r\n",
                        "Signal=5\r\nDuration=160\r\n"));
  EXPECT_EQ(HeaderOf(agent.LastSent("SIP/2.0 200 OK"), "CSeq"), "2 INFO");
  for (int i = 0; i < 20; ++i) agent.Tick();
  EXPECT_EQ(agent.CountSent("SIP/2.0 200 OK"), 1);
}

TEST(RequestHandler, HostileMessagesNeverCrash) {
  FakeAgent agent("alice", 5061, 4000);
  std::vector<std::string> seeds = {
      Request("INVITE", "h1@peer", "1 INVITE", "", kOffer),
      Request("ACK", "h1@peer", "1 ACK", "", kOffer),
      Request("BYE", "h1@peer", "2 BYE"),
      Request("CANCEL", "h1@peer", "1 CANCEL"),
      Request("NOTIFY", "h1@peer", "3 NOTIFY", "Event: refer\r\n", "SIP/2.0 603 Declined\r\n"),
      Request("INFO", "h1@peer", "4 INFO"),
      ResponseTo(Request("INVITE", "h1@peer", "1 INVITE"), 200, "OK", "x", "", kOffer),
      ResponseTo(Request("INVITE", "h1@peer", "1 INVITE"), 401, "Unauthorized", "x",
                 "WWW-Authenticate: Digest realm=\"r\", nonce=\"n\"\r\n"),
  };
  std::mt19937 rng(99);
  for (int iter = 0; iter < 4000; ++iter) {
    std::string text = seeds[rng() % seeds.size()];
    int nEdits = 1 + rng() % 6;
    for (int e = 0; e < nEdits && !text.empty(); ++e) {
      size_t nPos = rng() % text.size();
      switch (rng() % 4) {
        case 0:
          text[nPos] = static_cast<char>(rng() % 256);
          break;
        case 1:
          text.erase(nPos, rng() % 20);
          break;
        case 2:
          text.insert(nPos, std::string(rng() % 40, "; =:<>@\r\n0"[rng() % 10]));
          break;
        default:
          text.resize(nPos);
          break;
      }
    }
    if (rng() % 3 == 0 && agent.Line()) agent.Line()->Disconnect();
    if (rng() % 5 == 0) agent.Accept();
    if (rng() % 7 == 0) agent.Tick();
    agent.Deliver(text);
  }
  SUCCEED();
}
