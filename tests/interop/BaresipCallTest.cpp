// Calls between our user agent and baresip on 127.0.0.1, both ways, with G.711 u-law, A-law
// and GSM: each side plays a tone of its own (ours 1000 Hz, baresip's 600 Hz) and what the
// other side decodes must carry it; then one side hangs up and the other must see the call end.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "KytRTP/cKytRTP.h"
#include "audio/cVirtualAudioBackend.h"
#include "cBaresipPeer.h"
#include "cUserAgentTestUtil.h"
#include "useragent/cKytSIPUserAgentObject.h"

using namespace std::chrono_literals;

namespace {

constexpr double kOurTone = 1000.0;
constexpr double kPeerTone = 600.0;
constexpr int kToneAmplitude = 8000;
// Long enough that neither microphone runs dry during a call, however late it starts.
constexpr int kToneSamples = 8000 * 20;
constexpr auto kTalkTime = 2500ms;
constexpr size_t kWindow = 4000;  // half a second at 8000 Hz

struct sCodecCase {
  int32_t nCodec;            // our codec number
  const char* pBaresipName;  // baresip's name in audio_codecs
  const char* pRtpName;      // the encoding name baresip reports
};

void PrintTo(const sCodecCase& c, std::ostream* pOut) { *pOut << c.pRtpName; }

std::string CaseName(const ::testing::TestParamInfo<sCodecCase>& info) {
  return info.param.pRtpName;
}

// The strongest frequency of a block, 100 to 3800 Hz in 10 Hz steps.
double DominantFrequency(const int16_t* pSamples, size_t nSamples) {
  double dBest = 0, dBestLevel = -1;
  for (double f = 100.0; f <= 3800.0; f += 10.0) {
    const double dLevel = uatest::ToneLevel(pSamples, nSamples, f);
    if (dLevel > dBestLevel) {
      dBestLevel = dLevel;
      dBest = f;
    }
  }
  return dBest;
}

double Rms(const int16_t* pSamples, size_t nSamples) {
  double dSum = 0;
  for (size_t i = 0; i < nSamples; ++i) dSum += double(pSamples[i]) * pSamples[i];
  return nSamples ? std::sqrt(dSum / double(nSamples)) : 0.0;
}

// Half-second windows of a recording that are loud and dominated by dFreq; the text lists
// every window (level and dominant frequency) for the failure message.
size_t WindowsWithTone(const std::vector<int16_t>& samples, double dFreq, std::string* pSummary) {
  size_t nHits = 0;
  std::ostringstream summary;
  for (size_t at = 0; at + kWindow <= samples.size(); at += kWindow) {
    const double dRms = Rms(samples.data() + at, kWindow);
    const double dPeak = DominantFrequency(samples.data() + at, kWindow);
    summary << " [rms " << int(dRms) << ", " << dPeak << " Hz]";
    if (dRms > 500.0 && std::fabs(dPeak - dFreq) <= 20.0) ++nHits;
  }
  *pSummary = summary.str();
  return nHits;
}

// At least a second of the other side's tone must have been heard.
void ExpectHeardTone(const std::vector<int16_t>& samples, double dFreq, const std::string& sWho) {
  std::string sSummary;
  EXPECT_GE(WindowsWithTone(samples, dFreq, &sSummary), 2u)
      << sWho << " should hear " << dFreq << " Hz; " << samples.size() << " samples:" << sSummary;
}

// Our agent, answering every incoming call on one line from inside OnIncomingCall.
class cInteropAgent : public uatest::cRecordingLib {
 public:
  using cRecordingLib::cRecordingLib;

  void OnIncomingCall(const char* pCallId, const char* pDisplay, const char* pUser,
                      const char* pCaller, const char* pCallee) override {
    cRecordingLib::OnIncomingCall(pCallId, pDisplay, pUser, pCaller, pCallee);
    if (m_nAnswerLine >= 0) m_bAccepted = AcceptCall(m_nAnswerLine, pCallId, 0, 0);
  }

  int32_t m_nAnswerLine = -1;
  bool m_bAccepted = false;

  // The first event with this prefix, or empty.
  std::string EventText(const std::string& sPrefix) const {
    for (const auto& e : m_Events) {
      if (e.rfind(sPrefix, 0) == 0) return e;
    }
    return "";
  }

  std::string Transcript() const {
    std::string s;
    for (const auto& e : m_Events) s += e + "\n";
    return s;
  }
};

class BaresipCall : public ::testing::TestWithParam<sCodecCase> {
 protected:
  void SetUp() override {
    uatest::WriteWave(m_Dir.File("our_mic.wav"),
                      uatest::Tone(kOurTone, kToneAmplitude, kToneSamples));
    uatest::WriteWave(m_Dir.File("peer_mic.wav"),
                      uatest::Tone(kPeerTone, kToneAmplitude, kToneSamples));
    std::filesystem::create_directory(m_Dir.File("baresip"));
    m_pPeer = std::make_unique<cBaresipPeer>(m_Dir.File("baresip"), "bob", GetParam().pBaresipName,
                                             m_Dir.File("peer_mic.wav"));
    ASSERT_TRUE(m_pPeer->Start(m_Loop)) << m_pPeer->Failure() << "\n" << m_pPeer->Log();

    ASSERT_TRUE(m_Agent.GetKytMainObj()->GetKytRTPLib()->SetAudioBackend(
        std::make_unique<cVirtualAudioBackend>(m_Dir.File("our_mic.wav"),
                                               m_Dir.File("our_spk.wav"))));
    m_nOurPort = uatest::FreeUdpPort();
    // No registrar: every request and response goes straight to baresip.
    const std::string sPeer = "sip:127.0.0.1:" + std::to_string(m_pPeer->SipPort());
    ASSERT_TRUE(m_Agent.Initialize(true, "127.0.0.1", m_nOurPort, "\"Alice\" <sip:alice@127.0.0.1>",
                                   "", sPeer.c_str(), "alice", "pw", true, 1))
        << m_Agent.GetKytObjectError();
    m_Agent.DiagnosticLog(true);
    m_Agent.DeselectAllVoiceCodec();
    ASSERT_TRUE(m_Agent.SelectVoiceCodec(GetParam().nCodec));
    ASSERT_TRUE(m_Agent.OpenLine(0, true, "127.0.0.1", 0)) << m_Agent.GetKytObjectError();
  }

