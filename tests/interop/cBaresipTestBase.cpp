#include "cBaresipTestBase.h"

#include <cmath>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "KytRTP/cKytRTP.h"
#include "audio/cG711aCodec.h"
#include "audio/cG711uCodec.h"
#include "audio/cVirtualAudioBackend.h"
#include "tests/support/Tone.h"
#include "tests/support/Wait.h"
#include "tests/support/WaveFile.h"
#include "tests/support/cLoopbackPort.h"
#include "useragent/cKytSIPUserAgentObject.h"

namespace {

constexpr int kToneAmplitude = 8000;
// Long enough that neither microphone runs dry during a call, however late it starts.
constexpr size_t kToneSamples = 8000 * 20;
constexpr size_t kWindow = 4000;  // half a second at 8000 Hz

bool IsToneWindow(const int16_t* pSamples, double dFreq, std::ostream& summary) {
  const double dRms = kyttest::Rms(pSamples, kWindow);
  const double dPeak = kyttest::DominantFrequency(pSamples, kWindow);
  summary << " [rms " << int(dRms) << ", " << dPeak << " Hz]";
  return dRms > 500.0 && std::fabs(dPeak - dFreq) <= 20.0;
}

}  // namespace

void cBaresipTestBase::StartBoth(const std::string& sPeerCodecs,
                                 const std::vector<int32_t>& ourCodecs,
                                 const std::string& sAnswerMode, const std::string& sRegistrar) {
  m_sRegistrar = sRegistrar;
  ASSERT_TRUE(kyttest::WriteWave(m_Dir.File("our_mic.wav"),
                                 kyttest::Tone(kOurTone, kToneAmplitude, kToneSamples)));
  ASSERT_TRUE(kyttest::WriteWave(m_Dir.File("peer_mic.wav"),
                                 kyttest::Tone(kPeerTone, kToneAmplitude, kToneSamples)));
  std::filesystem::create_directory(m_Dir.File("baresip"));
  m_pPeer = std::make_unique<cBaresipPeer>(m_Dir.File("baresip"), "bob", sPeerCodecs,
                                           m_Dir.File("peer_mic.wav"), sAnswerMode);
  if (!sRegistrar.empty()) m_pPeer->SetRegistrar(sRegistrar);
  m_pPeer->SetTransport(m_sPeerTransport, m_sPeerCaFile, m_sPeerCertificate);
  m_pPeer->SetNetwork(m_PeerNetwork);
  m_pPeer->SetMediaEncryption(m_sPeerMediaEnc);
  ASSERT_TRUE(m_pPeer->Start(m_Loop)) << m_pPeer->Failure() << "\n" << m_pPeer->Log();

  ASSERT_TRUE(m_Agent.GetKytMainObj()->GetKytRTPLib()->SetAudioBackend(
      std::make_unique<cVirtualAudioBackend>(m_Dir.File("our_mic.wav"),
                                             m_Dir.File("our_spk.wav"))));
  m_nOurPort = kyttest::cLoopbackPort::FreeUdp();
  // Without a registrar every request and response goes straight to baresip.
  const std::string sPeer = sRegistrar.empty()
                                ? "sip:127.0.0.1:" + std::to_string(m_pPeer->SipPort())
                                : (m_sOurProxy.empty() ? "sip:" + sRegistrar : m_sOurProxy);
  const std::string sFrom =
      "\"Alice\" <sip:alice@" + (sRegistrar.empty() ? "127.0.0.1" : sRegistrar) + ">";
  const bool bBind = !m_sOurIP.empty();
  ASSERT_TRUE(m_Agent.Initialize(bBind, m_sOurIP.c_str(), m_nOurPort, sFrom.c_str(), "",
                                 sPeer.c_str(), "alice", "pw", true, 1))
      << m_Agent.GetKytObjectError();
  m_Agent.DiagnosticLog(true);
  if (!ourCodecs.empty()) {
    m_Agent.DeselectAllVoiceCodec();
    for (int32_t nCodec : ourCodecs) ASSERT_TRUE(m_Agent.SelectVoiceCodec(nCodec));
  }
  ASSERT_TRUE(m_Agent.OpenLine(0, bBind, m_sOurIP.c_str(), kyttest::cLoopbackPort::FreeUdp(2)))
      << m_Agent.GetKytObjectError();
  if (sRegistrar.empty()) return;
  ASSERT_TRUE(m_Agent.RegisterToProxy(60)) << m_Agent.GetKytObjectError();
  ASSERT_TRUE(WaitFor([&] {
    // baresip registers before its control port is up, so its log tells.
    return m_Agent.Heard("OnSuccessToRegister") &&
           m_pPeer->Log().find("200 OK (kamailio") != std::string::npos;
  })) << "both register";
}

