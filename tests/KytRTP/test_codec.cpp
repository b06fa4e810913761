#include <gsm.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "KytRTP/KytCodec/cCodecRTP.h"
#include "KytRTP/KytCodec/cG610Codec.h"
#include "KytRTP/KytCodec/ciLBCCodec.h"
#include "audio/cAudioUnit.h"
#include "audio/cG711aCodec.h"
#include "audio/cG711uCodec.h"
#include "cMediaTestUtil.h"
#include "tests/support/cChildProcess.h"
#include "tests/support/cTempDir.h"

using namespace mediatest;

namespace {

std::vector<int16_t> EverySample() {
  std::vector<int16_t> pcm;
  for (int v = -32768; v <= 32767; ++v) pcm.push_back(static_cast<int16_t>(v));
  pcm.resize((pcm.size() + 159) / 160 * 160, 0);  // whole units
  return pcm;
}

std::vector<int16_t> SpeechUnits() {
  std::vector<int16_t> pcm = ReadWave(DataFile("speech8k.wav"));
  pcm.resize(pcm.size() - pcm.size() % cAudioUnit::kSamples);
  return pcm;
}

}  // namespace

TEST(CodecRTP, FrameConstantsPerCodec) {
  const int expected[4][4] = {
      {320, 160, 1, 125}, {320, 160, 1, 125}, {320, 33, 33, 20000}, {480, 50, 50, 30000}};
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(cCodecRTP::GetFrameSizePCM(c), expected[c][0]) << c;
    EXPECT_EQ(cCodecRTP::GetFrameSizeCOMPRESS(c), expected[c][1]) << c;
    EXPECT_EQ(cCodecRTP::GetMinFrameSize(c), expected[c][2]) << c;
    EXPECT_EQ(cCodecRTP::GetMinFrameDuration(c), expected[c][3]) << c;
  }
  for (int c : {4, 101, -1}) {
    EXPECT_EQ(cCodecRTP::GetFrameSizePCM(c), -1);
    EXPECT_EQ(cCodecRTP::GetFrameSizeCOMPRESS(c), -1);
    EXPECT_EQ(cCodecRTP::GetMinFrameSize(c), -1);
    EXPECT_EQ(cCodecRTP::GetMinFrameDuration(c), -1);
  }
}

TEST(CodecRTP, MixSaturates) {
  EXPECT_EQ(cAudioUnit::GetSaturatedValue(40000), 32767);
  EXPECT_EQ(cAudioUnit::GetSaturatedValue(-40000), -32768);
  EXPECT_EQ(cAudioUnit::GetSaturatedValue(-5), -5);
  int16_t a[160], b[160], out[160];
  for (int i = 0; i < 160; ++i) {
    a[i] = i % 2 ? 30000 : -30000;
    b[i] = i % 2 ? 10000 : -10000;
  }
  a[7] = 100;
  b[7] = -250;
  cAudioUnit::MixTwoUnitSizeStream(a, b, out);
  EXPECT_EQ(out[0], -32768);
  EXPECT_EQ(out[1], 32767);
  EXPECT_EQ(out[7], -150);
}

TEST(G711, OutputSizesFollowWholeUnits) {
  cG711uCodec ulaw;
  cG711aCodec alaw;
  for (const cG711Codec* pCodec :
       {static_cast<const cG711Codec*>(&ulaw), static_cast<const cG711Codec*>(&alaw)}) {
    EXPECT_EQ(pCodec->EncodeOutPutSize(320), 160);
    EXPECT_EQ(pCodec->EncodeOutPutSize(640), 320);
    EXPECT_EQ(pCodec->EncodeOutPutSize(480), 0);
    EXPECT_EQ(pCodec->EncodeOutPutSize(0), 0);
    EXPECT_EQ(pCodec->DecodeOutPutSize(160), 320);
    EXPECT_EQ(pCodec->DecodeOutPutSize(7), 14);
  }
}

// Every 16-bit sample value coded by us and by ffmpeg, byte for byte; every code expanded by us,
// by ffmpeg and by sox.
class G711Interop : public ::testing::TestWithParam<const char*> {};