  void TearDown() override {
    if (m_pPeer) m_pPeer->Stop(m_Loop);
    if (HasFailure()) {
      std::cout << "--- our agent ---\n"
                << m_Agent.Transcript() << "--- baresip ---\n"
                << (m_pPeer ? m_pPeer->Log() : "") << std::endl;
    }
  }

  bool BothConnected() {
    return m_Agent.Heard("OnSuccessToConnect") && m_pPeer->HeardEvent("CALL_ESTABLISHED");
  }

  // Both sides report the chosen codec while the call stands.
  void ExpectCodecInUse() {
    EXPECT_EQ(GetParam().nCodec, m_Agent.GetOutboundCodec(0));
    EXPECT_EQ(GetParam().nCodec, m_Agent.GetInboundCodec(0));
    EXPECT_NE(std::string::npos, m_Agent.Transcript().find("OnSuccessToConnect 0 127.0.0.1 "))
        << "the remote RTP address is baresip's";
  }

  // After the call: stop baresip (which closes its dump) and look at both recordings.
  void ExpectVoiceBothWays() {
    ASSERT_TRUE(m_pPeer->Stop(m_Loop)) << "baresip did not quit";
    const std::string sLog = m_pPeer->Log();
    const std::string sCodec = std::string(GetParam().pRtpName) + " 8000Hz";
    EXPECT_NE(std::string::npos, sLog.find("Set audio encoder: " + sCodec)) << sLog;
    EXPECT_NE(std::string::npos, sLog.find("Set audio decoder: " + sCodec)) << sLog;
    ExpectHeardTone(uatest::ReadWave(m_Dir.File("our_spk.wav")), kPeerTone, "our speaker");
    const std::string sDump = m_pPeer->DecodedWave();
    ASSERT_FALSE(sDump.empty()) << "baresip kept no recording";
    ExpectHeardTone(uatest::ReadWave(sDump), kOurTone, "baresip");
  }

  uatest::cScratchDir m_Dir;
  cAsioMainLoop m_Loop;
  cInteropAgent m_Agent{&m_Loop};
  std::unique_ptr<cBaresipPeer> m_pPeer;
  uint16_t m_nOurPort = 0;
};

TEST_P(BaresipCall, WeCallBaresipAndItHangsUp) {
  ASSERT_TRUE(m_Agent.Connect(0, m_pPeer->Uri().c_str(), 0, 0)) << m_Agent.GetKytObjectError();
  ASSERT_TRUE(uatest::WaitUntil(
      m_Loop, [&] { return BothConnected(); }, 10s));
  EXPECT_TRUE(m_Agent.Heard("OnConnecting 0"));
  EXPECT_TRUE(m_Agent.IsLineConnected(0));

  m_Loop.RunFor(kTalkTime);
  ExpectCodecInUse();
  ASSERT_TRUE(m_pPeer->Command("hangup"));
  ASSERT_TRUE(uatest::WaitUntil(
      m_Loop,
      [&] { return m_Agent.Heard("OnDisconnectCall 0") && m_pPeer->HeardEvent("CALL_CLOSED"); },
      10s));
  EXPECT_FALSE(m_Agent.IsLineBusy(0));
  EXPECT_EQ(0u, m_Agent.Count("OnFail"));
  ExpectVoiceBothWays();
}

TEST_P(BaresipCall, BaresipCallsUsAndWeHangUp) {
  m_Agent.m_nAnswerLine = 0;
  const std::string sUs = "sip:alice@127.0.0.1:" + std::to_string(m_nOurPort);
  ASSERT_TRUE(m_pPeer->Command("dial", sUs));
  ASSERT_TRUE(uatest::WaitUntil(
      m_Loop, [&] { return BothConnected(); }, 10s));
  EXPECT_TRUE(m_Agent.m_bAccepted) << m_Agent.GetKytObjectError();
  const std::string sIncoming = m_Agent.EventText("OnIncomingCall ");
  EXPECT_NE(std::string::npos, sIncoming.find(" bob ")) << "the caller's user name";
  EXPECT_NE(std::string::npos, sIncoming.find("sip:bob@127.0.0.1")) << "the caller's address";
  EXPECT_TRUE(m_Agent.IsLineConnected(0));

  m_Loop.RunFor(kTalkTime);
  ExpectCodecInUse();
  ASSERT_TRUE(m_Agent.Disconnect(0)) << m_Agent.GetKytObjectError();
  ASSERT_TRUE(uatest::WaitUntil(
      m_Loop, [&] { return m_pPeer->HeardEvent("CALL_CLOSED"); }, 10s));
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