void cBaresipTestBase::TearDown() {
  StopPeer();
  if (HasFailure()) {
    std::cout << "--- our agent ---\n"
              << m_Agent.All() << "--- baresip ---\n"
              << (m_pPeer ? m_pPeer->Log() : "") << std::endl;
  }
}

bool cBaresipTestBase::PeerDialsUs() {
  if (!m_sRegistrar.empty()) return m_pPeer->Command("dial", "sip:alice@" + m_sRegistrar);
  return m_pPeer->Command("dial", "sip:alice@127.0.0.1:" + std::to_string(m_nOurPort));
}

bool cBaresipTestBase::BothConnected() {
  return m_Agent.Heard("OnSuccessToConnect") && m_pPeer->HeardEvent("CALL_ESTABLISHED");
}

bool cBaresipTestBase::WaitFor(const std::function<bool()>& pred) {
  return kyttest::RunLoopUntil(m_Loop, pred, std::chrono::seconds(10));
}

bool cBaresipTestBase::StopPeer() { return m_pPeer && m_pPeer->Stop(m_Loop); }

std::vector<int16_t> cBaresipTestBase::OurSpeaker() const {
  return kyttest::ReadWave(m_Dir.File("our_spk.wav"));
}

std::vector<int16_t> cBaresipTestBase::PeerHeard() const {
  const std::string sDump = m_pPeer->DecodedWave();
  return sDump.empty() ? std::vector<int16_t>() : kyttest::ReadWave(sDump);
}

double cBaresipTestBase::PeerToneSnr(const std::vector<int16_t>& heard, int32_t nCodec,
                                     std::string* pWindows) {
  std::vector<int16_t> period = kyttest::Tone(kPeerTone, kToneAmplitude, kPeerTonePeriod);
  const cG711uCodec ulaw;
  const cG711aCodec alaw;
  const cG711Codec& codec = nCodec == 0 ? static_cast<const cG711Codec&>(ulaw) : alaw;
  for (int16_t& x : period) x = codec.DecodeSample(codec.EncodeSample(x));
  std::vector<double> windows;
  const double dSnr = kyttest::PeriodicSnr(heard, period, kyttest::kSampleRate, &windows);
  std::ostringstream text;
  for (double d : windows) text << ' ' << int(d);
  *pWindows = text.str();
  return dSnr;
}

size_t cBaresipTestBase::WindowsWithTone(const std::vector<int16_t>& samples, double dFreq,
                                         std::string* pSummary) {
  size_t nHits = 0;
  std::ostringstream summary;
  for (size_t at = 0; at + kWindow <= samples.size(); at += kWindow) {
    if (IsToneWindow(samples.data() + at, dFreq, summary)) ++nHits;
  }
  *pSummary = summary.str();
  return nHits;
}

std::string cBaresipTestBase::WindowPattern(const std::vector<int16_t>& samples, double dFreq) {
  std::string sPattern;
  std::ostringstream ignored;
  for (size_t at = 0; at + kWindow <= samples.size(); at += kWindow) {
    const int16_t* pWindow = samples.data() + at;
    sPattern += IsToneWindow(pWindow, dFreq, ignored)    ? 'T'
                : kyttest::Rms(pWindow, kWindow) < 100.0 ? 's'
                                                         : 'x';
  }
  return sPattern;
}

void cBaresipTestBase::ExpectHeardTone(const std::vector<int16_t>& samples, double dFreq,
                                       const std::string& sWho, size_t nWindows, bool bAtEnd) {
  std::string sSummary;
  const size_t nHits = WindowsWithTone(samples, dFreq, &sSummary);
  if (!bAtEnd) {
    EXPECT_GE(nHits, nWindows) << sWho << " should hear " << dFreq << " Hz; " << samples.size()
                               << " samples:" << sSummary;
    return;
  }
  size_t nTail = 0;
  std::ostringstream ignored;
  const size_t nFull = samples.size() / kWindow;
  while (nTail < nFull &&
         IsToneWindow(samples.data() + (nFull - 1 - nTail) * kWindow, dFreq, ignored)) {
    ++nTail;
  }
  EXPECT_GE(nTail, nWindows) << sWho << " should hear " << dFreq << " Hz at the end; "
                             << samples.size() << " samples:" << sSummary;
}