TEST_P(G711Interop, BytesEqualFfmpegAndSox) {
  ASSERT_FALSE(kyttest::cChildProcess::FindProgram("ffmpeg").empty()) << "ffmpeg is needed";
  ASSERT_FALSE(kyttest::cChildProcess::FindProgram("sox").empty()) << "sox is needed";
  const std::string sLaw = GetParam();
  const std::string sFfmpegFormat = sLaw == "u-law" ? "mulaw" : "alaw";
  kyttest::cTempDir dir{"kyt-media-"};
  const std::vector<int16_t> pcm = EverySample();
  WriteRawPCM(dir.File("in.raw"), pcm);
  const std::string sFfmpeg = "ffmpeg -nostdin -loglevel error -y ";
  ASSERT_EQ(RunCommand(sFfmpeg + "-f s16le -ar 8000 -ac 1 -i " + dir.File("in.raw") + " -f " +
                       sFfmpegFormat + " " + dir.File("out.raw")),
            0);
  const std::vector<uint8_t> reference = ReadBytes(dir.File("out.raw"));
  ASSERT_EQ(reference.size(), pcm.size());

  cG711uCodec ulaw;
  cG711aCodec alaw;
  const cG711Codec& codec = sLaw == "u-law" ? static_cast<const cG711Codec&>(ulaw) : alaw;
  std::vector<uint8_t> ours(pcm.size());
  ASSERT_EQ(codec.Encode(pcm.data(), static_cast<int>(pcm.size() * 2), ours.data()),
            static_cast<int>(pcm.size()));
  int nDiffer = 0;
  for (size_t i = 0; i < pcm.size(); ++i)
    if (ours[i] != reference[i] && nDiffer++ < 5)
      ADD_FAILURE() << "sample " << pcm[i] << ": ours " << int(ours[i]) << " ffmpeg "
                    << int(reference[i]);
  EXPECT_EQ(nDiffer, 0);

  std::vector<uint8_t> codes(256);
  for (int i = 0; i < 256; ++i) codes[i] = static_cast<uint8_t>(i);
  WriteBytes(dir.File("codes.raw"), codes);
  ASSERT_EQ(RunCommand(sFfmpeg + "-f " + sFfmpegFormat + " -ar 8000 -ac 1 -i " +
                       dir.File("codes.raw") + " -f s16le " + dir.File("ff.raw")),
            0);
  ASSERT_EQ(RunCommand("sox -D -V1 -t raw -r 8000 -e " + sLaw + " -b 8 -c 1 " +
                       dir.File("codes.raw") + " -t raw -e signed -b 16 " + dir.File("sox.raw")),
            0);
  std::vector<int16_t> decoded(256);
  EXPECT_EQ(codec.Decode(codes.data(), 256, decoded.data()), 512);
  EXPECT_EQ(decoded, ReadRawPCM(dir.File("ff.raw")));
  EXPECT_EQ(decoded, ReadRawPCM(dir.File("sox.raw")));
}

INSTANTIATE_TEST_SUITE_P(Laws, G711Interop, ::testing::Values("u-law", "a-law"));

TEST(G711, RoundTripErrorStaysWithinQuantisationStep) {
  cG711uCodec ulaw;
  cG711aCodec alaw;
  for (const cG711Codec* pCodec :
       {static_cast<const cG711Codec*>(&ulaw), static_cast<const cG711Codec*>(&alaw)}) {
    const std::vector<int16_t> tone = Tone(1000, 12000, 160 * 10);
    std::vector<uint8_t> coded(tone.size());
    std::vector<int16_t> back(tone.size());
    pCodec->Encode(tone.data(), static_cast<int>(tone.size() * 2), coded.data());
    pCodec->Decode(coded.data(), static_cast<int>(coded.size()), back.data());
    double dSignal = 0, dNoise = 0;
    for (size_t i = 0; i < tone.size(); ++i) {
      dSignal += double(tone[i]) * tone[i];
      dNoise += double(tone[i] - back[i]) * (tone[i] - back[i]);
    }
    EXPECT_GT(10 * std::log10(dSignal / dNoise), 33.0);
  }
}

TEST(G610, FramesEqualToast) {
  ASSERT_FALSE(kyttest::cChildProcess::FindProgram("toast").empty())
      << "toast (libgsm-tools) is needed";
  kyttest::cTempDir dir{"kyt-media-"};
  const std::vector<int16_t> pcm = SpeechUnits();
  WriteRawPCM(dir.File("speech.raw"), pcm);
  ASSERT_EQ(RunCommand("toast -l -c < " + dir.File("speech.raw") + " > " + dir.File("speech.gsm")),
            0);
  const std::vector<uint8_t> reference = ReadBytes(dir.File("speech.gsm"));
  const int nFrames = static_cast<int>(pcm.size() / 160);
  ASSERT_EQ(reference.size(), static_cast<size_t>(nFrames * 33));

  cG610Codec codec;
  std::vector<uint8_t> ours(codec.EncodeOutPutSize(nFrames * 320));
  ASSERT_EQ(ours.size(), reference.size());
  // Frame by frame, as the line codes them, so the coder state must carry across calls.
  for (int f = 0; f < nFrames; ++f) ASSERT_EQ(codec.Encode(&pcm[f * 160], 320, &ours[f * 33]), 33);
  EXPECT_EQ(ours, reference);

  ASSERT_EQ(RunCommand("untoast -l -c < " + dir.File("speech.gsm") + " > " + dir.File("back.raw")),
            0);
  const std::vector<int16_t> expanded = ReadRawPCM(dir.File("back.raw"));
  std::vector<int16_t> decoded(codec.DecodeOutPutSize(static_cast<int>(ours.size())) / 2);
  ASSERT_EQ(codec.Decode(ours.data(), static_cast<int>(ours.size()), decoded.data()),
            nFrames * 320);
  EXPECT_EQ(decoded, expanded);
}

