#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "FakeAgent.h"
#include "SipText.h"
#include "call/cMsgSDP.h"
#include "call/cSIPCall.h"
#include "util/eKytError.h"

namespace {

constexpr int32_t kAlicePort = 5061;
constexpr int32_t kBobPort = 5062;

// Alice and Bob, each other's next hop, exchanging messages in memory.
class TwoAgents : public ::testing::Test {
 protected:
  TwoAgents() : alice("alice", kAlicePort, 4000), bob("bob", kBobPort, 4002) {
    alice.m_ProxySIP = "127.0.0.1:5062";
    bob.m_ProxySIP = "127.0.0.1:5061";
  }

  // Alice dials Bob and Bob rings.
  void Ring() {
    alice.Dial("sip:bob@127.0.0.1:5062");
    Exchange(alice, bob);
    ASSERT_EQ(bob.m_Events.Count("OnIncomingCall "), 1) << bob.m_Events.All();
    callId = bob.m_Events.m_LastIncomingCallId;
  }

  void Connect() {
    Ring();
    ASSERT_TRUE(bob.Accept());
    Exchange(alice, bob);
    ASSERT_EQ(alice.Status(), cSIPCall::STATUS_CONNECTED);
    ASSERT_EQ(bob.Status(), cSIPCall::STATUS_CONNECTED);
  }

  // Alice's dial fails before anything is sent: the call tells why and stays idle.
  void ExpectDialFails(int32_t nError) {
    cSIPCall* pCall = alice.Dial("sip:bob@127.0.0.1:5062");
    EXPECT_EQ(pCall->GetObjectError(), nError);
    EXPECT_EQ(pCall->GetObjectStatus(), cSIPCall::STATUS_IDLE);
    EXPECT_TRUE(alice.m_Sent.empty());
  }

  // Answers the agent's request with a proxy challenge (realm p, the given nonce) and takes the
  // one request the agent sends again in its place.
  static void ChallengeByProxy(FakeAgent& agent, std::string& request, const std::string& nonce) {
    agent.Deliver(
        ResponseTo(request, 407, "Proxy Authentication Required", "",
                   "Proxy-Authenticate: Digest realm=\"p\", nonce=\"" + nonce + "\"\r\n"));
    auto sent = agent.TakeOutbox();
    ASSERT_EQ(sent.size(), 1u);
    request = sent[0];
  }

  void TickBoth(int n) {
    for (int i = 0; i < n; ++i) {
      alice.Tick();
      bob.Tick();
    }
  }

  FakeAgent alice;
  FakeAgent bob;
  std::string callId;
};

}  // namespace

TEST_F(TwoAgents, DialRingAcceptAndHangUpByCaller) {
  cSIPCall* pCall = alice.Dial("sip:bob@127.0.0.1:5062");
  EXPECT_EQ(pCall->GetObjectStatus(), cSIPCall::STATUS_INVITE_SENT);
  EXPECT_EQ(alice.m_Events.m_Events, std::vector<std::string>{"OnConnecting 0"});
  std::string invite = alice.LastSent("INVITE ");
  EXPECT_EQ(StartLineOf(invite), "INVITE sip:bob@127.0.0.1:5062 SIP/2.0");
  EXPECT_EQ(HeaderOf(invite, "CSeq"), "1 INVITE");
  EXPECT_NE(BodyOf(invite).find("m=audio 4000 RTP/AVP 0 8 3 98 101\r\n"), std::string::npos);

  Exchange(alice, bob);
  EXPECT_EQ(bob.CountSent("SIP/2.0 100 Trying"), 1);
  EXPECT_EQ(bob.CountSent("SIP/2.0 180 Ringing"), 1);
  callId = bob.m_Events.m_LastIncomingCallId;
  cKytSTR aliceCallId;
  pCall->GetCallId(aliceCallId);
  EXPECT_EQ(callId, aliceCallId.GetDATA());
  ASSERT_EQ(bob.m_Events.m_Events.size(), 2u) << bob.m_Events.All();
  EXPECT_EQ(bob.m_Events.m_Events[0], "OnIncomingCall " + callId +
                                          "|alice|alice|\"alice\" <sip:alice@127.0.0.1>|" +
                                          "<sip:bob@127.0.0.1>");
  EXPECT_EQ(bob.m_Events.m_Events[1], "OnIncomingCallRingingStart " + callId);
  EXPECT_EQ(bob.Find(callId)->GetObjectStatus(), cSIPCall::STATUS_RINGING_IN);
  EXPECT_EQ(alice.Status(), cSIPCall::STATUS_RINGING_OUT);
  EXPECT_TRUE(alice.m_Events.Has("OnProvisionalResponse 0 100 Trying"));
  EXPECT_TRUE(alice.m_Events.Has("OnProvisionalResponse 0 180 Ringing"));
  EXPECT_TRUE(alice.m_RtpStarts.empty());  // a 180 without a body starts no early media

  ASSERT_TRUE(bob.Accept());
  EXPECT_EQ(bob.Status(), cSIPCall::STATUS_ACCEPTED);
  std::string ok = bob.LastSent("SIP/2.0 200 OK");
  EXPECT_NE(BodyOf(ok).find("m=audio 4002 RTP/AVP 0 8 3 98 101\r\n"), std::string::npos);
  EXPECT_NE(BodyOf(ok).find("a=sendrecv"), std::string::npos);
  Exchange(alice, bob);

  EXPECT_EQ(alice.CountSent("ACK "), 1);
  EXPECT_EQ(alice.m_Events.Last(), "OnConnected 0 127.0.0.1 4002 " + callId);
  EXPECT_EQ(bob.m_Events.Last(), "OnConnected 0 127.0.0.1 4000 " + callId);
  ASSERT_EQ(alice.m_RtpStarts.size(), 1u);
  EXPECT_EQ(alice.m_RtpStarts[0].nCodec, 0);
  EXPECT_EQ(alice.m_RtpStarts[0].nPayload, 0);
  EXPECT_TRUE(alice.m_RtpStarts[0].bOutbound && alice.m_RtpStarts[0].bInbound);
  ASSERT_EQ(bob.m_RtpStarts.size(), 1u);
  EXPECT_EQ(bob.m_RtpStarts[0].nPort, 4000);
  EXPECT_EQ(alice.Line()->GetKytTxCodecNo(), 0);
  EXPECT_EQ(alice.Line()->GetMagicNoDTMF(), 101);

  // The ACK stopped the 200's retransmission.
  TickBoth(20);
  EXPECT_EQ(bob.CountSent("SIP/2.0 200 OK"), 1);
  EXPECT_EQ(bob.Status(), cSIPCall::STATUS_CONNECTED);

  EXPECT_TRUE(alice.Line()->Disconnect());
  EXPECT_EQ(alice.Status(), cSIPCall::STATUS_IDLE);
  EXPECT_EQ(alice.m_RtpStops, std::vector<std::string>{"0 out in"});
  std::string bye = alice.LastSent("BYE ");
  EXPECT_EQ(CSeqNumberOf(bye), 2);
  Exchange(alice, bob);
  EXPECT_EQ(bob.Status(), cSIPCall::STATUS_IDLE);
  EXPECT_EQ(bob.m_Events.Last(), "OnDisconnectCall 0");
  EXPECT_EQ(bob.m_RtpStops, std::vector<std::string>{"0 out in"});
  EXPECT_EQ(bob.CountSent("SIP/2.0 200 OK"), 2);
  TickBoth(20);
  EXPECT_EQ(alice.CountSent("BYE "), 1);  // answered: never resent
}

