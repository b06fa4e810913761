// baresip, with SRTP mandatory for its account, calls our agent over plain UDP signalling: we
// answer its RTP/SAVP offer with SRTP, each side hears the other's tone, the call survives a
// hold and resume from each side (ours re-keyed), and tcpdump on the loopback sees no G.711 of
// either tone on our line's RTP and RTCP ports.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "KytRTP/cKytRTP.h"
#include "audio/cG711uCodec.h"
#include "cBaresipTestBase.h"
#include "tests/support/TextFile.h"
#include "tests/support/Tone.h"
#include "tests/support/cChildProcess.h"
#include "useragent/cKytSIPUserAgentObject.h"

using namespace std::chrono_literals;

namespace {

constexpr size_t kMatchBytes = 12;

// Every kMatchBytes-long run of one period of a tone, u-law coded: what plain RTP of it holds.
std::vector<std::string> PlainRuns(double dFreq, size_t nPeriod) {
  const std::vector<int16_t> tone = kyttest::Tone(dFreq, 8000, nPeriod * 2);
  const cG711uCodec ulaw;
  std::string sCoded;
  for (int16_t x : tone) sCoded += static_cast<char>(ulaw.EncodeSample(x));
  std::vector<std::string> runs;
  for (size_t i = 0; i < nPeriod; ++i) runs.push_back(sCoded.substr(i, kMatchBytes));
  return runs;
}

// The captured packets of a pcap file, each as its bytes (link header and all).
std::vector<std::string> Packets(const std::string& sFile) {
  std::ifstream in(sFile, std::ios::binary);
  const std::string sAll((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> packets;
  for (size_t nAt = 24; nAt + 16 <= sAll.size();) {
    const auto* p = reinterpret_cast<const uint8_t*>(sAll.data() + nAt + 8);
    const size_t nLength = p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24;
    if (nAt + 16 + nLength > sAll.size()) break;
    packets.push_back(sAll.substr(nAt + 16, nLength));
    nAt += 16 + nLength;
  }
  return packets;
}

class BaresipSrtp : public cBaresipTestBase {};

TEST_F(BaresipSrtp, BaresipCallsWithSrtpMandatoryAndNoPlainVoiceCrossesTheWire) {
  m_sPeerMediaEnc = "srtp-mand";
  StartBoth("pcmu", {0});
  const int nRtp = m_Agent.GetKytMainObj()->GetKytRTPLib()->GetLineRxPort(0);
  kyttest::cChildProcess capture;
  const std::string sFilter =
      "udp and (port " + std::to_string(nRtp) + " or port " + std::to_string(nRtp + 1) + ")";
  ASSERT_TRUE(
      capture.Start({"tcpdump", "-i", "lo", "-n", "-U", "-w", m_Dir.File("rtp.pcap"), sFilter},
                    m_Dir.File("tcpdump.log")));
  ASSERT_TRUE(WaitFor([&] {
    return kyttest::ReadText(m_Dir.File("tcpdump.log")).find("listening on") != std::string::npos;
  })) << kyttest::ReadText(m_Dir.File("tcpdump.log"));

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
  capture.Kill();
  ASSERT_TRUE(StopPeer());

  // baresip 1.0.0 keeps the first key it was given (and stops its recording after its own hold),
  // so what it heard is checked before the holds; we hear it to the end.
  ExpectHeardTone(OurSpeaker(), kPeerTone, "our speaker", 2, true);
  ExpectHeardTone(PeerHeard(), kOurTone, "baresip");
  const std::vector<std::string> packets = Packets(m_Dir.File("rtp.pcap"));
  EXPECT_GE(packets.size(), 200u) << "RTP both ways was captured";
  std::vector<std::string> plain = PlainRuns(kPeerTone, kPeerTonePeriod);
  const std::vector<std::string> ours = PlainRuns(kOurTone, 8);
  plain.insert(plain.end(), ours.begin(), ours.end());
  size_t nPlain = 0;
  for (const std::string& sPacket : packets) {
    nPlain += std::any_of(plain.begin(), plain.end(), [&](const std::string& sRun) {
      return sPacket.find(sRun) != std::string::npos;
    });
  }
  EXPECT_EQ(0u, nPlain) << "of " << packets.size() << " packets carry a tone in plain G.711";
}

}  // namespace
