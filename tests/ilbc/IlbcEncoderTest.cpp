// Our encoder: coding quality against the reference encoder's bitstreams,
// decoded by our decoder and by FFmpeg's independent iLBC decoder.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "IlbcTestData.h"
#include "KytRTP/KytCodec/ilbc/cIlbcEncoder.h"

namespace {

struct sInput {
  int nMode;
  const char* pName;
};

void PrintTo(const sInput& v, std::ostream* pOut) { *pOut << v.nMode << " ms " << v.pName; }

std::string Name(const ::testing::TestParamInfo<sInput>& info) {
  return std::string(info.param.pName) + std::to_string(info.param.nMode);
}

std::vector<uint8_t> EncodeAll(int nMode, const std::vector<int16_t>& pcm) {
  cIlbcEncoder enc(nMode);
  const size_t nSamples = static_cast<size_t>(enc.GetFrameSamples());
  std::vector<float> frame(nSamples);
  std::vector<uint8_t> out;
  std::vector<uint8_t> bytes(static_cast<size_t>(enc.GetFrameBytes()));
  for (size_t nPos = 0; nPos + nSamples <= pcm.size(); nPos += nSamples) {
    for (size_t i = 0; i < nSamples; i++) frame[i] = pcm[nPos + i];
    enc.Encode(frame.data(), bytes.data());
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  return out;
}

// Runs FFmpeg's iLBC decoder on a bitstream in the RFC 3952 storage format.
std::vector<int16_t> DecodeWithFfmpeg(int nMode, const std::vector<uint8_t>& bits,
                                      const std::string& sTag) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path();
  const std::string sIn = (dir / ("kyt_ilbc_" + sTag + ".lbc")).string();
  const std::string sOut = (dir / ("kyt_ilbc_" + sTag + ".pcm")).string();
  {
    std::ofstream out(sIn, std::ios::binary);
    out << (nMode == 20 ? "#!iLBC20\n" : "#!iLBC30\n");
    out.write(reinterpret_cast<const char*>(bits.data()),
              static_cast<std::streamsize>(bits.size()));
  }
  const std::string sCmd = "ffmpeg -hide_banner -loglevel error -y -f ilbc -i '" + sIn +
                           "' -f s16le -acodec pcm_s16le -ar 8000 -ac 1 '" + sOut + "'";
  const int nRc = std::system(sCmd.c_str());
  EXPECT_EQ(nRc, 0) << "ffmpeg failed (is the ffmpeg package installed?)";
  std::ifstream in(sOut, std::ios::binary);
  std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::vector<int16_t> pcm(bytes.size() / 2);
  for (size_t i = 0; i < pcm.size(); i++) {
    pcm[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  std::filesystem::remove(sIn);
  std::filesystem::remove(sOut);
  return pcm;
}

const sInput kInputs[] = {{20, "speech"}, {20, "sweep"}, {20, "noise"},
                          {30, "speech"}, {30, "sweep"}, {30, "noise"}};

class IlbcEncoderInputs : public ::testing::TestWithParam<sInput> {
 protected:
  void SetUp() override {
    const std::string sMode = std::to_string(GetParam().nMode);
    m_input = IlbcTestData::ReadPcm(std::string("vectors/in_") + GetParam().pName + ".pcm");
    m_refBits = IlbcTestData::ReadBytes("vectors/enc" + sMode + "_" + GetParam().pName + ".bit");
    m_ourBits = EncodeAll(GetParam().nMode, m_input);
  }
  std::vector<int16_t> m_input;
  std::vector<uint8_t> m_refBits;
  std::vector<uint8_t> m_ourBits;
};

TEST_P(IlbcEncoderInputs, CodesOneFramePerBlock) {
  EXPECT_EQ(m_ourBits.size(), m_refBits.size());
  // The encoder leaves the empty-frame indicator clear.
  const size_t nBytes = GetParam().nMode == 20 ? 38 : 50;
  for (size_t nEnd = nBytes; nEnd <= m_ourBits.size(); nEnd += nBytes) {
    EXPECT_EQ(m_ourBits[nEnd - 1] & 1, 0);
  }
}

// Waveform SNR of an iLBC round trip is low by nature (the reference scores
// 2-5 dB); ours must be as good as the reference encoder's.
TEST_P(IlbcEncoderInputs, OurDecoderHearsWhatTheReferenceEncoderAchieves) {
  const int nMode = GetParam().nMode;
  const double fOurs = IlbcTestData::Snr(m_input, IlbcTestData::Decode(nMode, false, m_ourBits));
  const double fRef = IlbcTestData::Snr(m_input, IlbcTestData::Decode(nMode, false, m_refBits));
  EXPECT_GE(fOurs, fRef - 0.3) << "ours " << fOurs << " dB, reference " << fRef << " dB";
  EXPECT_GE(fOurs, 2.0);
}

TEST_P(IlbcEncoderInputs, FfmpegDecodesOurBitstreamLikeTheReferenceOne) {
  const int nMode = GetParam().nMode;
  const std::string sTag = std::string(GetParam().pName) + std::to_string(nMode);
  const std::vector<int16_t> ours = DecodeWithFfmpeg(nMode, m_ourBits, "ours_" + sTag);
  const std::vector<int16_t> ref = DecodeWithFfmpeg(nMode, m_refBits, "ref_" + sTag);
  ASSERT_EQ(ours.size(), m_input.size());
  ASSERT_EQ(ref.size(), m_input.size());
  // FFmpeg's decoder starts from a different state: skip two frames.
  const size_t nSkip = static_cast<size_t>(2 * nMode * 8);
  const double fOurs = IlbcTestData::Snr(m_input, ours, nSkip);
  const double fRef = IlbcTestData::Snr(m_input, ref, nSkip);
  EXPECT_GE(fOurs, fRef - 0.3) << "ours " << fOurs << " dB, reference " << fRef << " dB";
  EXPECT_GE(fOurs, 2.0);
  // FFmpeg (fixed point, no enhancer) and our decoder without enhancer hear
  // the same signal in our bitstream.
  const std::vector<int16_t> mine = IlbcTestData::Decode(nMode, false, m_ourBits);
  EXPECT_GE(IlbcTestData::Snr(mine, ours, nSkip), 30.0);
}

INSTANTIATE_TEST_SUITE_P(Inputs, IlbcEncoderInputs, ::testing::ValuesIn(kInputs), Name);

TEST(IlbcEncoder, ReportsFrameGeometry) {
  const cIlbcEncoder enc20(20);
  EXPECT_EQ(enc20.GetModeMs(), 20);
  EXPECT_EQ(enc20.GetFrameSamples(), 160);
  EXPECT_EQ(enc20.GetFrameBytes(), 38);
  for (int nOther : {30, 0, 10, 40, -30}) {
    const cIlbcEncoder enc(nOther);
    EXPECT_EQ(enc.GetModeMs(), 30);
    EXPECT_EQ(enc.GetFrameSamples(), 240);
    EXPECT_EQ(enc.GetFrameBytes(), 50);
  }
}

TEST(IlbcEncoder, SilenceStaysSilent) {
  for (int nMode : {20, 30}) {
    const std::vector<int16_t> silence(static_cast<size_t>(nMode * 8 * 50), 0);
    const std::vector<uint8_t> bits = EncodeAll(nMode, silence);
    for (bool bEnh : {false, true}) {
      for (int16_t n : IlbcTestData::Decode(nMode, bEnh, bits)) ASSERT_LE(std::abs(n), 1);
    }
  }
}

TEST(IlbcEncoder, IsDeterministic) {
  const std::vector<int16_t> input = IlbcTestData::ReadPcm("vectors/in_speech.pcm");
  for (int nMode : {20, 30}) EXPECT_EQ(EncodeAll(nMode, input), EncodeAll(nMode, input));
}

// Full-scale and clipped input (square waves, DC steps, alternating
// extremes) codes into decodable frames with finite output.
TEST(IlbcEncoder, ExtremeInputIsCodedSafely) {
  for (int nMode : {20, 30}) {
    std::vector<int16_t> input;
    for (int n = 0; n < 8000; n++) {
      int16_t nValue;
      if (n < 2000) {
        nValue = (n / 20) % 2 ? 32767 : -32768;
      } else if (n < 4000) {
        nValue = n < 3000 ? 32767 : -32768;
      } else if (n < 6000) {
        nValue = n % 2 ? 32767 : -32768;
      } else {
        nValue = static_cast<int16_t>((n * 7919) % 65536 - 32768);
      }
      input.push_back(nValue);
    }
    const std::vector<uint8_t> bits = EncodeAll(nMode, input);
    for (bool bEnh : {false, true}) {
      const std::vector<int16_t> out = IlbcTestData::Decode(nMode, bEnh, bits);
      EXPECT_EQ(out.size(), input.size() / static_cast<size_t>(nMode * 8) * nMode * 8);
    }
  }
}

}  // namespace