TEST_F(TwoAgents, HangUpByCallee) {
  Connect();
  EXPECT_TRUE(bob.Line()->Disconnect());
  Exchange(alice, bob);
  EXPECT_EQ(alice.Status(), cSIPCall::STATUS_IDLE);
  EXPECT_EQ(alice.m_Events.Last(), "OnDisconnectCall 0");
  EXPECT_EQ(alice.CountSent("SIP/2.0 200 OK"), 1);
  // The BYE of the called side goes to the caller's Contact with the dialog's tags.
  std::string bye = bob.LastSent("BYE ");
  EXPECT_EQ(StartLineOf(bye), "BYE sip:alice@127.0.0.1:5061 SIP/2.0");
  EXPECT_NE(HeaderOf(bye, "From").find("<sip:bob@127.0.0.1>;tag="), std::string::npos);
  EXPECT_NE(HeaderOf(bye, "To").find("alice"), std::string::npos);
  // A second BYE finds an idle call: answered, nothing raised.
  size_t nEvents = alice.m_Events.m_Events.size();
  alice.Deliver(bye);
  EXPECT_EQ(alice.m_Events.m_Events.size(), nEvents);
  EXPECT_EQ(alice.CountSent("SIP/2.0 200 OK"), 2);
}

TEST_F(TwoAgents, HoldAndResume) {
  Connect();
  ASSERT_TRUE(alice.Line()->HoldCall());
  EXPECT_EQ(alice.m_Events.Last(), "OnTryingToHold 0");
  std::string hold = alice.LastSent("INVITE ");
  EXPECT_EQ(CSeqNumberOf(hold), 2);
  EXPECT_NE(BodyOf(hold).find("c=IN IP4 0.0.0.0\r\n"), std::string::npos);
  EXPECT_NE(BodyOf(hold).find(" IN IP4 127.0.0.1\r\ns=KytSoft"), std::string::npos);
  EXPECT_NE(BodyOf(hold).find("a=sendonly"), std::string::npos);
  Exchange(alice, bob);

  std::string answer = bob.LastSent("SIP/2.0 200 OK");
  EXPECT_NE(BodyOf(answer).find("a=recvonly"), std::string::npos);
  EXPECT_EQ(alice.m_Events.Last(), "OnSuccessToHold 0");
  EXPECT_EQ(alice.CountSent("ACK "), 2);
  ASSERT_EQ(bob.m_RtpStarts.size(), 2u);
  EXPECT_FALSE(bob.m_RtpStarts[1].bOutbound);  // held: Bob stops sending, keeps receiving
  EXPECT_TRUE(bob.m_RtpStarts[1].bInbound);
  EXPECT_EQ(alice.Status(), cSIPCall::STATUS_CONNECTED);
  EXPECT_EQ(bob.Status(), cSIPCall::STATUS_CONNECTED);

  ASSERT_TRUE(alice.Line()->UnHoldCall());
  EXPECT_EQ(alice.m_Events.Last(), "OnTryingToUnHold 0");
  EXPECT_NE(BodyOf(alice.LastSent("INVITE ")).find("c=IN IP4 127.0.0.1\r\n"), std::string::npos);
  Exchange(alice, bob);
  EXPECT_NE(BodyOf(bob.LastSent("SIP/2.0 200 OK")).find("a=sendrecv"), std::string::npos);
  EXPECT_EQ(alice.m_Events.Last(), "OnSuccessToUnHold 0");
  ASSERT_EQ(alice.m_RtpStarts.size(), 2u);  // media restarted from the unhold answer
  ASSERT_EQ(bob.m_RtpStarts.size(), 3u);
  EXPECT_TRUE(bob.m_RtpStarts[2].bOutbound && bob.m_RtpStarts[2].bInbound);
  TickBoth(20);
  EXPECT_EQ(alice.CountSent("INVITE "), 3);
  EXPECT_EQ(bob.CountSent("SIP/2.0 200 OK"), 3);
}

TEST_F(TwoAgents, HoldNeedsAConnectedCall) {
  Ring();
  cSIPCall* pRinging = bob.Find(callId);
  size_t nSent = bob.m_Sent.size();
  EXPECT_FALSE(pRinging->HoldCall());
  EXPECT_EQ(pRinging->GetObjectError(), kErrNoCallOnLine);
  EXPECT_FALSE(pRinging->UnHoldCall());
  EXPECT_EQ(bob.m_Sent.size(), nSent);
  EXPECT_EQ(pRinging->GetObjectStatus(), cSIPCall::STATUS_RINGING_IN);
}

TEST_F(TwoAgents, RejectIsBusyHere) {
  Ring();
  cSIPCall* pRinging = bob.Find(callId);
  EXPECT_TRUE(pRinging->RejectCall());
  EXPECT_EQ(pRinging->GetObjectStatus(), cSIPCall::STATUS_REJECTED);
  Exchange(alice, bob);
  EXPECT_EQ(bob.CountSent("SIP/2.0 486 Busy Here"), 1);
  EXPECT_EQ(alice.Status(), cSIPCall::STATUS_IDLE);
  EXPECT_EQ(alice.m_Events.Last(), "OnRequestFailureResponse 0 486 Busy Here");
  std::string ack = alice.LastSent("ACK ");
  EXPECT_EQ(BranchOf(ack), BranchOf(alice.LastSent("INVITE ")));
  EXPECT_EQ(HeaderOf(ack, "CSeq"), "1 ACK");
  EXPECT_TRUE(bob.m_Pool.IsClosing(callId.c_str()));  // the ACK retired the refused call
  // Rejecting or accepting again does nothing.
  EXPECT_TRUE(pRinging->RejectCall());
  EXPECT_TRUE(pRinging->AcceptCall(bob.m_Codecs.GetCodecList()));
  EXPECT_EQ(bob.CountSent("SIP/2.0 486"), 1);
}

