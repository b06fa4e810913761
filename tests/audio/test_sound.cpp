#include <gtest/gtest.h>

#include <asio/io_context.hpp>
#include <chrono>
#include <vector>

#include "audio/cAutoGainControl.h"
#include "audio/cSound.h"
#include "audio/cSoundSink.h"
#include "audio/cVAD.h"
#include "audio/cVirtualAudioBackend.h"
#include "audio/cWaveFileRead.h"
#include "audio/cWaveFileWrite.h"
#include "tests/support/cTempDir.h"

namespace {

struct cRecordingSink : cSoundSink {
  void OnMicData(const int16_t* pUnit) override { mic.emplace_back(pUnit, pUnit + 160); }
  bool GetSpkPlay(int16_t* pSpk, int16_t* p0, int16_t* p1) override {
    ++nSpkAsks;
    if (!bHasSound) return false;
    for (int i = 0; i < 160; ++i) pSpk[i] = p0[i] = p1[i] = nSpkValue;
    return true;
  }
  std::vector<std::vector<int16_t>> mic;
  bool bHasSound = false;
  int16_t nSpkValue = 0;
  int nSpkAsks = 0;
};

// Records what the device asks of its backend; the test plays the audio system's threads.
struct cFakeBackend : cAudioBackend {
  explicit cFakeBackend(int nOpenCode, int* pOpens, int* pCloses)
      : m_nOpenCode(nOpenCode), m_pOpens(pOpens), m_pCloses(pCloses) {}
  int Open(cSound*) override {
    ++*m_pOpens;
    return m_nOpenCode;
  }
  void Close() override { ++*m_pCloses; }
  int m_nOpenCode;
  int* m_pOpens;
  int* m_pCloses;
};

struct SoundDevice : ::testing::Test {
  SoundDevice() : sound(context, &sink) {
    sound.SetAudioBackend(std::make_unique<cFakeBackend>(0, &nOpens, &nCloses));
    sound.InitOBJ(3);
  }
  void Capture(int16_t nValue, int nUnits = 1) {
    std::vector<int16_t> unit(160, nValue);
    for (int i = 0; i < nUnits; ++i) sound.OnRecordDone(unit.data(), 320);
  }
  std::vector<int16_t> Play() {
    std::vector<int16_t> out(160, 0x1234);
    sound.OnPlayFillData(out.data(), 320);
    return out;
  }
  asio::io_context context;
  cRecordingSink sink;
  int nOpens = 0, nCloses = 0;
  cSound sound;
};

}  // namespace

TEST_F(SoundDevice, OpensWithTheFirstLineAndClosesWithTheLast) {
  EXPECT_FALSE(sound.IsCapturedDEVICE());
  EXPECT_EQ(sound.StartMEDIA(0, 0, 0), 0);
  EXPECT_EQ(sound.StartMEDIA(2, 0, 0), 0);
  EXPECT_EQ(nOpens, 1) << "a second line does not reopen the device";
  EXPECT_TRUE(sound.IsCapturedDEVICE());
  EXPECT_FALSE(sound.SetAudioBackend(std::make_unique<cFakeBackend>(0, &nOpens, &nCloses)));
  sound.StopMEDIA(0);
  EXPECT_TRUE(sound.IsCapturedDEVICE());
  EXPECT_EQ(nCloses, 0);
  sound.StopMEDIA(2);
  EXPECT_FALSE(sound.IsCapturedDEVICE());
  EXPECT_FALSE(sound.IsMediaStarted());
  EXPECT_EQ(nCloses, 1);
}

TEST_F(SoundDevice, LineOutOfRangeChangesNothing) {
  EXPECT_EQ(sound.StartMEDIA(3, 0, 0), 29);
  EXPECT_EQ(sound.StartMEDIA(-1, 0, 0), 29);
  EXPECT_FALSE(sound.IsMediaStarted());
  sound.StopMEDIA(7);
  EXPECT_EQ(nOpens, 0);
}

