#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "audio/cPitchShift.h"
#include "tests/support/Tone.h"

namespace {

using kyttest::ToneLevel;

std::vector<int16_t> Shift(int nValue, double dFreq, int nAmplitude, int nUnits) {
  cPitchShift shifter;
  std::vector<int16_t> out(nUnits * 160);
  for (int u = 0; u < nUnits; ++u) {
    int16_t in[160];
    for (int i = 0; i < 160; ++i)
      in[i] = static_cast<int16_t>(nAmplitude * std::sin(2 * M_PI * dFreq * (u * 160 + i) / 8000));
    shifter.UpdatePitchUnitPCM(nValue, in, &out[u * 160]);
  }
  return out;
}

}  // namespace

TEST(PitchShift, FactorsByValue) {
  EXPECT_FLOAT_EQ(cPitchShift::PitchFactor(0), 0.4f);
  EXPECT_FLOAT_EQ(cPitchShift::PitchFactor(6), 1.0f);
  EXPECT_FLOAT_EQ(cPitchShift::PitchFactor(20), 2.4f);
  EXPECT_FLOAT_EQ(cPitchShift::PitchFactor(21), 2.4f);
  EXPECT_FLOAT_EQ(cPitchShift::PitchFactor(-5), 0.4f);
}

TEST(PitchShift, FirstOutputIsSilentThenDelayed) {
  const std::vector<int16_t> out = Shift(6, 500, 10000, 10);
  for (int i = 0; i < 51; ++i) ASSERT_EQ(out[i], 0) << i;
  // Value 6 keeps the pitch: after the 461-sample latency the tone comes out at 500 Hz.
  const int16_t* pTail = &out[800];
  EXPECT_GT(ToneLevel(pTail, 800, 500), 100 * ToneLevel(pTail, 800, 1000));
  EXPECT_GT(ToneLevel(pTail, 800, 500), 1e6);
}

TEST(PitchShift, ValueSixteenDoublesThePitch) {
  const std::vector<int16_t> out = Shift(16, 500, 10000, 20);
  const int16_t* pTail = &out[1600];
  EXPECT_GT(ToneLevel(pTail, 1600, 1000), 100 * ToneLevel(pTail, 1600, 500));
}

TEST(PitchShift, ValueZeroLowersThePitch) {
  const std::vector<int16_t> out = Shift(0, 1000, 10000, 20);
  const int16_t* pTail = &out[1600];
  EXPECT_GT(ToneLevel(pTail, 1600, 400), 100 * ToneLevel(pTail, 1600, 1000));
}

TEST(PitchShift, LoudInputIsClampedNotWrapped) {
  const std::vector<int16_t> out = Shift(20, 300, 32767, 20);
  int nSignFlipsAtPeak = 0;
  for (size_t i = 1; i < out.size(); ++i) {
    // A wrapped sample jumps from near +full scale to near -full scale in one step.
    nSignFlipsAtPeak +=
        (out[i - 1] > 30000 && out[i] < -30000) || (out[i - 1] < -30000 && out[i] > 30000);
  }
  EXPECT_EQ(nSignFlipsAtPeak, 0);
}