TEST_F(TwoAgents, CallerCancelsWhileRinging) {
  Ring();
  ASSERT_TRUE(alice.Line()->Disconnect());
  std::string cancel = alice.LastSent("CANCEL ");
  EXPECT_EQ(HeaderOf(cancel, "CSeq"), "1 CANCEL");
  EXPECT_EQ(BranchOf(cancel), BranchOf(alice.LastSent("INVITE ")));
  Exchange(alice, bob);
  EXPECT_EQ(bob.CountSent("SIP/2.0 487 Request Terminated"), 1);
  EXPECT_EQ(HeaderOf(bob.LastSent("SIP/2.0 487"), "CSeq"), "1 INVITE");
  EXPECT_EQ(HeaderOf(bob.LastSent("SIP/2.0 200 OK"), "CSeq"), "1 CANCEL");
  EXPECT_EQ(bob.m_Events.Last(), "OnIncomingCallRingingStop " + callId);
  EXPECT_EQ(bob.Find(callId)->GetObjectStatus(), cSIPCall::STATUS_IDLE);
  EXPECT_EQ(alice.m_Events.Last(), "OnRequestFailureResponse 0 487 Request Terminated");
  EXPECT_EQ(alice.CountSent("ACK "), 1);
  TickBoth(20);
  EXPECT_EQ(alice.CountSent("CANCEL "), 1);  // answered 200: not resent
  // The cancelled call, never taken onto a line, is retired by the pool's sweeps.
  EXPECT_TRUE(bob.m_Pool.IsClosing(callId.c_str()));
  TickBoth(25);
  EXPECT_EQ(bob.Find(callId), nullptr);
}

TEST_F(TwoAgents, CancelAfterAcceptGetsNoAnswer) {
  Ring();
  ASSERT_TRUE(bob.Accept());
  bob.TakeOutbox();  // the 200 is lost on its way
  alice.Line()->Disconnect();
  Exchange(alice, bob);
  EXPECT_EQ(bob.CountSent("SIP/2.0 487"), 0);
  EXPECT_EQ(bob.Status(), cSIPCall::STATUS_ACCEPTED);
  EXPECT_EQ(alice.m_Events.Count("OnRequestFailureResponse"), 0);
}

TEST_F(TwoAgents, DoNotDisturbAnswers480) {
  bob.m_Calls.SetDonotDisturb(true);
  alice.Dial("sip:bob@127.0.0.1:5062");
  Exchange(alice, bob);
  EXPECT_EQ(bob.CountSent("SIP/2.0 480 Temporarily Unavailable"), 1);
  EXPECT_EQ(bob.m_Pool.GetCallCount(), 0);
  EXPECT_TRUE(bob.m_Events.m_Events.empty());
  EXPECT_EQ(alice.Status(), cSIPCall::STATUS_IDLE);
  EXPECT_EQ(alice.m_Events.Last(), "OnRequestFailureResponse 0 480 Temporarily Unavailable");
  EXPECT_EQ(alice.CountSent("ACK "), 1);
}

TEST_F(TwoAgents, UnansweredInviteSentNineTimesThenGivenUpWithoutCancel) {
  alice.Dial("sip:bob@127.0.0.1:5062");
  for (int nTick = 1; nTick <= 17; ++nTick) {
    alice.Tick();
    EXPECT_EQ(alice.CountSent("CANCEL "), 0);
  }
  EXPECT_EQ(alice.CountSent("INVITE "), 9);
  EXPECT_FALSE(alice.m_Events.Has("OnFailToConnect"));
  alice.Tick();
  EXPECT_EQ(alice.m_Events.Last(), "OnFailToConnect 0");
  EXPECT_EQ(alice.Status(), cSIPCall::STATUS_IDLE);
  for (int i = 0; i < 20; ++i) alice.Tick();
  EXPECT_EQ(alice.CountSent("CANCEL "), 0);  // nothing answered, nothing to cancel
  EXPECT_EQ(alice.CountSent("INVITE "), 9);
}

TEST_F(TwoAgents, TryingOnlyStopsResendingAndTimerCCancelsAfterThreeMinutes) {
  alice.Dial("sip:bob@127.0.0.1:5062");
  std::string invite = alice.TakeOutbox().front();
  alice.Deliver(ResponseTo(invite, 100, "Trying"));
  EXPECT_EQ(alice.Status(), cSIPCall::STATUS_TRYING_OUT);
  for (int i = 0; i < 179; ++i) alice.Tick();
  EXPECT_EQ(alice.CountSent("INVITE "), 1);
  EXPECT_EQ(alice.CountSent("CANCEL "), 0);
  EXPECT_FALSE(alice.m_Events.Has("OnFailToConnect"));
  alice.Tick();
  EXPECT_EQ(alice.CountSent("CANCEL "), 1);
  EXPECT_EQ(alice.m_Events.Last(), "OnFailToConnect 0");
}

TEST_F(TwoAgents, AckWithAnotherCSeqIsIgnored) {
  Ring();
  ASSERT_TRUE(bob.Accept());
  std::string ok = bob.TakeOutbox().front();
  alice.Deliver(ok);
  std::string ack = alice.TakeOutbox().front();
  bob.Deliver(ReplaceAll(ack, "CSeq: 1 ACK", "CSeq: 7 ACK"));
  EXPECT_EQ(bob.Status(), cSIPCall::STATUS_ACCEPTED);
  for (int i = 0; i < 3; ++i) bob.Tick();
  EXPECT_EQ(bob.CountSent("SIP/2.0 200 OK"), 3);  // again at 1 and 2 seconds
  bob.Deliver(ack);
  EXPECT_EQ(bob.Status(), cSIPCall::STATUS_CONNECTED);
  EXPECT_TRUE(bob.m_Events.Has("OnConnected 0"));
}