TEST(G610, SizesAndValidity) {
  cG610Codec codec;
  EXPECT_EQ(codec.EncodeOutPutSize(320), 33);
  EXPECT_EQ(codec.EncodeOutPutSize(640), 66);
  EXPECT_EQ(codec.DecodeOutPutSize(66), 640);
  EXPECT_TRUE(codec.IsValid(33));
  EXPECT_TRUE(codec.IsValid(66));
  EXPECT_FALSE(codec.IsValid(34));
  EXPECT_FALSE(codec.IsValid(0));
}

TEST(G610, PayloadOfTwoFramesDecodesToTwoUnits) {
  cG610Codec encoder, decoder;
  const std::vector<int16_t> tone = Tone(440, 8000, 320);
  uint8_t coded[66];
  ASSERT_EQ(encoder.Encode(tone.data(), 640, coded), 66);
  std::vector<int16_t> out(320, 0x5555);
  EXPECT_EQ(decoder.Decode(coded, 66, out.data()), 640);
  EXPECT_GT(ToneLevel(&out[160], 160, 440), 1e6);
}

TEST(G610, FrameWithoutGsmSignatureDecodesToSilence) {
  cG610Codec codec;
  uint8_t garbage[33];
  for (int i = 0; i < 33; ++i) garbage[i] = static_cast<uint8_t>(i * 37);
  garbage[0] = 0x00;  // not a GSM frame
  std::vector<int16_t> out(160, 1234);
  EXPECT_EQ(codec.Decode(garbage, 33, out.data()), 320);
  EXPECT_EQ(out, std::vector<int16_t>(160, 0));
}

TEST(iLBC, StreamModeFromPayloadLength) {
  EXPECT_EQ(ciLBCCodec::GetStreamMode(50), 30);
  EXPECT_EQ(ciLBCCodec::GetStreamMode(100), 30);
  EXPECT_EQ(ciLBCCodec::GetStreamMode(1900), 30);
  EXPECT_EQ(ciLBCCodec::GetStreamMode(38), 20);
  EXPECT_EQ(ciLBCCodec::GetStreamMode(76), 20);
  EXPECT_EQ(ciLBCCodec::GetStreamMode(40), -1);
  EXPECT_EQ(ciLBCCodec::GetStreamMode(0), -1);
  ciLBCCodec codec;
  EXPECT_TRUE(codec.IsValid(76));
  EXPECT_FALSE(codec.IsValid(40));
}

TEST(iLBC, ModesAndSizes) {
  ciLBCCodec codec;
  EXPECT_EQ(codec.GetEncodeMode(), 30);
  EXPECT_EQ(codec.GetDecodeMode(), 30);
  EXPECT_EQ(codec.EncodeOutPutSize(480), 50);
  EXPECT_EQ(codec.DecodeOutPutSize(100), 960);
  codec.SetDecodeMode(20);
  EXPECT_EQ(codec.DecodeOutPutSize(76), 640);
  codec.SetDecodeMode(25);
  EXPECT_EQ(codec.GetDecodeMode(), 30);
}

TEST(iLBC, ToneSurvivesBothModes) {
  for (int nMode : {20, 30}) {
    ciLBCCodec codec;
    codec.SetEncodeMode(nMode);
    codec.SetDecodeMode(nMode);
    const int nFramePCM = nMode == 20 ? 320 : 480;
    const std::vector<int16_t> tone = Tone(500, 8000, 8000);
    const int nFrames = static_cast<int>(tone.size() * 2) / nFramePCM;
    std::vector<uint8_t> coded(codec.EncodeOutPutSize(nFrames * nFramePCM));
    ASSERT_EQ(codec.Encode(tone.data(), nFrames * nFramePCM, coded.data()),
              static_cast<int>(coded.size()));
    std::vector<int16_t> out(nFrames * nFramePCM / 2);
    ASSERT_EQ(codec.Decode(coded.data(), static_cast<int>(coded.size()), out.data()),
              nFrames * nFramePCM);
    const int nTail = 1600;
    const double dTone = ToneLevel(&out[out.size() - nTail], nTail, 500);
    const double dOther = ToneLevel(&out[out.size() - nTail], nTail, 1700);
    EXPECT_GT(dTone, 100 * dOther) << nMode;
  }
}
