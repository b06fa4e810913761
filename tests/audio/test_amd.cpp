#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "audio/cDetectAMD.h"
#include "tests/support/Tone.h"

namespace {

// Received audio as the line hands it over: one 20 ms block, then one tick of 10.
struct cAmdRig {
  cAmdRig() : detector([this](bool bHuman) { verdicts.push_back(bHuman); }) {}

  void Feed(const std::vector<int16_t>& pcm) {
    for (size_t n = 0; n + 160 <= pcm.size(); n += 160) {
      detector.OnSocketRecv(nSeq, 0, nSeq * 160u, &pcm[n], 320);
      ++nSeq;
      detector.OnTimerTick(10);
    }
  }

  cDetectAMD detector;
  std::vector<bool> verdicts;
  uint32_t nSeq = 0;
};

std::vector<int16_t> Tone(double dSeconds, int nAmplitude) {
  return kyttest::Tone(440, nAmplitude, static_cast<size_t>(dSeconds * kyttest::kSampleRate));
}

std::vector<int16_t> Silence(double dSeconds) {
  return std::vector<int16_t>(static_cast<size_t>(dSeconds * 8000), 0);
}

std::vector<int16_t> Join(std::initializer_list<std::vector<int16_t>> parts) {
  std::vector<int16_t> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

}  // namespace

TEST(DetectAMD, PausesInTheFirstSecondsMeanAHuman) {
  cAmdRig rig;
  rig.detector.StartAMD();
  rig.Feed(Silence(1.0));
  // "Hello?" ... "Hello?" ... : talk with two long pauses.
  rig.Feed(
      Join({Tone(1.0, 12000), Silence(1.0), Tone(1.0, 12000), Silence(1.0), Tone(1.0, 12000)}));
  EXPECT_TRUE(rig.verdicts.empty()) << "the verdict waits for the analysis time";
  rig.Feed(Tone(8.0, 12000));
  ASSERT_EQ(rig.verdicts.size(), 1u);
  EXPECT_TRUE(rig.verdicts[0]);
  rig.Feed(Tone(13.0, 12000));
  EXPECT_EQ(rig.verdicts.size(), 1u) << "one verdict per RTP start";
}

TEST(DetectAMD, TalkWithoutPausesMeansAMachine) {
  cAmdRig rig;
  rig.detector.StartAMD();
  rig.Feed(Tone(12.5, 12000));
  ASSERT_EQ(rig.verdicts.size(), 1u);
  EXPECT_FALSE(rig.verdicts[0]);
}

TEST(DetectAMD, QuietStreamNeverStartsAndStopDropsTheCollection) {
  cAmdRig rig;
  rig.detector.StartAMD();
  rig.Feed(Tone(15.0, 20));
  EXPECT_TRUE(rig.verdicts.empty());
  rig.Feed(Tone(6.0, 12000));
  rig.detector.StopAMD();
  rig.Feed(Tone(10.0, 12000));
  EXPECT_TRUE(rig.verdicts.empty());
}

TEST(DetectAMD, NewParametersDuringACallStopTheCollection) {
  cAmdRig rig;
  rig.detector.StartAMD();
  rig.Feed(Tone(2.0, 12000));
  rig.detector.DetectAMD(true, 100, 300, 2);
  rig.Feed(Tone(13.0, 12000));
  EXPECT_TRUE(rig.verdicts.empty());
  rig.detector.StartAMD();
  rig.Feed(Tone(12.5, 12000));
  EXPECT_EQ(rig.verdicts.size(), 1u);
}

TEST(DetectAMD, FloodIsNotCollectedWithoutBound) {
  cAmdRig rig;
  rig.detector.StartAMD();
  const std::vector<int16_t> loud = Tone(0.02, 12000);
  for (int i = 0; i < 200000; ++i) rig.detector.OnSocketRecv(i, 0, i * 160u, loud.data(), 320);
  rig.Feed(Tone(12.5, 12000));
  ASSERT_EQ(rig.verdicts.size(), 1u);
}

TEST(DetectAMD, PauseCounting) {
  // Pauses are measured against the quietest frame: on a clean line and on one with noise at
  // -50 dBFS alike, 1.2 s and 0.8 s pauses count, a 0.2 s one does not.
  for (const int nNoise : {0, 180}) {
    auto talk = Join({Tone(1.0, 12000), Silence(1.2), Tone(1.0, 12000), Silence(0.2),
                      Tone(1.0, 12000), Silence(0.8)});
    uint32_t uSeed = 1;
    for (int16_t& x : talk) {
      uSeed = uSeed * 1664525u + 1013904223u;
      x = static_cast<int16_t>(x + (static_cast<int>(uSeed >> 16) % (2 * nNoise + 1)) - nNoise);
    }
    EXPECT_EQ(cDetectAMD::CountPauses(talk.data(), static_cast<int>(talk.size()), 300), 2)
        << nNoise;
    EXPECT_EQ(cDetectAMD::CountPauses(talk.data(), static_cast<int>(talk.size()), 10000), 0);
  }
  const auto tone = Tone(2.0, 12000);
  EXPECT_EQ(cDetectAMD::CountPauses(tone.data(), static_cast<int>(tone.size()), 0), 0);
}