TEST_F(TwoAgents, EarlyMediaThenAnswer) {
  alice.Dial("sip:bob@127.0.0.1:5062");
  std::string invite = alice.TakeOutbox().front();
  std::string sdp =
      "v=0\r\no=- 1 1 IN IP4 10.1.1.1\r\ns=-\r\nc=IN IP4 10.1.1.1\r\nt=0 0\r\n"
      "m=audio 7000 RTP/AVP 8 101\r\na=rtpmap:101 telephone-event/8000\r\n";
  alice.Deliver(ResponseTo(invite, 180, "Ringing", "r1", "", sdp));
  ASSERT_EQ(alice.m_RtpStarts.size(), 1u);
  EXPECT_EQ(alice.m_RtpStarts[0].ip, "10.1.1.1");
  EXPECT_EQ(alice.m_RtpStarts[0].nCodec, 1);
  alice.Deliver(
      ResponseTo(invite, 183, "Session Progress", "r1", "", ReplaceAll(sdp, "7000", "7002")));
  ASSERT_EQ(alice.m_RtpStarts.size(), 2u);
  EXPECT_EQ(alice.Status(), cSIPCall::STATUS_RINGING_OUT);
  alice.Deliver(ResponseTo(invite, 200, "OK", "r1", "Contact: <sip:bob@127.0.0.1:5062>\r\n",
                           ReplaceAll(sdp, "7000", "7004")));
  ASSERT_EQ(alice.m_RtpStarts.size(), 3u);
  EXPECT_EQ(alice.m_RtpStarts[2].nPort, 7004);
  EXPECT_EQ(alice.m_Events.Last(), "OnConnected 0 10.1.1.1 7004 " + HeaderOf(invite, "Call-ID"));
  // A repeated 200 is only acknowledged again.
  alice.Deliver(ResponseTo(invite, 200, "OK", "r1", "", ReplaceAll(sdp, "7000", "7004")));
  EXPECT_EQ(alice.CountSent("ACK "), 2);
  EXPECT_EQ(alice.m_RtpStarts.size(), 3u);
  EXPECT_EQ(alice.m_Events.Count("OnConnected"), 1);
}

TEST_F(TwoAgents, NoCommonCodecConnectsWithoutMedia) {
  alice.Dial("sip:bob@127.0.0.1:5062");
  std::string invite = alice.TakeOutbox().front();
  alice.Deliver(ResponseTo(invite, 200, "OK", "r1", "",
                           "c=IN IP4 10.1.1.1\r\nm=audio 7000 RTP/AVP 18 101\r\n"));
  EXPECT_EQ(alice.Status(), cSIPCall::STATUS_CONNECTED);
  EXPECT_TRUE(alice.m_RtpStarts.empty());
  EXPECT_FALSE(alice.m_Events.Has("OnConnected"));
  EXPECT_EQ(alice.CountSent("ACK "), 1);
}

TEST_F(TwoAgents, FinalErrorsAreAcknowledgedAndReported) {
  struct Case {
    int nCode;
    const char* pReason;
    const char* pEvent;
  };
  const Case cases[] = {
      {302, "Moved Temporarily", "OnRedirectResponse 0 302 Moved Temporarily <sip:carol@10.0.0.9>"},
      {404, "Not Found", "OnRequestFailureResponse 0 404 Not Found"},
      {503, "Service Unavailable", "OnServerFailureResponse 0 503 Service Unavailable"},
      {603, "Decline", "OnGeneralFailureResponse 0 603 Decline"},
  };
  for (const Case& c : cases) {
    FakeAgent caller("alice", kAlicePort, 4000);
    caller.Dial("sip:bob@127.0.0.1:5062");
    std::string invite = caller.TakeOutbox().front();
    caller.Deliver(
        ResponseTo(invite, c.nCode, c.pReason, "x1", "Contact: <sip:carol@10.0.0.9>\r\n"));
    EXPECT_EQ(caller.Status(), cSIPCall::STATUS_IDLE) << c.nCode;
    EXPECT_EQ(caller.m_Events.Last(), c.pEvent);
    std::string ack = caller.LastSent("ACK ");
    EXPECT_EQ(BranchOf(ack), BranchOf(invite)) << c.nCode;
    EXPECT_NE(HeaderOf(ack, "To").find(";tag=x1"), std::string::npos) << c.nCode;
    for (int i = 0; i < 20; ++i) caller.Tick();
    EXPECT_EQ(caller.CountSent("INVITE "), 1) << c.nCode;
  }
}

TEST_F(TwoAgents, InviteChallengeAnsweredOnce) {
  alice.Dial("sip:bob@127.0.0.1:5062");
  std::string invite = alice.TakeOutbox().front();
  alice.Deliver(
      ResponseTo(invite, 401, "Unauthorized", "c1",
                 "WWW-Authenticate: Digest realm=\"test\", nonce=\"abc\", qop=\"auth\"\r\n"));
  EXPECT_EQ(alice.Status(), cSIPCall::STATUS_INVITE_AUTH_SENT);
  auto sent = alice.TakeOutbox();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(StartLineOf(sent[0]).substr(0, 4), "ACK ");
  EXPECT_EQ(BranchOf(sent[0]), BranchOf(invite));
  std::string second = sent[1];
  EXPECT_EQ(StartLineOf(second).substr(0, 7), "INVITE ");
  EXPECT_EQ(CSeqNumberOf(second), 2);
  EXPECT_NE(BranchOf(second), BranchOf(invite));
  std::string auth = HeaderOf(second, "Authorization");
  EXPECT_NE(auth.find("username=\"alice\""), std::string::npos) << auth;
  EXPECT_NE(auth.find("realm=\"test\""), std::string::npos) << auth;
  EXPECT_EQ(HeaderOf(second, "From"), HeaderOf(invite, "From"));
  EXPECT_EQ(BodyOf(second), BodyOf(invite));

  // A second challenge of the realm with a stale nonce is answered once more, counting anew.
  alice.TakeOutbox();
  alice.Deliver(ResponseTo(
      second, 401, "Unauthorized", "c1",
      "WWW-Authenticate: Digest realm=\"test\", nonce=\"def\", qop=\"auth\", stale=TRUE\r\n"));
  auto third = alice.TakeOutbox();
  ASSERT_EQ(third.size(), 2u);
  EXPECT_EQ(StartLineOf(third[0]).substr(0, 4), "ACK ");
  EXPECT_NE(HeaderOf(third[1], "Authorization").find("nonce=\"def\""), std::string::npos);
  EXPECT_NE(HeaderOf(third[1], "Authorization").find("nc=00000001"), std::string::npos);

  // Once answered, the dialog's later requests carry credentials too.
  alice.Deliver(ResponseTo(third[1], 200, "OK", "c1", "Contact: <sip:bob@127.0.0.1:5062>\r\n",
                           BodyOf(invite)));
  EXPECT_NE(HeaderOf(alice.LastSent("ACK "), "Authorization"), "");
  alice.Line()->Disconnect();
  EXPECT_NE(HeaderOf(alice.LastSent("BYE "), "Authorization"), "");
}

