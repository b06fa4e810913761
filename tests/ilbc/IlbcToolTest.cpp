// The ilbc_codec command-line program gives the same results as the
// library, handles the storage format and loss files, and refuses bad input.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "IlbcTestData.h"
#include "KytRTP/KytCodec/ilbc/cIlbcEncoder.h"

namespace {

class IlbcTool : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = std::filesystem::temp_directory_path() /
            ("kyt_ilbc_tool_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(m_dir);
  }
  void TearDown() override { std::filesystem::remove_all(m_dir); }

  std::string Tmp(const std::string& sName) const { return (m_dir / sName).string(); }

  static int Run(const std::string& sArgs) {
    const std::string sCmd = std::string("'") + KYT_ILBC_CODEC + "' " + sArgs + " 2>/dev/null";
    const int nStatus = std::system(sCmd.c_str());
    return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
  }

  static std::vector<uint8_t> Read(const std::string& sPath) {
    std::ifstream in(sPath, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  static void Write(const std::string& sPath, const std::vector<uint8_t>& data) {
    std::ofstream out(sPath, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()),
              static_cast<std::streamsize>(data.size()));
  }

  static std::vector<uint8_t> EncodeInProcess(int nMode, const std::vector<int16_t>& pcm) {
    cIlbcEncoder enc(nMode);
    const size_t nSamples = static_cast<size_t>(enc.GetFrameSamples());
    std::vector<float> frame(nSamples);
    std::vector<uint8_t> bytes(static_cast<size_t>(enc.GetFrameBytes()));
    std::vector<uint8_t> out;
    for (size_t nPos = 0; nPos < pcm.size(); nPos += nSamples) {
      for (size_t i = 0; i < nSamples; i++) frame[i] = nPos + i < pcm.size() ? pcm[nPos + i] : 0;
      enc.Encode(frame.data(), bytes.data());
      out.insert(out.end(), bytes.begin(), bytes.end());
    }
    return out;
  }

  static std::vector<uint8_t> PcmBytes(const std::vector<int16_t>& pcm) {
    std::vector<uint8_t> out;
    for (int16_t n : pcm) {
      out.push_back(static_cast<uint8_t>(n & 0xff));
      out.push_back(static_cast<uint8_t>((static_cast<uint16_t>(n) >> 8) & 0xff));
    }
    return out;
  }

  std::filesystem::path m_dir;
};

TEST_F(IlbcTool, EncodesLikeTheLibraryInBothFormats) {
  const std::string sIn = IlbcTestData::Path("vectors/in_speech.pcm");
  const std::vector<int16_t> pcm = IlbcTestData::ReadPcm("vectors/in_speech.pcm");
  for (int nMode : {20, 30}) {
    const std::string sMode = std::to_string(nMode);
    ASSERT_EQ(Run("encode " + sMode + " '" + sIn + "' '" + Tmp("o.bit") + "'"), 0);
    const std::vector<uint8_t> expect = EncodeInProcess(nMode, pcm);
    EXPECT_EQ(Read(Tmp("o.bit")), expect);
    ASSERT_EQ(Run("encode " + sMode + " '" + sIn + "' '" + Tmp("o.lbc") + "'"), 0);
    std::vector<uint8_t> lbc = Read(Tmp("o.lbc"));
    const std::string sHeader = "#!iLBC" + sMode + "\n";
    ASSERT_GE(lbc.size(), sHeader.size());
    EXPECT_EQ(std::string(lbc.begin(), lbc.begin() + static_cast<long>(sHeader.size())), sHeader);
    EXPECT_EQ(std::vector<uint8_t>(lbc.begin() + static_cast<long>(sHeader.size()), lbc.end()),
              expect);
  }
}

TEST_F(IlbcTool, PadsATrailingPartialFrame) {
  std::vector<int16_t> pcm(250, 1000);
  Write(Tmp("short.pcm"), PcmBytes(pcm));
  ASSERT_EQ(Run("encode 30 '" + Tmp("short.pcm") + "' '" + Tmp("o.bit") + "'"), 0);
  EXPECT_EQ(Read(Tmp("o.bit")), EncodeInProcess(30, pcm));
  EXPECT_EQ(Read(Tmp("o.bit")).size(), 100u);
}

TEST_F(IlbcTool, DecodesLikeTheLibraryWithAndWithoutLosses) {
  for (int nMode : {20, 30}) {
    const std::string sMode = std::to_string(nMode);
    const std::string sBits = IlbcTestData::Path("vectors/enc" + sMode + "_speech.bit");
    const std::string sChan = IlbcTestData::Path("vectors/chan" + sMode + "_speech_loss7.chn");
    const std::vector<uint8_t> bits = Read(sBits);
    ASSERT_EQ(Run("decode " + sMode + " '" + sBits + "' '" + Tmp("d.pcm") + "' --noenh"), 0);
    EXPECT_EQ(Read(Tmp("d.pcm")), PcmBytes(IlbcTestData::Decode(nMode, false, bits)));
    ASSERT_EQ(Run("decode " + sMode + " '" + sBits + "' '" + Tmp("d.pcm") + "'"), 0);
    EXPECT_EQ(Read(Tmp("d.pcm")), PcmBytes(IlbcTestData::Decode(nMode, true, bits)));
    ASSERT_EQ(
        Run("decode " + sMode + " '" + sBits + "' '" + Tmp("d.pcm") + "' --loss '" + sChan + "'"),
        0);
    const std::vector<bool> lost =
        IlbcTestData::ReadLossFlags("vectors/chan" + sMode + "_speech_loss7.chn");
    EXPECT_EQ(Read(Tmp("d.pcm")), PcmBytes(IlbcTestData::Decode(nMode, true, bits, lost)));
    // The storage format decodes to the same samples.
    std::vector<uint8_t> lbc;
    const std::string sHeader = "#!iLBC" + sMode + "\n";
    lbc.insert(lbc.end(), sHeader.begin(), sHeader.end());
    lbc.insert(lbc.end(), bits.begin(), bits.end());
    Write(Tmp("s.lbc"), lbc);
    ASSERT_EQ(Run("decode " + sMode + " '" + Tmp("s.lbc") + "' '" + Tmp("s.pcm") + "'"), 0);
    EXPECT_EQ(Read(Tmp("s.pcm")), PcmBytes(IlbcTestData::Decode(nMode, true, bits)));
  }
}

TEST_F(IlbcTool, RefusesBadArgumentsAndFiles) {
  const std::string sBits = IlbcTestData::Path("vectors/enc30_speech.bit");
  EXPECT_NE(Run(""), 0);
  EXPECT_NE(Run("encode 25 '" + sBits + "' '" + Tmp("x") + "'"), 0);
  EXPECT_NE(Run("transcode 30 '" + sBits + "' '" + Tmp("x") + "'"), 0);
  EXPECT_NE(Run("decode 30 '" + Tmp("missing.bit") + "' '" + Tmp("x") + "'"), 0);
  EXPECT_NE(Run("decode 30 '" + sBits + "' '" + Tmp("x") + "' --loss"), 0);
  EXPECT_NE(Run("decode 30 '" + sBits + "' '" + Tmp("x") + "' --bogus"), 0);
  // Not a whole number of frames.
  std::vector<uint8_t> bits = Read(sBits);
  bits.pop_back();
  Write(Tmp("cut.bit"), bits);
  EXPECT_NE(Run("decode 30 '" + Tmp("cut.bit") + "' '" + Tmp("x") + "'"), 0);
  // A 20 ms storage header in 30 ms mode.
  const std::string sHeader = "#!iLBC20\n";
  std::vector<uint8_t> lbc(sHeader.begin(), sHeader.end());
  lbc.resize(lbc.size() + 38 * 3, 0);
  Write(Tmp("wrong.lbc"), lbc);
  EXPECT_NE(Run("decode 30 '" + Tmp("wrong.lbc") + "' '" + Tmp("x") + "'"), 0);
  EXPECT_EQ(Run("decode 20 '" + Tmp("wrong.lbc") + "' '" + Tmp("x") + "'"), 0);
}

}  // namespace
