#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "audio/cPlayWave.h"
#include "audio/cWaveFileRead.h"
#include "audio/cWaveFileWrite.h"
#include "tests/support/cTempDir.h"

namespace {

// A file in a folder of this process's own, removed when the process ends.
std::string TempFile(const std::string& sName) {
  static const kyttest::cTempDir dir("kyt-wave-");
  return dir.File(sName);
}

std::vector<uint8_t> ReadAll(const std::string& sPath) {
  std::ifstream in(sPath, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& sPath, const std::vector<uint8_t>& data) {
  std::ofstream(sPath, std::ios::binary)
      .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

uint32_t Le32(const std::vector<uint8_t>& v, size_t n) {
  return v[n] | (v[n + 1] << 8) | (v[n + 2] << 16) | (uint32_t(v[n + 3]) << 24);
}

// A WAVE image with the given format fields and nData sample bytes; sFmt and sData name the tags.
std::vector<uint8_t> Wave(uint16_t nChannels, uint32_t nRate, uint32_t nByteRate, uint16_t nAlign,
                          uint16_t nBits, std::vector<uint8_t> samples, const char* pFmt = "fmt ",
                          const char* pData = "data", size_t nExtraBeforeData = 0) {
  std::vector<uint8_t> v;
  auto put = [&v](uint32_t n, int nBytes) {
    for (int i = 0; i < nBytes; ++i) v.push_back(static_cast<uint8_t>(n >> (8 * i)));
  };
  auto tag = [&v](const char* p) { v.insert(v.end(), p, p + 4); };
  tag("RIFF");
  put(0, 4);
  tag("WAVE");
  tag(pFmt);
  put(16, 4);
  put(1, 2);
  put(nChannels, 2);
  put(nRate, 4);
  put(nByteRate, 4);
  put(nAlign, 2);
  put(nBits, 2);
  v.insert(v.end(), nExtraBeforeData, 0);
  tag(pData);
  put(static_cast<uint32_t>(samples.size()), 4);
  v.insert(v.end(), samples.begin(), samples.end());
  return v;
}

int OpenError(const std::vector<uint8_t>& image) {
  const std::string sPath = TempFile("probe.wav");
  WriteAll(sPath, image);
  cWaveFileRead reader;
  const bool bOk = reader.Open(sPath);
  return bOk ? 0 : reader.GetObjectError();
}

}  // namespace

TEST(WaveFileRead, AcceptsEightAndSixteenBitMonoAt8000) {
  const std::string sPath = TempFile("eight.wav");
  WriteAll(sPath, Wave(1, 8000, 8000, 1, 8, std::vector<uint8_t>(8000, 0xC0), "FMT ", "DATA"));
  cWaveFileRead reader;
  ASSERT_TRUE(reader.Open(sPath));
  EXPECT_EQ(reader.GetSize(), 1);
  std::vector<uint8_t> pcm;
  ASSERT_TRUE(reader.Read(1, pcm));
  ASSERT_EQ(pcm.size(), 16000u);
  int16_t nFirst;
  std::memcpy(&nFirst, pcm.data(), 2);
  EXPECT_EQ(nFirst, (0xC0 - 128) * 256);
  EXPECT_FALSE(reader.Read(1, pcm));

  WriteAll(sPath, Wave(1, 8000, 16000, 2, 16, std::vector<uint8_t>(16160, 1)));
  ASSERT_TRUE(reader.Open(sPath));
  EXPECT_EQ(reader.GetSize(), 2) << "1.01 s rounds up";
  EXPECT_EQ(reader.GetSizeMilliSecond(), 1010);
  reader.SeekTo(1);
  ASSERT_TRUE(reader.Read(1, pcm));
  EXPECT_EQ(pcm.size(), 160u);
  reader.SeekTo(5);
  EXPECT_FALSE(reader.Read(1, pcm)) << "a seek past the end lands at the end";
  reader.SeekTo(-5);
  EXPECT_TRUE(reader.Read(1, pcm));
  EXPECT_EQ(pcm.size(), 16000u);
}

// Playback streams the file: samples are read as they are asked for, not all at Open.
TEST(WaveFileRead, ReadsSamplesAsTheyAreAskedFor) {
  const std::string sPath = TempFile("stream.wav");
  std::vector<uint8_t> image = Wave(1, 8000, 16000, 2, 16, std::vector<uint8_t>(32000, 1));
  WriteAll(sPath, image);
  cWaveFileRead reader;
  ASSERT_TRUE(reader.Open(sPath));
  std::fill(image.end() - 16000, image.end(), 2);
  WriteAll(sPath, image);
  std::vector<uint8_t> first, second;
  ASSERT_TRUE(reader.Read(1, first));
  ASSERT_TRUE(reader.Read(1, second));
  EXPECT_EQ(first.back(), 1);
  EXPECT_EQ(second.back(), 2) << "the second second is read after it changed";
}

TEST(WaveFileRead, RefusesOtherFormatsAndBrokenFiles) {
  EXPECT_EQ(OpenError(Wave(2, 8000, 32000, 4, 16, std::vector<uint8_t>(64))), 37) << "stereo";
  EXPECT_EQ(OpenError(Wave(1, 16000, 32000, 2, 16, std::vector<uint8_t>(64))), 37) << "16 kHz";
  EXPECT_EQ(OpenError(Wave(1, 8000, 16000, 2, 8, std::vector<uint8_t>(64))), 37) << "mixed fields";
  EXPECT_EQ(OpenError(Wave(1, 8000, 16000, 2, 16, std::vector<uint8_t>(64), "fmt ", "data", 60)),
            37)
      << "data tag beyond the first 98 bytes";
  EXPECT_EQ(OpenError(std::vector<uint8_t>(20, 'R')), 37) << "too short";
  std::vector<uint8_t> truncated = Wave(1, 8000, 16000, 2, 16, std::vector<uint8_t>(64));
  truncated.resize(50);  // the size field promises 64 bytes; 6 are there
  EXPECT_EQ(OpenError(truncated), 0);
  cWaveFileRead reader;
  EXPECT_FALSE(reader.Open("/nonexistent/kyt.wav"));
  EXPECT_EQ(reader.GetObjectError(), 21);
}

TEST(WaveFileWrite, EmptyFileHasAValidHeader) {
  const std::string sPath = TempFile("empty.wav");
  cWaveFileWrite writer;
  ASSERT_TRUE(writer.Open(sPath, false));
  writer.Close();
  const std::vector<uint8_t> file = ReadAll(sPath);
  ASSERT_EQ(file.size(), 46u);
  EXPECT_EQ(Le32(file, 4), 38u);
  EXPECT_EQ(Le32(file, 42), 0u);
  EXPECT_EQ(Le32(file, 16), 18u);
  EXPECT_FALSE(writer.Open("/nonexistent/dir/kyt.wav", false));
}

TEST(WaveFileWrite, PcmAndMulawSizes) {
  for (bool bUlaw : {false, true}) {
    const std::string sPath = TempFile(bUlaw ? "ulaw.wav" : "pcm.wav");
    cWaveFileWrite writer;
    ASSERT_TRUE(writer.Open(sPath, bUlaw));
    std::vector<int16_t> unit(160, 1000);
    for (int i = 0; i < 25; ++i) writer.WriteUnitPCM(unit.data());
    // Before the first flush the sizes are a placeholder.
    std::vector<uint8_t> partial = ReadAll(sPath);
    ASSERT_GE(partial.size(), 46u);
    EXPECT_EQ(std::string(partial.begin() + 4, partial.begin() + 8), "size");
    writer.WriteUnitPCM(unit.data());
    writer.Close();
    const std::vector<uint8_t> file = ReadAll(sPath);
    const uint32_t nData = bUlaw ? 4160 : 8320;
    ASSERT_EQ(file.size(), 46u + nData);
    EXPECT_EQ(Le32(file, 4), nData + 38);
    EXPECT_EQ(Le32(file, 42), nData);
    EXPECT_EQ(file[20], bUlaw ? 7 : 1);
  }
}

namespace {

std::string SixteenBitFile(const std::string& sName, int nSamples, int16_t nValue) {
  const std::string sPath = TempFile(sName);
  std::vector<uint8_t> samples(nSamples * 2);
  for (int i = 0; i < nSamples; ++i) {
    samples[2 * i] = static_cast<uint8_t>(nValue);
    samples[2 * i + 1] = static_cast<uint8_t>(nValue >> 8);
  }
  WriteAll(sPath, Wave(1, 8000, 16000, 2, 16, samples));
  return sPath;
}

}  // namespace

TEST(PlayWave, PlaysWholeBlocksThenRewindsAndReportsOnce) {
  int nDone = 0;
  cPlayWave player([&nDone] { ++nDone; });
  int16_t unit[160];
  EXPECT_FALSE(player.FillToPlayUnitPCM(unit)) << "no file";
  const std::string sPath = SixteenBitFile("play101.wav", 8080, 1234);  // 1.01 s
  ASSERT_EQ(player.WaveFileOpen(sPath), 0);
  EXPECT_EQ(player.WaveFileTotalPlayTime(), 2);
  EXPECT_FALSE(player.FillToPlayUnitPCM(unit)) << "not started";
  player.WaveFilePlay(false);
  int nUnits = 0;
  int16_t nLast = -1;
  while (player.FillToPlayUnitPCM(unit)) {
    ++nUnits;
    nLast = unit[159];
  }
  EXPECT_EQ(nUnits, 51) << "1.02 s: 34 blocks of 30 ms";
  EXPECT_EQ(nLast, 0) << "padded with silence";
  EXPECT_EQ(nDone, 1);
  EXPECT_FALSE(player.IsWaveFilePlaying());
  EXPECT_EQ(player.WaveFileTotalPlayTime(), 2) << "the file stays open";
  EXPECT_FALSE(player.FillToPlayUnitPCM(unit));
  EXPECT_EQ(nDone, 1);
}

TEST(PlayWave, SkipPauseAndListen) {
  int nDone = 0;
  cPlayWave player([&nDone] { ++nDone; });
  const std::string sPath = SixteenBitFile("play3.wav", 3 * 8000, -500);
  ASSERT_EQ(player.WaveFileOpen(sPath), 0);
  player.WaveFilePlay(true);
  int16_t unit[160], heard[160];
  ASSERT_TRUE(player.FillToPlayUnitPCM(unit));
  ASSERT_TRUE(player.FillToListen(heard));
  EXPECT_EQ(heard[0], -500);
  EXPECT_FALSE(player.FillToListen(heard));
  player.WaveFileSkipTo(-5);
  EXPECT_EQ(player.WaveFilePlayPos(), 0);
  player.WaveFileSkipTo(2);
  EXPECT_EQ(player.WaveFilePlayPos(), 2);
  player.WaveFilePause();
  EXPECT_FALSE(player.FillToPlayUnitPCM(unit));
  EXPECT_EQ(player.WaveFilePlayPos(), 2) << "pause keeps the position";
  player.WaveFilePlay(false);
  player.WaveFileSkipTo(99);
  EXPECT_FALSE(player.FillToPlayUnitPCM(unit)) << "skipped to the end";
  EXPECT_EQ(nDone, 1);
  player.WaveFileClose();
  EXPECT_EQ(player.WaveFileTotalPlayTime(), 0);
  player.WaveFilePlay(false);
  EXPECT_FALSE(player.IsWaveFilePlaying());
  EXPECT_EQ(player.WaveFileOpen("/nonexistent/x.wav"), 21);
}
