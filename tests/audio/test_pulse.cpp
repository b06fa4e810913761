#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <asio/io_context.hpp>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "audio/cPulseAudioBackend.h"
#include "audio/cSound.h"
#include "audio/cSoundSink.h"
#include "tests/support/TextFile.h"
#include "tests/support/Wait.h"
#include "tests/support/cChildProcess.h"
#include "tests/support/cTempDir.h"

namespace {

// A private PulseAudio daemon with a null sink and a null source, reachable only through a
// socket in its own folder; stopped with the object.
class cPulseDaemon {
 public:
  cPulseDaemon() {
    kyttest::WriteText(m_Dir.File("pa.conf"),
                       "load-module module-null-sink sink_name=kytsink\n"
                       "load-module module-null-source source_name=kytsource\n"
                       "load-module module-native-protocol-unix auth-anonymous=1 socket=" +
                           Socket() +
                           "\n"
                           "set-default-sink kytsink\n"
                           "set-default-source kytsource\n");
    // In an environment of its own, under timeout(1) so that a test that dies before its
    // cleanup still leaves no daemon.
    m_Process.Start(
        {"env", "-i", "XDG_RUNTIME_DIR=" + m_Dir.Path(), "PULSE_RUNTIME_PATH=" + m_Dir.Path(),
         "HOME=" + m_Dir.Path(), "PATH=/usr/bin:/bin", "timeout", "120", "pulseaudio", "-n",
         "--daemonize=no", "--exit-idle-time=-1", "--system=false", "--disallow-exit",
         "--use-pid-file=no", "--log-target=file:" + m_Dir.File("log"), "-F",
         m_Dir.File("pa.conf")},
        m_Dir.File("output.log"));
  }

  bool Started() const { return m_Process.Started(); }
  std::string Server() const { return "unix:" + Socket(); }

  // Runs pactl against this daemon; answers its output.
  std::string Pactl(const std::string& sArgs) const {
    const std::string sCmd = "PULSE_SERVER=" + Server() + " pactl " + sArgs + " 2>/dev/null";
    std::string sOut;
    if (FILE* p = popen(sCmd.c_str(), "r")) {
      char buf[512];
      while (fgets(buf, sizeof(buf), p)) sOut += buf;
      pclose(p);
    }
    return sOut;
  }

  bool WaitReady() const {
    return kyttest::PollUntil(
        [this] { return Pactl("info").find("Server Name") != std::string::npos; },
        std::chrono::seconds(10));
  }

 private:
  std::string Socket() const { return m_Dir.File("native"); }

  kyttest::cTempDir m_Dir{"kyt-pulse-"};
  kyttest::cChildProcess m_Process;
};

struct cCountingSink : cSoundSink {
  void OnMicData(const int16_t*) override { ++nMicUnits; }
  bool GetSpkPlay(int16_t* pSpk, int16_t* p0, int16_t* p1) override {
    ++nSpkUnits;
    for (int i = 0; i < 160; ++i) pSpk[i] = p0[i] = p1[i] = static_cast<int16_t>(i * 50);
    return true;
  }
  int nMicUnits = 0;
  int nSpkUnits = 0;
};

int CountLines(const std::string& s) {
  int n = 0;
  for (char c : s) n += c == '\n';
  return n;
}

}  // namespace

TEST(PulseDaemon, DeviceOpensTicksAndClosesWithTheLastLine) {
  ASSERT_EQ(std::system("command -v pulseaudio >/dev/null && command -v pactl >/dev/null"), 0)
      << "pulseaudio and pactl are needed";
  cPulseDaemon daemon;
  ASSERT_TRUE(daemon.Started());
  ASSERT_TRUE(daemon.WaitReady());
  setenv("PULSE_SERVER", daemon.Server().c_str(), 1);

  asio::io_context context;
  cCountingSink sink;
  cSound sound(context, &sink);
  sound.InitOBJ(2);
  ASSERT_EQ(sound.StartMEDIA(0, 0, 0), 0);
  ASSERT_EQ(sound.StartMEDIA(1, 0, 0), 0);
  EXPECT_TRUE(sound.IsCapturedDEVICE());
  EXPECT_EQ(CountLines(daemon.Pactl("list short source-outputs")), 1);
  EXPECT_EQ(CountLines(daemon.Pactl("list short sink-inputs")), 1);
  EXPECT_NE(daemon.Pactl("list sink-inputs").find("media.role = \"phone\""), std::string::npos);

  // Run the media clock until the null source has delivered some microphone units.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while ((sink.nMicUnits < 10 || sink.nSpkUnits < 10) &&
         std::chrono::steady_clock::now() < deadline)
    context.run_for(std::chrono::milliseconds(100));
  EXPECT_GE(sink.nMicUnits, 10);
  EXPECT_GE(sink.nSpkUnits, 10);

  sound.StopMEDIA(0);
  EXPECT_TRUE(sound.IsCapturedDEVICE()) << "line 1 still uses the device";
  EXPECT_EQ(CountLines(daemon.Pactl("list short source-outputs")), 1);
  sound.StopMEDIA(1);
  EXPECT_FALSE(sound.IsCapturedDEVICE());
  EXPECT_EQ(CountLines(daemon.Pactl("list short source-outputs")), 0);
  EXPECT_EQ(CountLines(daemon.Pactl("list short sink-inputs")), 0);

  // The clock stops with the device.
  const int nTicks = sink.nSpkUnits;
  context.restart();
  context.run_for(std::chrono::milliseconds(100));
  EXPECT_EQ(sink.nSpkUnits, nTicks);
  unsetenv("PULSE_SERVER");
}

TEST(PulseAudio, NoServerLeavesTheDeviceClosed) {
  setenv("PULSE_SERVER", "unix:/nonexistent/kyt/native", 1);
  asio::io_context context;
  cCountingSink sink;
  cSound sound(context, &sink);
  sound.InitOBJ(1);
  EXPECT_EQ(sound.StartMEDIA(0, 0, 0), 15);
  EXPECT_FALSE(sound.IsCapturedDEVICE());
  EXPECT_FALSE(sound.IsMediaStarted());
  unsetenv("PULSE_SERVER");
}

// A server that takes the connection and never answers must not hold the media thread: the
// device opens at once and stays silent, and closing it gives up on the server.
TEST(PulseAudio, SilentServerDoesNotHoldTheMediaThread) {
  const kyttest::cTempDir dir;
  const std::string sSocket = dir.File("native");
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::snprintf(addr.sun_path, sizeof(addr.sun_path), "%s", sSocket.c_str());
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
  ASSERT_EQ(listen(fd, 4), 0);
  setenv("PULSE_SERVER", ("unix:" + sSocket).c_str(), 1);
  asio::io_context context;
  cCountingSink sink;
  cSound sound(context, &sink);
  sound.InitOBJ(1);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(sound.StartMEDIA(0, 0, 0), 0);
  EXPECT_TRUE(sound.IsCapturedDEVICE());
  sound.StopMEDIA(0);
  EXPECT_FALSE(sound.IsCapturedDEVICE());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  unsetenv("PULSE_SERVER");
  close(fd);
}