TEST_F(SoundDevice, FailedOpenLeavesTheDeviceClosed) {
  for (int nCode : {14, 15}) {
    ASSERT_TRUE(sound.SetAudioBackend(std::make_unique<cFakeBackend>(nCode, &nOpens, &nCloses)));
    EXPECT_EQ(sound.StartMEDIA(1, 0, 0), nCode);
    EXPECT_FALSE(sound.IsCapturedDEVICE());
    EXPECT_FALSE(sound.IsMediaStarted());
  }
}

TEST_F(SoundDevice, TickTakesAtMostTwoMicrophoneUnits) {
  ASSERT_EQ(sound.StartMEDIA(0, 0, 0), 0);
  Capture(100, 3);
  sound.OnTimerPCM();
  EXPECT_EQ(sink.mic.size(), 2u);
  sound.OnTimerPCM();
  EXPECT_EQ(sink.mic.size(), 3u);
  sound.OnTimerPCM();
  EXPECT_EQ(sink.mic.size(), 3u);
  EXPECT_EQ(sink.mic[2][0], 100);
  // Eight units fit the microphone buffer; the ninth is dropped.
  Capture(1, 9);
  for (int i = 0; i < 5; ++i) sound.OnTimerPCM();
  EXPECT_EQ(sink.mic.size(), 11u);
}

TEST_F(SoundDevice, MuteAndBoostShapeTheMicrophone) {
  ASSERT_EQ(sound.StartMEDIA(0, 0, 0), 0);
  sound.MicSetSoftBoost(true);
  Capture(1000);
  Capture(-100);
  sound.OnTimerPCM();
  ASSERT_EQ(sink.mic.size(), 2u);
  EXPECT_EQ(sink.mic[0][5], 20000);
  EXPECT_EQ(sink.mic[1][5], -2000);
  Capture(2000);
  sound.OnTimerPCM();
  EXPECT_EQ(sink.mic[2][0], 32767) << "boost clamps";
  sound.MuteMic(true);
  Capture(2000);
  sound.OnTimerPCM();
  EXPECT_EQ(sink.mic[3], std::vector<int16_t>(160, 0));
}

TEST_F(SoundDevice, MutedMicrophoneMeasuresSilence) {
  sound.MuteMic(true);
  ASSERT_EQ(sound.StartMEDIA(0, 0, 0), 0);
  cVAD reference;
  const std::vector<int16_t> zeros(160, 0);
  for (int i = 0; i < 30; ++i) {
    Capture(static_cast<int16_t>(i % 2 ? 20000 : -20000));
    sound.OnTimerPCM();
    reference.IsSilence(zeros.data(), 160);
  }
  EXPECT_EQ(sound.GetMicVoiceLevel(), reference.GetSoundLevel());
}

TEST_F(SoundDevice, SpeakerVolumeBoostAndMute) {
  ASSERT_EQ(sound.StartMEDIA(0, 0, 0), 0);
  sound.OnTimerPCM();
  EXPECT_EQ(Play(), std::vector<int16_t>(160, 0)) << "no sound heard: the device plays silence";
  sink.bHasSound = true;
  sink.nSpkValue = 300;
  sound.OnTimerPCM();
  EXPECT_EQ(Play()[0], 300);
  sound.SetSpkSoftVolume(30);
  EXPECT_EQ(sound.GetSpkSoftVolume(), 25);
  sound.SetSpkSoftVolume(-3);
  EXPECT_EQ(sound.GetSpkSoftVolume(), 0);
  sound.SetSpkSoftVolume(2);
  sound.OnTimerPCM();
  EXPECT_EQ(Play()[0], 900);
  sound.SpkSetSoftBoost(true);
  sound.OnTimerPCM();
  EXPECT_EQ(Play()[0], 18000);
  sound.MuteSpk(true);
  sound.OnTimerPCM();
  EXPECT_EQ(Play()[0], 0);
  EXPECT_GT(sound.GetSpkVoiceLevel(), 0) << "the loud units before were measured";
}

