#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "KytRTP/KytCodec/cCodecRTP.h"
#include "KytRTP/KytCodec/cG610Codec.h"
#include "KytRTP/KytCodec/ciLBCCodec.h"
#include "audio/cG711aCodec.h"
#include "audio/cG711uCodec.h"
#include "cMediaEngine.h"
#include "cMediaTestUtil.h"
#include "tests/support/cTempDir.h"

using namespace mediatest;

namespace {

struct sCodecCase {
  const char* pName;
  int nCodecNo;
  int nPayloadType;
  double dMinSnrDb;
};

void PrintTo(const sCodecCase& c, std::ostream* pOut) { *pOut << c.pName; }

// What the far end should hear: the sender's microphone through a fresh encoder and decoder,
// frame by frame as the lines code it.
std::vector<int16_t> ThroughCodec(int nCodecNo, std::vector<int16_t> pcm) {
  const int nFrame = cCodecRTP::GetFrameSizePCM(nCodecNo) / 2;
  pcm.resize((pcm.size() + nFrame - 1) / nFrame * nFrame, 0);
  std::vector<int16_t> out(pcm.size());
  std::vector<uint8_t> coded(200);
  cG711uCodec ulaw;
  cG711aCodec alaw;
  cG610Codec gsm;
  ciLBCCodec ilbc;
  for (size_t n = 0; n < pcm.size(); n += nFrame) {
    const int nBytes = nFrame * 2;
    switch (nCodecNo) {
      case cCodecRTP::kCodecG711u:
        ulaw.Decode(coded.data(), ulaw.Encode(&pcm[n], nBytes, coded.data()), &out[n]);
        break;
      case cCodecRTP::kCodecG711a:
        alaw.Decode(coded.data(), alaw.Encode(&pcm[n], nBytes, coded.data()), &out[n]);
        break;
      case cCodecRTP::kCodecGSM:
        gsm.Decode(coded.data(), gsm.Encode(&pcm[n], nBytes, coded.data()), &out[n]);
        break;
      case cCodecRTP::kCodeciLBC:
        ilbc.Decode(coded.data(), ilbc.Encode(&pcm[n], nBytes, coded.data()), &out[n]);
        break;
      default:
        ADD_FAILURE() << "codec " << nCodecNo;
        return out;
    }
  }
  return out;
}

std::vector<int16_t> WithSilence(std::vector<int16_t> pcm, int nSamples) {
  pcm.resize(pcm.size() + nSamples, 0);
  return pcm;
}

void StreamFor(std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); }

constexpr int kToneSamples = 2 * 8000;
constexpr int kMaxDelaySamples = 8000;  // the jitter buffer waits 160 ms; allow far more

}  // namespace

class TwoEngines : public ::testing::TestWithParam<sCodecCase> {};

// A tone into one microphone and speech into the other, both ways at once over 127.0.0.1; each
// speaker must play what the other microphone took, as the codec decodes it.
TEST_P(TwoEngines, ToneAndSpeechCrossBothWays) {
  const sCodecCase& c = GetParam();
  kyttest::cTempDir dir{"kyt-media-"};
  const std::vector<int16_t> tone = Tone(1000, 10000, kToneSamples);
  WriteWave(dir.File("tone.wav"), tone);
  const std::vector<int16_t> speech = ReadWave(DataFile("speech8k.wav"));
  ASSERT_FALSE(speech.empty());

  {
    cMediaEngine a(1, dir.File("tone.wav"), dir.File("a_spk.wav"));
    cMediaEngine b(1, DataFile("speech8k.wav"), dir.File("b_spk.wav"));
    const int nPortA = a.OpenLoopbackLine(0);
    const int nPortB = b.OpenLoopbackLine(0);
    ASSERT_GT(nPortA, 0);
    ASSERT_EQ(nPortA % 2, 0);
    ASSERT_NE(nPortA, nPortB);
    EXPECT_EQ(a.lib.GetLineRxIP(0).CompareTo("127.0.0.1"), true);
    ASSERT_TRUE(a.lib.LineStartRTP(0, "127.0.0.1", nPortB, c.nCodecNo, c.nPayloadType, true, true));
    ASSERT_TRUE(b.lib.LineStartRTP(0, "127.0.0.1", nPortA, c.nCodecNo, c.nPayloadType, true, true));
    ASSERT_TRUE(a.lib.OpenMEDIA(0, 0, 0)) << a.lib.GetObjectError();
    ASSERT_TRUE(b.lib.OpenMEDIA(0, 0, 0)) << b.lib.GetObjectError();
    StreamFor(std::chrono::milliseconds(1200));
    EXPECT_EQ(a.lib.GetOutboundCodec(0), c.nCodecNo);
    EXPECT_EQ(a.lib.GetInboundCodec(0), c.nCodecNo);
    EXPECT_EQ(b.lib.GetInboundCodec(0), c.nCodecNo);
    EXPECT_GT(b.lib.GetSpkSoundLevel(), 0) << "the tone is playing";
    StreamFor(std::chrono::milliseconds(2000));
    a.lib.CloseMEDIA(0);
    b.lib.CloseMEDIA(0);
    EXPECT_TRUE(a.lib.LineStopRTP(0, true, true));
    EXPECT_EQ(a.lib.GetInboundCodec(0), -1);
    EXPECT_TRUE(a.lib.CloseLine(0));
    EXPECT_TRUE(b.lib.CloseLine(0));
  }

  const std::vector<int16_t> heardByA = ReadWave(dir.File("a_spk.wav"));
  const std::vector<int16_t> heardByB = ReadWave(dir.File("b_spk.wav"));
  ASSERT_GT(heardByA.size(), 8000u);
  ASSERT_GT(heardByB.size(), 8000u);

  const std::vector<int16_t> speechExpected = ThroughCodec(c.nCodecNo, WithSilence(speech, 16000));
  const std::vector<int16_t> toneExpected = ThroughCodec(c.nCodecNo, WithSilence(tone, 16000));
  const auto speechResult = MeasureSnr(speechExpected, heardByA, 80, kMaxDelaySamples);
  const auto toneResult = MeasureSnr(toneExpected, heardByB, 80, kMaxDelaySamples);
  RecordProperty("speech_snr_db", std::to_string(speechResult.dSnrDb));
  RecordProperty("tone_snr_db", std::to_string(toneResult.dSnrDb));
  // Nearly every unit of the speech must have been heard, in order, at one delay.
  const int nSpeechUnits = CountSoundUnits(speech);
  EXPECT_GE(speechResult.nExpectedUnitsHeard, nSpeechUnits - 8) << "of " << nSpeechUnits;
  EXPECT_GE(toneResult.nUnitsCompared, kToneSamples / 160 - 10);
  EXPECT_GT(speechResult.dSnrDb, c.dMinSnrDb) << "delay " << speechResult.nDelaySamples;
  EXPECT_GT(toneResult.dSnrDb, c.dMinSnrDb) << "delay " << toneResult.nDelaySamples;
  // The tone itself, not just something like it: its level at 1 kHz dwarfs the rest.
  const size_t nMid = heardByB.size() / 2;
  EXPECT_GT(ToneLevel(&heardByB[nMid - 800], 1600, 1000),
            1000 * ToneLevel(&heardByB[nMid - 800], 1600, 2500));
}

