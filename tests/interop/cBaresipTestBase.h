#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cBaresipPeer.h"
#include "cInteropAgent.h"
#include "cPeerNetwork.h"
#include "platform/cAsioMainLoop.h"
#include "tests/support/cTempDir.h"

// One call between our agent (line 0, user alice) and baresip (user bob), both on 127.0.0.1
// with no registrar: our agent sends everything straight to baresip's port, and baresip dials
// our listen address. Each side plays a tone of its own into the call (ours 1000 Hz, baresip's
// 600 Hz); our speaker goes to a WAVE file and baresip keeps what it decoded.
class cBaresipTestBase : public ::testing::Test {
 protected:
  static constexpr double kOurTone = 1000.0;
  // 11 cycles in 200 samples: a dropped or repeated 20 ms block breaks its phase, so the
  // received tone shows every glitch of our receive path.
  static constexpr double kPeerTone = 440.0;
  static constexpr size_t kPeerTonePeriod = 200;
  static constexpr std::chrono::milliseconds kTalkTime{2500};

  // Starts baresip with its codec list ("pcmu", "gsm,pcma") and answer mode ("auto",
  // "manual"), then our agent with these codecs selected in this order (empty: all of them).
  // With a registrar ("host:port") both register there and every request goes through it.
  void StartBoth(const std::string& sPeerCodecs, const std::vector<int32_t>& ourCodecs,
                 const std::string& sAnswerMode = "auto", const std::string& sRegistrar = "");
  void TearDown() override;

  // baresip dials our agent.
  bool PeerDialsUs();
  bool BothConnected();
  // Runs the loop until pred() holds, for at most 10 s.
  bool WaitFor(const std::function<bool()>& pred);
  // Ends baresip (closing its recording); false when it had to be killed.
  bool StopPeer();

  std::vector<int16_t> OurSpeaker() const;
  // What baresip decoded, after StopPeer.
  std::vector<int16_t> PeerHeard() const;

  // Half-second windows that are loud and dominated by dFreq; pSummary lists every window.
  static size_t WindowsWithTone(const std::vector<int16_t>& samples, double dFreq,
                                std::string* pSummary);
  // One letter per half-second window: T for the tone, s for silence, x for anything else.
  static std::string WindowPattern(const std::vector<int16_t>& samples, double dFreq);
  // At least nWindows half-seconds of the tone were heard; with bAtEnd they must be the last
  // nWindows windows of the recording.
  // SNR of the peer's tone on our speaker, against the tone as the codec decodes it, over the
  // whole call in one-second windows (per-window figures in pWindows).
  static double PeerToneSnr(const std::vector<int16_t>& heard, int32_t nCodec,
                            std::string* pWindows);
  static void ExpectHeardTone(const std::vector<int16_t>& samples, double dFreq,
                              const std::string& sWho, size_t nWindows = 2, bool bAtEnd = false);

  kyttest::cTempDir m_Dir{"kyt-interop-"};
  cAsioMainLoop m_Loop;
  cInteropAgent m_Agent{&m_Loop};
  std::unique_ptr<cBaresipPeer> m_pPeer;
  uint16_t m_nOurPort = 0;
  std::string m_sRegistrar;
  // Before StartBoth: our agent's address (empty: none given, the agent chooses and binds to
  // any) and where baresip runs.
  std::string m_sOurIP = "127.0.0.1";
  cPeerNetwork m_PeerNetwork;
  // Before StartBoth with a registrar: our proxy URI (empty: sip:registrar), and how baresip
  // reaches the registrar ("tcp", or "tls" trusting the CA file and presenting the certificate).
  std::string m_sOurProxy;
  std::string m_sPeerTransport;
  std::string m_sPeerCaFile;
  std::string m_sPeerCertificate;
  // Before StartBoth: baresip's media encryption (empty: plain RTP).
  std::string m_sPeerMediaEnc;
};
