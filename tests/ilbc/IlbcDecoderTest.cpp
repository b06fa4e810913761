// Our decoder against the reference decoder's output for the reference
// bitstreams, and its behaviour on hostile input.
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "IlbcTestData.h"
#include "KytRTP/KytCodec/ilbc/cIlbcDecoder.h"

namespace {

struct sVector {
  int nMode;
  const char* pName;
};

void PrintTo(const sVector& v, std::ostream* pOut) { *pOut << v.nMode << " ms " << v.pName; }

std::string Name(const ::testing::TestParamInfo<sVector>& info) {
  return std::string(info.param.pName) + std::to_string(info.param.nMode);
}

const sVector kVectors[] = {{20, "speech"}, {20, "sweep"}, {20, "noise"}, {20, "silence"},
                            {30, "speech"}, {30, "sweep"}, {30, "noise"}, {30, "silence"}};

class IlbcDecoderVectors : public ::testing::TestWithParam<sVector> {
 protected:
  std::string File(const char* pKind, const char* pExt) const {
    return std::string("vectors/") + pKind + std::to_string(GetParam().nMode) + "_" +
           GetParam().pName + pExt;
  }
};

// Without the enhancer the decoder follows the reference to within float
// rounding: a few LSB at most.
TEST_P(IlbcDecoderVectors, WithoutEnhancerMatchesReference) {
  const std::vector<uint8_t> bits = IlbcTestData::ReadBytes(File("enc", ".bit"));
  const std::vector<int16_t> ref = IlbcTestData::ReadPcm(File("dec", "_noenh.pcm"));
  const std::vector<int16_t> out = IlbcTestData::Decode(GetParam().nMode, false, bits);
  ASSERT_EQ(out.size(), ref.size());
  EXPECT_GE(IlbcTestData::Snr(ref, out), 70.0);
  int nMaxDiff = 0;
  for (size_t i = 0; i < ref.size(); i++) nMaxDiff = std::max(nMaxDiff, std::abs(ref[i] - out[i]));
  EXPECT_LE(nMaxDiff, 20);
}

TEST_P(IlbcDecoderVectors, WithEnhancerFollowsReference) {
  const std::vector<uint8_t> bits = IlbcTestData::ReadBytes(File("enc", ".bit"));
  const std::vector<int16_t> ref = IlbcTestData::ReadPcm(File("dec", ".pcm"));
  const std::vector<int16_t> out = IlbcTestData::Decode(GetParam().nMode, true, bits);
  ASSERT_EQ(out.size(), ref.size());
  EXPECT_GE(IlbcTestData::Snr(ref, out), 19.0);
}

INSTANTIATE_TEST_SUITE_P(Vectors, IlbcDecoderVectors, ::testing::ValuesIn(kVectors), Name);

TEST(IlbcDecoder, SilenceDecodesToSilence) {
  for (int nMode : {20, 30}) {
    const std::string sMode = std::to_string(nMode);
    const std::vector<uint8_t> bits =
        IlbcTestData::ReadBytes("vectors/enc" + sMode + "_silence.bit");
    for (bool bEnh : {false, true}) {
      const std::vector<int16_t> ref = IlbcTestData::ReadPcm("vectors/dec" + sMode + "_silence" +
                                                             (bEnh ? "" : "_noenh") + ".pcm");
      EXPECT_EQ(IlbcTestData::Decode(nMode, bEnh, bits), ref) << nMode << " ms enh " << bEnh;
    }
  }
}

TEST(IlbcDecoder, ReportsFrameGeometry) {
  const cIlbcDecoder dec20(20);
  EXPECT_EQ(dec20.GetModeMs(), 20);
  EXPECT_EQ(dec20.GetFrameSamples(), 160);
  EXPECT_EQ(dec20.GetFrameBytes(), 38);
  for (int nOther : {30, 0, 25, -20, 60}) {
    const cIlbcDecoder dec(nOther, false);
    EXPECT_EQ(dec.GetModeMs(), 30);
    EXPECT_EQ(dec.GetFrameSamples(), 240);
    EXPECT_EQ(dec.GetFrameBytes(), 50);
  }
}

// A frame whose start-state position is 0 (or too high) or whose empty-frame
// bit is set cannot be decoded: it is concealed exactly like a lost frame.
TEST(IlbcDecoder, UndecodableFramesAreConcealed) {
  for (int nMode : {20, 30}) {
    const std::vector<uint8_t> bits =
        IlbcTestData::ReadBytes("vectors/enc" + std::to_string(nMode) + "_speech.bit");
    cIlbcDecoder dec(nMode);
    cIlbcDecoder twin(nMode);
    const size_t nBytes = static_cast<size_t>(dec.GetFrameBytes());
    std::vector<float> out(static_cast<size_t>(dec.GetFrameSamples()));
    std::vector<float> expect(out.size());
    for (size_t f = 0; f < 40; f++) {
      std::vector<uint8_t> frame(bits.begin() + static_cast<long>(f * nBytes),
                                 bits.begin() + static_cast<long>((f + 1) * nBytes));
      const bool bSpoil = f % 5 == 4;
      if (bSpoil) {
        // Start-state position bits follow the 20 or 40 LSF index bits.
        const int nKind = nMode == 20 ? (f / 5) % 2 : (f / 5) % 3;
        if (nKind == 0) {
          frame.back() |= 1;  // empty-frame indicator
        } else if (nKind == 1) {
          frame[nMode == 20 ? 2 : 5] &= nMode == 20 ? 0xf3 : 0x1f;  // position 0
        } else {
          frame[5] = static_cast<uint8_t>((frame[5] & 0x1f) | 0xc0);  // position 6
        }
        twin.DecodeLost(expect.data());
      } else {
        twin.Decode(frame.data(), expect.data());
      }
      dec.Decode(frame.data(), out.data());
      EXPECT_EQ(out, expect) << nMode << " ms frame " << f;
    }
  }
}

// Frames come off the network: any content must decode without faults
// (the sanitizer build checks every access) into finite samples.
TEST(IlbcDecoder, RandomFramesDecodeSafely) {
  std::mt19937 rng(7);
  for (int nMode : {20, 30}) {
    for (bool bEnh : {false, true}) {
      cIlbcDecoder dec(nMode, bEnh);
      std::vector<uint8_t> frame(static_cast<size_t>(dec.GetFrameBytes()));
      std::vector<float> out(static_cast<size_t>(dec.GetFrameSamples()));
      for (int n = 0; n < 1500; n++) {
        for (uint8_t& b : frame) b = static_cast<uint8_t>(rng());
        if (n % 4 == 0) frame.back() &= 0xfe;
        if (n % 17 == 0) {
          dec.DecodeLost(out.data());
        } else {
          dec.Decode(frame.data(), out.data());
        }
        for (float f : out) ASSERT_TRUE(std::isfinite(f)) << nMode << " ms frame " << n;
      }
    }
  }
}

}  // namespace