TEST_F(SoundDevice, VoiceChangerShiftsTheMicrophone) {
  ASSERT_EQ(sound.StartMEDIA(0, 0, 0), 0);
  sound.VoiceChanger(6);
  Capture(5000);
  sound.OnTimerPCM();
  ASSERT_EQ(sink.mic.size(), 1u);
  EXPECT_EQ(sink.mic[0][0], 0) << "the shifter's latency";
  sound.VoiceChanger(-1);
  Capture(5000);
  sound.OnTimerPCM();
  EXPECT_EQ(sink.mic[1][0], 5000) << "off again";
}

TEST_F(SoundDevice, SettingsAreClamped) {
  sound.VoiceChanger(25);
  EXPECT_EQ(sound.GetVoiceChanger(), 20);
  sound.VoiceChanger(-7);
  EXPECT_EQ(sound.GetVoiceChanger(), 0);
  sound.VoiceChanger(-1);
  EXPECT_EQ(sound.GetVoiceChanger(), -1);
  sound.MicSetAutoGain(5);
  sound.MicSetAutoGain(21);
  EXPECT_EQ(sound.MicGetAutoGain(), 5);
}

TEST_F(SoundDevice, ClockTicksOnlyWhileOpen) {
  ASSERT_EQ(sound.StartMEDIA(0, 0, 0), 0);
  context.run_for(std::chrono::milliseconds(120));
  const int nTicks = sink.nSpkAsks;
  EXPECT_GT(nTicks, 0);
  sound.StopMEDIA(0);
  context.restart();
  context.run_for(std::chrono::milliseconds(60));
  EXPECT_EQ(sink.nSpkAsks, nTicks);
}

TEST(SoundHelpers, BoostAndStreamVolumeClamp) {
  int16_t in[160], out[160];
  for (int i = 0; i < 160; ++i) in[i] = static_cast<int16_t>(i % 2 ? 2000 : -2000);
  cSound::BoostVolumeUnitPCM(in, out, 20);
  EXPECT_EQ(out[0], -32768);
  EXPECT_EQ(out[1], 32767);
  int16_t samples[3] = {100, -20000, 0};
  cSound::SetStreamVol(samples, 3, 0);
  EXPECT_EQ(samples[0], 100);
  cSound::SetStreamVol(samples, 3, 3);
  EXPECT_EQ(samples[0], 400);
  EXPECT_EQ(samples[1], -32768);
}

TEST(AutoGain, ZeroIsOffAndLevelsOutsideAreRefused) {
  cAutoGainControl agc;
  int16_t block[4] = {100, -100, 50, -50};
  agc.ApplyAutoGain(block, 4);
  EXPECT_EQ(block[0], 100);
  agc.SetAutoGain(3);
  agc.SetAutoGain(21);
  agc.SetAutoGain(-1);
  EXPECT_EQ(agc.GetAutoGain(), 3);
  agc.ApplyAutoGain(block, 4);  // mean 0: multiplied by 3
  EXPECT_EQ(block[0], 300);
  EXPECT_EQ(block[3], -150);
}

TEST(VoiceActivity, SpeechThenSilenceAndTheLevelMeter) {
  cVAD vad;
  std::vector<int16_t> loud(160), quiet(160, 0);
  for (int i = 0; i < 160; ++i) loud[i] = static_cast<int16_t>(i % 8 < 4 ? 12000 : -12000);
  for (int i = 0; i < 20; ++i) vad.IsSilence(quiet.data(), 160);
  EXPECT_FALSE(vad.IsSilence(loud.data(), 160));
  EXPECT_GT(vad.GetSoundLevel(), 50);
  // Hangover: speech is still granted for a while after it stops.
  EXPECT_FALSE(vad.IsSilence(quiet.data(), 160));
  bool bSilent = false;
  for (int i = 0; i < 100 && !bSilent; ++i) bSilent = vad.IsSilence(quiet.data(), 160);
  EXPECT_TRUE(bSilent);
  cVAD idle;
  idle.IsSilence(loud.data(), 160);
  int nLevel = 0;
  for (int i = 0; i < 11; ++i) nLevel = idle.GetSoundLevel();
  EXPECT_EQ(nLevel, 0) << "no block for 11 readings reads silence";
}

