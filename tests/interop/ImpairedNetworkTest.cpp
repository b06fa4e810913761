// Two of our agents on loopback with Alice's voice passing a relay that treats it as tc netem's
// "loss 5% delay 40ms 20ms reorder 1%" would: Bob's speaker is compared with what she said, as
// segmental SNR after alignment. (A relay rather than netem itself: kernels without the sch_netem
// module, as in virtual machines, do not offer it.)

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "KytRTP/KytCodec/ciLBCCodec.h"
#include "KytRTP/cKytRTP.h"
#include "audio/cVirtualAudioBackend.h"
#include "platform/cAsioMainLoop.h"
#include "tests/support/WaveFile.h"
#include "tests/support/cLoopbackPort.h"
#include "tests/support/cRecordingLib.h"
#include "tests/support/cTempDir.h"
#include "useragent/cKytSIPUserAgentObject.h"

using namespace std::chrono_literals;

namespace {

constexpr int kRate = 8000;
constexpr size_t kSegment = 160;  // 20 ms
constexpr size_t kBlock = 1600;   // the span aligned at once, 200 ms
constexpr size_t kSearch = 800;   // how far a block's delay may stray from the call's, 100 ms

// Each row: the codec both agents are limited to and the floor its speech must reach here.
const struct sCodecCase {
  const char* pName;
  int nCodec;
  double dFloorDb;
} kCodecCases[] = {
    // The jitter buffer and concealment reach 31.3 dB; the build before they were reworked, which
    // replays stale packets and repeats whole ones, gives 29.4 dB.
    {"G711", 0, 30.5},
    // Against iLBC's clean decoding: its decoder's own concealment, told of every loss, reaches
    // 30.6 dB; concealment from the played sound, the decoder never told, 23.6 dB.
    {"iLBC", 3, 28.0},
};
void PrintTo(const sCodecCase& c, std::ostream* pOut) { *pOut << c.pName; }

// Voiced syllables of varying pitch and length with pauses between: enough like speech that
// concealment cannot simply repeat one period, and never periodic over the call.
std::vector<int16_t> Speech(double dSeconds) {
  std::vector<int16_t> out;
  uint32_t uRand = 12345;
  auto next = [&uRand](double lo, double hi) {
    uRand = uRand * 1664525u + 1013904223u;
    return lo + (hi - lo) * (uRand >> 8) / double(1u << 24);
  };
  const size_t nTotal = size_t(dSeconds * kRate);
  double dPhase = 0.0;
  while (out.size() < nTotal) {
    const size_t nLength = size_t(next(0.12, 0.32) * kRate);
    const double dPitch = next(100.0, 190.0);
    const double dGlide = next(-0.25, 0.25);
    const double dFormant = next(400.0, 1200.0);
    for (size_t i = 0; i < nLength; ++i) {
      const double t = double(i) / nLength;
      const double f0 = dPitch * (1.0 + dGlide * t);
      dPhase += 2.0 * M_PI * f0 / kRate;
      double x = 0.0;
      for (int k = 1; k * f0 < 3400.0; ++k) {
        const double dGain = 1.0 / (1.0 + std::fabs(k * f0 - dFormant) / 300.0);
        x += dGain / k * std::sin(k * dPhase);
      }
      out.push_back(int16_t(7000.0 * std::sin(M_PI * t) * x));
    }
    out.resize(out.size() + size_t(next(0.03, 0.3) * kRate), 0);
  }
  return out;
}

double Energy(const int16_t* p, size_t n) {
  double e = 0.0;
  for (size_t i = 0; i < n; ++i) e += double(p[i]) * p[i];
  return e;
}

// The delay of the received sound against the sent one, in samples, from their 10 ms envelopes.
long CoarseDelay(const std::vector<int16_t>& sent, const std::vector<int16_t>& got) {
  auto envelope = [](const std::vector<int16_t>& x) {
    std::vector<double> e(x.size() / 80);
    for (size_t i = 0; i < e.size(); ++i) e[i] = std::sqrt(Energy(x.data() + i * 80, 80));
    return e;
  };
  const std::vector<double> a = envelope(sent), b = envelope(got);
  long nBest = 0;
  double dBest = -1.0;
  for (long d = -long(a.size()); d < long(b.size()); ++d) {
    double s = 0.0;
    for (long i = std::max(0L, -d); i < long(a.size()) && i + d < long(b.size()); ++i) {
      s += a[i] * b[i + d];
    }
    if (s > dBest) dBest = s, nBest = d;
  }
  return nBest * 80;
}

// Mean SNR of the sent 20 ms segments that carry speech, each block of them aligned to the
// received sound at its best delay near the call's; each segment counts between -10 and 35 dB.
double SegmentalSnr(const std::vector<int16_t>& sent, const std::vector<int16_t>& got) {
  const long nDelay = CoarseDelay(sent, got);
  double dSum = 0.0;
  size_t nCount = 0;
  for (size_t at = 0; at + kBlock <= sent.size(); at += kBlock) {
    const int16_t* pSent = sent.data() + at;
    if (Energy(pSent, kBlock) < kBlock * 300.0 * 300.0) continue;
    long nBest = -1;
    double dBest = -1e300;
    for (long d = nDelay - long(kSearch); d <= nDelay + long(kSearch); ++d) {
      const long nFrom = long(at) + d;
      if (nFrom < 0 || nFrom + long(kBlock) > long(got.size())) continue;
      double s = 0.0;
      for (size_t i = 0; i < kBlock; ++i) s += double(pSent[i]) * got[nFrom + i];
      s /= std::sqrt(Energy(got.data() + nFrom, kBlock) + 1.0);
      if (s > dBest) dBest = s, nBest = nFrom;
    }
    for (size_t seg = 0; seg < kBlock; seg += kSegment) {
      const double dSignal = Energy(pSent + seg, kSegment);
      if (dSignal < kSegment * 300.0 * 300.0) continue;
      double dNoise = 1.0;
      for (size_t i = 0; nBest >= 0 && i < kSegment; ++i) {
        const double e = double(pSent[seg + i]) - got[nBest + seg + i];
        dNoise += e * e;
      }
      dSum += nBest < 0 ? -10.0 : std::clamp(10.0 * std::log10(dSignal / dNoise), -10.0, 35.0);
      ++nCount;
    }
  }
  return nCount == 0 ? -10.0 : dSum / nCount;
}

// The speech as our iLBC coder gives it back on a clean network, its 30 ms frames starting
// nPhase samples before it: iLBC keeps the spectrum, not the waveform, so this is the reference.
std::vector<int16_t> ThroughIlbc(const std::vector<int16_t>& speech, size_t nPhase) {
  std::vector<int16_t> in(nPhase, 0);
  in.insert(in.end(), speech.begin(), speech.end());
  ciLBCCodec codec;
  for (size_t at = 0; at + 240 <= in.size(); at += 240) {
    uint8_t frame[50];
    codec.Encode(in.data() + at, 480, frame);
    codec.Decode(frame, 50, in.data() + at);
  }
  return std::vector<int16_t>(in.begin() + long(nPhase), in.begin() + long(nPhase + speech.size()));
}

// A UDP socket of 127.0.0.1 bound to nPort, or -1.
int BindUdp(uint16_t nPort) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(nPort);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) return fd;
  if (fd >= 0) close(fd);
  return -1;
}