TEST_F(TwoAgents, ProxyChallengeToInvite) {
  alice.Dial("sip:bob@127.0.0.1:5062");
  std::string invite = alice.TakeOutbox().front();
  alice.Deliver(ResponseTo(invite, 407, "Proxy Authentication Required", "c1",
                           "Proxy-Authenticate: Digest realm=\"proxy\", nonce=\"n1\"\r\n"));
  std::string second = alice.LastSent("INVITE ");
  EXPECT_NE(HeaderOf(second, "Proxy-Authorization"), "");
  EXPECT_EQ(HeaderOf(second, "Authorization"), "");
  // A challenge without its header is not answered: acknowledged, reported, the line free.
  FakeAgent other("alice", kAlicePort, 4000);
  other.Dial("sip:bob@127.0.0.1:5062");
  std::string otherInvite = other.TakeOutbox().front();
  other.Deliver(ResponseTo(otherInvite, 407, "Proxy Authentication Required", "c1"));
  EXPECT_EQ(other.CountSent("ACK "), 1);
  EXPECT_EQ(other.CountSent("INVITE "), 1);
  EXPECT_EQ(other.m_Events.Last(), "OnRequestFailureResponse 0 407 Proxy Authentication Required");
  EXPECT_EQ(other.Status(), cSIPCall::STATUS_IDLE);
}

TEST_F(TwoAgents, ByeChallengesAreAnsweredEveryTime) {
  Connect();
  bob.Line()->Disconnect();
  std::string bye = bob.TakeOutbox().front();
  for (int nRound = 0; nRound < 2; ++nRound) {
    ASSERT_NO_FATAL_FAILURE(ChallengeByProxy(bob, bye, "n" + std::to_string(nRound)));
    EXPECT_EQ(StartLineOf(bye).substr(0, 4), "BYE ");
    EXPECT_NE(HeaderOf(bye, "Proxy-Authorization").find("nonce=\"n" + std::to_string(nRound)),
              std::string::npos);
  }
  bob.Deliver(ResponseTo(bye, 401, "Unauthorized", "",
                         "WWW-Authenticate: Digest realm=\"p\", nonce=\"w\"\r\n"));
  EXPECT_NE(HeaderOf(bob.LastSent("BYE "), "Authorization"), "");
  EXPECT_EQ(bob.CountSent("ACK "), 0);  // challenges to BYE are never acknowledged
  bob.Deliver(ResponseTo(bob.LastSent("BYE "), 200, "OK"));
  for (int i = 0; i < 20; ++i) bob.Tick();
  EXPECT_EQ(bob.CountSent("BYE "), 4);
}

TEST_F(TwoAgents, UnansweredByeResetsTheCallSilently) {
  Connect();
  alice.Line()->Disconnect();
  size_t nEvents = alice.m_Events.m_Events.size();
  for (int i = 0; i < 18; ++i) alice.Tick();
  EXPECT_EQ(alice.CountSent("BYE "), 9);
  EXPECT_EQ(alice.m_Events.m_Events.size(), nEvents);
}

TEST_F(TwoAgents, ByeErrorResetsWithItsEvent) {
  Connect();
  alice.Line()->Disconnect();
  std::string bye = alice.TakeOutbox().front();
  alice.Deliver(ResponseTo(bye, 481, "Call/Transaction Does Not Exist"));
  EXPECT_EQ(alice.m_Events.Last(),
            "OnRequestFailureResponse 0 481 Call/Transaction Does Not Exist");
  EXPECT_EQ(alice.CountSent("ACK "), 1);  // a BYE's answer is never acknowledged
}

TEST_F(TwoAgents, ReInviteOfferingSendonlyIsAnsweredRecvonly) {
  Connect();
  bob.Line()->HoldCall();
  // Bob's hold offer with a real connection address: only the direction says "hold".
  std::string reinvite = bob.TakeOutbox().front();
  const std::string length = "Content-Length: " + std::to_string(BodyOf(reinvite).size());
  reinvite = ReplaceAll(reinvite, "c=IN IP4 0.0.0.0", "c=IN IP4 127.0.0.1");
  reinvite =
      ReplaceAll(reinvite, length, "Content-Length: " + std::to_string(BodyOf(reinvite).size()));
  alice.Deliver(reinvite);
  auto sent = alice.TakeOutbox();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(StartLineOf(sent[0]), "SIP/2.0 100 Trying");
  EXPECT_EQ(StartLineOf(sent[1]), "SIP/2.0 200 OK");
  EXPECT_NE(BodyOf(sent[1]).find("a=recvonly\r\n"), std::string::npos);
  EXPECT_EQ(alice.m_Events.Count("OnIncomingCall"), 0);
  bob.Deliver(sent[1]);
  alice.Deliver(bob.TakeOutbox().front());
  ASSERT_EQ(alice.m_RtpStarts.size(), 2u);
  EXPECT_FALSE(alice.m_RtpStarts[1].bOutbound);
  EXPECT_TRUE(alice.m_RtpStarts[1].bInbound);
  for (int i = 0; i < 20; ++i) alice.Tick();
  EXPECT_EQ(alice.CountSent("SIP/2.0 200 OK"), 1);
}

// Each offered direction is answered with its mirror, in descriptions that keep the dialog's
// session id and count their version up by one.
TEST_F(TwoAgents, ReInviteDirectionsAreAnsweredSymmetricallyUnderOneOrigin) {
  Connect();
  auto originOf = [](const std::string& sdp) {
    size_t nAt = sdp.find("o=");
    std::istringstream line(sdp.substr(nAt + 2, sdp.find('\r', nAt) - nAt - 2));
    std::string user, session, version;
    line >> user >> session >> version;
    return std::make_pair(session, std::stoull(version));
  };
  auto origin = originOf(BodyOf(bob.LastSent("SIP/2.0 200 OK")));
  const std::pair<const char*, const char*> cases[] = {{"a=sendonly", "a=recvonly"},
                                                       {"a=recvonly", "a=sendonly"},
                                                       {"a=inactive", "a=inactive"},
                                                       {"a=sendrecv", "a=sendrecv"}};
  for (const auto& [pOffered, pAnswered] : cases) {
    alice.Line()->HoldCall();
    bob.Deliver(ReplaceAll(alice.TakeOutbox().front(), "a=sendonly", pOffered));
    std::string ok = bob.LastSent("SIP/2.0 200 OK");
    EXPECT_NE(BodyOf(ok).find(std::string(pAnswered) + "\r\n"), std::string::npos) << pOffered;
    auto next = originOf(BodyOf(ok));
    EXPECT_EQ(next.first, origin.first);
    EXPECT_EQ(next.second, origin.second + 1);
    origin = next;
    alice.Deliver(ok);
    bob.Deliver(alice.TakeOutbox().front());
  }
}

TEST_F(TwoAgents, ReInviteOfferingNoAddressStopsOutboundMedia) {
  Connect();
  bob.Line()->HoldCall();
  std::string reinvite = ReplaceAll(bob.TakeOutbox().front(), "a=sendonly", "a=sendrecv");
  alice.Deliver(reinvite);
  std::string ok = alice.LastSent("SIP/2.0 200 OK");
  EXPECT_NE(BodyOf(ok).find("a=sendrecv\r\n"), std::string::npos);
  bob.Deliver(ok);
  alice.Deliver(bob.TakeOutbox().front());
  ASSERT_EQ(alice.m_RtpStarts.size(), 2u);
  EXPECT_FALSE(alice.m_RtpStarts[1].bOutbound);
}

