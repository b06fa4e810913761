// Our user agent against baresip beyond the plain call: codec choice with several codecs on
// offer, hold and resume from either side, a call cancelled or refused while it rings, and
// telephone events.

#include <gtest/gtest.h>

#include <string>

#include "KytRTP/cKytRTP.h"
#include "cBaresipTestBase.h"
#include "useragent/cKytSIPUserAgentObject.h"

using namespace std::chrono_literals;

namespace {

using BaresipSession = cBaresipTestBase;

TEST_F(BaresipSession, OnAnIncomingCallTheCallersCodecOrderDecides) {
  StartBoth("gsm,pcma,pcmu", {});
  m_Agent.m_nAnswerLine = 0;
  ASSERT_TRUE(PeerDialsUs());
  ASSERT_TRUE(WaitFor([&] { return BothConnected(); }));
  m_Loop.RunFor(kTalkTime);
  EXPECT_EQ(2, m_Agent.GetOutboundCodec(0)) << "GSM is first in baresip's offer";
  // Our answer lists our own selection order (u-law first), and baresip sends the first codec
  // of the answer that it knows: the two directions differ, and each side decodes the other.
  EXPECT_EQ(0, m_Agent.GetInboundCodec(0));
  ASSERT_TRUE(m_Agent.Disconnect(0));
  ASSERT_TRUE(WaitFor([&] { return m_pPeer->HeardEvent("CALL_CLOSED"); }));
  ASSERT_TRUE(StopPeer());
  ExpectHeardTone(OurSpeaker(), kPeerTone, "our speaker");
  ExpectHeardTone(PeerHeard(), kOurTone, "baresip");
}

TEST_F(BaresipSession, OurOfferFollowsOurSelectionOrder) {
  StartBoth("pcmu,pcma,gsm", {2, 1});
  ASSERT_TRUE(m_Agent.Connect(0, m_pPeer->Uri().c_str(), 0, 0));
  ASSERT_TRUE(WaitFor([&] { return BothConnected(); }));
  const std::string sOffer = m_Agent.LastSent("INVITE ");
  EXPECT_NE(std::string::npos, sOffer.find(" RTP/AVP 3 8 101\r\n")) << sOffer;
  m_Loop.RunFor(kTalkTime);
  // baresip answers in the order of our offer, so GSM goes both ways.
  EXPECT_EQ(2, m_Agent.GetOutboundCodec(0));
  EXPECT_EQ(2, m_Agent.GetInboundCodec(0));
  ASSERT_TRUE(m_pPeer->Command("hangup"));
  ASSERT_TRUE(WaitFor([&] { return m_Agent.Heard("OnDisconnectCall 0"); }));
  ASSERT_TRUE(StopPeer());
  ExpectHeardTone(OurSpeaker(), kPeerTone, "our speaker");
  ExpectHeardTone(PeerHeard(), kOurTone, "baresip");
}

TEST_F(BaresipSession, WeHoldAndResumeAndTheVoiceComesBack) {
  StartBoth("pcmu", {0});
  ASSERT_TRUE(m_Agent.Connect(0, m_pPeer->Uri().c_str(), 0, 0));
  ASSERT_TRUE(WaitFor([&] { return BothConnected(); }));
  m_Loop.RunFor(1s);
  ASSERT_TRUE(m_Agent.HoldLine(0)) << m_Agent.GetKytObjectError();
  ASSERT_TRUE(WaitFor([&] { return m_Agent.Heard("OnSuccessToHold 0"); }));
  EXPECT_TRUE(m_Agent.IsLineHold(0));
  const std::string sHold = m_Agent.LastSent("INVITE ");
  EXPECT_NE(std::string::npos, sHold.find("a=sendonly")) << sHold;
  m_Loop.RunFor(1200ms);
  ASSERT_TRUE(m_Agent.UnHoldLine(0)) << m_Agent.GetKytObjectError();
  ASSERT_TRUE(WaitFor([&] { return m_Agent.Heard("OnSuccessToUnHold 0"); }));
  EXPECT_FALSE(m_Agent.IsLineHold(0));
  EXPECT_TRUE(m_Agent.IsLineConnected(0));
  m_Loop.RunFor(kTalkTime);
  ASSERT_TRUE(m_Agent.Disconnect(0));
  ASSERT_TRUE(WaitFor([&] { return m_pPeer->HeardEvent("CALL_CLOSED"); }));
  EXPECT_EQ(0u, m_Agent.Count("OnFail"));
  ASSERT_TRUE(StopPeer());
  // baresip talks, falls silent while held, and talks again after the resume.
  const std::string sHeard = WindowPattern(OurSpeaker(), kPeerTone);
  const size_t nFirstTone = sHeard.find('T');
  EXPECT_TRUE(nFirstTone != std::string::npos &&
              sHeard.find('s', nFirstTone) != std::string::npos && sHeard.size() >= 2 &&
              sHeard.compare(sHeard.size() - 2, 2, "TT") == 0)
      << "tone, silence while held, tone to the end: " << sHeard;
  ExpectHeardTone(PeerHeard(), kOurTone, "baresip", 2, true);
}

TEST_F(BaresipSession, BaresipHoldsAndResumesAndWeAnswerEachDirection) {
  StartBoth("pcmu", {0});
  m_Agent.m_nAnswerLine = 0;
  ASSERT_TRUE(PeerDialsUs());
  ASSERT_TRUE(WaitFor([&] { return BothConnected(); }));
  const std::string sFirstAnswer = m_Agent.LastSent("SIP/2.0 200");
  ASSERT_TRUE(m_pPeer->Command("hold"));
  ASSERT_TRUE(WaitFor([&] { return m_Agent.LastSent("SIP/2.0 200") != sFirstAnswer; }));
  const std::string sHoldAnswer = m_Agent.LastSent("SIP/2.0 200");
  EXPECT_NE(std::string::npos, sHoldAnswer.find("a=recvonly")) << sHoldAnswer;
  m_Loop.RunFor(500ms);
  ASSERT_TRUE(m_pPeer->Command("resume"));
  ASSERT_TRUE(WaitFor([&] { return m_Agent.LastSent("SIP/2.0 200") != sHoldAnswer; }));
  EXPECT_NE(std::string::npos, m_Agent.LastSent("SIP/2.0 200").find("a=sendrecv"));
  m_Loop.RunFor(kTalkTime);
  EXPECT_TRUE(m_Agent.IsLineConnected(0));
  ASSERT_TRUE(m_pPeer->Command("hangup"));
  ASSERT_TRUE(WaitFor([&] { return m_Agent.Heard("OnDisconnectCall 0"); }));
  ASSERT_TRUE(StopPeer());
  ExpectHeardTone(OurSpeaker(), kPeerTone, "our speaker", 2, true);
  // baresip 1.0.0 stops feeding its decoder (and so its recording) after a hold and resume of
  // its own, with another baresip as well; what reaches it is counted instead.
  EXPECT_GE(m_pPeer->ReceivedPackets(), 50) << "a second of our voice after the resume";
}

TEST_F(BaresipSession, ACallerHangingUpWhileWeRingStopsTheRinging) {
  StartBoth("pcmu", {0});
  ASSERT_TRUE(PeerDialsUs());
  ASSERT_TRUE(WaitFor([&] { return m_Agent.Heard("OnIncomingCallRingingStart"); }));
  ASSERT_TRUE(m_pPeer->Command("hangup"));
  ASSERT_TRUE(WaitFor([&] {
    return m_Agent.Heard("OnIncomingCallRingingStop") && m_pPeer->HeardEvent("CALL_CLOSED");
  }));
  EXPECT_EQ("OnIncomingCallRingingStop " + m_Agent.m_sIncomingCallId,
            m_Agent.EventText("OnIncomingCallRingingStop"));
  EXPECT_FALSE(m_Agent.LastSent("SIP/2.0 487").empty()) << "the INVITE is ended with 487";
  EXPECT_FALSE(m_Agent.IsLineBusy(0));
}

TEST_F(BaresipSession, ARefusedCallReachesTheCallerAsBusy) {
  StartBoth("pcmu", {0});
  ASSERT_TRUE(PeerDialsUs());
  ASSERT_TRUE(WaitFor([&] { return m_Agent.Heard("OnIncomingCallRingingStart"); }));
  ASSERT_TRUE(m_Agent.RejectCall(m_Agent.m_sIncomingCallId.c_str()));
  ASSERT_TRUE(WaitFor([&] { return m_pPeer->HeardEvent("CALL_CLOSED"); }));
  EXPECT_NE(std::string::npos, m_pPeer->EventText("CALL_CLOSED").find("486"))
      << m_pPeer->EventText("CALL_CLOSED");
}

TEST_F(BaresipSession, WeHangUpWhileBaresipRings) {
  StartBoth("pcmu", {0}, "manual");
  ASSERT_TRUE(m_Agent.Connect(0, m_pPeer->Uri().c_str(), 0, 0));
  ASSERT_TRUE(WaitFor([&] {
    return m_Agent.Heard("OnProvisionalResponse 0 180") && m_pPeer->HeardEvent("CALL_INCOMING");
  }));
  ASSERT_TRUE(m_Agent.Disconnect(0)) << m_Agent.GetKytObjectError();
  ASSERT_TRUE(WaitFor([&] { return m_pPeer->HeardEvent("CALL_CLOSED"); }));
  EXPECT_FALSE(m_Agent.LastSent("CANCEL ").empty());
  EXPECT_FALSE(m_pPeer->HeardEvent("CALL_ESTABLISHED"));
  ASSERT_TRUE(WaitFor([&] { return !m_Agent.IsLineBusy(0); }));
}

// In its "early" answer mode baresip answers 183 with a description and waits; it only listens
// until it answers, so what we send early is seen in its packet count.
TEST_F(BaresipSession, SessionProgressWithADescriptionStartsOurVoiceEarly) {
  StartBoth("pcmu", {0}, "early");
  ASSERT_TRUE(m_Agent.Connect(0, m_pPeer->Uri().c_str(), 0, 0));
  ASSERT_TRUE(WaitFor([&] { return m_Agent.Heard("OnProvisionalResponse 0 183"); }));
  m_Loop.RunFor(1500ms);
  EXPECT_FALSE(m_Agent.Heard("OnSuccessToConnect"));
  ASSERT_TRUE(m_Agent.Disconnect(0));
  ASSERT_TRUE(WaitFor([&] { return m_pPeer->HeardEvent("CALL_CLOSED"); }));
  EXPECT_FALSE(m_Agent.LastSent("CANCEL ").empty());
  ASSERT_TRUE(StopPeer());
  EXPECT_GE(m_pPeer->ReceivedPackets(), 25) << "half a second of early voice at least";
}

TEST_F(BaresipSession, AnAnswerAfterEarlyMediaCarriesTheVoiceBothWays) {
  StartBoth("pcmu", {0}, "early");
  ASSERT_TRUE(m_Agent.Connect(0, m_pPeer->Uri().c_str(), 0, 0));
  ASSERT_TRUE(WaitFor([&] { return m_Agent.Heard("OnProvisionalResponse 0 183"); }));
  m_Loop.RunFor(500ms);
  ASSERT_TRUE(m_pPeer->Command("accept"));
  ASSERT_TRUE(WaitFor([&] { return BothConnected(); }));
  m_Loop.RunFor(kTalkTime);
  ASSERT_TRUE(m_pPeer->Command("hangup"));
  ASSERT_TRUE(WaitFor([&] { return m_Agent.Heard("OnDisconnectCall 0"); }));
  ASSERT_TRUE(StopPeer());
  ExpectHeardTone(OurSpeaker(), kPeerTone, "our speaker", 2, true);
  ExpectHeardTone(PeerHeard(), kOurTone, "baresip");
}

TEST_F(BaresipSession, BaresipRefusesAnOfferWithoutItsCodec) {
  StartBoth("gsm", {0});
  ASSERT_TRUE(m_Agent.Connect(0, m_pPeer->Uri().c_str(), 0, 0));
  ASSERT_TRUE(WaitFor([&] { return m_Agent.Heard("OnRequestFailureResponse 0 488"); }));
  EXPECT_FALSE(m_Agent.Heard("OnSuccessToConnect"));
  EXPECT_FALSE(m_Agent.LastSent("ACK ").empty()) << "the 488 is acknowledged";
  EXPECT_FALSE(m_Agent.IsLineBusy(0));
}

// baresip offers only GSM, which we do not enable: the call is refused with 488 instead of being
// answered 200 with codecs the offer never named, and our line is free again.
TEST_F(BaresipSession, AnOfferWithoutOurCodecIsNotAnswered200) {
  StartBoth("gsm", {0});
  m_Agent.m_nAnswerLine = 0;
  ASSERT_TRUE(PeerDialsUs());
  ASSERT_TRUE(WaitFor([&] {
    return m_pPeer->HeardEvent("CALL_ESTABLISHED") || m_pPeer->HeardEvent("CALL_CLOSED");
  }));
  m_Loop.RunFor(300ms);
  EXPECT_FALSE(m_pPeer->HeardEvent("CALL_ESTABLISHED")) << m_Agent.LastSent("SIP/2.0 200");
  EXPECT_NE(std::string::npos, m_pPeer->EventText("CALL_CLOSED").find("488"))
      << m_pPeer->EventText("CALL_CLOSED");
  EXPECT_FALSE(m_Agent.IsLineBusy(0));
}

// Each side's RTCP reaches the other's odd port: after a few seconds of talk we have read
// baresip's reports.
TEST_F(BaresipSession, RtcpReportsFromBaresipAreRead) {
  StartBoth("pcmu", {0});
  ASSERT_TRUE(m_Agent.Connect(0, m_pPeer->Uri().c_str(), 0, 0));
  ASSERT_TRUE(WaitFor([&] { return BothConnected(); }));
  cKytRTPLib* pMedia = m_Agent.GetKytMainObj()->GetKytRTPLib();
  WaitFor([&] { return pMedia->GetRtcpReportsReceived(0) > 0; });
  EXPECT_GE(pMedia->GetRtcpReportsReceived(0), 1);
  ASSERT_TRUE(m_Agent.Disconnect(0));
  ASSERT_TRUE(WaitFor([&] { return m_pPeer->HeardEvent("CALL_CLOSED"); }));
}

TEST_F(BaresipSession, TelephoneEventsReachBaresip) {
  StartBoth("pcmu", {0});
  ASSERT_TRUE(m_Agent.Connect(0, m_pPeer->Uri().c_str(), 0, 0));
  ASSERT_TRUE(WaitFor([&] { return BothConnected(); }));
  m_Loop.RunFor(300ms);
  // Queued back to back, each digit is heard once, in order.
  for (const char* pDigit : {"5", "#", "9"})
    ASSERT_TRUE(m_Agent.DigitDTMF(0, pDigit)) << m_Agent.GetKytObjectError();
  WaitFor([&] {
    m_pPeer->Pump();
    return m_pPeer->EventParams("CALL_DTMF_START").size() >= 3;
  });
  m_Loop.RunFor(500ms);
  m_pPeer->Pump();
  EXPECT_EQ(m_pPeer->EventParams("CALL_DTMF_START"), (std::vector<std::string>{"5", "#", "9"}));
  ASSERT_TRUE(m_Agent.Disconnect(0));
  ASSERT_TRUE(WaitFor([&] { return m_pPeer->HeardEvent("CALL_CLOSED"); }));
}

// Shutting the agent down ends its calls on the wire: a connected one with BYE, one ringing
// here with 480.
TEST_F(BaresipSession, UnInitializeEndsTheCallsItHas) {
  StartBoth("pcmu", {0});
  ASSERT_TRUE(m_Agent.Connect(0, m_pPeer->Uri().c_str(), 0, 0)) << m_Agent.GetKytObjectError();
  ASSERT_TRUE(WaitFor([&] { return BothConnected(); }));
  m_Agent.UnInitialize();
  ASSERT_TRUE(WaitFor([&] { return m_pPeer->HeardEvent("CALL_CLOSED"); })) << "BYE reached it";
  EXPECT_NE(std::string::npos, m_Agent.LastSent("BYE ").find("BYE sip:"));
}

TEST_F(BaresipSession, UnInitializeRefusesACallStillRinging) {
  StartBoth("pcmu", {0});
  ASSERT_TRUE(PeerDialsUs());
  ASSERT_TRUE(WaitFor([&] { return m_Agent.Heard("OnIncomingCallRingingStart"); }));
  m_Agent.UnInitialize();
  ASSERT_TRUE(WaitFor([&] { return m_pPeer->HeardEvent("CALL_CLOSED"); }));
  EXPECT_NE(std::string::npos, m_pPeer->EventText("CALL_CLOSED").find("480"))
      << m_pPeer->EventText("CALL_CLOSED");
}

}  // namespace
