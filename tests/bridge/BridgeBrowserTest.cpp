// The browser test: Kamailio, baresip and kytbridge on 127.0.0.1, and Chromium running
// browser_test.js against them. The screenshot of the demo page mid-call stays in the build
// folder's artifacts.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "cBaresipPeer.h"
#include "platform/cAsioMainLoop.h"
#include "tests/support/TextFile.h"
#include "tests/support/Tone.h"
#include "tests/support/Wait.h"
#include "tests/support/WaveFile.h"
#include "tests/support/cChildProcess.h"
#include "tests/support/cLoopbackPort.h"
#include "tests/support/cTempDir.h"

using namespace std::chrono_literals;

namespace {

constexpr double kBobTone = 600.0;

// Half-second windows of the recording that carry the tone.
int ToneWindows(const std::vector<int16_t>& samples) {
  const size_t nWindow = kyttest::kSampleRate / 2;
  int nHits = 0;
  for (size_t at = 0; at + nWindow <= samples.size(); at += nWindow) {
    const int16_t* pWindow = samples.data() + at;
    if (kyttest::Rms(pWindow, nWindow) > 300 &&
        std::abs(kyttest::DominantFrequency(pWindow, nWindow) - kBobTone) <= 20)
      ++nHits;
  }
  return nHits;
}

std::string Port(uint16_t nPort) { return std::to_string(nPort); }

}  // namespace

TEST(BridgeKamailioBaresip, DemoAndLegacyPagesCallHearAndChatInChromium) {
  const std::string testDir = KYT_BRIDGE_TEST_DIR;
  const std::string kamailio = kyttest::cChildProcess::FindProgram("kamailio");
  ASSERT_FALSE(kamailio.empty()) << "kamailio is not installed (Debian package kamailio)";
  ASSERT_FALSE(kyttest::cChildProcess::FindProgram("node").empty()) << "node is not installed";
  ASSERT_TRUE(std::filesystem::exists(testDir + "/node_modules/puppeteer-core"))
      << "puppeteer-core is missing: bash .ci/install-deps installs it";
  kyttest::cTempDir dir("kyt-bridge-");
  ASSERT_FALSE(dir.Path().empty());

  ASSERT_TRUE(kyttest::WriteWave(dir.File("tone.wav"),
                                 kyttest::Tone(kBobTone, 8000, kyttest::kSampleRate * 60)));
  ASSERT_EQ(0, mkdir(dir.File("bob").c_str(), 0700));
  cAsioMainLoop loop;
  cBaresipPeer bob(dir.File("bob"), "bob", "pcmu", dir.File("tone.wav"), "auto");
  ASSERT_TRUE(bob.Start(loop)) << bob.Failure();

  const uint16_t nProxy = kyttest::cLoopbackPort::FreeUdp();
  kyttest::cChildProcess proxy;
  ASSERT_TRUE(
      proxy.Start({kamailio, "-f", std::string(KYT_SOURCE_DIR) + "/bridge/demo-proxy.cfg", "-DD",
                   "-E", "-n", "1", "-l", "udp:127.0.0.1:" + Port(nProxy), "-w", dir.Path(), "-Y",
                   dir.Path(), "-A", "BOBURI=\"sip:127.0.0.1:" + Port(bob.SipPort()) + "\""},
                  dir.File("kamailio.log")));
  ASSERT_TRUE(kyttest::PollUntil(
      [&] { return proxy.Done() || kyttest::cLoopbackPort::IsUdpTaken(nProxy); }, 20s));
  ASSERT_FALSE(proxy.Done()) << kyttest::ReadText(dir.File("kamailio.log"));

  // The block of ports is this process's, so they serve for TCP too.
  const uint16_t nBridge = kyttest::cLoopbackPort::FreeUdp();
  const uint16_t nLegacy = kyttest::cLoopbackPort::FreeUdp();
  const uint16_t nForeign = kyttest::cLoopbackPort::FreeUdp();
  const uint16_t nRelay = kyttest::cLoopbackPort::FreeUdp();
  kyttest::cChildProcess bridge;
  ASSERT_TRUE(bridge.Start({KYT_BRIDGE_PATH, "--plugin", KYT_PLUGIN_PATH, "--port", Port(nBridge),
                            "--allow-origin", "http://127.0.0.1:" + Port(nLegacy)},
                           dir.File("bridge.log")));
  ASSERT_TRUE(kyttest::PollUntil(
      [&] {
        return bridge.Done() ||
               kyttest::ReadText(dir.File("bridge.log")).find("listening") != std::string::npos;
      },
      20s));
  ASSERT_FALSE(bridge.Done()) << kyttest::ReadText(dir.File("bridge.log"));

  std::filesystem::create_directories(KYT_ARTIFACT_DIR);
  const std::string screenshot = std::string(KYT_ARTIFACT_DIR) + "/bridge-demo-call.png";
  std::filesystem::remove(screenshot);
  const std::string cfg =
      "{\"bridge\": \"http://127.0.0.1:" + Port(nBridge) +
      "\", \"proxy\": \"sip:127.0.0.1:" + Port(nProxy) + "\", \"legacyPort\": " + Port(nLegacy) +
      ", \"foreignPort\": " + Port(nForeign) + ", \"relayPort\": " + Port(nRelay) +
      ", \"speaker\": \"" + dir.File("speaker.wav") + "\", \"heard\": \"" + dir.File("heard.wav") +
      "\", \"screenshot\": \"" + screenshot + "\"}";
  kyttest::cChildProcess browser;
  ASSERT_TRUE(
      browser.Start({"node", testDir + "/browser_test.js", cfg}, dir.File("browser.log"), testDir));
  const int nExit = browser.Wait(170s);
  const std::string log = kyttest::ReadText(dir.File("browser.log"));
  const std::string bridgeLog = kyttest::ReadText(dir.File("bridge.log"));
  std::cout << log << "screenshot: " << screenshot << "\n";
  EXPECT_EQ(0, nExit) << "bridge:\n"
                      << bridgeLog << "kamailio:\n"
                      << kyttest::ReadText(dir.File("kamailio.log")) << "baresip:\n"
                      << bob.Log();
  EXPECT_EQ(std::string::npos, ("\n" + log).find("\nFAIL "));
  EXPECT_NE(std::string::npos, log.find("PASS a page from an origin not allowed got nothing"));
  EXPECT_NE(std::string::npos,
            bridgeLog.find("(origin not allowed: http://127.0.0.1:" + Port(nForeign) + ")"));
  EXPECT_GE(ToneWindows(kyttest::ReadWave(dir.File("heard.wav"))), 4)
      << "the demo page's speaker should carry baresip's tone";
  EXPECT_TRUE(std::filesystem::exists(screenshot) && std::filesystem::file_size(screenshot) > 0);

  bridge.Kill();
  proxy.Kill();
  bob.Stop(loop);
}
