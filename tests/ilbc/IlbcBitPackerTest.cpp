// Bit packing against the field values the reference decoder unpacked from
// the reference bitstreams, and round trips.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "IlbcTestData.h"
#include "KytRTP/KytCodec/ilbc/cIlbcBitPacker.h"

namespace {

// One line of params*.txt in the same layout.
std::string Format(const cIlbcMode& mode, int nFrame, const cIlbcFrameParams& p) {
  std::ostringstream out;
  out << nFrame << " lsf";
  for (int i = 0; i < 3 * mode.m_nLsfSets; i++) out << ' ' << p.m_arrLsf[i];
  out << " | start " << p.m_nStart << " | state_first " << p.m_nStateFirst << " | scale "
      << p.m_nScale << " | state";
  for (int i = 0; i < mode.m_nStateShort; i++) out << ' ' << p.m_arrState[i];
  out << " | extra_cb";
  for (int v : p.m_arrExtraCb) out << ' ' << v;
  out << " | extra_gain";
  for (int v : p.m_arrExtraGain) out << ' ' << v;
  out << " | cb";
  for (int i = 0; i < 3 * mode.m_nCbSub; i++) out << ' ' << p.m_arrCb[i];
  out << " | gain";
  for (int i = 0; i < 3 * mode.m_nCbSub; i++) out << ' ' << p.m_arrGain[i];
  out << " | last_bit " << p.m_nLastBit;
  return out.str();
}

class IlbcBitPackerVectors : public ::testing::TestWithParam<int> {};

TEST_P(IlbcBitPackerVectors, UnpacksTheReferenceFieldsAndPacksThemBack) {
  const int nMode = GetParam();
  const cIlbcMode mode(nMode);
  const cIlbcBitPacker packer(mode);
  const std::vector<uint8_t> bits =
      IlbcTestData::ReadBytes("vectors/enc" + std::to_string(nMode) + "_speech.bit");
  std::ifstream params(
      IlbcTestData::Path("vectors/params" + std::to_string(nMode) + "_speech.txt"));
  ASSERT_TRUE(params.is_open());
  std::string sLine;
  int nFrame = 0;
  while (std::getline(params, sLine)) {
    ASSERT_LE(static_cast<size_t>((nFrame + 1) * mode.m_nBytes), bits.size());
    const uint8_t* pFrame = bits.data() + nFrame * mode.m_nBytes;
    cIlbcFrameParams fields;
    packer.Unpack(pFrame, fields);
    EXPECT_EQ(Format(mode, nFrame, fields), sLine);
    std::vector<uint8_t> packed(static_cast<size_t>(mode.m_nBytes));
    packer.Pack(fields, packed.data());
    EXPECT_EQ(packed, std::vector<uint8_t>(pFrame, pFrame + mode.m_nBytes)) << "frame " << nFrame;
    nFrame++;
  }
  EXPECT_EQ(static_cast<size_t>(nFrame * mode.m_nBytes), bits.size());
}

INSTANTIATE_TEST_SUITE_P(Modes, IlbcBitPackerVectors, ::testing::Values(20, 30));

TEST(IlbcBitPacker, RandomBytesRoundTripAndStayWithinFieldWidths) {
  std::mt19937 rng(42);
  for (int nMode : {20, 30}) {
    const cIlbcMode mode(nMode);
    const cIlbcBitPacker packer(mode);
    for (int n = 0; n < 500; n++) {
      std::vector<uint8_t> frame(static_cast<size_t>(mode.m_nBytes));
      for (uint8_t& b : frame) b = static_cast<uint8_t>(rng());
      cIlbcFrameParams fields;
      packer.Unpack(frame.data(), fields);
      EXPECT_LT(fields.m_nStart, 1 << (nMode == 20 ? 2 : 3));
      EXPECT_LT(fields.m_nScale, 64);
      for (int i = 0; i < mode.m_nStateShort; i++) EXPECT_LT(fields.m_arrState[i], 8);
      for (int i = 0; i < 3 * mode.m_nCbSub; i++) {
        EXPECT_LT(fields.m_arrCb[i], 256);
        EXPECT_LT(fields.m_arrGain[i], 32);
      }
      std::vector<uint8_t> packed(frame.size());
      packer.Pack(fields, packed.data());
      EXPECT_EQ(packed, frame);
    }
  }
}

}  // namespace