TEST_F(TwoAgents, ReInvitesThatCrossAreRefusedAndTriedAgain) {
  Connect();
  alice.Line()->HoldCall();
  std::string aliceHold = alice.TakeOutbox().front();
  bob.Line()->HoldCall();
  std::string bobHold = bob.TakeOutbox().front();
  EXPECT_FALSE(bob.Line()->UnHoldCall()) << "one re-INVITE of ours at a time";
  alice.Deliver(bobHold);
  EXPECT_EQ(StartLineOf(alice.LastSent("SIP/2.0 491")), "SIP/2.0 491 Request Pending");
  bob.Deliver(alice.LastSent("SIP/2.0 491"));
  EXPECT_EQ(BranchOf(bob.LastSent("ACK ")), BranchOf(bobHold));
  EXPECT_EQ(bob.Status(), cSIPCall::STATUS_CONNECTED);
  EXPECT_FALSE(bob.m_Events.Has("OnFailToHold"));

  // Alice's own hold goes through; Bob's is sent again within two seconds (not his Call-ID).
  bob.Deliver(aliceHold);
  alice.Deliver(bob.LastSent("SIP/2.0 200 OK"));
  EXPECT_TRUE(alice.m_Events.Has("OnSuccessToHold 0"));
  bob.Deliver(alice.LastSent("ACK "));
  bob.TakeOutbox();
  bob.Tick();
  bob.Tick();
  auto retry = bob.TakeOutbox();
  ASSERT_EQ(retry.size(), 1u);
  EXPECT_EQ(StartLineOf(retry[0]).substr(0, 7), "INVITE ");
  EXPECT_NE(BodyOf(retry[0]).find("a=sendonly"), std::string::npos);
  alice.Deliver(retry[0]);
  bob.Deliver(alice.LastSent("SIP/2.0 200 OK"));
  EXPECT_TRUE(bob.m_Events.Has("OnSuccessToHold 0"));
  EXPECT_EQ(alice.Status(), cSIPCall::STATUS_CONNECTED);
  EXPECT_EQ(bob.Status(), cSIPCall::STATUS_CONNECTED);
}

TEST_F(TwoAgents, ResentInviteGetsThe2xxAgainAndAMissingAckEndsTheCallWithBye) {
  Ring();
  std::string invite = alice.LastSent("INVITE ");
  ASSERT_TRUE(bob.Accept());
  std::string ok = bob.LastSent("SIP/2.0 200 OK");
  bob.TakeOutbox();
  bob.Deliver(invite);
  EXPECT_EQ(bob.TakeOutbox(), std::vector<std::string>{ok}) << "the same 2xx, no 100 or 180";
  // The 2xx goes again at 1, 2, 4, 8, 12 ... 28 seconds; at 32 it is given up with BYE.
  for (int i = 0; i < 31; ++i) bob.Tick();
  EXPECT_EQ(bob.CountSent("SIP/2.0 200 OK"), 2 + 9);
  EXPECT_EQ(bob.CountSent("BYE "), 0);
  bob.Tick();
  EXPECT_EQ(bob.CountSent("BYE "), 1);
  EXPECT_EQ(bob.m_Events.Last(), "OnFailToConnect 0");
  EXPECT_EQ(bob.Status(), cSIPCall::STATUS_IDLE);
  EXPECT_TRUE(bob.m_RtpStarts.empty());
  bob.TakeOutbox();
  bob.Deliver(invite);
  EXPECT_TRUE(bob.m_Outbox.empty()) << "a late copy rings nothing";
  EXPECT_EQ(bob.m_Events.Count("OnIncomingCall "), 1);
}

TEST_F(TwoAgents, HoldTimeOutKeepsTheCall) {
  Connect();
  alice.Line()->UnHoldCall();
  for (int i = 0; i < 18; ++i) alice.Tick();
  EXPECT_EQ(alice.CountSent("INVITE "), 10);
  EXPECT_EQ(alice.m_Events.Last(), "OnFailToUnHold 0");
  EXPECT_EQ(alice.Status(), cSIPCall::STATUS_CONNECTED);
  EXPECT_EQ(alice.CountSent("CANCEL "), 0);
}

TEST_F(TwoAgents, AnswerAfterHangUpIsClosedWithBye) {
  alice.Dial("sip:bob@127.0.0.1:5062");
  std::string invite = alice.TakeOutbox().front();
  alice.Deliver(ResponseTo(invite, 180, "Ringing", "t9"));
  alice.Line()->Disconnect();
  alice.Deliver(ResponseTo(invite, 200, "OK", "t9", "Contact: <sip:bob@127.0.0.1:5062>\r\n",
                           "c=IN IP4 10.1.1.1\r\nm=audio 7000 RTP/AVP 0\r\n"));
  EXPECT_EQ(alice.Status(), cSIPCall::STATUS_IDLE);
  EXPECT_EQ(alice.CountSent("ACK "), 1);
  EXPECT_EQ(alice.CountSent("BYE "), 1);
  EXPECT_TRUE(alice.m_RtpStarts.empty());
  EXPECT_FALSE(alice.m_Events.Has("OnConnected"));
}

TEST_F(TwoAgents, AcceptWithoutMediaLineKeepsRinging) {
  Ring();
  bob.m_RtpIP = "";
  EXPECT_FALSE(bob.Accept());
  EXPECT_EQ(bob.Line()->GetObjectError(), kErrBuildSdp);
  EXPECT_EQ(bob.Status(), cSIPCall::STATUS_RINGING_IN);
  EXPECT_EQ(bob.CountSent("SIP/2.0 200"), 0);
  bob.m_RtpIP = "127.0.0.1";
  EXPECT_TRUE(bob.Accept());
  EXPECT_EQ(bob.CountSent("SIP/2.0 200"), 1);
}

TEST_F(TwoAgents, DialWithoutMediaLineFails) {
  alice.m_RtpIP = "";
  ExpectDialFails(kErrBuildSdp);
}

TEST_F(TwoAgents, DialWithUnusableLocalUriFails) {
  alice.m_FromURI = "";
  ExpectDialFails(kErrBuildInvite);
}

