#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "KytRTP/cKytRTP.h"
#include "KytRTP/cKytRTPEventSink.h"
#include "KytRTP/cKytRTPLib.h"
#include "audio/cVirtualAudioBackend.h"
#include "cMediaTestUtil.h"
#include "platform/cAsioMainLoop.h"
#include "tests/support/cLoopbackPort.h"
#include "tests/support/cTempDir.h"

namespace {

struct cRecordingCore : cKytRTPEventSink {
  void OnDetectedAMD(int nLine, bool bResult) override {
    events.emplace_back(bResult ? "human" : "machine", nLine);
  }
  void OnPlayWaveDone(int nLine) override { events.emplace_back("done", nLine); }
  std::vector<std::pair<std::string, int>> events;
};

}  // namespace

TEST(MediaThread, OperationsRunOnTheMediaObjectAndReportItsCodes) {
  cAsioMainLoop loop;
  cKytRTPLib lib(&loop);
  EXPECT_EQ(lib.GetObjectError(), 0);
  EXPECT_FALSE(lib.OpenLine(0, false, "", 0));
  EXPECT_EQ(lib.GetObjectError(), 10);
  ASSERT_TRUE(lib.SetAudioBackend(std::make_unique<cVirtualAudioBackend>("", "")));
  ASSERT_TRUE(lib.InitOBJECT(2));
  EXPECT_FALSE(lib.HoldLine(2));
  EXPECT_EQ(lib.GetObjectError(), 29);
  EXPECT_TRUE(lib.GetLineRxIP(0).IsZeroLEN());
  EXPECT_EQ(lib.GetObjectError(), 31);
  ASSERT_TRUE(lib.OpenLine(1, true, "127.0.0.1", kyttest::cLoopbackPort::FreeUdp(2)));
  EXPECT_TRUE(lib.GetLineRxIP(1).CompareTo("127.0.0.1"));
  EXPECT_GT(lib.GetLineRxPort(1), 0);
  EXPECT_TRUE(lib.HoldLine(1));
  EXPECT_TRUE(lib.IsLineHold(1));
  EXPECT_TRUE(lib.UnHoldLine(1));
  EXPECT_FALSE(lib.IsLineHold(1));

  // Device settings travel both ways.
  lib.MicSetAutoGain(7);
  lib.MicSetAutoGain(40);
  EXPECT_EQ(lib.MicGetAutoGain(), 7);
  lib.SpkSetAutoGain(9);
  EXPECT_EQ(lib.SpkGetAutoGain(), 1);
  lib.MicSetSoftBoost(true);
  EXPECT_TRUE(lib.MicGetSoftBoost());
  EXPECT_FALSE(lib.SpkGetSoftBoost());
  EXPECT_FALSE(lib.EchoCancellation(true));
  EXPECT_TRUE(lib.DetectAMD(1, true, 6000, 300, 2));
  EXPECT_FALSE(lib.DetectAMD(0, true, 6000, 300, 2)) << "line 0 is closed";

  ASSERT_TRUE(lib.OpenMEDIA(1, 0, 0));
  EXPECT_FALSE(lib.SetAudioBackend(std::make_unique<cVirtualAudioBackend>("", "")))
      << "not while the device is open";
  lib.CloseMEDIA(1);
  lib.UnInitOBJECT();
  EXPECT_FALSE(lib.IsLineOpen(1));
  EXPECT_EQ(lib.GetObjectError(), 29);
}

TEST(MediaThread, EventsReachTheCoreOnTheMainThreadInOrder) {
  cAsioMainLoop loop;
  cRecordingCore core;
  cKytRTP rtp(&core, &loop);
  const std::thread::id mainThread = std::this_thread::get_id();
  // Raised from another thread, as the media thread does; nothing arrives until the main loop
  // runs.
  std::thread media([&rtp] {
    rtp.TriggerOnDetectedAMD(1, true);
    rtp.TriggerOnPlayWaveDone(2);
    rtp.TriggerOnDetectedAMD(0, false);
  });
  media.join();
  EXPECT_TRUE(core.events.empty());
  ASSERT_TRUE(
      loop.RunUntil([&core] { return core.events.size() == 3; }, std::chrono::milliseconds(5000)));
  EXPECT_EQ(std::this_thread::get_id(), mainThread);
  const std::vector<std::pair<std::string, int>> expected = {
      {"human", 1}, {"done", 2}, {"machine", 0}};
  EXPECT_EQ(core.events, expected);
}

TEST(MediaThread, EventsPendingAtDestructionAreDropped) {
  cAsioMainLoop loop;
  cRecordingCore core;
  {
    cKytRTP rtp(&core, &loop);
    rtp.TriggerOnPlayWaveDone(0);
  }
  loop.Poll();
  EXPECT_TRUE(core.events.empty());
}

TEST(MediaThread, StopsPromptlyWhileStreaming) {
  cAsioMainLoop loop;
  auto pLib = std::make_unique<cKytRTPLib>(&loop);
  ASSERT_TRUE(pLib->SetAudioBackend(std::make_unique<cVirtualAudioBackend>("", "")));
  ASSERT_TRUE(pLib->InitOBJECT(1));
  ASSERT_TRUE(pLib->OpenLine(0, true, "127.0.0.1", kyttest::cLoopbackPort::FreeUdp(2)));
  ASSERT_TRUE(pLib->LineStartRTP(0, "127.0.0.1", pLib->GetLineRxPort(0), 0, 0, true, true));
  ASSERT_TRUE(pLib->OpenMEDIA(0, 0, 0));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(pLib->GetInboundCodec(0), 0) << "the line hears itself";
  pLib.reset();  // with the device open, lines streaming and the clock running
}

TEST(MediaThread, WavePlaybackEndReachesTheCore) {
  cAsioMainLoop loop;
  cRecordingCore core;
  cKytRTP rtp(&core, &loop);
  const kyttest::cTempDir dir;
  const std::string sPath = dir.File("short.wav");
  mediatest::WriteEightBitWave(sPath, 800, 0x90);  // 100 ms
  ASSERT_TRUE(rtp.SetAudioBackend(std::make_unique<cVirtualAudioBackend>("", "")));
  ASSERT_TRUE(rtp.InitOBJECT(2));
  ASSERT_TRUE(rtp.OpenLine(1, true, "127.0.0.1", kyttest::cLoopbackPort::FreeUdp(2)));
  ASSERT_TRUE(rtp.LineStartRTP(1, "127.0.0.1", rtp.GetLineRxPort(1), 0, 0, true, true));
  ASSERT_TRUE(rtp.PlayWaveOpen(1, sPath.c_str()));
  ASSERT_TRUE(rtp.PlayWaveStart(1, false));
  ASSERT_TRUE(rtp.OpenMEDIA(1, 0, 0));
  ASSERT_TRUE(
      loop.RunUntil([&core] { return !core.events.empty(); }, std::chrono::milliseconds(5000)));
  EXPECT_EQ(core.events.front(), std::make_pair(std::string("done"), 1));
  EXPECT_FALSE(rtp.IsWaveFilePlaying(1));
  rtp.CloseMEDIA(1);
}
