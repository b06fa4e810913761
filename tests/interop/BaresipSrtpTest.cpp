// baresip, with SRTP mandatory for its account, calls our agent over plain UDP signalling: we
// answer its RTP/SAVP offer with SRTP, each side hears the other's tone, the call survives a
// hold and resume from each side (ours re-keyed), and tcpdump on the loopback sees no G.711 of
// either tone on our line's RTP and RTCP ports.

#include <gtest/gtest.h>

#include <string>

#include "KytRTP/cKytRTP.h"
#include "cBaresipTestBase.h"
#include "cPlainVoiceCapture.h"
#include "useragent/cKytSIPUserAgentObject.h"

using namespace std::chrono_literals;

namespace {

class BaresipSrtp : public cBaresipTestBase {};

TEST_F(BaresipSrtp, BaresipCallsWithSrtpMandatoryAndNoPlainVoiceCrossesTheWire) {
  m_sPeerMediaEnc = "srtp-mand";
  StartBoth("pcmu", {0});
  const int nRtp = m_Agent.GetKytMainObj()->GetKytRTPLib()->GetLineRxPort(0);
  cPlainVoiceCapture capture;
  ASSERT_TRUE(capture.Start(nRtp, m_Dir.Path())) << "tcpdump listens on the loopback";

  m_Agent.m_nAnswerLine = 0;
  ASSERT_TRUE(PeerDialsUs());
  ASSERT_TRUE(WaitFor([&] { return BothConnected(); }));
  const auto KeyOf = [](const std::string& sMessage) {
    const size_t nAt = sMessage.find("inline:");
    return nAt == std::string::npos ? std::string() : sMessage.substr(nAt, 47);
  };
  const std::string sAnswer = m_Agent.LastSent("SIP/2.0 200");
  EXPECT_NE(std::string::npos, sAnswer.find(" RTP/SAVP 0 101\r\n")) << sAnswer;
  EXPECT_NE(std::string::npos, sAnswer.find("\r\na=crypto:")) << sAnswer;
  m_Loop.RunFor(1500ms);
  // baresip holds and resumes repeating its key: the running keys stay on both sides.
  ASSERT_TRUE(m_pPeer->Command("hold"));
  ASSERT_TRUE(WaitFor([&] { return m_Agent.LastSent("SIP/2.0 200") != sAnswer; }));
  const std::string sHoldAnswer = m_Agent.LastSent("SIP/2.0 200");
  ASSERT_TRUE(m_pPeer->Command("resume"));
  ASSERT_TRUE(WaitFor([&] { return m_Agent.LastSent("SIP/2.0 200") != sHoldAnswer; }));
  EXPECT_EQ(KeyOf(sAnswer), KeyOf(m_Agent.LastSent("SIP/2.0 200")));
  m_Loop.RunFor(kTalkTime);
  EXPECT_EQ(std::string::npos, m_pPeer->Log().find("failed to decrypt"))
      << "baresip read all our SRTP and SRTCP";
  // Our own hold and resume offer fresh keys each time.
  ASSERT_TRUE(m_Agent.HoldLine(0)) << m_Agent.GetKytObjectError();
  ASSERT_TRUE(WaitFor([&] { return m_Agent.Heard("OnSuccessToHold 0"); }));
  const std::string sHoldOffer = m_Agent.LastSent("INVITE ");
  m_Loop.RunFor(1200ms);
  ASSERT_TRUE(m_Agent.UnHoldLine(0)) << m_Agent.GetKytObjectError();
  ASSERT_TRUE(WaitFor([&] { return m_Agent.Heard("OnSuccessToUnHold 0"); }));
  const std::string sResumeOffer = m_Agent.LastSent("INVITE ");
  EXPECT_NE(std::string::npos, sResumeOffer.find(" RTP/SAVP ")) << sResumeOffer;
  EXPECT_FALSE(KeyOf(sResumeOffer).empty());
  EXPECT_NE(KeyOf(sHoldOffer), KeyOf(sResumeOffer)) << "each offer has a fresh key";
  EXPECT_NE(KeyOf(sAnswer), KeyOf(sResumeOffer));
  m_Loop.RunFor(kTalkTime);
  ASSERT_TRUE(m_Agent.Disconnect(0));
  ASSERT_TRUE(WaitFor([&] { return m_pPeer->HeardEvent("CALL_CLOSED"); }));
  capture.Stop();
  ASSERT_TRUE(StopPeer());

  // baresip 1.0.0 keeps the first key it was given (and stops its recording after its own hold),
  // so what it heard is checked before the holds; we hear it to the end.
  ExpectHeardTone(OurSpeaker(), kPeerTone, "our speaker", 2, true);
  ExpectHeardTone(PeerHeard(), kOurTone, "baresip");
  EXPECT_GE(capture.Packets(), 200u) << "RTP both ways was captured";
  EXPECT_EQ(0u, capture.PlainPackets({{kPeerTone, kPeerTonePeriod}, {kOurTone, 8}}))
      << "of " << capture.Packets() << " packets carry a tone in plain G.711";
}

}  // namespace