TEST(VirtualDevice, MicrophoneFromFileSpeakerToFile) {
  const kyttest::cTempDir dir;
  const std::string sMic = dir.File("mic.wav"), sSpk = dir.File("spk.wav");
  {
    cWaveFileWrite mic;
    ASSERT_TRUE(mic.Open(sMic, false));
    std::vector<int16_t> unit(160);
    for (int u = 0; u < 3; ++u) {
      std::fill(unit.begin(), unit.end(), static_cast<int16_t>(1000 * (u + 1)));
      mic.WriteUnitPCM(unit.data());
    }
  }
  asio::io_context context;
  cRecordingSink sink;
  cSound sound(context, &sink);
  sound.InitOBJ(1);
  ASSERT_TRUE(sound.SetAudioBackend(std::make_unique<cVirtualAudioBackend>(sMic, sSpk)));
  ASSERT_EQ(sound.StartMEDIA(0, 0, 0), 0);
  sink.bHasSound = true;
  for (int i = 0; i < 5; ++i) {
    sink.nSpkValue = static_cast<int16_t>(7 * (i + 1));
    sound.OnTimerPCM();
  }
  sound.StopMEDIA(0);
  ASSERT_EQ(sink.mic.size(), 5u);
  EXPECT_EQ(sink.mic[0][0], 1000);
  EXPECT_EQ(sink.mic[2][0], 3000);
  EXPECT_EQ(sink.mic[3][0], 0) << "silence after the file";
  cWaveFileRead spk;
  ASSERT_TRUE(spk.Open(sSpk));
  std::vector<uint8_t> pcm;
  ASSERT_TRUE(spk.Read(1, pcm));
  ASSERT_EQ(pcm.size(), 5u * 320);
  // Each tick plays what the tick before produced.
  EXPECT_EQ(reinterpret_cast<const int16_t*>(pcm.data())[0], 0);
  EXPECT_EQ(reinterpret_cast<const int16_t*>(pcm.data())[160], 7);
  EXPECT_EQ(reinterpret_cast<const int16_t*>(pcm.data())[4 * 160], 28);
}

TEST(VirtualDevice, OpenFailures) {
  asio::io_context context;
  cRecordingSink sink;
  cSound sound(context, &sink);
  sound.InitOBJ(1);
  sound.SetAudioBackend(std::make_unique<cVirtualAudioBackend>("/nonexistent/mic.wav", ""));
  EXPECT_EQ(sound.StartMEDIA(0, 0, 0), 14);
  sound.SetAudioBackend(std::make_unique<cVirtualAudioBackend>("", "/nonexistent/dir/spk.wav"));
  EXPECT_EQ(sound.StartMEDIA(0, 0, 0), 15);
  sound.SetAudioBackend(std::make_unique<cVirtualAudioBackend>("", ""));
  EXPECT_EQ(sound.StartMEDIA(0, 0, 0), 0);
}

// A speaker device 2000 ppm slower than the tick, for 200 s: the ring does not fill up (no
// steady 160 ms of delay); with quiet sound it stays near its target, with loud sound it is
// still kept well below full.
TEST_F(SoundDevice, SpeakerRingIsKeptNearItsTargetAgainstTheDeviceClock) {
  for (const int16_t nValue : {1, 8000}) {
    ASSERT_EQ(sound.StartMEDIA(0, 0, 0), 0);
    sink.bHasSound = true;
    sink.nSpkValue = nValue;
    for (int t = 1; t <= 10000; ++t) {
      sound.OnTimerPCM();
      if (t % 500 != 0) Play();
    }
    int nQueued = 0;
    while (Play()[0] != 0 && nQueued < 100) ++nQueued;
    EXPECT_LE(nQueued, nValue == 1 ? 3 : 5) << nValue;
    sound.StopMEDIA(0);
  }
}