const sCodecCase kCodecCases[] = {
    {"PCMU", 0, 0, 40.0},
    {"PCMA", 1, 8, 40.0},
    {"GSM", 2, 3, 40.0},
    {"iLBC", 3, 98, 40.0},
};

INSTANTIATE_TEST_SUITE_P(Codecs, TwoEngines, ::testing::ValuesIn(kCodecCases),
                         [](const auto& testInfo) { return std::string(testInfo.param.pName); });

// One engine joins three lines; each far end must hear the other two and not itself.
TEST(Conference, EachLineHearsTheOtherTwo) {
  kyttest::cTempDir dir{"kyt-media-"};
  const double freqs[3] = {500, 1000, 1500};
  cMediaEngine hub(3, "", "");
  std::vector<std::unique_ptr<cMediaEngine>> peers;
  for (int i = 0; i < 3; ++i) {
    const std::string sMic = dir.File("mic" + std::to_string(i) + ".wav");
    WriteWave(sMic, Tone(freqs[i], 6000, kToneSamples));
    peers.push_back(
        std::make_unique<cMediaEngine>(1, sMic, dir.File("spk" + std::to_string(i) + ".wav")));
  }
  for (int i = 0; i < 3; ++i) {
    const int nHubPort = hub.OpenLoopbackLine(i);
    const int nPeerPort = peers[i]->OpenLoopbackLine(0);
    ASSERT_TRUE(hub.lib.LineStartRTP(i, "127.0.0.1", nPeerPort, 0, 0, true, true));
    ASSERT_TRUE(peers[i]->lib.LineStartRTP(0, "127.0.0.1", nHubPort, 0, 0, true, true));
  }
  ASSERT_TRUE(hub.lib.OpenMEDIA(0, 0, 0));
  ASSERT_TRUE(hub.lib.OpenMEDIA(1, 0, 0));
  ASSERT_TRUE(hub.lib.OpenMEDIA(2, 0, 0));
  for (auto& peer : peers) ASSERT_TRUE(peer->lib.OpenMEDIA(0, 0, 0));
  StreamFor(std::chrono::milliseconds(2300));
  for (auto& peer : peers) peer->lib.CloseMEDIA(0);
  for (int i = 0; i < 3; ++i) hub.lib.CloseMEDIA(i);

  for (int i = 0; i < 3; ++i) {
    const std::vector<int16_t> heard = ReadWave(dir.File("spk" + std::to_string(i) + ".wav"));
    ASSERT_GT(heard.size(), 12000u);
    // A steady second in the middle of the call.
    const int16_t* pMid = &heard[heard.size() / 2 - 4000];
    const double dOwn = ToneLevel(pMid, 8000, freqs[i]);
    for (int j = 0; j < 3; ++j) {
      if (j == i) continue;
      const double dOther = ToneLevel(pMid, 8000, freqs[j]);
      EXPECT_GT(dOther, 1e5) << "peer " << i << " should hear peer " << j;
      EXPECT_GT(dOther, 1000 * dOwn) << "peer " << i << " hears itself";
    }
  }
}