void SendTo(int fd, const std::string& sData, uint16_t nPort) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(nPort);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  sendto(fd, sData.data(), sData.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

// The proxy of both. SIP from Alice goes on to Bob and all other SIP to Alice, with the audio port
// of each description changed to the relay's own, so each side sends its RTP here (and, latching,
// keeps doing so). Bob's RTP goes on to Alice as it is; Alice's goes on to Bob with netem's
// treatment: 5 % lost, the rest 40 +/- 20 ms late in a uniform spread, 1 % of them at once. The
// random draws are seeded, so every run, and every build, sees the same network.
class cImpairingRelay {
 public:
  cImpairingRelay(uint16_t nAliceSip, uint16_t nBobSip)
      : m_nAliceSip(nAliceSip), m_nBobSip(nBobSip) {
    m_nSipPort = kyttest::cLoopbackPort::FreeUdp();
    m_nSip = BindUdp(m_nSipPort);
    m_nRtpPort = kyttest::cLoopbackPort::FreeUdp(2);
    m_nRtp = BindUdp(m_nRtpPort);
    m_Thread = std::thread([this] { Loop(); });
  }
  ~cImpairingRelay() {
    m_bStop = true;
    m_Thread.join();
    close(m_nSip);
    close(m_nRtp);
  }
  bool IsOpen() const { return m_nSip >= 0 && m_nRtp >= 0; }
  uint16_t SipPort() const { return m_nSipPort; }

 private:
  using tClock = std::chrono::steady_clock;

  void Loop() {
    std::mt19937 random(20261208);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::multimap<tClock::time_point, std::string> pending;
    char buffer[4096];
    while (!m_bStop) {
      pollfd fds[2] = {{m_nSip, POLLIN, 0}, {m_nRtp, POLLIN, 0}};
      poll(fds, 2, 2);
      if (fds[0].revents & POLLIN) {
        uint16_t nFrom = 0;
        const ssize_t n = Receive(m_nSip, buffer, sizeof buffer, nFrom);
        const bool bFromAlice = nFrom == m_nAliceSip;
        if (n > 0)
          SendTo(m_nSip,
                 Rewrite(std::string(buffer, size_t(n)), bFromAlice ? m_nAliceRtp : m_nBobRtp),
                 bFromAlice ? m_nBobSip : m_nAliceSip);
      }
      if (fds[1].revents & POLLIN) {
        uint16_t nFrom = 0;
        const ssize_t n = Receive(m_nRtp, buffer, sizeof buffer, nFrom);
        if (n > 0 && nFrom == m_nBobRtp) {
          SendTo(m_nRtp, std::string(buffer, size_t(n)), m_nAliceRtp);
        } else if (n > 0 && unit(random) >= 0.05) {
          const double dMs = unit(random) < 0.01 ? 0.0 : 20.0 + 40.0 * unit(random);
          pending.emplace(tClock::now() + std::chrono::microseconds(long(dMs * 1000.0)),
                          std::string(buffer, size_t(n)));
        }
      }
      while (!pending.empty() && pending.begin()->first <= tClock::now()) {
        SendTo(m_nRtp, pending.begin()->second, m_nBobRtp);
        pending.erase(pending.begin());
      }
    }
  }
  // Ports here are all five digits, so the body keeps its length.
  std::string Rewrite(std::string sText, uint16_t& nRtp) {
    const size_t at = sText.find("m=audio ");
    if (at == std::string::npos) return sText;
    nRtp = uint16_t(std::stoi(sText.substr(at + 8, 5)));
    return sText.replace(at + 8, 5, std::to_string(m_nRtpPort));
  }
  static ssize_t Receive(int fd, char* pBuffer, size_t nSize, uint16_t& nFromPort) {
    sockaddr_in from{};
    socklen_t nLength = sizeof from;
    const ssize_t n = recvfrom(fd, pBuffer, nSize, 0, reinterpret_cast<sockaddr*>(&from), &nLength);
    nFromPort = ntohs(from.sin_port);
    return n;
  }

  uint16_t m_nAliceSip, m_nBobSip;
  uint16_t m_nSipPort = 0, m_nRtpPort = 0, m_nBobRtp = 0, m_nAliceRtp = 0;
  int m_nSip = -1, m_nRtp = -1;
  std::atomic<bool> m_bStop{false};
  std::thread m_Thread;
};

class ImpairedNetwork : public ::testing::TestWithParam<sCodecCase> {};

TEST_P(ImpairedNetwork, SpeechBetweenTwoOfOurAgentsSurvivesLossJitterAndReordering) {
  kyttest::cTempDir dir("netem-");
  // Two seconds of silence first: the microphone may open before the call is answered.
  std::vector<int16_t> speech(2 * kRate, 0);
  const std::vector<int16_t> talk = Speech(14.0);
  speech.insert(speech.end(), talk.begin(), talk.end());
  ASSERT_TRUE(kyttest::WriteWave(dir.File("mic_a.wav"), speech));
  cAsioMainLoop loop;
  const uint16_t nAliceSip = kyttest::cLoopbackPort::FreeUdp();
  const uint16_t nBobSip = kyttest::cLoopbackPort::FreeUdp();
  cImpairingRelay relay(nAliceSip, nBobSip);
  ASSERT_TRUE(relay.IsOpen());
  auto make = [&](const char* pName, uint16_t nSip, uint16_t nProxy, const std::string& sMic,
                  const std::string& sSpk) {
    auto ua = std::make_unique<kyttest::cRecordingLib>(&loop);
    EXPECT_TRUE(ua->GetKytMainObj()->GetKytRTPLib()->SetAudioBackend(
        std::make_unique<cVirtualAudioBackend>(sMic, sSpk)));
    const std::string sFrom = std::string("sip:") + pName + "@127.0.0.1";
    const std::string sProxy = "sip:127.0.0.1:" + std::to_string(nProxy);
    EXPECT_TRUE(ua->Initialize(true, "127.0.0.1", nSip, sFrom.c_str(), "", sProxy.c_str(), pName,
                               "pw", true, 1));
    // Gain control would reshape every syllable's start on both sides, whatever the network.
    EXPECT_TRUE(ua->DisableAGC());
    ua->DeselectAllVoiceCodec();
    EXPECT_TRUE(ua->SelectVoiceCodec(GetParam().nCodec));
    EXPECT_TRUE(ua->OpenLine(0, true, "127.0.0.1", kyttest::cLoopbackPort::FreeUdp(2)));
    return ua;
  };
  auto alice = make("alice", nAliceSip, relay.SipPort(), dir.File("mic_a.wav"), "");
  auto bob = make("bob", nBobSip, relay.SipPort(), "", dir.File("spk_b.wav"));
  ASSERT_FALSE(HasFailure());

  // Bob calls, so that his offer, through the relay, makes Alice send her voice to it.
  ASSERT_TRUE(bob->DialCall(0, "alice", 0, 0)) << bob->GetKytObjectError();
  ASSERT_TRUE(loop.RunUntil([&] { return alice->Heard("OnIncomingCallRingingStart"); }, 10s));
  const std::string sRinging = alice->m_Events.back();
  ASSERT_TRUE(alice->AcceptCall(0, sRinging.substr(sRinging.find(' ') + 1).c_str(), 0, 0));
  ASSERT_TRUE(loop.RunUntil([&] { return bob->Heard("OnSuccessToConnect"); }, 10s));
  int nMostQueued = 0;
  for (int i = 0; i < 80; ++i) {
    loop.RunFor(200ms);
    nMostQueued = std::max(nMostQueued, bob->GetSizeJitterBuffer(0));
  }
  const int nLost = bob->GetCountPacketLost(0);
  bob->Disconnect(0);
  loop.RunFor(300ms);

  const std::vector<int16_t> heard = kyttest::ReadWave(dir.File("spk_b.wav"));
  double dSnr = SegmentalSnr(speech, heard);
  // The sender's frames start at a whole 20 ms unit: 0, 10 or 20 ms into a 30 ms frame.
  for (size_t nPhase = 0; GetParam().nCodec == 3 && nPhase < 240; nPhase += 80)
    dSnr = std::max(dSnr, SegmentalSnr(ThroughIlbc(speech, nPhase), heard));
  std::cout << "segmental SNR " << dSnr << " dB, " << nLost << " packets lost, at most "
            << nMostQueued << " queued" << std::endl;
  EXPECT_GE(dSnr, GetParam().dFloorDb);
  // About 5 % of 800 packets, as RTCP counts them; some queued at 40 +/- 20 ms of jitter.
  EXPECT_GT(nLost, 10);
  EXPECT_LT(nLost, 120);
  EXPECT_GT(nMostQueued, 0);
}

INSTANTIATE_TEST_SUITE_P(Codec, ImpairedNetwork, ::testing::ValuesIn(kCodecCases),
                         [](const auto& testInfo) { return std::string(testInfo.param.pName); });

}  // namespace
