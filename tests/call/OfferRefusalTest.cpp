#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "FakeAgent.h"
#include "SipText.h"
#include "call/cSIPCall.h"
#include "util/eKytError.h"

namespace {

// Alice calls Bob, each side with only the codecs a case enables.
class OfferRefusal : public ::testing::Test {
 protected:
  OfferRefusal() : alice("alice", 5061, 4000), bob("bob", 5062, 4002) {
    alice.m_ProxySIP = "127.0.0.1:5062";
    bob.m_ProxySIP = "127.0.0.1:5061";
  }

  static void Enable(FakeAgent& agent, std::initializer_list<int32_t> codecs) {
    agent.m_Codecs.DeselectAllVoiceCodec();
    int32_t nError = 0;
    for (int32_t nCodec : codecs) ASSERT_TRUE(agent.m_Codecs.SelectCodec(nCodec, nError));
  }

  // Alice dials; answers Bob's ringing call.
  cSIPCall* Ring() {
    alice.Dial("sip:bob@127.0.0.1:5062");
    Exchange(alice, bob);
    EXPECT_EQ(bob.m_Events.Count("OnIncomingCall "), 1u) << bob.m_Events.All();
    callId = bob.m_Events.m_LastIncomingCallId;
    return bob.Find(callId);
  }

  FakeAgent alice;
  FakeAgent bob;
  std::string callId;
};

TEST_F(OfferRefusal, NoCommonCodecIsRefusedNotAnswered) {
  Enable(alice, {2});   // GSM only
  Enable(bob, {0, 1});  // PCMU, PCMA
  cSIPCall* pRinging = Ring();
  ASSERT_NE(pRinging, nullptr);
  EXPECT_FALSE(bob.Accept());
  EXPECT_EQ(pRinging->GetObjectError(), kErrNoCommonCodec);
  EXPECT_EQ(pRinging->GetObjectStatus(), cSIPCall::STATUS_REJECTED);
  Exchange(alice, bob);
  EXPECT_EQ(bob.CountSent("SIP/2.0 200"), 0);
  EXPECT_EQ(bob.CountSent("SIP/2.0 488 Not Acceptable Here"), 1);
  EXPECT_EQ(HeaderOf(bob.LastSent("SIP/2.0 488"), "CSeq"), "1 INVITE");
  EXPECT_EQ(alice.Status(), cSIPCall::STATUS_IDLE);
  EXPECT_EQ(alice.m_Events.Last(), "OnRequestFailureResponse 0 488 Not Acceptable Here");
  EXPECT_EQ(BranchOf(alice.LastSent("ACK ")), BranchOf(alice.LastSent("INVITE ")));
  // The ACK ends the refused call: no media, no connection, the line is free.
  EXPECT_TRUE(bob.m_Pool.IsClosing(callId.c_str()));
  EXPECT_EQ(bob.Line(), nullptr);
  EXPECT_TRUE(bob.m_RtpStarts.empty());
  EXPECT_EQ(bob.m_Events.Count("OnConnected "), 0u);
  // A refused call cannot be accepted afterwards.
  EXPECT_TRUE(pRinging->AcceptCall(bob.m_Codecs.GetCodecList()));
  EXPECT_EQ(bob.CountSent("SIP/2.0 200"), 0);
}

TEST_F(OfferRefusal, OneCommonCodecIsEnoughToAnswer) {
  Enable(alice, {2, 1});  // GSM, then PCMA
  Enable(bob, {0, 1});
  ASSERT_NE(Ring(), nullptr);
  ASSERT_TRUE(bob.Accept());
  Exchange(alice, bob);
  EXPECT_EQ(bob.CountSent("SIP/2.0 488"), 0);
  EXPECT_EQ(bob.Status(), cSIPCall::STATUS_CONNECTED);
  ASSERT_FALSE(bob.m_RtpStarts.empty());
  EXPECT_EQ(bob.m_RtpStarts.back().nCodec, 1);
}

}  // namespace
