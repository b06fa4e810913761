// Calls between our user agent and baresip on 127.0.0.1, both ways, with G.711 u-law, A-law
// and GSM as the only codec on both sides: each side plays its own tone and what the other
// side decodes must carry it; then one side hangs up and the other must see the call end.

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "cBaresipTestBase.h"

namespace {

struct sCodecCase {
  int32_t nCodec;            // our codec number
  const char* pBaresipName;  // baresip's name in audio_codecs
  const char* pRtpName;      // the encoding name baresip reports
};

void PrintTo(const sCodecCase& c, std::ostream* pOut) { *pOut << c.pRtpName; }

std::string CaseName(const ::testing::TestParamInfo<sCodecCase>& info) {
  return info.param.pRtpName;
}

class BaresipCall : public cBaresipTestBase, public ::testing::WithParamInterface<sCodecCase> {
 protected:
  void SetUp() override { StartBoth(GetParam().pBaresipName, {GetParam().nCodec}); }

  // While the call stands, after some talk: our line sends and receives the one codec.
  void ExpectCodecInUse() {
    EXPECT_EQ(GetParam().nCodec, m_Agent.GetOutboundCodec(0));
    EXPECT_EQ(GetParam().nCodec, m_Agent.GetInboundCodec(0));
    EXPECT_EQ(0u,
              m_Agent.EventText("OnSuccessToConnect ").rfind("OnSuccessToConnect 0 127.0.0.1 ", 0))
        << "the remote RTP address is baresip's";
  }

  // After the call: baresip used the codec both ways, and each side heard the other's tone.
  void ExpectVoiceBothWays() {
    ASSERT_TRUE(StopPeer()) << "baresip did not quit";
    const std::string sLog = m_pPeer->Log();
    const std::string sCodec = std::string(GetParam().pRtpName) + " 8000Hz";
    EXPECT_NE(std::string::npos, sLog.find("Set audio encoder: " + sCodec));
    EXPECT_NE(std::string::npos, sLog.find("Set audio decoder: " + sCodec));
    ExpectHeardTone(OurSpeaker(), kPeerTone, "our speaker");
    if (GetParam().nCodec > 1) return;
    std::string sWindows;
    const double dSnr = PeerToneSnr(OurSpeaker(), GetParam().nCodec, &sWindows);
    RecordProperty("tone_snr_db", std::to_string(dSnr));
    EXPECT_GE(dSnr, 40.0) << "per second:" << sWindows;
    ExpectHeardTone(PeerHeard(), kOurTone, "baresip");
  }
};

TEST_P(BaresipCall, WeCallBaresipAndItHangsUp) {
  ASSERT_TRUE(m_Agent.Connect(0, m_pPeer->Uri().c_str(), 0, 0)) << m_Agent.GetKytObjectError();
  ASSERT_TRUE(WaitFor([&] { return BothConnected(); }));
  EXPECT_TRUE(m_Agent.Heard("OnConnecting 0"));
  EXPECT_TRUE(m_Agent.IsLineConnected(0));

  m_Loop.RunFor(kTalkTime);
  ExpectCodecInUse();
  ASSERT_TRUE(m_pPeer->Command("hangup"));
  ASSERT_TRUE(WaitFor(
      [&] { return m_Agent.Heard("OnDisconnectCall 0") && m_pPeer->HeardEvent("CALL_CLOSED"); }));
  EXPECT_FALSE(m_Agent.IsLineBusy(0));
  EXPECT_EQ(0u, m_Agent.Count("OnFail"));
  ExpectVoiceBothWays();
}

TEST_P(BaresipCall, BaresipCallsUsAndWeHangUp) {
  m_Agent.m_nAnswerLine = 0;
  ASSERT_TRUE(PeerDialsUs());
  ASSERT_TRUE(WaitFor([&] { return BothConnected(); }));
  EXPECT_TRUE(m_Agent.m_bAccepted) << m_Agent.GetKytObjectError();
  const std::string sIncoming = m_Agent.EventText("OnIncomingCall ");
  EXPECT_NE(std::string::npos, sIncoming.find(" bob ")) << "the caller's user name";
  EXPECT_NE(std::string::npos, sIncoming.find("sip:bob@127.0.0.1")) << "the caller's address";
  EXPECT_TRUE(m_Agent.IsLineConnected(0));

  m_Loop.RunFor(kTalkTime);
  ExpectCodecInUse();
  ASSERT_TRUE(m_Agent.Disconnect(0)) << m_Agent.GetKytObjectError();
  ASSERT_TRUE(WaitFor([&] { return m_pPeer->HeardEvent("CALL_CLOSED"); }));
  EXPECT_FALSE(m_Agent.IsLineBusy(0));
  EXPECT_FALSE(m_Agent.Heard("OnDisconnectCall")) << "a call ended here is not reported here";
  ExpectVoiceBothWays();
}

INSTANTIATE_TEST_SUITE_P(Codecs, BaresipCall,
                         ::testing::Values(sCodecCase{0, "pcmu", "PCMU"},
                                           sCodecCase{1, "pcma", "PCMA"},
                                           sCodecCase{2, "gsm", "GSM"}),
                         CaseName);

}  // namespace