TEST_F(TwoAgents, DisconnectBeforeAnything) {
  cSIPCall* pCall = alice.m_Pool.CreateCall("", &alice, &alice.m_Events);
  EXPECT_TRUE(pCall->Disconnect());
  EXPECT_TRUE(alice.m_Sent.empty());
  EXPECT_TRUE(alice.m_RtpStops.empty());
  // The called side ends a ringing call without sending anything (that is RejectCall's job).
  Ring();
  EXPECT_TRUE(bob.Find(callId)->Disconnect());
  EXPECT_EQ(bob.Find(callId)->GetObjectStatus(), cSIPCall::STATUS_IDLE);
  EXPECT_TRUE(bob.m_Outbox.empty());
}

TEST_F(TwoAgents, SecondTimerReplacesTheFirst) {
  Ring();
  ASSERT_TRUE(bob.Accept());
  bob.TakeOutbox();
  // The 200 OK is being resent when the user hangs up: the BYE takes the timer.
  bob.Tick();
  bob.Tick();
  bob.Tick();
  EXPECT_EQ(bob.CountSent("SIP/2.0 200 OK"), 3);
  bob.Line()->SetObjectStatus(cSIPCall::STATUS_CONNECTED);
  bob.Line()->Disconnect();
  for (int i = 0; i < 10; ++i) bob.Tick();
  EXPECT_EQ(bob.CountSent("SIP/2.0 200 OK"), 3);
  EXPECT_GT(bob.CountSent("BYE "), 1);
}

namespace {

// A NOTIFY of the transfer's progress as the far side sends it in the dialog.
std::string TransferNotify(const std::string& callId, const std::string& event,
                           const std::string& body) {
  return "NOTIFY sip:alice@127.0.0.1:5061 SIP/2.0\r\n"
         "Via: SIP/2.0/UDP 127.0.0.1:5062;branch=z9hG4bKn1\r\n"
         "From: <sip:bob@127.0.0.1>;tag=b1\r\nTo: <sip:alice@127.0.0.1>;tag=a1\r\n"
         "Call-ID: " +
         callId + "\r\nCSeq: 7 NOTIFY\r\nEvent: " + event +
         "\r\nContent-Type: message/sipfrag\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\n\r\n" + body;
}

}  // namespace

TEST_F(TwoAgents, BlindTransferAcceptedAndCompleted) {
  Connect();
  ASSERT_TRUE(alice.Line()->TransferCall("<sip:carol@127.0.0.1>", ""));
  std::string refer = alice.TakeOutbox().front();
  EXPECT_EQ(StartLineOf(refer).substr(0, 6), "REFER ");
  EXPECT_EQ(HeaderOf(refer, "Refer-To"), "<sip:carol@127.0.0.1>");
  alice.Deliver(ResponseTo(refer, 202, "Accepted"));
  EXPECT_EQ(alice.m_Events.Last(), "OnCallTransferAccepted 0");
  for (int i = 0; i < 20; ++i) alice.Tick();
  EXPECT_EQ(alice.CountSent("REFER "), 1);

  alice.Deliver(TransferNotify(callId, "refer;id=7", "SIP/2.0 100 Trying\r\n"));
  EXPECT_EQ(StartLineOf(alice.LastSent("SIP/2.0")), "SIP/2.0 200 OK");
  EXPECT_EQ(alice.m_Events.Last(), "OnCallTransferAccepted 0");
  alice.Deliver(TransferNotify(callId, "dialog", "SIP/2.0 200 OK\r\n"));
  EXPECT_EQ(alice.Status(), cSIPCall::STATUS_CONNECTED);
  alice.Deliver(TransferNotify(callId, "refer", "SIP/2.0 200 OK\r\n"));
  EXPECT_EQ(alice.m_Events.Last(), "OnDisconnectCall 0");
  EXPECT_EQ(alice.Status(), cSIPCall::STATUS_IDLE);
  EXPECT_EQ(alice.CountSent("BYE "), 1);
  EXPECT_EQ(alice.CountSent("SIP/2.0 200 OK"), 3);
}

TEST_F(TwoAgents, TransferFailures) {
  Connect();
  alice.Line()->TransferCall("<sip:carol@127.0.0.1>", "");
  alice.Deliver(TransferNotify(callId, "refer", "SIP/2.0 603 Declined\r\n"));
  EXPECT_EQ(alice.m_Events.Last(), "OnFailToTransfer 0 603 Declined");
  alice.Deliver(TransferNotify(callId, "refer", "SIP/2.0 486 Busy Here"));
  EXPECT_EQ(alice.m_Events.Last(), "OnFailToTransfer 0 486 Busy Here");
  size_t nEvents = alice.m_Events.m_Events.size();
  alice.Deliver(TransferNotify(callId, "refer", "nospace"));
  alice.Deliver(TransferNotify(callId, "refer", "SIP/2.0 180"));
  EXPECT_EQ(alice.m_Events.m_Events.size(), nEvents);
  EXPECT_EQ(alice.Status(), cSIPCall::STATUS_CONNECTED);

  // A refused REFER is a failed transfer of a call that stays up, without an ACK; a 481 means
  // the far end has lost the dialog, and the call ends.
  std::string refer = alice.LastSent("REFER ");
  alice.Deliver(ResponseTo(refer, 403, "Forbidden"));
  EXPECT_EQ(alice.m_Events.Last(), "OnFailToTransfer 0 403 Forbidden");
  EXPECT_EQ(alice.Status(), cSIPCall::STATUS_CONNECTED);
  alice.Deliver(ResponseTo(refer, 481, "Call/Transaction Does Not Exist"));
  EXPECT_EQ(alice.m_Events.Last(), "OnDisconnectCall 0");
  EXPECT_EQ(alice.Status(), cSIPCall::STATUS_IDLE);
  EXPECT_EQ(alice.CountSent("ACK "), 1);
}

TEST_F(TwoAgents, AttendedTransferAndItsChallenges) {
  Connect();
  ASSERT_TRUE(alice.Line()->TransferCall("<sip:carol@127.0.0.1>", "x@h;to-tag=1;from-tag=2"));
  std::string refer = alice.TakeOutbox().front();
  EXPECT_EQ(HeaderOf(refer, "Refer-To"),
            "<sip:carol@127.0.0.1?Replaces=x%40h%3Bto-tag%3D1%3Bfrom-tag%3D2>");
  for (int nRound = 0; nRound < 2; ++nRound) {
    ASSERT_NO_FATAL_FAILURE(ChallengeByProxy(alice, refer, "r" + std::to_string(nRound)));
    EXPECT_NE(HeaderOf(refer, "Proxy-Authorization"), "");
    EXPECT_EQ(HeaderOf(refer, "Refer-To"),
              "<sip:carol@127.0.0.1?Replaces=x%40h%3Bto-tag%3D1%3Bfrom-tag%3D2>");
  }
  // An unanswered REFER is given up silently.
  for (int i = 0; i < 18; ++i) alice.Tick();
  EXPECT_EQ(alice.CountSent("REFER "), 11);
  EXPECT_EQ(alice.Status(), cSIPCall::STATUS_CONNECTED);
  EXPECT_FALSE(alice.m_Events.Has("OnFailToTransfer"));
}

