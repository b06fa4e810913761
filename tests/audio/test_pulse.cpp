#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <asio/io_context.hpp>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "audio/cPulseAudioBackend.h"
#include "audio/cSound.h"
#include "audio/cSoundSink.h"

extern char** environ;

namespace {

// A private PulseAudio daemon with a null sink and a null source, reachable only through a
// socket in its own directory; stopped with the object.
class cPulseDaemon {
 public:
  cPulseDaemon() {
    char tmpl[] = "/tmp/kytpulse.XXXXXX";
    if (!mkdtemp(tmpl)) return;
    m_sDir = tmpl;
    m_sSocket = m_sDir + "/native";
    std::ofstream(m_sDir + "/pa.conf")
        << "load-module module-null-sink sink_name=kytsink\n"
        << "load-module module-null-source source_name=kytsource\n"
        << "load-module module-native-protocol-unix auth-anonymous=1 socket=" << m_sSocket << "\n"
        << "set-default-sink kytsink\n"
        << "set-default-source kytsource\n";
    const std::string sEnvDir = "XDG_RUNTIME_DIR=" + m_sDir;
    const std::string sEnvRuntime = "PULSE_RUNTIME_PATH=" + m_sDir;
    const std::string sEnvHome = "HOME=" + m_sDir;
    const std::string sConfig = m_sDir + "/pa.conf";
    // Under timeout(1), so that a test that dies before its cleanup still leaves no daemon.
    std::vector<std::string> args = {"timeout",
                                     "120",
                                     "pulseaudio",
                                     "-n",
                                     "--daemonize=no",
                                     "--exit-idle-time=-1",
                                     "--system=false",
                                     "--disallow-exit",
                                     "--use-pid-file=no",
                                     "--log-target=file:" + m_sDir + "/log",
                                     "-F",
                                     sConfig};
    std::vector<char*> argv;
    for (auto& s : args) argv.push_back(s.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = {sEnvDir, sEnvRuntime, sEnvHome, "PATH=/usr/bin:/bin"};
    std::vector<char*> envp;
    for (auto& s : env) envp.push_back(s.data());
    envp.push_back(nullptr);
    // The daemon must not hold the test's output open.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int fd = 0; fd <= 2; ++fd)
      posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
    if (posix_spawnp(&m_nPid, "timeout", &actions, nullptr, argv.data(), envp.data()) != 0)
      m_nPid = -1;
    posix_spawn_file_actions_destroy(&actions);
  }

  ~cPulseDaemon() {
    if (m_nPid > 0) {
      kill(m_nPid, SIGTERM);
      int nStatus = 0;
      waitpid(m_nPid, &nStatus, 0);
    }
    std::error_code ec;
    if (!m_sDir.empty()) std::filesystem::remove_all(m_sDir, ec);
  }

  bool Started() const { return m_nPid > 0; }
  std::string Server() const { return "unix:" + m_sSocket; }

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
    for (int i = 0; i < 200; ++i) {
      if (Pactl("info").find("Server Name") != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

 private:
  std::string m_sDir;
  std::string m_sSocket;
  pid_t m_nPid = -1;
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

TEST(PulseAudio, DeviceOpensTicksAndClosesWithTheLastLine) {
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

// A server that takes the connection and never answers must not hold the media thread.
TEST(PulseAudio, SilentServerTimesOut) {
  char tmpl[] = "/tmp/kytsilent.XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string sSocket = std::string(tmpl) + "/native";
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
  EXPECT_EQ(sound.StartMEDIA(0, 0, 0), 15);
  EXPECT_FALSE(sound.IsCapturedDEVICE());
  unsetenv("PULSE_SERVER");
  close(fd);
  std::error_code ec;
  std::filesystem::remove_all(tmpl, ec);
}