TEST_F(TwoAgents, RouteSetsOfBothSides) {
  alice.Dial("sip:bob@127.0.0.1:5062");
  std::string invite = alice.TakeOutbox().front();
  std::string routed = ReplaceAll(invite, "Call-ID:",
                                  "Record-Route: <sip:r1.example;lr>\r\n"
                                  "Record-Route: <sip:r2.example;lr>\r\nCall-ID:");
  bob.Deliver(routed);
  callId = bob.m_Events.m_LastIncomingCallId;
  ASSERT_TRUE(bob.Accept());
  std::string ok = bob.LastSent("SIP/2.0 200 OK");
  EXPECT_EQ(HeadersOf(ok, "Record-Route"),
            (std::vector<std::string>{"<sip:r1.example;lr>", "<sip:r2.example;lr>"}));
  alice.Deliver(ok);
  bob.Deliver(alice.LastSent("ACK "));
  // The caller walks the route backwards, the called side forwards.
  EXPECT_EQ(HeadersOf(alice.LastSent("ACK "), "Route"),
            (std::vector<std::string>{"<sip:r2.example;lr>", "<sip:r1.example;lr>"}));
  bob.Line()->Disconnect();
  EXPECT_EQ(HeadersOf(bob.LastSent("BYE "), "Route"),
            (std::vector<std::string>{"<sip:r1.example;lr>", "<sip:r2.example;lr>"}));
}

TEST_F(TwoAgents, CancelOfAJustDialledCallWaitsForAProvisionalAndIsResentUntilAnswered) {
  alice.Dial("sip:bob@127.0.0.1:5062");
  std::string invite = alice.TakeOutbox().front();
  ASSERT_TRUE(alice.Line()->Disconnect());
  EXPECT_EQ(alice.Status(), cSIPCall::STATUS_IDLE);
  EXPECT_EQ(alice.CountSent("CANCEL "), 0);
  alice.Deliver(ResponseTo(invite, 180, "Ringing", "r1", "Record-Route: <sip:r1.example;lr>\r\n"));
  // The INVITE's Request-URI, To without the new tag, CSeq and branch; no Route.
  std::string cancel = alice.LastSent("CANCEL ");
  EXPECT_EQ(StartLineOf(cancel), "CANCEL " + StartLineOf(invite).substr(7));
  EXPECT_EQ(HeaderOf(cancel, "To"), HeaderOf(invite, "To"));
  EXPECT_EQ(HeadersOf(cancel, "Route").size(), 0u);
  EXPECT_EQ(HeaderOf(cancel, "CSeq"), "1 CANCEL");
  EXPECT_EQ(BranchOf(cancel), BranchOf(invite));
  for (int i = 0; i < 17; ++i) alice.Tick();
  EXPECT_EQ(alice.CountSent("CANCEL "), 9);
  EXPECT_EQ(alice.CountSent("INVITE "), 1);  // the CANCEL took the INVITE's timer
  alice.Tick();
  for (int i = 0; i < 20; ++i) alice.Tick();
  EXPECT_EQ(alice.CountSent("CANCEL "), 9);
  EXPECT_FALSE(alice.m_Events.Has("OnFailToConnect"));
}

TEST_F(TwoAgents, LateChallengesDoNotRedial) {
  // Hung up before the challenge came: it is acknowledged, nothing is dialled again.
  alice.Dial("sip:bob@127.0.0.1:5062");
  std::string invite = alice.TakeOutbox().front();
  alice.Line()->Disconnect();
  alice.TakeOutbox();
  alice.Deliver(ResponseTo(invite, 407, "Proxy Authentication Required", "c1",
                           "Proxy-Authenticate: Digest realm=\"p\", nonce=\"n\"\r\n"));
  auto late = alice.TakeOutbox();
  ASSERT_EQ(late.size(), 1u);
  EXPECT_EQ(StartLineOf(late[0]).substr(0, 4), "ACK ");
  EXPECT_EQ(alice.Status(), cSIPCall::STATUS_IDLE);

  // A challenge after a proxy's 100 Trying is answered as usual.
  FakeAgent caller("alice", kAlicePort, 4000);
  caller.Dial("sip:bob@127.0.0.1:5062");
  std::string first = caller.TakeOutbox().front();
  caller.Deliver(ResponseTo(first, 100, "Trying"));
  caller.Deliver(ResponseTo(first, 407, "Proxy Authentication Required", "c1",
                            "Proxy-Authenticate: Digest realm=\"p\", nonce=\"n\"\r\n"));
  EXPECT_EQ(caller.CountSent("INVITE "), 2);
  EXPECT_EQ(caller.Status(), cSIPCall::STATUS_INVITE_AUTH_SENT);

  // A connected call is not turned back into a new INVITE by a stray challenge.
  Connect();
  size_t nSent = alice.m_Sent.size();
  alice.Deliver(ResponseTo(alice.LastSent("INVITE "), 401, "Unauthorized", "x",
                           "WWW-Authenticate: Digest realm=\"p\", nonce=\"n\"\r\n"));
  EXPECT_EQ(alice.m_Sent.size(), nSent + 1);
  EXPECT_EQ(StartLineOf(alice.m_Sent.back()).substr(0, 4), "ACK ");
  EXPECT_EQ(alice.Status(), cSIPCall::STATUS_CONNECTED);
  // But a challenge to its hold re-INVITE is answered, once per realm.
  alice.TakeOutbox();
  alice.Line()->HoldCall();
  std::string hold = alice.TakeOutbox().front();
  for (int nRound = 0; nRound < 2; ++nRound) {
    alice.Deliver(ResponseTo(hold, 401, "Unauthorized", "",
                             "WWW-Authenticate: Digest realm=\"p\", nonce=\"h\"\r\n"));
    auto sent = alice.TakeOutbox();
    ASSERT_EQ(sent.size(), nRound == 0 ? 2u : 1u);
    EXPECT_EQ(StartLineOf(sent[0]).substr(0, 4), "ACK ");
    if (nRound == 0) hold = sent[1];
    EXPECT_NE(HeaderOf(hold, "Authorization"), "");
    EXPECT_NE(BodyOf(hold).find("a=sendonly"), std::string::npos);
  }
  EXPECT_EQ(alice.m_Events.Last(), "OnFailToHold 0");
  EXPECT_EQ(alice.Status(), cSIPCall::STATUS_CONNECTED);
}
